#include "output/strong_deflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstddef>

#include "common/heap.h"

namespace png2zeq {
namespace {

// libdeflate's strongest level: an exhaustive search for the shortest stream.
constexpr int kStrongestLevel = 12;

// Frees the compressor on every path.
struct StrongCompressor {
  libdeflate_compressor* compressor;

  // The compressor's memory comes through the allocation seam like every
  // other block of the converter, so a refusal is seen and can be tested.
  StrongCompressor() {
    libdeflate_set_memory_allocator(AllocateBlock, FreeBlock);
    compressor = libdeflate_alloc_compressor(kStrongestLevel);
  }
  ~StrongCompressor() { libdeflate_free_compressor(compressor); }
  StrongCompressor(const StrongCompressor&) = delete;
  StrongCompressor& operator=(const StrongCompressor&) = delete;
};

}  // namespace

ErrorCode CompressStrongly(const uint8_t* data, uint32_t length, uint32_t limit,
                           uint8_t** stream, uint32_t* streamLength) {
  *stream = nullptr;
  *streamLength = 0;
  if (limit <= 1) return ErrorCode::OK;  // no zlib stream is that short
  const StrongCompressor strong;
  if (strong.compressor == nullptr) return ErrorCode::OutOfMemory;

  // A stream of `limit` bytes or more would not be kept, so the buffer stops
  // one byte short of it: libdeflate then answers 0 instead of a longer
  // stream, and the larger peak of a whole bound-sized buffer is avoided.
  const size_t capacity =
      std::min<size_t>(libdeflate_zlib_compress_bound(strong.compressor, length), limit - 1);
  auto* buffer = static_cast<uint8_t*>(AllocateBlock(capacity));
  if (buffer == nullptr) return ErrorCode::OutOfMemory;
  const size_t written =
      libdeflate_zlib_compress(strong.compressor, data, length, buffer, capacity);
  if (written == 0) {
    FreeBlock(buffer);
    return ErrorCode::OK;
  }
  *stream = buffer;
  *streamLength = static_cast<uint32_t>(written);
  return ErrorCode::OK;
}

}  // namespace png2zeq
