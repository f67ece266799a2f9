#include "output/deflate_stage.h"

#include <zlib.h>

#include <cstdio>

#include "common/heap.h"
#include "output/strong_deflate.h"

namespace png2zeq {
namespace {

// zlib's default level and memory level: the files the devices were built
// against use them.
constexpr int kCompressionLevel = 6;
constexpr int kMemoryLevel = 8;
// -best below the full window: zlib's strongest settings, which keep the
// window that the zlib header declares (libdeflate's streams always declare
// 32 KiB).
constexpr int kStrongestLevel = 9;
constexpr int kLargestMemoryLevel = 9;

// Ends the stream on every path once buffer ownership is settled.
struct DeflateStream {
  z_stream stream{};
  ~DeflateStream() { deflateEnd(&stream); }
};

// The deflateInit2 parameters in which the streams differ.
struct ZlibSettings {
  int level;
  int windowBits;
  int memoryLevel;
};

// A zlib stream of the job's block, made by a single deflate call.
struct ZlibOutput {
  uint8_t* stream;  // a block from AllocateBlock, or nullptr
  uint32_t length;
};

// Deflates the job's block with `settings` into a new block. With `limit`
// 0 the block is deflateBound-sized and the result is OK with the stream,
// OutOfMemory, or DeflateFailed (saying why when verbose). With a `limit`,
// the stream is kept only when shorter than `limit` bytes: otherwise the
// result is OK with no stream. Frees every block it does not hand over.
ErrorCode DeflateWithZlib(const ConversionJob& job, const ZlibSettings& settings, uint32_t limit,
                          ZlibOutput& output) {
  output = {nullptr, 0};
  // A failed initialisation leaves the stream without state: deflateBound
  // then gives its conservative bound and deflate reports Z_STREAM_ERROR,
  // which ends the stage below as DeflateFailed.
  DeflateStream deflater;
  z_stream& stream = deflater.stream;
  deflateInit2(&stream, settings.level, Z_DEFLATED, settings.windowBits, settings.memoryLevel,
               Z_DEFAULT_STRATEGY);
  uLong capacity = deflateBound(&stream, job.pixelLength);
  if (limit != 0) {
    if (limit <= 1) return ErrorCode::OK;  // no zlib stream is that short
    capacity = capacity < limit - 1 ? capacity : limit - 1;
  }
  auto* compressed = static_cast<uint8_t*>(AllocateBlock(capacity));
  if (compressed == nullptr) return ErrorCode::OutOfMemory;

  stream.next_in = job.pixels;
  stream.avail_in = job.pixelLength;
  stream.next_out = compressed;
  stream.avail_out = static_cast<uInt>(capacity);
  const int status = deflate(&stream, Z_FINISH);
  const auto totalIn = static_cast<uint32_t>(stream.total_in);
  if (limit != 0 && status != Z_STREAM_END && stream.avail_out == 0) {
    FreeBlock(compressed);  // not shorter than the stream it would replace
    return ErrorCode::OK;
  }
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
  output = {compressed, static_cast<uint32_t>(stream.total_out)};
  return ErrorCode::OK;
}

// -best: the strongest stream for the job's window when it is shorter than
// `limit` bytes (OK with no stream otherwise), or an error as above.
ErrorCode DeflateStrongly(const ConversionJob& job, int windowBits, uint32_t limit,
                          ZlibOutput& output) {
  if (windowBits == ZEQ_WINDOW_BITS_MAX) {
    output = {nullptr, 0};
    return CompressStrongly(job.pixels, job.pixelLength, limit, &output.stream, &output.length);
  }
  return DeflateWithZlib(job, {kStrongestLevel, windowBits, kLargestMemoryLevel}, limit, output);
}

}  // namespace

ErrorCode CompressPixels(ConversionJob& job) {
  if (job.uncompressed) {
    if (job.verbose) std::printf("Not deflating.\n");
    job.header.compressedLength = 0;
    return ErrorCode::OK;
  }

  const int windowBits = job.windowBits == 0 ? ZEQ_WINDOW_BITS_MAX : job.windowBits;
  if (job.verbose && job.windowBits != 0) {
    std::printf("Window %d bits, %d bytes\n", windowBits, 1 << windowBits);
  }
  ZlibOutput chosen{};
  ErrorCode result =
      DeflateWithZlib(job, {kCompressionLevel, windowBits, kMemoryLevel}, 0, chosen);
  if (result != ErrorCode::OK) return result;

  // -best: the strongest stream replaces the default one only when shorter.
  if (job.best) {
    ZlibOutput strong{};
    result = DeflateStrongly(job, windowBits, chosen.length, strong);
    if (result != ErrorCode::OK || strong.stream != nullptr) FreeBlock(chosen.stream);
    if (result != ErrorCode::OK) return result;
    if (strong.stream != nullptr) chosen = strong;
  }

  const uint32_t totalIn = job.pixelLength;
  FreeBlock(job.pixels);
  job.pixels = chosen.stream;
  job.pixelLength = chosen.length;
  job.header.compressedLength = chosen.length;
  if (job.verbose) std::printf("Deflated %u -> %u\n", totalIn, chosen.length);
  return ErrorCode::OK;
}

}  // namespace png2zeq
