// Output files on POSIX systems: a temporary beside the destination, an
// advisory lock on the file it replaces, and one step into place.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/posix_output.h"
#include "platform/system_output.h"

namespace png2zeq::system_output {
namespace {

// Temporary names end in ".XXXXXX.tmp"; the random part comes before the suffix.
constexpr const char* kTemporaryPattern = "%.*s/.%.*s.XXXXXX.tmp";
constexpr int kTemporarySuffixLength = 4;  // ".tmp"
// Leaves room for the dot, the random part and the suffix within NAME_MAX.
constexpr int kLongestNameInTemporary = 200;

// A run that locked a file another run renamed over meanwhile tries the
// successor; more replacements than this in a row mean a busy destination.
constexpr int kLockAttempts = 4;

struct OutputState {
  int fd = -1;              // where the bytes go: the temporary, or the destination itself
  int destinationFd = -1;   // the existing destination, holding its lock until commit
  bool viaTemporary = false;
  char destination[PATH_MAX] = {};  // resolved path the temporary replaces
  char temporary[PATH_MAX] = {};    // ".<name>.XXXXXX.tmp" in the destination's directory
};

// The process's one open output.
OutputState gOutput;

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when one of `inputs` names the file described by `file`.
bool IsAnInput(std::initializer_list<const char*> inputs, const struct stat& file) {
  for (const char* input : inputs) {
    struct stat status;
    if (input != nullptr && stat(input, &status) == 0 && SameFile(status, file)) return true;
  }
  return false;
}

// Follows `path` through dangling symbolic links to the name a new file
// would get, and writes that name with its directory resolved to
// `resolved`. False when the directory does not exist or a part is too long.
bool ResolveNewFile(const char* path, char (&resolved)[PATH_MAX]) {
  char current[PATH_MAX];
  if (!posix::CopyPath(path, current)) return false;
  for (int hop = 0;; ++hop) {
    const posix::LinkStep step = posix::FollowLink(current);
    if (step == posix::LinkStep::NotALink) break;  // the name to create
    if (step == posix::LinkStep::TooLong || hop == posix::kMostLinkHops) return false;
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
bool LockExistingDestination(OutputState* output, struct stat* status) {
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

// Creates the temporary file beside the resolved destination and arms the
// signal clean-up for it. `existing` is the file it will replace, or nullptr.
bool CreateTemporary(OutputState* output, const struct stat* existing) {
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
  posix::BlockCleanupSignals(&previousMask);
  output->fd = mkostemps(output->temporary, kTemporarySuffixLength, O_CLOEXEC);
  if (output->fd >= 0) posix::ArmCleanup(output->temporary);
  sigprocmask(SIG_SETMASK, &previousMask, nullptr);
  if (output->fd < 0) return false;
  output->viaTemporary = true;
  return existing == nullptr ||
         posix::CarryOverMetadata(output->destinationFd, output->fd, *existing);
}

// Writes through one of the process's own descriptors, as given: appending
// where it appends, after what earlier writers left. It must be open for
// writing and not be one of the inputs. Unlocked: the lock would belong to
// the description the process shares with its parent and outlive the run.
bool OpenThroughDescriptor(int descriptor, std::initializer_list<const char*> inputs,
                           OutputState* output) {
  const int flags = fcntl(descriptor, F_GETFL);
  struct stat status;
  if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY || fstat(descriptor, &status) != 0 ||
      IsAnInput(inputs, status)) {
    return false;
  }
  output->fd = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  return output->fd >= 0;
}

// Opens a destination that is not a regular file (a device, a FIFO) for
// writing in place, under the same lock.
bool OpenDirectly(const char* path, OutputState* output) {
  output->fd = open(path, O_WRONLY | O_CLOEXEC);
  return output->fd >= 0 && flock(output->fd, LOCK_EX | LOCK_NB) == 0;
}

// Opens `path` into the process's output state; false when it cannot be
// written or replaced (the caller then abandons what was opened).
bool OpenOutput(const char* path, std::initializer_list<const char*> inputs, OutputState* output) {
  const int descriptor = posix::NamedDescriptor(path);
  if (descriptor >= 0) return OpenThroughDescriptor(descriptor, inputs, output);
  struct stat destination;
  if (stat(path, &destination) != 0) {
    return errno == ENOENT && ResolveNewFile(path, output->destination) &&
           CreateTemporary(output, nullptr);
  }
  if (IsAnInput(inputs, destination)) return false;
  if (!S_ISREG(destination.st_mode)) return OpenDirectly(path, output);
  return realpath(path, output->destination) != nullptr &&
         LockExistingDestination(output, &destination) &&
         posix::MayReplace(output->destination, destination) &&
         CreateTemporary(output, &destination);
}

#if defined(__linux__) && !defined(PNG2ZEQ_GENERIC_POSIX)
// Puts the complete temporary in place on Linux. An existing destination is
// swapped with the temporary and then removed under the temporary's name,
// and only then is writing the new file out started, as a rename over the
// old file would have done: on ext4, removing the old file while that
// writeback runs makes the removal wait for it, a few percent of a run.
// Where the file system cannot swap, a plain rename. False when the
// destination is as it was.
bool PlaceTemporary(OutputState* output) {
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
#else
// Puts the complete temporary in place on any POSIX system (macOS, the
// BSDs): rename(2) replaces the destination's name in one step. False when
// the destination is as it was.
bool PlaceTemporary(OutputState* output) {
  return std::rename(output->temporary, output->destination) == 0;
}
#endif

}  // namespace

bool InUse() { return gOutput.fd >= 0 || gOutput.destinationFd >= 0; }

bool Open(const char* path, std::initializer_list<const char*> inputs) {
  posix::IgnoreFileSizeSignal();
  return OpenOutput(path, inputs, &gOutput);
}

ptrdiff_t Write(const void* data, size_t size) { return write(gOutput.fd, data, size); }

bool Commit() {
  if (!gOutput.viaTemporary) {
    const bool closed = close(gOutput.fd) == 0;
    gOutput.fd = -1;
    return closed;
  }
  sigset_t previousMask;
  posix::BlockCleanupSignals(&previousMask);
  const bool placed = PlaceTemporary(&gOutput);
  if (!placed) unlink(gOutput.temporary);
  posix::DisarmCleanup();
  sigprocmask(SIG_SETMASK, &previousMask, nullptr);
  gOutput.viaTemporary = false;
  return placed;
}

void Close() {
  if (gOutput.fd >= 0) close(gOutput.fd);
  gOutput.fd = -1;
  if (gOutput.viaTemporary) {
    sigset_t previousMask;
    posix::BlockCleanupSignals(&previousMask);
    unlink(gOutput.temporary);
    posix::DisarmCleanup();
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    gOutput.viaTemporary = false;
  }
  if (gOutput.destinationFd >= 0) close(gOutput.destinationFd);
  gOutput.destinationFd = -1;
  posix::RestoreFileSizeSignal();
}

}  // namespace png2zeq::system_output
