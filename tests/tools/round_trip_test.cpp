// PNG -> png2zeq -> zeq2png -> PNG, both executables run as processes: the
// preview must show exactly what the ZEQ file holds.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/zeq_files.h"
#include "zeq2png/preview_pixels.h"
#include "zeq2png/zeq_result.h"
#include "zeq_test_support.h"

namespace zeq2png {
namespace {

using png2zeq::testing::Bytes;
using png2zeq::testing::DecodedPng;
using png2zeq::testing::DecodeWithConverterReader;
using png2zeq::testing::PatternBytes;
using png2zeq::testing::PngRecipe;
using png2zeq::testing::RunConverterProcess;
using png2zeq::testing::RunZeq2PngProcess;
using png2zeq::testing::TempDir;
using png2zeq::testing::WriteFile;

// Converts `png` with the extra converter `options`, previews the ZEQ file
// and returns the preview decoded; fails the test when a step fails.
DecodedPng RoundTrip(const TempDir& dir, const std::string& png,
                     const std::vector<std::string>& options) {
  const std::string zeq = dir.File("round.zeq");
  const std::string preview = dir.File("round.preview.png");
  std::vector<std::string> convert = options;
  convert.insert(convert.end(), {"-o", zeq, png});
  const auto converted = RunConverterProcess(convert);
  EXPECT_EQ(converted.exitStatus, 0) << converted.output;
  const auto previewed = RunZeq2PngProcess({zeq});
  EXPECT_EQ(previewed.exitStatus, 0) << previewed.output;
  // Nothing on the error stream: under the sanitizers a leak would show here.
  EXPECT_EQ(previewed.errors, "");
  return DecodeWithConverterReader(preview);
}

// A `width` x `height` 8-bit image of `colourType`, filled with the pattern
// of `seed`.
PngRecipe PatternImage(uint32_t width, uint32_t height, int colourType, uint32_t seed) {
  PngRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.colourType = colourType;
  recipe.samples = PatternBytes(png2zeq::testing::PackedRowBytes(recipe) * height, seed);
  return recipe;
}

struct TestImage {
  const char* name;
  PngRecipe recipe;
};

// One image per decoded layout, reached from several PNG encodings.
std::vector<TestImage> TestImages() {
  std::vector<TestImage> images;
  auto add = [&](const char* name, uint32_t width, uint32_t height, int bitDepth, int colourType,
                 Bytes palette = {}) {
    PngRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.bitDepth = bitDepth;
    recipe.colourType = colourType;
    recipe.palette = std::move(palette);
    recipe.samples = PatternBytes(png2zeq::testing::PackedRowBytes(recipe) * height, width);
    images.push_back({name, recipe});
  };
  add("grey8", 13, 7, 8, 0);
  add("grey1", 17, 5, 1, 0);
  add("grey16", 9, 4, 16, 0);
  add("greyAlpha8", 11, 6, 8, 4);
  add("rgb8", 23, 9, 8, 2);
  add("rgb16", 7, 7, 16, 2);
  add("rgba8", 19, 8, 8, 6);
  add("rgba16", 5, 3, 16, 6);
  add("palette8", 12, 12, 8, 3, PatternBytes(256 * 3, 99));
  add("onePixel", 1, 1, 8, 2);
  return images;
}

TEST(ZeqRoundTrip, WithoutDepthGivesBackTheDecodedSamplesForEveryColourType) {
  TempDir dir;
  for (const TestImage& image : TestImages()) {
    const std::string png = png2zeq::testing::WritePngInto(dir, std::string(image.name) + ".png", image.recipe);
    const DecodedPng original = DecodeWithConverterReader(png);
    ASSERT_EQ(original.result, 0u) << image.name;
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"-uncompressed"}}) {
      const DecodedPng preview = RoundTrip(dir, png, options);
      ASSERT_EQ(preview.result, 0u) << image.name;
      EXPECT_EQ(preview.width, original.width) << image.name;
      EXPECT_EQ(preview.height, original.height) << image.name;
      EXPECT_EQ(preview.colourType, original.colourType) << image.name;
      EXPECT_EQ(preview.samples, original.samples) << image.name << " " << options.size();
    }
  }
}

// The converter's plain reduction of one colour sample, widened back.
uint8_t PlainLevel5(uint8_t sample) { return ExpandLevel5(sample >> 3); }
uint8_t PlainLevel6(uint8_t sample) { return ExpandLevel6(sample >> 2); }

TEST(ZeqRoundTrip, Depth565GivesTheBitReplicatedLevelsOfThePlainReduction) {
  TempDir dir;
  for (const TestImage& image : TestImages()) {
    const std::string png = png2zeq::testing::WritePngInto(dir, std::string(image.name) + ".png", image.recipe);
    const DecodedPng original = DecodeWithConverterReader(png);
    ASSERT_EQ(original.result, 0u);
    Bytes expected = original.samples;
    // Grey stays grey; RGB and RGBA lose their low bits, alpha does not.
    const bool colour = original.colourType == 2 || original.colourType == 6;
    const size_t channels = original.colourType == 6 ? 4 : 3;
    if (colour) {
      for (size_t i = 0; i < expected.size(); i += channels) {
        expected[i] = PlainLevel5(expected[i]);
        expected[i + 1] = PlainLevel6(expected[i + 1]);
        expected[i + 2] = PlainLevel5(expected[i + 2]);
      }
    }
    const DecodedPng preview = RoundTrip(dir, png, {"-depth", "565"});
    ASSERT_EQ(preview.result, 0u) << image.name;
    EXPECT_EQ(preview.colourType, original.colourType) << image.name;
    EXPECT_EQ(preview.samples, expected) << image.name;
  }
}

TEST(ZeqRoundTrip, DitheredPreviewHoldsOnlyReplicatedLevelsAndTheOriginalAlpha) {
  TempDir dir;
  const PngRecipe recipe = PatternImage(40, 30, 6, 5);
  const std::string png = png2zeq::testing::WritePngInto(dir, "dither.png", recipe);
  const DecodedPng preview = RoundTrip(dir, png, {"-depth", "565", "-dither"});
  ASSERT_EQ(preview.samples.size(), recipe.samples.size());
  for (size_t i = 0; i < preview.samples.size(); i += 4) {
    EXPECT_EQ(preview.samples[i], ExpandLevel5(preview.samples[i] >> 3)) << i;
    EXPECT_EQ(preview.samples[i + 1], ExpandLevel6(preview.samples[i + 1] >> 2)) << i;
    EXPECT_EQ(preview.samples[i + 2], ExpandLevel5(preview.samples[i + 2] >> 3)) << i;
    EXPECT_EQ(preview.samples[i + 3], recipe.samples[i + 3]) << i;
  }
}

// Converts `png` with `options` and runs zeq2png -compare against it.
png2zeq::testing::ProcessResult ConvertAndCompare(const TempDir& dir, const std::string& png,
                                                  const std::vector<std::string>& options,
                                                  const std::string& compareWith) {
  const std::string zeq = dir.File("compare.zeq");
  std::vector<std::string> convert = options;
  convert.insert(convert.end(), {"-o", zeq, png});
  EXPECT_EQ(RunConverterProcess(convert).exitStatus, 0);
  const auto run = RunZeq2PngProcess({"-compare", compareWith, zeq});
  EXPECT_EQ(run.errors, "");
  return run;
}

struct ChannelLine {
  std::string name;
  std::string psnr;
  unsigned largest = 0;
};

// The per-channel lines of a -compare report, in order.
std::vector<ChannelLine> ChannelLines(const std::string& output) {
  std::vector<ChannelLine> lines;
  std::istringstream in(output);
  std::string line;
  bool inTable = false;
  while (std::getline(in, line)) {
    if (line.rfind("Channel", 0) == 0) {
      inTable = true;
      continue;
    }
    if (!inTable) continue;
    std::istringstream fields(line);
    ChannelLine parsed;
    if (!(fields >> parsed.name >> parsed.psnr >> parsed.largest)) break;
    lines.push_back(parsed);
  }
  return lines;
}

TEST(ZeqRoundTrip, CompareReportsALosslessRoundTripAsInfinite) {
  TempDir dir;
  const PngRecipe recipe = PatternImage(16, 16, 6, 3);
  const std::string png = png2zeq::testing::WritePngInto(dir, "lossless.png", recipe);
  const auto run = ConvertAndCompare(dir, png, {}, png);
  EXPECT_EQ(run.exitStatus, 0) << run.output;
  const auto lines = ChannelLines(run.output);
  ASSERT_EQ(lines.size(), 5u) << run.output;
  const char* names[] = {"red", "green", "blue", "alpha", "all"};
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].name, names[i]);
    EXPECT_EQ(lines[i].psnr, "inf");
    EXPECT_EQ(lines[i].largest, 0u);
  }
  EXPECT_NE(run.output.find("Identical: every sample matches the original, PSNR is infinite.\n"),
            std::string::npos);
  // Comparing does not replace the preview.
  EXPECT_TRUE(png2zeq::testing::FileExists(dir.File("compare.preview.png")));
}

TEST(ZeqRoundTrip, CompareShowsWhatTheReductionTo565Cost) {
  TempDir dir;
  const PngRecipe recipe = PatternImage(32, 32, 6, 8);
  const std::string png = png2zeq::testing::WritePngInto(dir, "lossy.png", recipe);
  const auto run = ConvertAndCompare(dir, png, {"-depth", "565"}, png);
  EXPECT_EQ(run.exitStatus, 0) << run.output;
  const auto lines = ChannelLines(run.output);
  ASSERT_EQ(lines.size(), 5u) << run.output;
  // Dropping 3 (red, blue) or 2 (green) low bits and widening back by
  // replication is off by at most 7 or 3; alpha is kept exactly.
  const unsigned bound[] = {7, 3, 7, 0, 7};
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].largest, bound[i]) << lines[i].name;
    if (bound[i] > 0) {
      EXPECT_GT(lines[i].largest, 0u) << lines[i].name;
    }
  }
  EXPECT_EQ(lines[3].psnr, "inf");
  for (size_t i : {0, 1, 2, 4}) {
    const double psnr = std::stod(lines[i].psnr);
    EXPECT_GT(psnr, 35.0) << lines[i].name;
    EXPECT_LT(psnr, 60.0) << lines[i].name;
  }
  EXPECT_NE(run.output.find("Differs: largest difference 7 of 255.\n"), std::string::npos)
      << run.output;
}

// Each kind of chunk that the converter ignores gets its note after the
// verdict; a PNG without one gets none.
TEST(ZeqRoundTrip, CompareNotesTheChunksTheConverterIgnores) {
  using png2zeq::testing::MakeChunk;
  const auto join = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) png2zeq::testing::Append(all, part);
    return all;
  };
  const Bytes palette = MakeChunk("PLTE", PatternBytes(3 * 4, 5));
  const Bytes gamma = MakeChunk("gAMA", {0, 0, 0xB1, 0x8F});
  const Bytes chromaticities = MakeChunk("cHRM", {0, 0, 0x7A, 0x26, 0, 0, 0x80, 0x84, 0, 0, 0xFA, 0, 0, 0, 0x80, 0xE8,
                                                  0, 0, 0x75, 0x30, 0, 0, 0xEA, 0x60, 0, 0, 0x3A, 0x98, 0, 0, 0x17, 0x70});
  const std::string ignored = " which the converter ignores: ";
  const std::string colour = ignored + "the device shows the stored samples, with no gamma or colour correction.\n";
  const struct {
    uint8_t colourType;
    Bytes chunks;  // after IHDR
    std::string notes;
  } cases[] = {
      {2, {}, ""},
      {3, join({palette, MakeChunk("tRNS", {0, 128})}),
       "Note: this PNG has a tRNS chunk," + ignored + "transparent pixels of this palette image become opaque.\n"},
      {2, MakeChunk("tRNS", {0, 1, 0, 2, 0, 3}),
       "Note: this PNG has a tRNS chunk," + ignored + "pixels of its transparent colour stay opaque.\n"},
      {0, gamma, "Note: this PNG has a gAMA chunk," + colour},
      {2, join({gamma, chromaticities, MakeChunk("sRGB", {0})}), "Note: this PNG has gAMA, cHRM and sRGB chunks," + colour},
  };
  for (const auto& test : cases) {
    TempDir dir;
    const uint32_t channels = test.colourType == 2 ? 3 : 1;
    Bytes rows;
    for (uint32_t row = 0; row < 2; ++row) rows = join({rows, {0}, PatternBytes(2 * channels, row)});
    const Bytes png = join({png2zeq::testing::PngSignature(),
                            MakeChunk("IHDR", png2zeq::testing::IhdrData(2, 2, 8, test.colourType)), test.chunks,
                            MakeChunk("IDAT", png2zeq::testing::Deflate(rows)), MakeChunk("IEND", {})});
    png2zeq::testing::WriteFile(dir.File("in.png"), png);
    const auto run = ConvertAndCompare(dir, dir.File("in.png"), {}, dir.File("in.png"));
    const size_t note = run.output.find("Note: ");
    EXPECT_EQ(note == std::string::npos ? "" : run.output.substr(note), test.notes) << run.output;
  }
}

TEST(ZeqRoundTrip, CompareRefusesAnOriginalOfAnotherLayoutOrSize) {
  TempDir dir;
  const PngRecipe rgb = PatternImage(8, 8, 2, 1);
  PngRecipe grey = rgb;
  grey.colourType = 0;
  PngRecipe wider = rgb;
  wider.width = 9;
  const std::string rgbPng = png2zeq::testing::WritePngInto(dir, "rgb.png", rgb);
  const std::string greyPng = png2zeq::testing::WritePngInto(dir, "grey.png", grey);
  const std::string widerPng = png2zeq::testing::WritePngInto(dir, "wider.png", wider);

  const auto layout = ConvertAndCompare(dir, rgbPng, {}, greyPng);
  EXPECT_EQ(layout.exitStatus, static_cast<int>(ZeqResult::CompareLayoutMismatch));
  EXPECT_NE(layout.output.find("is 8 x 8 GRAY, the ZEQ image 8 x 8 RGB.\n"), std::string::npos)
      << layout.output;
  EXPECT_NE(layout.output.find("Error \"CompareLayoutMismatch\" occurred for " +
                               dir.File("compare.zeq") + ".\n"),
            std::string::npos);

  const auto size = ConvertAndCompare(dir, rgbPng, {}, widerPng);
  EXPECT_EQ(size.exitStatus, static_cast<int>(ZeqResult::CompareSizeMismatch));

  const auto unreadable = ConvertAndCompare(dir, rgbPng, {}, dir.File("missing.png"));
  EXPECT_EQ(unreadable.exitStatus, static_cast<int>(ZeqResult::CompareReadFailed));
}

// Every file of the shared PNG corpus that the converter accepts comes back
// sample for sample.
TEST(ZeqRoundTrip, EveryCorpusImageTheConverterAcceptsComesBackExactly) {
  const std::filesystem::path corpus =
      std::filesystem::path(png2zeq::testing::SharedDataDir()) / "pngsuite";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  TempDir dir;
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() != ".png") continue;
    const std::string png = entry.path().string();
    const DecodedPng original = DecodeWithConverterReader(png);
    if (original.result != 0) continue;  // refused by the converter itself
    const DecodedPng preview = RoundTrip(dir, png, {});
    EXPECT_EQ(preview.colourType, original.colourType) << png;
    EXPECT_EQ(preview.samples, original.samples) << png;
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace zeq2png
