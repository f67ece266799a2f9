#include "pixels/transcode.h"

#include <cstdio>

#include "common/heap.h"
#include "pixels/depth_text.h"
#include "pixels/pixel_format_table.h"

namespace png2zeq {
namespace {

// Prints the verbose line of `entry`, which converts the colour type
// `colourType` to `length` bytes: the formats' names come from zeq_format.h,
// the decoded one being what the table gives without -depth.
void PrintTranscoding(const PixelFormatEntry& entry, uint8_t colourType, uint32_t length) {
  if (entry.transcoder == nullptr) {
    std::printf("No transpose, length %u\n", length);
    return;
  }
  const PixelFormatEntry* decoded = FindPixelFormat(0, colourType);
  std::printf("Transposing %s to %s, length %u\n", FindZeqFormat(decoded->pixelFormat)->name,
              FindZeqFormat(entry.pixelFormat)->name, length);
}

}  // namespace

ErrorCode TranscodePixels(ConversionJob& job) {
  const uint32_t depth = ParseDepthText(job.depthText);
  const PixelFormatEntry* entry = FindPixelFormat(depth, job.pngColourType);
  if (entry == nullptr) {
    // No line end: the driver's error line continues this one.
    std::printf("Lookup for format \"%s\" with PNG colour %u failed.",
                job.depthText != nullptr ? job.depthText : "", job.pngColourType);
    return ErrorCode::TranscodeLookup;
  }

  const auto length =
      static_cast<uint32_t>(zeq_bytes_per_pixel(entry->pixelFormat) * job.height * job.width);
  if (job.verbose) PrintTranscoding(*entry, job.pngColourType, length);

  if (entry->transcoder != nullptr) {
    auto* transcoded = static_cast<uint8_t*>(AllocateBlock(length));
    if (transcoded == nullptr) return ErrorCode::OutOfMemory;
    DitherState* state = nullptr;
    if (job.ditherState != nullptr) {
      state = job.ditherState(job, true, nullptr);
      if (state == nullptr) {
        FreeBlock(transcoded);
        return ErrorCode::OutOfMemory;
      }
    }
    entry->transcoder(job, transcoded, state);
    FreeBlock(job.pixels);
    if (job.ditherState != nullptr) job.ditherState(job, false, state);
    job.pixels = transcoded;
    job.pixelLength = length;
  }

  job.header.pixelFormat = entry->pixelFormat;
  job.header.width = job.width;
  job.header.height = job.height;
  job.header.rawLength = job.pixelLength;
  return ErrorCode::OK;
}

}  // namespace png2zeq
