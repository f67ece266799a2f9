// The plain reduction to 565: low bits dropped, red in the low bits of the
// word, the word stored low byte first, alpha copied.

#include <gtest/gtest.h>

#include "pixel_test_support.h"
#include "pixels/pixel565.h"

namespace png2zeq {
namespace {

using testing::kRgb;
using testing::kRgba;
using testing::Samples;
using testing::Transcode565;

TEST(PixelPacking, PlainRgbExamples) {
  const struct {
    Samples rgb;
    Samples stored;
  } cases[] = {
      {{255, 255, 255}, {0xFF, 0xFF}},
      {{248, 252, 248}, {0xFF, 0xFF}},
      {{8, 4, 8}, {0x21, 0x08}},
      {{7, 3, 7}, {0x00, 0x00}},
      {{255, 0, 0}, {0x1F, 0x00}},  // red in bits 0-4
      {{0, 255, 0}, {0xE0, 0x07}},  // green in bits 5-10
      {{0, 0, 255}, {0x00, 0xF8}},  // blue in bits 11-15
      {{0, 0, 0}, {0x00, 0x00}},
      {{247, 251, 247}, {0xDE, 0xF7}},  // 30, 62, 30: each one below the top
      {{16, 0, 0}, {0x02, 0x00}},
      {{0, 8, 0}, {0x40, 0x00}},
      {{0, 0, 16}, {0x00, 0x10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << int{c.rgb[0]} << ',' << int{c.rgb[1]} << ','
                                      << int{c.rgb[2]});
    EXPECT_EQ(Transcode565(1, 1, kRgb, c.rgb, false), c.stored);
  }
}

TEST(PixelPacking, PlainRgbaExamplesCopyAlpha) {
  const struct {
    Samples rgba;
    Samples stored;
  } cases[] = {
      {{8, 4, 8, 255}, {0x21, 0x08, 0xFF}},
      {{0, 0, 0, 200}, {0x00, 0x00, 0xC8}},
      {{255, 255, 255, 0}, {0xFF, 0xFF, 0x00}},
      {{255, 0, 0, 1}, {0x1F, 0x00, 0x01}},
      {{0, 0, 255, 128}, {0x00, 0xF8, 0x80}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Transcode565(1, 1, kRgba, c.rgba, false), c.stored);
  }
}

// Every channel on its own, over every byte value: the level is the byte
// with its low bits dropped, and no other field is touched.
TEST(PixelPacking, EachChannelDropsItsLowBitsOnly) {
  Samples rgb;
  for (int channel = 0; channel < 3; ++channel) {
    for (int value = 0; value < 256; ++value) {
      Samples pixel = {0, 0, 0};
      pixel[channel] = static_cast<uint8_t>(value);
      rgb.insert(rgb.end(), pixel.begin(), pixel.end());
    }
  }
  const std::vector<uint16_t> words =
      testing::ColourWords(Transcode565(256, 3, kRgb, rgb, false), 2);
  ASSERT_EQ(words.size(), 768u);
  for (uint32_t value = 0; value < 256; ++value) {
    EXPECT_EQ(words[value], value / 8) << value;
    EXPECT_EQ(words[256 + value], (value / 4) << 5) << value;
    EXPECT_EQ(words[512 + value], (value / 8) << 11) << value;
  }
}

// Rows follow each other with no gap, in both layouts.
TEST(PixelPacking, RowsAreBackToBack) {
  const Samples rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 8, 4, 8, 255, 255, 255, 0, 0, 0};
  EXPECT_EQ(Transcode565(1, 6, kRgb, rgb, false), Transcode565(3, 2, kRgb, rgb, false));
  EXPECT_EQ(Transcode565(3, 2, kRgb, rgb, false),
            (Samples{0x1F, 0x00, 0xE0, 0x07, 0x00, 0xF8, 0x21, 0x08, 0xFF, 0xFF, 0x00, 0x00}));
  const Samples rgba = testing::AddAlpha(rgb, {10, 20, 30, 40, 50, 60});
  EXPECT_EQ(Transcode565(3, 2, kRgba, rgba, false),
            (Samples{0x1F, 0x00, 10, 0xE0, 0x07, 20, 0x00, 0xF8, 30, 0x21, 0x08, 40, 0xFF, 0xFF,
                     50, 0x00, 0x00, 60}));
}

TEST(PixelPacking, WordHelpersStoreLowByteFirst) {
  uint8_t stored[2] = {};
  StorePixel565(stored, PackPixel565(31, 0, 0));
  EXPECT_EQ(stored[0], 0x1F);
  EXPECT_EQ(stored[1], 0x00);
  StorePixel565(stored, PackPixel565(1, 1, 1));
  EXPECT_EQ(stored[0], 0x21);
  EXPECT_EQ(stored[1], 0x08);
}

}  // namespace
}  // namespace png2zeq
