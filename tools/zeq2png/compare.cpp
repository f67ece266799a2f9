#include "zeq2png/compare.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "png/png_decoder.h"
#include "zeq2png/ignored_chunks.h"

namespace zeq2png {
namespace {

constexpr double kLargestSample = 255.0;

struct ChannelNames {
  uint8_t pngColourType;
  const char* names[kMaxChannels];
};

// Names of the channels of each decoded layout, in sample order.
constexpr ChannelNames kChannelNames[] = {
    {PNG_COLOR_TYPE_GRAY, {"grey", nullptr, nullptr, nullptr}},
    {PNG_COLOR_TYPE_GRAY_ALPHA, {"grey", "alpha", nullptr, nullptr}},
    {PNG_COLOR_TYPE_RGB, {"red", "green", "blue", nullptr}},
    {PNG_COLOR_TYPE_RGB_ALPHA, {"red", "green", "blue", "alpha"}},
};

// Name of sample `channel` of a decoded layout, or "?" outside it.
const char* ChannelName(uint8_t pngColourType, uint32_t channel) {
  for (const ChannelNames& entry : kChannelNames) {
    if (entry.pngColourType == pngColourType && channel < kMaxChannels) {
      return entry.names[channel] != nullptr ? entry.names[channel] : "?";
    }
  }
  return "?";
}

// One table line: name, PSNR over `sampleCount` samples ("inf" when
// nothing differs) and the largest difference.
void PrintChannelLine(const char* name, const ChannelDifference& difference,
                      uint64_t sampleCount) {
  const double psnr = PeakSignalToNoise(difference.squaredErrorSum, sampleCount);
  if (std::isinf(psnr)) {
    std::printf("%-8s %10s %15u\n", name, "inf", difference.largestDifference);
  } else {
    std::printf("%-8s %10.2f %15u\n", name, psnr, difference.largestDifference);
  }
}

// The whole -compare report: heading, one line per channel, the line for
// all channels together and a closing verdict.
void PrintComparison(const char* originalPath, const PreviewImage& preview,
                     const SampleComparison& comparison) {
  std::printf("Compared with \"%s\": %u x %u, %s\n", originalPath, preview.width, preview.height,
              png2zeq::PngColourName(preview.pngColourType));
  std::printf("Channel  PSNR (dB)  Max difference\n");
  for (uint32_t channel = 0; channel < comparison.channels; ++channel) {
    PrintChannelLine(ChannelName(preview.pngColourType, channel), comparison.channel[channel],
                     comparison.pixelCount);
  }
  PrintChannelLine("all", comparison.overall, comparison.pixelCount * comparison.channels);
  if (comparison.overall.squaredErrorSum == 0) {
    std::printf("Identical: every sample matches the original, PSNR is infinite.\n");
  } else {
    std::printf("Differs: largest difference %u of 255.\n", comparison.overall.largestDifference);
  }
}

}  // namespace

SampleComparison CompareSamples(const uint8_t* original, const uint8_t* preview,
                                size_t pixelCount, uint32_t channels) {
  SampleComparison comparison;
  comparison.channels = channels;
  comparison.pixelCount = pixelCount;
  for (size_t pixel = 0; pixel < pixelCount; ++pixel) {
    for (uint32_t channel = 0; channel < channels; ++channel) {
      const size_t index = pixel * channels + channel;
      const int signedDifference = int{original[index]} - int{preview[index]};
      const auto difference = static_cast<uint32_t>(signedDifference < 0 ? -signedDifference
                                                                         : signedDifference);
      ChannelDifference& sums = comparison.channel[channel];
      sums.squaredErrorSum += uint64_t{difference} * difference;
      if (difference > sums.largestDifference) sums.largestDifference = difference;
    }
  }
  for (uint32_t channel = 0; channel < channels; ++channel) {
    comparison.overall.squaredErrorSum += comparison.channel[channel].squaredErrorSum;
    if (comparison.channel[channel].largestDifference > comparison.overall.largestDifference) {
      comparison.overall.largestDifference = comparison.channel[channel].largestDifference;
    }
  }
  return comparison;
}

double PeakSignalToNoise(uint64_t squaredErrorSum, uint64_t sampleCount) {
  if (squaredErrorSum == 0 || sampleCount == 0) return std::numeric_limits<double>::infinity();
  const double meanSquaredError =
      static_cast<double>(squaredErrorSum) / static_cast<double>(sampleCount);
  return 10.0 * std::log10(kLargestSample * kLargestSample / meanSquaredError);
}

ZeqResult CompareWithOriginal(const char* originalPath, const PreviewImage& preview) {
  png2zeq::PngImage image{};
  const png2zeq::PngDecodeResult read = png2zeq::DecodePng(originalPath, false, &image);
  OwnedBlock original;
  original.Adopt(image.samples, image.length);
  if (read == png2zeq::PngDecodeResult::OutOfMemory) return ZeqResult::OutOfMemory;
  if (read != png2zeq::PngDecodeResult::OK) return ZeqResult::CompareReadFailed;
  const bool sameSize = image.width == preview.width && image.height == preview.height;
  const bool sameLayout = image.colourType == preview.pngColourType;
  if (!sameSize || !sameLayout) {
    std::printf("The original \"%s\" is %u x %u %s, the ZEQ image %u x %u %s.\n", originalPath,
                image.width, image.height, png2zeq::PngColourName(image.colourType),
                preview.width, preview.height, png2zeq::PngColourName(preview.pngColourType));
    return sameSize ? ZeqResult::CompareLayoutMismatch : ZeqResult::CompareSizeMismatch;
  }

  const size_t pixelCount = size_t{preview.width} * preview.height;
  const SampleComparison comparison =
      CompareSamples(original.data, preview.samples.data, pixelCount, preview.channels);
  PrintComparison(originalPath, preview, comparison);
  PrintIgnoredChunkNotes(originalPath);
  return ZeqResult::OK;
}

}  // namespace zeq2png
