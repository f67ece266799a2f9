// Dithered reduction of whole images through the transcoding stage.

#include <gtest/gtest.h>

#include <vector>

#include "pixel_test_support.h"

namespace png2zeq {
namespace {

using testing::BlueLevel;
using testing::ColourWords;
using testing::GreenLevel;
using testing::kRgb;
using testing::kRgba;
using testing::RandomSamples;
using testing::RedLevel;
using testing::RepeatPixel;
using testing::Samples;
using testing::Transcode565;

TEST(DitherImage, UniformGreyishEightByFour) {
  const Samples source = RepeatPixel({100, 100, 100}, 8 * 4);
  const std::vector<uint16_t> words = ColourWords(Transcode565(8, 4, kRgb, source, true), 2);
  ASSERT_EQ(words.size(), 32u);
  const uint32_t expected[4][8] = {
      {13, 12, 13, 13, 12, 13, 13, 12},
      {13, 12, 13, 12, 13, 12, 13, 12},
      {13, 12, 13, 12, 13, 12, 13, 12},
      {13, 12, 13, 12, 13, 12, 13, 12},
  };
  for (uint32_t row = 0; row < 4; ++row) {
    for (uint32_t column = 0; column < 8; ++column) {
      const uint16_t word = words[row * 8 + column];
      EXPECT_EQ(RedLevel(word), expected[row][column]) << row << ',' << column;
      EXPECT_EQ(GreenLevel(word), 25u) << row << ',' << column;
      EXPECT_EQ(BlueLevel(word), expected[row][column]) << row << ',' << column;
    }
  }
}

// White stays white: the error each pixel passes on is clamped away. Black
// makes no error at all.
TEST(DitherImage, WhiteAndBlackStayPure) {
  const struct {
    uint8_t value;
    uint16_t word;
  } cases[] = {{255, 0xFFFF}, {0, 0x0000}};
  for (const auto& c : cases) {
    for (const uint8_t colourType : {kRgb, kRgba}) {
      const uint32_t channels = colourType == kRgb ? 3 : 4;
      const Samples source(static_cast<size_t>(13) * 5 * channels, c.value);
      const Samples block = Transcode565(13, 5, colourType, source, true);
      for (const uint16_t word : ColourWords(block, channels - 1)) {
        ASSERT_EQ(word, c.word) << int{c.value} << " colour type " << int{colourType};
      }
    }
  }
}

TEST(DitherImage, OnePixelRoundsToTheNearestLevels) {
  const struct {
    Samples rgb;
    Samples stored;
  } cases[] = {
      {{4, 2, 4}, {0x21, 0x08}},     {{3, 1, 3}, {0x00, 0x00}},
      {{255, 255, 255}, {0xFF, 0xFF}}, {{251, 253, 251}, {0xFF, 0xFF}},
      {{128, 128, 128}, {0x10, 0x84}}, {{12, 6, 20}, {0x42, 0x18}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Transcode565(1, 1, kRgb, c.rgb, true), c.stored);
  }
}

// A single row only ever uses the same-row weights, so it comes out as the
// first row of any taller image that starts with it.
TEST(DitherImage, SingleRowIgnoresWhatWouldFollow) {
  const std::vector<uint16_t> row =
      ColourWords(Transcode565(8, 1, kRgb, RepeatPixel({100, 100, 100}, 8), true), 2);
  EXPECT_EQ(row, (std::vector<uint16_t>{0x6B2D, 0x632C, 0x6B2D, 0x6B2D, 0x632C, 0x6B2D, 0x6B2D,
                                        0x632C}));

  const Samples first = RandomSamples(31 * 3, 7);
  Samples taller = first;
  const Samples rest = RandomSamples(31 * 3 * 4, 8);
  taller.insert(taller.end(), rest.begin(), rest.end());
  const Samples alone = Transcode565(31, 1, kRgb, first, true);
  const Samples top = Transcode565(31, 5, kRgb, taller, true);
  EXPECT_EQ(alone, Samples(top.begin(), top.begin() + static_cast<std::ptrdiff_t>(alone.size())));
}

// Width 1: each pixel receives only 4/32 of the error of the pixel above.
// With more (the textbook 8/32 straight below) these columns would change.
TEST(DitherImage, WidthOneReceivesAQuarterOfAnEighth) {
  EXPECT_EQ(ColourWords(Transcode565(1, 6, kRgb, RepeatPixel({3, 1, 3}, 6), true), 2),
            std::vector<uint16_t>(6, 0x0000));
  EXPECT_EQ(ColourWords(Transcode565(1, 6, kRgb, RepeatPixel({4, 2, 4}, 6), true), 2),
            std::vector<uint16_t>(6, 0x0821));
  // White hands (7, 3, 7) down; 4/32 of it lifts red and blue of 3 to 3.875,
  // level 1, but green 1 only to 1.375, level 0. A 2/32 share would not.
  EXPECT_EQ(ColourWords(Transcode565(1, 2, kRgb, {255, 255, 255, 3, 1, 3}, true), 2),
            (std::vector<uint16_t>{0xFFFF, 0x0801}));
}

TEST(DitherImage, AlphaIsCopiedUnchanged) {
  const uint32_t width = 37, height = 23;
  const Samples source = RandomSamples(static_cast<size_t>(width) * height * 4, 11);
  const Samples block = Transcode565(width, height, kRgba, source, true);
  ASSERT_EQ(block.size(), static_cast<size_t>(width) * height * 3);
  for (size_t pixel = 0; pixel < static_cast<size_t>(width) * height; ++pixel) {
    ASSERT_EQ(block[pixel * 3 + 2], source[pixel * 4 + 3]) << pixel;
  }
}

// Alpha takes no part in the diffusion: the colour words do not depend on it.
TEST(DitherImage, RgbAndRgbaGiveTheSameColourWords) {
  const uint32_t width = 41, height = 17;
  const Samples rgb = RandomSamples(static_cast<size_t>(width) * height * 3, 21);
  const Samples rgba = testing::AddAlpha(rgb, RandomSamples(97, 22));
  EXPECT_EQ(ColourWords(Transcode565(width, height, kRgb, rgb, true), 2),
            ColourWords(Transcode565(width, height, kRgba, rgba, true), 3));
}

// A smooth ramp is where dithering shows: it must not be the plain result.
TEST(DitherImage, DiffersFromThePlainReductionOnARamp) {
  Samples ramp;
  for (int x = 0; x < 64; ++x) ramp.insert(ramp.end(), {static_cast<uint8_t>(x), 0, 0});
  EXPECT_NE(Transcode565(64, 1, kRgb, ramp, true), Transcode565(64, 1, kRgb, ramp, false));
}

}  // namespace
}  // namespace png2zeq
