// -dither through the command line: it matters only where a colour image is
// reduced to 565.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixel_test_support.h"
#include "support/png_builder.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq {
namespace {

using testing::kGrey;
using testing::kGreyAlpha;
using testing::kRgb;
using testing::kRgba;

// A 16 x 8 picture of the colour type with smooth ramps, which dithering
// would visibly change.
std::string WriteRamp(const testing::TempDir& dir, uint8_t colourType) {
  testing::PngRecipe recipe;
  recipe.width = 16;
  recipe.height = 8;
  recipe.colourType = colourType;
  const uint32_t channels = testing::DecodedBytesPerPixel(colourType);
  for (uint32_t y = 0; y < recipe.height; ++y) {
    for (uint32_t x = 0; x < recipe.width; ++x) {
      for (uint32_t c = 0; c < channels; ++c) {
        recipe.samples.push_back(static_cast<uint8_t>(x * 3 + y * 5 + c * 7));
      }
    }
  }
  return png2zeq::testing::WritePngInto(dir, "ramp" + std::to_string(colourType) + ".png", recipe);
}

struct Outcome {
  testing::ProcessResult run;
  testing::Bytes file;
};

Outcome Convert(const testing::TempDir& dir, std::vector<std::string> options,
                const std::string& input) {
  const std::string output = dir.File("out.zeq");
  options.insert(options.end(), {"-verbose", "-output", output, input});
  Outcome outcome{testing::RunConverterProcess(options), {}};
  outcome.file = testing::ReadFile(output);
  return outcome;
}

TEST(DitherOption, ChangesNothingWithoutAColourReduction) {
  const struct {
    uint8_t colourType;
    std::vector<std::string> options;
  } cases[] = {
      {kRgb, {}},
      {kRgba, {}},
      {kRgb, {"-uncompressed"}},
      {kGrey, {"-depth", "565"}},
      {kGreyAlpha, {"-depth", "565", "-uncompressed"}},
      {kGrey, {}},
      {kRgb, {"-depth", "zz"}},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "colour type " << int{c.colourType} << ", "
                                      << c.options.size() << " options");
    const std::string input = WriteRamp(dir, c.colourType);
    const Outcome plain = Convert(dir, c.options, input);
    std::vector<std::string> dithered = {"-dither"};
    dithered.insert(dithered.end(), c.options.begin(), c.options.end());
    const Outcome withDither = Convert(dir, dithered, input);
    EXPECT_EQ(plain.run.exitStatus, 0) << plain.run.output;
    EXPECT_EQ(withDither.run.exitStatus, 0) << withDither.run.output;
    EXPECT_EQ(withDither.run.output, plain.run.output);
    EXPECT_FALSE(plain.file.empty());
    EXPECT_EQ(withDither.file, plain.file);
  }
}

// The counterpart: with -depth 565 on colour, -dither and -dither burkes
// change the pixels alike; the verbose report (uncompressed, so no deflated
// length differs) stays as it was.
TEST(DitherOption, DithersColourReductions) {
  testing::TempDir dir;
  for (const uint8_t colourType : {kRgb, kRgba}) {
    SCOPED_TRACE(int{colourType});
    const std::string input = WriteRamp(dir, colourType);
    const Outcome plain = Convert(dir, {"-depth", "565", "-uncompressed"}, input);
    const Outcome dithered = Convert(dir, {"-dither", "-depth", "565", "-uncompressed"}, input);
    const Outcome named =
        Convert(dir, {"-dither", "burkes", "-depth", "565", "-uncompressed"}, input);
    EXPECT_EQ(dithered.run.exitStatus, 0) << dithered.run.output;
    EXPECT_EQ(dithered.run.output, plain.run.output);
    EXPECT_NE(dithered.file, plain.file);
    EXPECT_EQ(named.file, dithered.file);
  }
}

}  // namespace
}  // namespace png2zeq
