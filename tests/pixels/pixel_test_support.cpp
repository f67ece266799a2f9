#include "pixel_test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <random>

#include "common/heap.h"
#include "pixels/burkes_dither.h"
#include "pixels/transcode.h"
#include "support/temp_dir.h"

namespace png2zeq::testing {

uint32_t DecodedBytesPerPixel(uint8_t colourType) {
  switch (colourType) {
    case kGrey: return 1;
    case kGreyAlpha: return 2;
    case kRgb: return 3;
    case kRgba: return 4;
    default: return 0;
  }
}

JobWithBlock::JobWithBlock(uint32_t width, uint32_t height, uint8_t colourType,
                           const Samples& samples, const char* depthText, bool dither) {
  job_.width = width;
  job_.height = height;
  job_.pngColourType = colourType;
  job_.depthText = depthText;
  if (dither) {
    job_.ditherState = BurkesDitherState;
    job_.ditherError = BurkesDitherError;
  }
  job_.pixelLength = static_cast<uint32_t>(samples.size());
  job_.pixels = static_cast<uint8_t*>(AllocateBlock(samples.size()));
  if (job_.pixels == nullptr) {
    ADD_FAILURE() << "could not allocate the source block";
    return;
  }
  if (!samples.empty()) std::memcpy(job_.pixels, samples.data(), samples.size());
}

JobWithBlock::~JobWithBlock() { FreeBlock(job_.pixels); }

Samples JobWithBlock::Block() const {
  if (job_.pixels == nullptr) return {};
  return Samples(job_.pixels, job_.pixels + job_.pixelLength);
}

Samples Transcode565(uint32_t width, uint32_t height, uint8_t colourType, const Samples& samples,
                     bool dither) {
  JobWithBlock holder(width, height, colourType, samples, "565", dither);
  const ErrorCode result = TranscodePixels(holder.job());
  EXPECT_EQ(result, ErrorCode::OK);
  return holder.Block();
}

Samples RandomSamples(size_t count, uint32_t seed, uint8_t low, uint8_t high) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(low, high);
  Samples samples(count);
  for (uint8_t& sample : samples) sample = static_cast<uint8_t>(byte(generator));
  return samples;
}

Samples RepeatPixel(const Samples& pixel, size_t count) {
  Samples samples;
  samples.reserve(pixel.size() * count);
  for (size_t i = 0; i < count; ++i) samples.insert(samples.end(), pixel.begin(), pixel.end());
  return samples;
}

std::vector<uint16_t> ColourWords(const Samples& block, uint32_t bytesPerPixel) {
  std::vector<uint16_t> words;
  for (size_t offset = 0; offset + 1 < block.size(); offset += bytesPerPixel) {
    words.push_back(static_cast<uint16_t>(block[offset] | block[offset + 1] << 8));
  }
  return words;
}

Samples AddAlpha(const Samples& rgb, const Samples& alpha) {
  Samples rgba;
  rgba.reserve(rgb.size() / 3 * 4);
  for (size_t pixel = 0; pixel * 3 < rgb.size(); ++pixel) {
    rgba.insert(rgba.end(), rgb.begin() + static_cast<std::ptrdiff_t>(pixel * 3),
                rgb.begin() + static_cast<std::ptrdiff_t>(pixel * 3 + 3));
    rgba.push_back(alpha[pixel % alpha.size()]);
  }
  return rgba;
}

std::string PhotoPath(const std::string& name) { return SharedDataDir() + "/photos/" + name; }

bool FileExists(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace png2zeq::testing
