#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "common/heap.h"
#include "support/temp_dir.h"
#include "zeq2png/compare.h"
#include "zeq2png/preview_path.h"
#include "zeq2png/preview_pixels.h"
#include "zeq2png/preview_png.h"
#include "zeq2png/zeq_reader.h"
#include "zeq2png/zeq_result.h"
#include "zeq_test_support.h"

namespace zeq2png {
namespace {

using png2zeq::testing::Bytes;
using png2zeq::testing::PatternBytes;
using png2zeq::testing::RawZeqFile;

TEST(PreviewPixels, WidensTheWordByBitReplication) {
  const struct {
    uint8_t low, high;
    uint8_t red, green, blue;
  } cases[] = {
      {0x1F, 0x00, 255, 0, 0},    // red in the low bits
      {0xE0, 0x07, 0, 255, 0},    // green in bits 5-10
      {0x00, 0xF8, 0, 0, 255},    // blue in the high bits
      {0xFF, 0xFF, 255, 255, 255},
      {0x00, 0x00, 0, 0, 0},
      {0x21, 0x08, 8, 4, 8},      // level 1 everywhere
      {0x10, 0x84, 132, 130, 132}, // 16, 32, 16: the top bit repeats below
  };
  for (const auto& c : cases) {
    const uint8_t word[2] = {c.low, c.high};
    uint8_t rgb[3];
    ExpandPixel565(word, rgb);
    EXPECT_EQ(rgb[0], c.red) << std::hex << int{c.high} << int{c.low};
    EXPECT_EQ(rgb[1], c.green) << std::hex << int{c.high} << int{c.low};
    EXPECT_EQ(rgb[2], c.blue) << std::hex << int{c.high} << int{c.low};
  }
}

TEST(PreviewPixels, ReplicationSpreadsLevelsEvenlyOverTheByte) {
  for (uint32_t level = 0; level < 32; ++level) {
    EXPECT_EQ(ExpandLevel5(level) >> 3, static_cast<int>(level));
    EXPECT_NEAR(ExpandLevel5(level), level * 255.0 / 31.0, 1.0) << level;
  }
  for (uint32_t level = 0; level < 64; ++level) {
    EXPECT_EQ(ExpandLevel6(level) >> 2, static_cast<int>(level));
    EXPECT_NEAR(ExpandLevel6(level), level * 255.0 / 63.0, 1.0) << level;
  }
}

// Parses `file` and builds its preview; fails the test on any error.
void PreviewOf(const Bytes& file, PreviewImage* preview) {
  ZeqImage image;
  ASSERT_EQ(ParseZeq(file.data(), file.size(), &image), ZeqResult::OK);
  ASSERT_EQ(MakePreview(image, preview), ZeqResult::OK);
}

TEST(PreviewPixels, PassesEightBitFormatsThroughUnchanged) {
  const struct {
    uint32_t format;
    uint8_t colourType;
    uint32_t channels;
  } cases[] = {{0x0008, 0, 1}, {0x8008, 4, 2}, {0x0888, 2, 3}, {0x8888, 6, 4}};
  for (const auto& c : cases) {
    const Bytes pixels = PatternBytes(3 * 2 * c.channels, c.format);
    PreviewImage preview;
    PreviewOf(RawZeqFile(c.format, 3, 2, pixels), &preview);
    EXPECT_EQ(preview.pngColourType, c.colourType) << std::hex << c.format;
    EXPECT_EQ(preview.channels, c.channels);
    ASSERT_EQ(preview.samples.size, pixels.size());
    EXPECT_EQ(0, std::memcmp(preview.samples.data, pixels.data(), pixels.size()));
  }
}

TEST(PreviewPixels, WidensRgb565AndKeepsAlphaOfRgba5658) {
  // Two pixels: pure red, then level 1 in every channel.
  PreviewImage rgb;
  PreviewOf(RawZeqFile(0x0565, 2, 1, Bytes{0x1F, 0x00, 0x21, 0x08}), &rgb);
  EXPECT_EQ(rgb.pngColourType, 2);
  EXPECT_EQ(Bytes(rgb.samples.data, rgb.samples.data + rgb.samples.size),
            (Bytes{255, 0, 0, 8, 4, 8}));

  PreviewImage rgba;
  PreviewOf(RawZeqFile(0x8565, 2, 1, Bytes{0x00, 0xF8, 0xC8, 0xE0, 0x07, 0x01}), &rgba);
  EXPECT_EQ(rgba.pngColourType, 6);
  EXPECT_EQ(Bytes(rgba.samples.data, rgba.samples.data + rgba.samples.size),
            (Bytes{0, 0, 255, 200, 0, 255, 0, 1}));
}

TEST(PreviewPixels, RefusesAnImageTheReaderRefused) {
  Bytes file = RawZeqFile(0x0888, 4, 4, PatternBytes(4 * 4 * 3));
  file.pop_back();
  ZeqImage image;
  ASSERT_EQ(ParseZeq(file.data(), file.size(), &image), ZeqResult::ZEQFileSizeMismatch);
  PreviewImage preview;
  EXPECT_EQ(MakePreview(image, &preview), ZeqResult::ZEQRawLengthMismatch);
  EXPECT_EQ(preview.samples.data, nullptr);
}

TEST(PreviewPixels, ReportsAFailedSampleAllocation) {
  ZeqImage image;
  const Bytes file = RawZeqFile(0x0565, 2, 2, PatternBytes(8));
  ASSERT_EQ(ParseZeq(file.data(), file.size(), &image), ZeqResult::OK);
  PreviewImage preview;
  png2zeq::FailNthAllocation(1);
  const ZeqResult result = MakePreview(image, &preview);
  png2zeq::FailNthAllocation(0);
  EXPECT_EQ(result, ZeqResult::OutOfMemory);
}

TEST(PreviewPng, EncodesWhatTheConvertersReaderDecodesBack) {
  png2zeq::testing::TempDir dir;
  const struct {
    uint32_t format;
    uint32_t channels;
  } cases[] = {{0x0008, 1}, {0x8008, 2}, {0x0888, 3}, {0x8888, 4}};
  for (const auto& c : cases) {
    const Bytes pixels = PatternBytes(31 * 17 * c.channels, c.format);
    PreviewImage preview;
    PreviewOf(RawZeqFile(c.format, 31, 17, pixels), &preview);
    EncodedPng png;
    ASSERT_EQ(EncodePreviewPng(preview, &png), ZeqResult::OK);
    const std::string path = dir.File("preview.png");
    ASSERT_EQ(WriteWholeFile(path.c_str(), png.block.data, png.used), ZeqResult::OK);
    const auto decoded = png2zeq::testing::DecodeWithConverterReader(path);
    ASSERT_EQ(decoded.result, 0u);
    EXPECT_EQ(decoded.width, 31u);
    EXPECT_EQ(decoded.height, 17u);
    EXPECT_EQ(decoded.colourType, preview.pngColourType);
    EXPECT_EQ(decoded.samples, pixels) << std::hex << c.format;
  }
}

TEST(PreviewPng, ReportsAFailedBufferAllocationInsideLibpng) {
  PreviewImage preview;
  PreviewOf(RawZeqFile(0x0888, 64, 64, PatternBytes(64 * 64 * 3)), &preview);
  // The first growth of the output buffer happens inside libpng's write
  // callback, so the failure travels back by its jump.
  EncodedPng png;
  png2zeq::FailNthAllocation(1);
  const ZeqResult result = EncodePreviewPng(preview, &png);
  png2zeq::FailNthAllocation(0);
  EXPECT_EQ(result, ZeqResult::OutOfMemory);
  // Any later allocation failing (a growth past the first block) also ends cleanly.
  EncodedPng again;
  png2zeq::FailNthAllocation(2);
  const ZeqResult second = EncodePreviewPng(preview, &again);
  png2zeq::FailNthAllocation(0);
  EXPECT_EQ(second, ZeqResult::OutOfMemory);
}

TEST(PreviewPng, WriteFailuresHaveTheirCodes) {
  png2zeq::testing::TempDir dir;
  const uint8_t bytes[4] = {1, 2, 3, 4};
  const std::string missing = dir.File("no/such/dir/preview.png");
  EXPECT_EQ(WriteWholeFile(missing.c_str(), bytes, sizeof bytes), ZeqResult::CreatePNGFailed);
  EXPECT_EQ(WriteWholeFile(dir.path().c_str(), bytes, sizeof bytes), ZeqResult::CreatePNGFailed);
  if (png2zeq::testing::FileExists("/dev/full")) {
    EXPECT_EQ(WriteWholeFile("/dev/full", bytes, sizeof bytes), ZeqResult::WritePNGFailed);
    EXPECT_TRUE(png2zeq::testing::FileExists("/dev/full"));
  }
}

TEST(PreviewPath, ReplacesTheExtensionOrFollowsTheOutputValue) {
  const struct {
    const char* input;
    const char* output;
    const char* expected;
  } cases[] = {
      {"photo.zeq", nullptr, "photo.preview.png"},
      {"dir/photo.zeq", nullptr, "dir/photo.preview.png"},
      {"/abs/dir/photo.zeq", nullptr, "/abs/dir/photo.preview.png"},
      {"photo", nullptr, "photo.preview.png"},
      {"my.photo.zeq", nullptr, "my.photo.preview.png"},
      {"dir.d/photo", nullptr, "dir.d/photo.preview.png"},
      {"photo.zeq", "out.png", "out.png"},
      {"photo.zeq", "out", "out"},
      {"dir/photo.zeq", "elsewhere/", "elsewhere/photo.preview.png"},
  };
  for (const auto& c : cases) {
    char buffer[png2zeq::kJoinedPathSize];
    const char* path = nullptr;
    ASSERT_EQ(DerivePreviewPath(c.input, c.output, buffer, &path), ZeqResult::OK) << c.input;
    EXPECT_STREQ(path, c.expected) << c.input << " " << (c.output ? c.output : "-");
  }
}

TEST(PreviewPath, RefusesPartsTooLongToSplitOrJoin) {
  const std::string longName(256, 'a');
  const std::string longDirectory = std::string(300, 'd') + "/x.zeq";
  const std::string nearlyLong = std::string(250, 'n') + ".zeq";  // fits, but not with the ending
  char buffer[png2zeq::kJoinedPathSize];
  const char* path = nullptr;
  EXPECT_EQ(DerivePreviewPath(longName.c_str(), nullptr, buffer, &path),
            ZeqResult::GeneralFailure);
  EXPECT_EQ(DerivePreviewPath("x.zeq", longDirectory.c_str(), buffer, &path),
            ZeqResult::GeneralFailure);
  EXPECT_EQ(DerivePreviewPath(nearlyLong.c_str(), nullptr, buffer, &path),
            ZeqResult::GeneralFailure);
}

TEST(ZeqCompare, MeasuresEachChannelApart) {
  // Two RGB pixels; green differs by 3 and 4, blue by 1, red not at all.
  const Bytes original{10, 20, 30, 40, 50, 60};
  const Bytes preview{10, 23, 31, 40, 46, 60};
  const SampleComparison comparison = CompareSamples(original.data(), preview.data(), 2, 3);
  EXPECT_EQ(comparison.channel[0].squaredErrorSum, 0u);
  EXPECT_EQ(comparison.channel[1].squaredErrorSum, 9u + 16u);
  EXPECT_EQ(comparison.channel[1].largestDifference, 4u);
  EXPECT_EQ(comparison.channel[2].squaredErrorSum, 1u);
  EXPECT_EQ(comparison.channel[2].largestDifference, 1u);
  EXPECT_EQ(comparison.overall.squaredErrorSum, 26u);
  EXPECT_EQ(comparison.overall.largestDifference, 4u);
}

TEST(ZeqCompare, PeakSignalToNoiseFollowsItsDefinition) {
  EXPECT_TRUE(std::isinf(PeakSignalToNoise(0, 100)));
  // Every sample off by 255: the MSE is 255^2, so 0 dB.
  EXPECT_DOUBLE_EQ(PeakSignalToNoise(255ull * 255 * 10, 10), 0.0);
  // MSE 1: 20 log10(255).
  EXPECT_NEAR(PeakSignalToNoise(50, 50), 48.1308, 1e-4);
}

TEST(ZeqResultCodes, HaveDistinctNamesAndAMessageEach) {
  std::set<std::string> names;
  for (uint32_t code = 0; code < kZeqResultCount; ++code) {
    const auto result = static_cast<ZeqResult>(code);
    EXPECT_TRUE(names.insert(ZeqResultName(result)).second) << ZeqResultName(result);
    const std::string message = ZeqResultMessage(result);
    ASSERT_FALSE(message.empty()) << code;
    EXPECT_EQ(message.back(), '.') << code;
  }
  EXPECT_STREQ(ZeqResultName(static_cast<ZeqResult>(kZeqResultCount)), "Unknown");
  // The codes the command line shares with the converter keep its numbers.
  EXPECT_EQ(static_cast<int>(ZeqResult::InvalidParameters), 1);
  EXPECT_EQ(static_cast<int>(ZeqResult::InsufficientParameters), 2);
  EXPECT_EQ(static_cast<int>(ZeqResult::MissingInputFile), 3);
  EXPECT_EQ(static_cast<int>(ZeqResult::OpenInputFileFailed), 4);
}

}  // namespace
}  // namespace zeq2png
