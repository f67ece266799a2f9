// Following symbolic links, and recognising an output path that names one
// of the process's own open descriptors: /dev/stdout, /dev/fd/N,
// /proc/self/fd/N and links to them.
// Such a path must be written through the descriptor, so that `>>` appends
// and consecutive runs into one redirection follow each other; opened anew,
// it would name whatever file the descriptor has open and be replaced.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/posix_output.h"

namespace png2zeq::posix {
namespace {

// The number a descriptor directory entry stands for, or -1 when `name` is
// not all digits.
int DescriptorNumber(const char* name) {
  if (*name == '\0' || std::strlen(name) > 9) return -1;
  int number = 0;
  for (const char* digit = name; *digit != '\0'; ++digit) {
    if (*digit < '0' || *digit > '9') return -1;
    number = number * 10 + (*digit - '0');
  }
  return number;
}

// True when `directory` (resolved, absolute) lists this process's
// descriptors: /dev/fd where it is a directory of its own, /proc/<pid>/fd,
// or a thread's /proc/<pid>/task/<tid>/fd.
bool IsOwnDescriptorDirectory(const char* directory) {
  if (std::strcmp(directory, "/dev/fd") == 0) return true;
  char own[64];
  const int length = std::snprintf(own, sizeof own, "/proc/%ld/", static_cast<long>(getpid()));
  if (std::strncmp(directory, own, static_cast<size_t>(length)) != 0) return false;
  const char* rest = directory + length;
  if (std::strncmp(rest, "task/", 5) == 0) {
    rest = std::strchr(rest + 5, '/');
    if (rest == nullptr) return false;
    ++rest;
  }
  return std::strcmp(rest, "fd") == 0;
}

// The descriptor `path` names directly (its resolved directory is a
// descriptor directory), or -1.
int DirectlyNamedDescriptor(const char* path) {
  char directory[PATH_MAX];
  const char* slash = std::strrchr(path, '/');
  const char* name = slash != nullptr ? slash + 1 : path;
  const int number = DescriptorNumber(name);
  if (number < 0) return -1;
  char parent[PATH_MAX];
  const int kept = slash == nullptr ? 0 : (slash == path ? 1 : static_cast<int>(slash - path));
  std::snprintf(parent, sizeof parent, "%.*s", kept, kept == 0 ? "." : path);
  if (realpath(kept == 0 ? "." : parent, directory) == nullptr) return -1;
  return IsOwnDescriptorDirectory(directory) ? number : -1;
}

}  // namespace

bool CopyPath(const char* text, char (&buffer)[PATH_MAX]) {
  const int length = std::snprintf(buffer, PATH_MAX, "%s", text);
  return length >= 0 && length < PATH_MAX;
}

LinkStep FollowLink(char (&path)[PATH_MAX]) {
  char target[PATH_MAX];
  const ssize_t length = readlink(path, target, sizeof target - 1);
  if (length < 0) return LinkStep::NotALink;
  target[length] = '\0';
  const char* slash = std::strrchr(path, '/');
  const int keep =
      (target[0] == '/' || slash == nullptr) ? 0 : static_cast<int>(slash - path) + 1;
  char next[PATH_MAX];
  const int written = std::snprintf(next, sizeof next, "%.*s%s", keep, path, target);
  if (written < 0 || written >= PATH_MAX) return LinkStep::TooLong;
  std::memcpy(path, next, static_cast<size_t>(written) + 1);
  return LinkStep::Followed;
}

int NamedDescriptor(const char* path) {
  char current[PATH_MAX];
  if (!CopyPath(path, current)) return -1;
  for (int hop = 0; hop <= kMostLinkHops; ++hop) {
    const int number = DirectlyNamedDescriptor(current);
    if (number >= 0) return fcntl(number, F_GETFD) != -1 ? number : -1;
    // Not a link: an ordinary name.
    if (FollowLink(current) != LinkStep::Followed) return -1;
  }
  return -1;
}

}  // namespace png2zeq::posix
