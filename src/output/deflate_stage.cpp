#include "output/deflate_stage.h"

#include <zlib.h>

#include <cstdio>

#include "common/heap.h"
#include "output/strong_deflate.h"

namespace png2zeq {
namespace {

// zlib's default level: the files the devices were built against use it.
constexpr int kCompressionLevel = 6;

// Ends the stream on every path once buffer ownership is settled.
struct DeflateStream {
  z_stream stream{};
  ~DeflateStream() { deflateEnd(&stream); }
};

}  // namespace

ErrorCode CompressPixels(ConversionJob& job) {
  if (job.uncompressed) {
    if (job.verbose) std::printf("Not deflating.\n");
    job.header.compressedLength = 0;
    return ErrorCode::OK;
  }

  // A failed initialisation leaves the stream without state: deflateBound
  // then gives its conservative bound and deflate reports Z_STREAM_ERROR,
  // which ends the stage below as DeflateFailed.
  DeflateStream deflater;
  z_stream& stream = deflater.stream;
  deflateInit(&stream, kCompressionLevel);
  const uLong bound = deflateBound(&stream, job.pixelLength);
  auto* compressed = static_cast<uint8_t*>(AllocateBlock(bound));
  if (compressed == nullptr) return ErrorCode::OutOfMemory;

  stream.next_in = job.pixels;
  stream.avail_in = job.pixelLength;
  stream.next_out = compressed;
  stream.avail_out = static_cast<uInt>(bound);
  const int status = deflate(&stream, Z_FINISH);
  const auto totalIn = static_cast<uint32_t>(stream.total_in);
  auto totalOut = static_cast<uint32_t>(stream.total_out);
  if (status != Z_STREAM_END || totalIn != job.pixelLength) {
    if (job.verbose) {
      if (status != Z_STREAM_END) {
        std::printf("Deflate failed with error %d\n", status);
      } else {
        std::printf("Deflate input count mismatch, expected %u got %u\n", job.pixelLength,
                    totalIn);
      }
    }
    FreeBlock(compressed);
    return ErrorCode::DeflateFailed;
  }

  // -best: libdeflate's stream replaces zlib's only when it is shorter.
  if (job.best) {
    uint8_t* strong = nullptr;
    uint32_t strongLength = 0;
    const ErrorCode result =
        CompressStrongly(job.pixels, job.pixelLength, totalOut, &strong, &strongLength);
    if (result != ErrorCode::OK || strong != nullptr) FreeBlock(compressed);
    if (result != ErrorCode::OK) return result;
    if (strong != nullptr) {
      compressed = strong;
      totalOut = strongLength;
    }
  }

  FreeBlock(job.pixels);
  job.pixels = compressed;
  job.pixelLength = totalOut;
  job.header.compressedLength = totalOut;
  if (job.verbose) std::printf("Deflated %u -> %u\n", totalIn, totalOut);
  return ErrorCode::OK;
}

}  // namespace png2zeq
