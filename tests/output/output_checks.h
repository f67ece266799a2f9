#pragma once
// What the deflate and writer tests share: inflating a stored block, the
// size bound a compressed block must respect, and a snapshot of whatever
// sits at an output path so a failed run can be shown to have left it alone.

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "support/png_builder.h"

namespace png2zeq::testing {

// The largest zlib stream one deflate call at level 6 (32 KiB window,
// memory level 8) may produce for `rawLength` input bytes.
uint64_t DeflateBound(uint64_t rawLength);

// Inflates `length` bytes that must form exactly one zlib stream holding
// exactly `rawLength` bytes; returns true and fills `raw` only then.
bool InflateExactly(const uint8_t* data, size_t length, size_t rawLength, Bytes* raw);

// The deflate stage's and the writer's verbose lines, as printed.
std::string DeflatedLine(uint32_t rawLength, uint32_t compressedLength);
std::string OutputFileLine(const std::string& path);

// `length` bytes from a fixed-seed generator: data deflate cannot shrink.
Bytes RandomBytes(size_t length, uint32_t seed);

// What is at a path: its type and, for a regular file, its bytes.
struct PathState {
  bool exists = false;
  mode_t type = 0;  // st_mode & S_IFMT
  Bytes content;    // regular files only; a device is never read
  bool operator==(const PathState&) const = default;
};
PathState ObservePath(const std::string& path);

// An exclusive advisory lock on `path`, taken through an open file
// description of its own, as a concurrent run would hold it (on Windows,
// the file open for writing with only reading shared).
class HeldLock {
 public:
  explicit HeldLock(const std::string& path);
  ~HeldLock();
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  void* handle_ = nullptr;  // Windows
  bool held_ = false;
};

}  // namespace png2zeq::testing
