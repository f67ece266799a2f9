// The converter's dithering, which recycles two error rows, against a plain
// whole-image implementation in this test directory: byte for byte.

#include <gtest/gtest.h>

#include <string>

#include "common/heap.h"
#include "pixel_test_support.h"
#include "support/temp_dir.h"
#include "png/png_reader.h"
#include "reference_dither.h"

namespace png2zeq {
namespace {

using testing::kRgb;
using testing::kRgba;
using testing::RandomSamples;
using testing::ReferenceDither565;
using testing::Samples;
using testing::Transcode565;

// Index of the first differing byte, or -1.
long FirstDifference(const Samples& a, const Samples& b) {
  if (a.size() != b.size()) return 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return static_cast<long>(i);
  }
  return -1;
}

TEST(DitherReference, RandomImagesMatch) {
  const struct {
    uint32_t width, height;
    uint8_t low, high;  // sample range: narrow ranges near the ends hit the clamps
  } cases[] = {
      {1, 1, 0, 255},   {1, 9, 0, 255},    {9, 1, 0, 255},   {5, 3, 0, 255},
      {2, 2, 0, 255},   {64, 48, 0, 255},  {333, 7, 0, 255}, {40, 30, 0, 6},
      {40, 30, 249, 255}, {40, 30, 96, 104}, {1024, 4, 0, 255},
  };
  uint32_t seed = 100;
  for (const auto& c : cases) {
    for (const uint8_t colourType : {kRgb, kRgba}) {
      const uint32_t channels = colourType == kRgb ? 3 : 4;
      SCOPED_TRACE(::testing::Message() << c.width << 'x' << c.height << " range " << int{c.low}
                                        << '-' << int{c.high} << " channels " << channels);
      const Samples source = RandomSamples(static_cast<size_t>(c.width) * c.height * channels,
                                           ++seed, c.low, c.high);
      const Samples product = Transcode565(c.width, c.height, colourType, source, true);
      const Samples reference = ReferenceDither565(source, c.width, c.height, channels);
      EXPECT_EQ(FirstDifference(product, reference), -1);
    }
  }
}

// Decodes a photograph with the converter's own reader.
bool DecodePhoto(const std::string& path, Samples& samples, uint32_t& width, uint32_t& height,
                 uint8_t& colourType) {
  ConversionJob job{};
  job.inputPath = path.c_str();
  if (ReadPngImage(job) != ErrorCode::OK) return false;
  samples.assign(job.pixels, job.pixels + job.pixelLength);
  FreeBlock(job.pixels);
  width = job.width;
  height = job.height;
  colourType = job.pngColourType;
  return true;
}

TEST(DitherReference, PhotographsMatch) {
  const std::string names[] = {"astronaut-1024x768.png", "coffee-rgba-1024x768.png"};
  if (auto missing = testing::MissingSharedData({"photos/astronaut-1024x768.png",
                                                 "photos/coffee-rgba-1024x768.png"});
      !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  for (const std::string& name : names) {
    const std::string path = testing::PhotoPath(name);
    SCOPED_TRACE(name);
    Samples source;
    uint32_t width = 0, height = 0;
    uint8_t colourType = 0;
    ASSERT_TRUE(DecodePhoto(path, source, width, height, colourType));
    ASSERT_TRUE(colourType == kRgb || colourType == kRgba);
    const uint32_t channels = colourType == kRgb ? 3 : 4;
    const Samples product = Transcode565(width, height, colourType, source, true);
    EXPECT_EQ(FirstDifference(product, ReferenceDither565(source, width, height, channels)), -1);
    // The photographs really are dithered, not merely reduced.
    EXPECT_NE(product, Transcode565(width, height, colourType, source, false));
  }
}

}  // namespace
}  // namespace png2zeq
