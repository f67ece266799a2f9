// Whole runs of the converter on small PNGs built here: where the output
// lands, what the options change in it, and the exit status of each outcome.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "expected_texts.h"
#include "common/zeq_format.h"
#include "support/png_builder.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq::testing {
namespace {

using Args = std::vector<std::string>;
namespace fs = std::filesystem;

// A 2 x 2 RGB image.
Bytes SampleRgbPng() {
  PngRecipe recipe;
  recipe.width = 2;
  recipe.height = 2;
  recipe.colourType = 2;
  recipe.samples = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  return EncodePng(recipe);
}

// The header of a ZEQ file; fails the test when the file is missing or short.
OutputHeader ReadHeader(const std::string& path) { return testing::ReadZeqParts(path).header; }

struct ConversionCase {
  Args arguments;
  std::string output;  // expected output file, relative to the run's directory
  uint32_t pixelFormat;
  bool compressed;
};

TEST(CliRun, ConvertsSilentlyAndWritesTheExpectedFile) {
  const ConversionCase cases[] = {
      {{"in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, true},
      {{"-depth", "565", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB565, true},
      {{"-u", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, false},
      {{"/UNCOMPRESSED", "/D", "565", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB565, false},
      // Unknown options change nothing; before the last argument a '/'
      // always starts an option.
      {{"-unknown", "/nonsense", "/tmp/in.png", "-x", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, true},
      // The last value counts.
      {{"-depth", "999", "-depth", "565", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB565, true},
      {{"-depth", "565", "-d", "0", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, true},
      {{"-o", "first.zeq", "-output", "second.zeq", "in.png"}, "second.zeq", ZEQ_FORMAT_RGB888, true},
      // -output forms.
      {{"-output", "-v", "in.png"}, "-v", ZEQ_FORMAT_RGB888, true},
      {{"-output", "noext", "in.png"}, "noext", ZEQ_FORMAT_RGB888, true},
      {{"-output", "out.png", "in.png"}, "out.png", ZEQ_FORMAT_RGB888, true},
      {{"-output", "sub/", "in.png"}, "sub/in.zeq", ZEQ_FORMAT_RGB888, true},
      {{"-output", "sub/.zeq", "in.png"}, "sub/in.zeq", ZEQ_FORMAT_RGB888, true},
      {{"-output", ".bin", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, true},
#ifndef _WIN32  // there, the current directory of drive C:
      {{"-output", "C:", "in.png"}, "C:in.zeq", ZEQ_FORMAT_RGB888, true},
#endif
      {{"-output", std::string(255, 'o'), "in.png"}, std::string(255, 'o'), ZEQ_FORMAT_RGB888, true},
      // Input names.
      {{"sub/in.png"}, "sub/in.zeq", ZEQ_FORMAT_RGB888, true},
      {{"several.dots.in.png"}, "several.dots.in.zeq", ZEQ_FORMAT_RGB888, true},
      {{"noextension"}, "noextension.zeq", ZEQ_FORMAT_RGB888, true},
      // -dither with and without a method name, and before another option.
      {{"-dither", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, true},
      {{"-dither", "-depth", "565", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB565, true},
      {{"-dither", "burkes", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, true},
      {{"-dither", "BURKES", "-u", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, false},
      {{"-dither", "-u", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, false},
      {{"/DITHER", "/U", "in.png"}, "in.zeq", ZEQ_FORMAT_RGB888, false},
  };
  const Bytes png = SampleRgbPng();
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    TempDir directory;
    fs::create_directory(directory.File("sub"));
    const std::string input = c.arguments.back();
    WriteFile(directory.File(input), png);

    const ProcessResult result = RunConverterProcess(c.arguments, directory.path());
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.exitStatus, 0);
    ASSERT_TRUE(fs::is_regular_file(directory.File(c.output)));
    const OutputHeader header = ReadHeader(directory.File(c.output));
    EXPECT_EQ(header.magic, ZEQ_MAGIC);
    EXPECT_EQ(header.pixelFormat, c.pixelFormat);
    EXPECT_EQ(header.width, 2u);
    EXPECT_EQ(header.height, 2u);
    EXPECT_EQ(header.compressedLength != 0, c.compressed);
    // Nothing but the input, the output and the prepared directory.
    size_t entries = 0;
    for (const auto& entry : fs::recursive_directory_iterator(directory.path())) {
      if (entry.is_regular_file()) ++entries;
    }
    EXPECT_EQ(entries, 2u);
  }
}

TEST(CliRun, ConvertsAnAbsoluteInputPath) {
  TempDir directory;
  const std::string input = directory.File("logo.png");
  WriteFile(input, SampleRgbPng());
  const Args cases[] = {{input}, {"-depth", "565", input}, {"-dither", input}};
  for (const Args& arguments : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    fs::remove(directory.File("logo.zeq"));
    const ProcessResult result = RunConverterProcess(arguments);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(ReadHeader(directory.File("logo.zeq")).magic, ZEQ_MAGIC);
  }
}

TEST(CliRun, VerbosePrintsTheBannerFirstAndOnce) {
  TempDir directory;
  WriteFile(directory.File("in.png"), SampleRgbPng());
  const Args cases[] = {{"-v", "in.png"}, {"-verbose", "-u", "in.png"},
                        {"-u", "/V", "-dither", "in.png"}};
  const std::string banner = Banner();
  for (const Args& arguments : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProcessResult result = RunConverterProcess(arguments, directory.path());
    EXPECT_EQ(result.exitStatus, 0);
    ASSERT_EQ(result.output.compare(0, banner.size(), banner), 0) << result.output;
    EXPECT_EQ(result.output.find("kOMPACTaRRAYvIEW", banner.size()), std::string::npos);
    EXPECT_NE(result.output.find("Output file \"in.zeq\"\n"), std::string::npos);
    EXPECT_EQ(result.output.find("Error"), std::string::npos);
  }
}

struct FailureCase {
  Args arguments;
  int exitStatus;
  std::string code;
};

// Failures past the command line exit with their code's number and end
// with the error line naming the input.
TEST(CliRun, FailedStagesExitWithTheirCodeNumber) {
  const FailureCase cases[] = {
      {{"missing.png"}, 4, "OpenInputFileFailed"},
      {{"sub"}, 4, "OpenInputFileFailed"},
      {{"sub/"}, 4, "OpenInputFileFailed"},
      {{"notpng.png"}, 5, "PNGDecodeError"},
      {{"-depth", "999", "in.png"}, 9, "TranscodeLookup"},
      {{"-output", "nodir/out.zeq", "in.png"}, 13, "CreateZEQFailed"},
      {{"-output", "nodir/", "in.png"}, 13, "CreateZEQFailed"},
      {{"-output", "sub", "in.png"}, 13, "CreateZEQFailed"},
      {{"-output", std::string(256, 'o'), "in.png"}, 12, "GeneralFailure"},
      {{"-output", std::string(255, 'd') + "/", "in.png"}, 12, "GeneralFailure"},
      {{"-output", std::string(200, 'd') + "/", std::string(56, 'n') + ".png"}, 12,
       "GeneralFailure"},
  };
  const Bytes png = SampleRgbPng();
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    TempDir directory;
    fs::create_directory(directory.File("sub"));
    WriteFile(directory.File("in.png"), png);
    WriteFile(directory.File(std::string(56, 'n') + ".png"), png);
    WriteFile(directory.File("notpng.png"), Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});

    const ProcessResult result = RunConverterProcess(c.arguments, directory.path());
    EXPECT_EQ(result.exitStatus, c.exitStatus);
    const std::string errorLine = ErrorLine(c.code, c.arguments.back());
    ASSERT_GE(result.output.size(), errorLine.size()) << result.output;
    EXPECT_EQ(result.output.substr(result.output.size() - errorLine.size()), errorLine);
    EXPECT_FALSE(fs::exists(directory.File("in.zeq")));
    EXPECT_FALSE(fs::exists(directory.File("sub/in.zeq")));
  }
}

TEST(CliRun, DecodeAndLookupFailuresPrintTheirMessagesWithoutVerbose) {
  TempDir directory;
  WriteFile(directory.File("in.png"), SampleRgbPng());
  WriteFile(directory.File("notpng.png"), Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});

  const ProcessResult lookup = RunConverterProcess({"-depth", "999", "in.png"}, directory.path());
  EXPECT_EQ(lookup.output, "Lookup for format \"999\" with PNG colour 2 failed." +
                               ErrorLine("TranscodeLookup", "in.png"));

  const ProcessResult decode = RunConverterProcess({"notpng.png"}, directory.path());
  EXPECT_EQ(decode.output.rfind("PNGError: ", 0), 0u) << decode.output;
  const std::string tail = "\nPNG failed\n" + ErrorLine("PNGDecodeError", "notpng.png");
  ASSERT_GE(decode.output.size(), tail.size());
  EXPECT_EQ(decode.output.substr(decode.output.size() - tail.size()), tail);
}

}  // namespace
}  // namespace png2zeq::testing
