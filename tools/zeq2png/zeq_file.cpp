#include "zeq2png/zeq_file.h"

#include <zlib.h>

#include <cstdio>

#include "common/zeq_format.h"
#include "platform/platform.h"

namespace zeq2png {
namespace {

// Closes the file on every path out of the reader.
struct InputFile {
  FILE* file = nullptr;
  ~InputFile() {
    if (file != nullptr) std::fclose(file);
  }
};

// The most bytes any format a ZEQ file may carry takes per pixel.
size_t LargestBytesPerPixel() {
  size_t largest = 0;
  for (const png2zeq::ZeqFormatInfo& format : png2zeq::kZeqFormats) {
    const size_t bytes = zeq_bytes_per_pixel(format.code);
    if (bytes > largest) largest = bytes;
  }
  return largest;
}

}  // namespace

size_t MaxZeqFileSize() {
  const uLong largestRawLength = uLong{ZEQ_MAX_WIDTH} * ZEQ_MAX_HEIGHT * LargestBytesPerPixel();
  return ZEQ_HEADER_SIZE + compressBound(largestRawLength);
}

ZeqResult ReadZeqFile(const char* path, OwnedBlock* contents) {
  contents->Release();
  InputFile input;
  input.file = png2zeq::OpenInputFile(path);
  if (input.file == nullptr) return ZeqResult::OpenInputFileFailed;
  bool sized = false;
  uint64_t fileSize = 0;
  if (!png2zeq::InspectInputFile(input.file, &sized, &fileSize)) {
    return ZeqResult::OpenInputFileFailed;
  }
  // A pipe or device reports no size; read it up to the limit all the same.
  if (sized && fileSize > MaxZeqFileSize()) return ZeqResult::ZEQFileTooLarge;

  // One byte beyond the limit shows that an unsized input is too long.
  const size_t capacity = sized ? static_cast<size_t>(fileSize) : MaxZeqFileSize() + 1;
  OwnedBlock block;
  if (!block.Allocate(capacity)) return ZeqResult::OutOfMemory;
  size_t used = 0;
  while (used < capacity) {
    const size_t got = std::fread(block.data + used, 1, capacity - used, input.file);
    if (got == 0) break;
    used += got;
  }
  if (std::ferror(input.file)) return ZeqResult::ReadInputFileFailed;
  if (sized && used != capacity) return ZeqResult::ReadInputFileFailed;
  if (used > MaxZeqFileSize()) return ZeqResult::ZEQFileTooLarge;

  contents->Adopt(block.Detach(), used);
  return ZeqResult::OK;
}

}  // namespace zeq2png
