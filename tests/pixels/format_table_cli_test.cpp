// The pixel format table as a user meets it: through the converter's command
// line, checking its verbose line, the written header and the pixel bytes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/zeq_format.h"
#include "pixel_test_support.h"
#include "support/png_builder.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq {
namespace {

using testing::Bytes;
using testing::kGrey;
using testing::kGreyAlpha;
using testing::kRgb;
using testing::kRgba;

constexpr uint32_t kWidth = 3;
constexpr uint32_t kHeight = 2;

// One 3 x 2 picture per decoded layout. The colour ones hold pure red, green
// and blue, white, and the plain path's rounding examples.
Bytes PictureSamples(uint8_t colourType) {
  switch (colourType) {
    case kGrey: return {0, 1, 127, 128, 254, 255};
    case kGreyAlpha: return {0, 255, 1, 254, 127, 128, 128, 127, 254, 1, 255, 0};
    case kRgb:
      return {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 8, 4, 8, 7, 3, 7};
    default:
      return {255, 0, 0, 0,   0, 255, 0, 1,   0, 0, 255, 128,
              255, 255, 255, 254, 8, 4, 8, 255, 7, 3, 7, 200};
  }
}

// The same pictures reduced to 565 words, written out by hand.
const Bytes kRgb565Bytes = {0x1F, 0x00, 0xE0, 0x07, 0x00, 0xF8,
                            0xFF, 0xFF, 0x21, 0x08, 0x00, 0x00};
const Bytes kRgba5658Bytes = {0x1F, 0x00, 0x00, 0xE0, 0x07, 0x01, 0x00, 0xF8, 0x80,
                              0xFF, 0xFF, 0xFE, 0x21, 0x08, 0xFF, 0x00, 0x00, 0xC8};

// Writes the colour type's picture as a PNG into `dir` and returns its path.
std::string WritePicture(const testing::TempDir& dir, uint8_t colourType) {
  testing::PngRecipe recipe;
  recipe.width = kWidth;
  recipe.height = kHeight;
  recipe.colourType = colourType;
  recipe.samples = PictureSamples(colourType);
  return png2zeq::testing::WritePngInto(dir, "picture" + std::to_string(colourType) + ".png", recipe);
}

// Runs the converter on `input` with `options`, writing to `output`.
testing::ProcessResult Convert(const std::vector<std::string>& options, const std::string& output,
                               const std::string& input) {
  std::vector<std::string> arguments = options;
  arguments.insert(arguments.end(), {"-output", output, input});
  return testing::RunConverterProcess(arguments);
}

bool HasLine(const std::string& output, const std::string& line) {
  return output.find("\n" + line + "\n") != std::string::npos;
}

TEST(FormatTable, EveryEntryReachedThroughTheCommandLine) {
  const struct {
    uint8_t colourType;
    bool depth565;
    const char* line;
    uint32_t pixelFormat;
    bool transcoded;  // false: the decoded samples pass on as they are
  } cases[] = {
      {kGrey, false, "No transpose, length 6", 0x0008, false},
      {kGreyAlpha, false, "No transpose, length 12", 0x8008, false},
      {kRgb, false, "No transpose, length 18", 0x0888, false},
      {kRgba, false, "No transpose, length 24", 0x8888, false},
      {kGrey, true, "No transpose, length 6", 0x0008, false},
      {kGreyAlpha, true, "No transpose, length 12", 0x8008, false},
      {kRgb, true, "Transposing RGB888 to RGB565, length 12", 0x0565, true},
      {kRgba, true, "Transposing RGBA8888 to RGBA5658, length 18", 0x8565, true},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "colour type " << int{c.colourType}
                                      << (c.depth565 ? " -depth 565" : " no depth"));
    const std::string input = WritePicture(dir, c.colourType);
    const std::string output = dir.File("out.zeq");
    std::vector<std::string> options = {"-verbose", "-uncompressed"};
    if (c.depth565) options.insert(options.end(), {"-depth", "565"});
    const testing::ProcessResult run = Convert(options, output, input);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_TRUE(HasLine(run.output, c.line)) << run.output;
    EXPECT_EQ(run.output.find("Error"), std::string::npos) << run.output;

    Bytes expectedPixels = PictureSamples(c.colourType);
    if (c.transcoded) expectedPixels = c.colourType == kRgb ? kRgb565Bytes : kRgba5658Bytes;
    const Bytes file = testing::ReadFile(output);
    ASSERT_EQ(file.size(), ZEQ_HEADER_SIZE + expectedPixels.size());
    const OutputHeader header = DecodeZeqHeader(file.data());
    EXPECT_EQ(header.magic, ZEQ_MAGIC);
    EXPECT_EQ(header.pixelFormat, c.pixelFormat);
    EXPECT_EQ(header.width, kWidth);
    EXPECT_EQ(header.height, kHeight);
    EXPECT_EQ(header.rawLength, expectedPixels.size());
    EXPECT_EQ(header.compressedLength, 0u);
    EXPECT_EQ(Bytes(file.begin() + ZEQ_HEADER_SIZE, file.end()), expectedPixels);
  }
}

// A depth code other than 0 and 0x565 matches no entry, whatever the colour
// type: the lookup message has no line end, so the error line continues it.
TEST(FormatTable, UnknownDepthFailsTheLookupForEveryColourType) {
  const char* const depths[] = {"888", "8565", "565abc", "100000565", "-565", "0x8565", "1"};
  testing::TempDir dir;
  for (const uint8_t colourType : {kGrey, kRgb, kGreyAlpha, kRgba}) {
    const std::string input = WritePicture(dir, colourType);
    for (const char* depth : depths) {
      SCOPED_TRACE(::testing::Message() << "colour type " << int{colourType} << " -depth " << depth);
      const std::string output = dir.File("failed.zeq");
      const testing::ProcessResult run = Convert({"-depth", depth}, output, input);
      EXPECT_EQ(run.exitStatus, 9);
      EXPECT_EQ(run.output, "Lookup for format \"" + std::string(depth) + "\" with PNG colour " +
                                std::to_string(colourType) +
                                " failed.Error \"TranscodeLookup\" occurred for " + input + ".\n");
      EXPECT_FALSE(testing::FileExists(output));
    }
  }
}

TEST(FormatTable, VerboseLookupFailureContinuesOnTheErrorLine) {
  testing::TempDir dir;
  const std::string input = WritePicture(dir, kRgb);
  const std::string output = dir.File("failed.zeq");
  const testing::ProcessResult run = Convert({"-verbose", "-depth", "888"}, output, input);
  EXPECT_EQ(run.exitStatus, 9);
  const std::string tail = "\nLookup for format \"888\" with PNG colour 2 failed.Error "
                           "\"TranscodeLookup\" occurred for " + input + ".\n";
  ASSERT_GE(run.output.size(), tail.size());
  EXPECT_EQ(run.output.substr(run.output.size() - tail.size()), tail) << run.output;
  EXPECT_EQ(run.output.find("ranspos"), std::string::npos) << run.output;
  EXPECT_FALSE(testing::FileExists(output));
}

// Texts that read as the same code give the same file and the same line as
// the plain spelling.
TEST(FormatTable, DepthSpellingsActLikeTheirCode) {
  const struct {
    const char* depth;
    const char* sameAs;  // nullptr: as if no -depth were given
  } cases[] = {
      {"0x565", "565"}, {"0X565", "565"}, {"  565", "565"}, {"+565", "565"},
      {"000565", "565"}, {"565 ", "565"}, {"zz", nullptr},  {"", nullptr},
      {"0", nullptr},   {"0x", nullptr},  {"-0", nullptr},  {"g565", nullptr},
  };
  testing::TempDir dir;
  for (const uint8_t colourType : {kRgb, kRgba}) {
    const std::string input = WritePicture(dir, colourType);
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << "colour type " << int{colourType} << " -depth \""
                                        << c.depth << '"');
      std::vector<std::string> reference = {"-verbose", "-uncompressed"};
      if (c.sameAs != nullptr) reference.insert(reference.end(), {"-depth", c.sameAs});
      const testing::ProcessResult expected = Convert(reference, dir.File("expected.zeq"), input);
      const testing::ProcessResult actual =
          Convert({"-verbose", "-uncompressed", "-depth", c.depth}, dir.File("actual.zeq"), input);
      EXPECT_EQ(actual.exitStatus, 0) << actual.output;
      EXPECT_EQ(expected.exitStatus, 0) << expected.output;
      // The outputs differ only in the file names they print.
      EXPECT_TRUE(HasLine(actual.output, c.sameAs != nullptr
                                             ? (colourType == kRgb
                                                    ? "Transposing RGB888 to RGB565, length 12"
                                                    : "Transposing RGBA8888 to RGBA5658, length 18")
                                             : (colourType == kRgb ? "No transpose, length 18"
                                                                   : "No transpose, length 24")))
          << actual.output;
      EXPECT_EQ(testing::ReadFile(dir.File("actual.zeq")),
                testing::ReadFile(dir.File("expected.zeq")));
    }
  }
}

}  // namespace
}  // namespace png2zeq
