// What a replacement takes over from the file it replaces, and whether the
// user may replace that file at all.

#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__) || defined(__APPLE__)
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <cstring>

#include "platform/posix/posix_output.h"

namespace png2zeq::posix {
namespace {

#if defined(__linux__) || defined(__APPLE__)
// The largest list of names and the largest value the kernel keeps for one
// file; static, since one output is open at a time.
constexpr size_t kMostAttributeBytes = 65536;
char gAttributeNames[kMostAttributeBytes];
char gAttributeValue[kMostAttributeBytes];
char gTemporaryValue[kMostAttributeBytes];

ssize_t ListAttributes(int fd, char* names, size_t size) {
#ifdef __APPLE__
  return flistxattr(fd, names, size, 0);
#else
  return flistxattr(fd, names, size);
#endif
}

ssize_t GetAttribute(int fd, const char* name, void* value, size_t size) {
#ifdef __APPLE__
  return fgetxattr(fd, name, value, size, 0, 0);
#else
  return fgetxattr(fd, name, value, size);
#endif
}

int SetAttribute(int fd, const char* name, const void* value, size_t size) {
#ifdef __APPLE__
  return fsetxattr(fd, name, value, size, 0, 0);
#else
  return fsetxattr(fd, name, value, size, 0);
#endif
}

// Copies every extended attribute of `fromFd` (the access control list is
// one) onto `toFd`; false when one cannot be read or set. One the temporary
// already has with the same value (a security label it got on creation) is
// not set again, since that may need a privilege.
bool CopyExtendedAttributes(int fromFd, int toFd) {
  const ssize_t listed = ListAttributes(fromFd, gAttributeNames, sizeof gAttributeNames);
  if (listed < 0) return errno == ENOTSUP;  // the file system keeps none
  for (ssize_t at = 0; at < listed; at += static_cast<ssize_t>(std::strlen(gAttributeNames + at)) + 1) {
    const char* name = gAttributeNames + at;
    const ssize_t size = GetAttribute(fromFd, name, gAttributeValue, sizeof gAttributeValue);
    if (size < 0) return false;
    const ssize_t present = GetAttribute(toFd, name, gTemporaryValue, sizeof gTemporaryValue);
    if (present == size && std::memcmp(gTemporaryValue, gAttributeValue, static_cast<size_t>(size)) == 0) {
      continue;
    }
    if (SetAttribute(toFd, name, gAttributeValue, static_cast<size_t>(size)) != 0) return false;
  }
  return true;
}
#else
// No extended attributes on this kind of system, as far as this build knows.
bool CopyExtendedAttributes(int, int) { return true; }
#endif

// Length of the directory part of the absolute path `path`, or 1 for "/".
size_t DirectoryLength(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash == path ? 1 : static_cast<size_t>(slash - path);
}

}  // namespace

bool MayReplace(const char* destination, const struct stat& existing) {
  char directory[PATH_MAX];
  const size_t length = DirectoryLength(destination);
  std::memcpy(directory, destination, length);
  directory[length] = '\0';
  struct stat status;
  if (stat(directory, &status) != 0) return false;
  // In a sticky directory only the file's owner, the directory's owner and
  // a privileged user may rename or remove a file.
  const uid_t user = geteuid();
  return (status.st_mode & S_ISVTX) == 0 || user == 0 || user == existing.st_uid ||
         user == status.st_uid;
}

bool CarryOverMetadata(int fromFd, int toFd, const struct stat& existing) {
  // chown before chmod: a change of owner may clear the set-id bits. Only a
  // privileged user may give a file away; the group alone may still be kept.
  mode_t mode = existing.st_mode & 07777;
  if (fchown(toFd, existing.st_uid, existing.st_gid) != 0 &&
      fchown(toFd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
    mode &= ~static_cast<mode_t>(S_IRWXG | S_ISGID);  // another group gets nothing
  }
  return CopyExtendedAttributes(fromFd, toFd) && fchmod(toFd, mode) == 0;
}

}  // namespace png2zeq::posix
