#pragma once
// Measuring what the ZEQ file lost against the PNG it was made from.

#include <cstddef>
#include <cstdint>

#include "zeq2png/preview_pixels.h"
#include "zeq2png/zeq_result.h"

namespace zeq2png {

inline constexpr uint32_t kMaxChannels = 4;

struct ChannelDifference {
  uint64_t squaredErrorSum = 0;
  uint32_t largestDifference = 0;
};

struct SampleComparison {
  uint32_t channels = 0;
  uint64_t pixelCount = 0;
  ChannelDifference channel[kMaxChannels];
  // All channels together.
  ChannelDifference overall;
};

// Compares `pixelCount` pixels of `channels` (1..4) interleaved 8-bit
// samples each, channel by channel.
SampleComparison CompareSamples(const uint8_t* original, const uint8_t* preview,
                                size_t pixelCount, uint32_t channels);

// Peak signal-to-noise ratio in dB of 8-bit samples with the given squared
// error sum over `sampleCount` samples; +infinity when the sum is 0.
double PeakSignalToNoise(uint64_t squaredErrorSum, uint64_t sampleCount);

// Decodes the PNG at `originalPath` with the converter's decoder and prints,
// per channel and overall, the PSNR in dB ("inf" when no sample differs)
// and the largest absolute difference against `preview`. Returns OK,
// CompareReadFailed, CompareSizeMismatch, CompareLayoutMismatch or
// OutOfMemory. Prints the table only on OK, followed by a note for each
// kind of chunk the converter ignores (ignored_chunks.h); a mismatch prints one line
// giving both images' size and layout.
ZeqResult CompareWithOriginal(const char* originalPath, const PreviewImage& preview);

}  // namespace zeq2png
