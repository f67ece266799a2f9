#include "common/atomic_output.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace png2zeq {
namespace {

// The signals that would otherwise leave a temporary file behind.
constexpr int kCleanedUpSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr size_t kCleanedUpSignalCount = sizeof kCleanedUpSignals / sizeof kCleanedUpSignals[0];

// Temporary names end in ".XXXXXX.tmp"; the random part comes before the suffix.
constexpr const char* kTemporaryPattern = "%.*s/.%.*s.XXXXXX.tmp";
constexpr int kTemporarySuffixLength = 4;  // ".tmp"
// Leaves room for the dot, the random part and the suffix within NAME_MAX.
constexpr int kLongestNameInTemporary = 200;

// Dangling symbolic links followed before giving up, as the kernel would.
constexpr int kMostLinkHops = 40;

// A run that locked a file another run renamed over meanwhile tries the
// successor; more replacements than this in a row mean a busy destination.
constexpr int kLockAttempts = 4;

// What the signal handler needs, in storage it may touch: one temporary
// file per process at a time.
char gTemporaryPath[PATH_MAX];
volatile sig_atomic_t gTemporaryExists = 0;
struct sigaction gPreviousActions[kCleanedUpSignalCount];
bool gHandlerInstalled[kCleanedUpSignalCount];

// Removes the temporary file, then lets the signal end the process with its
// usual status: SA_RESETHAND has restored the default action, and the signal
// raised again is delivered as soon as this handler returns.
extern "C" void RemoveTemporaryAndDie(int signalNumber) {
  if (gTemporaryExists != 0) unlink(gTemporaryPath);
  raise(signalNumber);
}

// Blocks the cleaned-up signals, saving the previous mask in `previous`, so
// that creating, renaming or removing the temporary and (dis)arming the
// handler happen as one step.
void BlockCleanedUpSignals(sigset_t* previous) {
  sigset_t blocked;
  sigemptyset(&blocked);
  for (int signalNumber : kCleanedUpSignals) sigaddset(&blocked, signalNumber);
  sigprocmask(SIG_BLOCK, &blocked, previous);
}

// Records `path` as the temporary to remove and installs the handler for
// each signal the process does not ignore. Called with the signals blocked.
void ArmCleanup(const char* path) {
  std::memcpy(gTemporaryPath, path, std::strlen(path) + 1);
  gTemporaryExists = 1;
  struct sigaction action = {};
  action.sa_handler = RemoveTemporaryAndDie;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < kCleanedUpSignalCount; ++i) {
    sigaction(kCleanedUpSignals[i], nullptr, &gPreviousActions[i]);
    gHandlerInstalled[i] = gPreviousActions[i].sa_handler != SIG_IGN;
    if (gHandlerInstalled[i]) sigaction(kCleanedUpSignals[i], &action, nullptr);
  }
}

// Puts back the actions ArmCleanup replaced. Called with the signals blocked.
void DisarmCleanup() {
  gTemporaryExists = 0;
  for (size_t i = 0; i < kCleanedUpSignalCount; ++i) {
    if (gHandlerInstalled[i]) sigaction(kCleanedUpSignals[i], &gPreviousActions[i], nullptr);
    gHandlerInstalled[i] = false;
  }
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when `inputPath` names the file described by `destination`.
bool IsTheInput(const char* inputPath, const struct stat& destination) {
  struct stat input;
  return inputPath != nullptr && stat(inputPath, &input) == 0 && SameFile(input, destination);
}

// Copies `text` into `buffer`; false when it does not fit.
bool CopyPath(const char* text, char (&buffer)[PATH_MAX]) {
  const int length = std::snprintf(buffer, PATH_MAX, "%s", text);
  return length >= 0 && length < PATH_MAX;
}

// Follows `path` through dangling symbolic links to the name a new file
// would get, and writes that name with its directory resolved to
// `resolved`. False when the directory does not exist or a part is too long.
bool ResolveNewFile(const char* path, char (&resolved)[PATH_MAX]) {
  char current[PATH_MAX];
  if (!CopyPath(path, current)) return false;
  for (int hop = 0;; ++hop) {
    char target[PATH_MAX];
    const ssize_t length = readlink(current, target, sizeof target - 1);
    if (length < 0) break;  // not a link: the name to create
    if (hop == kMostLinkHops) return false;
    target[length] = '\0';
    const char* slash = std::strrchr(current, '/');
    // A relative target is relative to the link's own directory.
    const int keep =
        (target[0] == '/' || slash == nullptr) ? 0 : static_cast<int>(slash - current) + 1;
    char next[PATH_MAX];
    const int written = std::snprintf(next, PATH_MAX, "%.*s%s", keep, current, target);
    if (written < 0 || written >= PATH_MAX) return false;
    std::memcpy(current, next, static_cast<size_t>(written) + 1);
  }
  char* slash = std::strrchr(current, '/');
  const char* name = slash != nullptr ? slash + 1 : current;
  if (*name == '\0') return false;
  char directory[PATH_MAX];
  if (slash != nullptr) *slash = '\0';
  const char* directoryPath = slash == nullptr ? "." : (slash == current ? "/" : current);
  if (realpath(directoryPath, directory) == nullptr) return false;
  const char* separator = std::strcmp(directory, "/") == 0 ? "" : "/";
  const int written = std::snprintf(resolved, PATH_MAX, "%s%s%s", directory, separator, name);
  return written >= 0 && written < PATH_MAX;
}

// Opens the existing destination for writing, which refuses a file the user
// may not write whatever its directory allows, and takes its lock. When
// another run renamed a new file over it between the open and the lock, the
// lock is on a file no longer there, so the new one is tried instead. Fills
// `status` with the locked file's.
bool LockExistingDestination(AtomicOutput* output, struct stat* status) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    // Non-blocking: a FIFO swapped in meanwhile must not stall the open.
    const int fd = open(output->destination, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat locked;
    struct stat named;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
      close(fd);
      return false;
    }
    if (stat(output->destination, &named) == 0 && SameFile(named, locked)) {
      output->destinationFd = fd;
      *status = locked;
      return true;
    }
    close(fd);
  }
  return false;
}

// Gives the temporary the existing file's owner (where permitted: only root
// may give a file away) and mode; false when the mode cannot be set.
bool TakeOverOwnerAndMode(int fd, const struct stat& existing) {
  // chown before chmod: a change of owner may clear the set-id bits.
  const bool ownerKept = fchown(fd, existing.st_uid, existing.st_gid) == 0;
  static_cast<void>(ownerKept);
  return fchmod(fd, existing.st_mode & 07777) == 0;
}

// Creates the temporary file beside the resolved destination and arms the
// signal cleanup for it. `existing` is the file it will replace, or nullptr.
bool CreateTemporary(AtomicOutput* output, const struct stat* existing) {
  const char* slash = std::strrchr(output->destination, '/');  // resolved paths are absolute
  const char* name = slash + 1;
  const int nameLength = static_cast<int>(std::strlen(name));
  const int written = std::snprintf(output->temporary, PATH_MAX, kTemporaryPattern,
                                    static_cast<int>(slash - output->destination),
                                    output->destination,
                                    nameLength < kLongestNameInTemporary ? nameLength
                                                                         : kLongestNameInTemporary,
                                    name);
  if (written < 0 || written >= PATH_MAX) return false;

  sigset_t previousMask;
  BlockCleanedUpSignals(&previousMask);
  output->fd = mkostemps(output->temporary, kTemporarySuffixLength, O_CLOEXEC);
  if (output->fd >= 0) ArmCleanup(output->temporary);
  sigprocmask(SIG_SETMASK, &previousMask, nullptr);
  if (output->fd < 0) return false;
  output->viaTemporary = true;

  if (existing != nullptr && !TakeOverOwnerAndMode(output->fd, *existing)) {
    AbandonAtomicOutput(output);
    return false;
  }
  return true;
}

// Opens a destination that is not a regular file (a device, a FIFO) for
// writing in place, under the same lock.
bool OpenDirectly(const char* path, AtomicOutput* output) {
  output->fd = open(path, O_WRONLY | O_CLOEXEC);
  if (output->fd >= 0 && flock(output->fd, LOCK_EX | LOCK_NB) == 0) return true;
  AbandonAtomicOutput(output);
  return false;
}

// Puts the complete temporary in the destination's place; false when the
// destination is as it was. An existing destination is swapped with the
// temporary and then removed under the temporary's name, and only then is
// writing the new file out started, as a rename over the old file would
// have done: on ext4, removing the old file while that writeback runs makes
// the removal wait for it, a few percent of a run. Where the file system
// cannot swap, a plain rename.
bool PlaceTemporary(AtomicOutput* output) {
  if (output->destinationFd >= 0 && renameat2(AT_FDCWD, output->temporary, AT_FDCWD,
                                              output->destination, RENAME_EXCHANGE) == 0) {
    unlink(output->temporary);  // now the previous file
    close(output->destinationFd);
    output->destinationFd = -1;
    sync_file_range(output->fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    return true;
  }
  return rename(output->temporary, output->destination) == 0;
}

}  // namespace

AtomicOutput::~AtomicOutput() { AbandonAtomicOutput(this); }

bool OpenAtomicOutput(const char* path, const char* inputPath, AtomicOutput* output) {
  struct stat destination;
  if (stat(path, &destination) != 0) {
    if (errno != ENOENT || !ResolveNewFile(path, output->destination)) return false;
    return CreateTemporary(output, nullptr);
  }
  if (IsTheInput(inputPath, destination)) return false;
  if (!S_ISREG(destination.st_mode)) return OpenDirectly(path, output);
  if (realpath(path, output->destination) == nullptr ||
      !LockExistingDestination(output, &destination) || !CreateTemporary(output, &destination)) {
    AbandonAtomicOutput(output);
    return false;
  }
  return true;
}

bool CommitAtomicOutput(AtomicOutput* output) {
  if (!output->viaTemporary) {
    const bool closed = output->fd < 0 || close(output->fd) == 0;
    output->fd = -1;
    AbandonAtomicOutput(output);
    return closed;
  }
  sigset_t previousMask;
  BlockCleanedUpSignals(&previousMask);
  const bool placed = PlaceTemporary(output);
  if (!placed) unlink(output->temporary);
  DisarmCleanup();
  sigprocmask(SIG_SETMASK, &previousMask, nullptr);
  output->viaTemporary = false;
  // Only now may another run take the destination.
  AbandonAtomicOutput(output);
  return placed;
}

void AbandonAtomicOutput(AtomicOutput* output) {
  if (output->fd >= 0) close(output->fd);
  output->fd = -1;
  if (output->viaTemporary) {
    sigset_t previousMask;
    BlockCleanedUpSignals(&previousMask);
    unlink(output->temporary);
    DisarmCleanup();
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    output->viaTemporary = false;
  }
  if (output->destinationFd >= 0) close(output->destinationFd);
  output->destinationFd = -1;
}

}  // namespace png2zeq
