#include "output/output_checks.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif
#include <sys/stat.h>
#include <zlib.h>

#include <cstdio>
#include <random>

namespace png2zeq::testing {

uint64_t DeflateBound(uint64_t rawLength) {
  return rawLength + (rawLength >> 12) + (rawLength >> 14) + (rawLength >> 25) + 13;
}

bool InflateExactly(const uint8_t* data, size_t length, size_t rawLength, Bytes* raw) {
  // One spare byte: a stream holding more than rawLength bytes must not fit.
  Bytes inflated(rawLength + 1);
  uLongf inflatedLength = static_cast<uLongf>(inflated.size());
  uLong consumed = static_cast<uLong>(length);
  const int status = uncompress2(inflated.data(), &inflatedLength, data, &consumed);
  if (status != Z_OK || inflatedLength != rawLength || consumed != length) return false;
  inflated.resize(inflatedLength);
  *raw = std::move(inflated);
  return true;
}

std::string DeflatedLine(uint32_t rawLength, uint32_t compressedLength) {
  char line[64];
  std::snprintf(line, sizeof line, "Deflated %u -> %u\n", rawLength, compressedLength);
  return line;
}

std::string OutputFileLine(const std::string& path) { return "Output file \"" + path + "\"\n"; }

Bytes RandomBytes(size_t length, uint32_t seed) {
  std::mt19937 generator(seed);
  Bytes bytes(length);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
  return bytes;
}

#ifdef _WIN32
// Windows' stat knows no devices: the type comes from an open handle.
PathState ObservePath(const std::string& path) {
  PathState state;
  const HANDLE handle = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return state;
  BY_HANDLE_FILE_INFORMATION file;
  const bool onDisk = GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &file);
  CloseHandle(handle);
  state.exists = true;
  state.type = static_cast<mode_t>(!onDisk ? S_IFCHR : (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? S_IFDIR : S_IFREG);
  if (state.type == S_IFREG) state.content = ReadFile(path);
  return state;
}
#else
PathState ObservePath(const std::string& path) {
  PathState state;
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return state;
  state.exists = true;
  state.type = status.st_mode & S_IFMT;
  if (S_ISREG(status.st_mode)) state.content = ReadFile(path);
  return state;
}
#endif

#ifdef _WIN32
// Open for writing, sharing only reading: how a run holds the file it replaces.
HeldLock::HeldLock(const std::string& path) {
  handle_ = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  held_ = handle_ != INVALID_HANDLE_VALUE;
}

HeldLock::~HeldLock() {
  if (held_) CloseHandle(handle_);
}
#else
HeldLock::HeldLock(const std::string& path) {
  fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
  held_ = fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

HeldLock::~HeldLock() {
  if (fd_ >= 0) close(fd_);
}
#endif

}  // namespace png2zeq::testing
