// Paths as Windows users write them, in whole runs of both tools.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq::testing {
namespace {

namespace fs = std::filesystem;

PngRecipe TwoByTwo() {
  PngRecipe recipe;
  recipe.width = recipe.height = 2;
  recipe.samples = Bytes(12, 0x80);
  return recipe;
}

// UTF-8 text from a u8 literal.
std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(WindowsPaths, DriveLettersBackslashesDirectoriesAndSlashOptions) {
  const struct {
    std::vector<std::string> arguments;  // "%" stands for the run's directory, "@" for its drive
    const char* output;                  // relative to the run's directory
  } cases[] = {
      {{"%\\in.png"}, "in.zeq"},
      {{"sub\\in.png"}, "sub\\in.zeq"},
      {{"-o", "out\\", "in.png"}, "out\\in.zeq"},
      {{"/O", "%\\out\\", "/DEPTH", "565", "in.png"}, "out\\in.zeq"},
      {{"/u", "/o", "out\\named.bin", "%/sub\\in.png"}, "out\\named.bin"},
      {{"-o", "@:", "in.png"}, "in.zeq"},  // the current directory of the drive
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    TempDir dir;
    fs::create_directory(dir.File("sub"));
    fs::create_directory(dir.File("out"));
    WritePngInto(dir, "in.png", TwoByTwo());
    WritePngInto(dir, "sub/in.png", TwoByTwo());
    std::vector<std::string> arguments;
    for (std::string argument : c.arguments) {
      if (argument[0] == '%') argument.replace(0, 1, dir.path());
      if (argument[0] == '@') argument[0] = dir.path()[0];
      arguments.push_back(argument);
    }
    const ProcessResult run = RunConverterProcess(arguments, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(ReadZeqParts(dir.File(c.output)).header.magic, kZeqMagic);
  }
}

TEST(WindowsPaths, NonAsciiNamesAreKeptInOutputNamesAndTexts) {
  const struct {
    const char* program;
    std::vector<const char8_t*> arguments;
    const char8_t* input;   // written before the run
    const char8_t* output;  // expected afterwards, named in the verbose line
  } cases[] = {
      {PNG2ZEQ_EXECUTABLE, {u8"-v", u8"größe.png"}, u8"größe.png", u8"größe.zeq"},
      {PNG2ZEQ_EXECUTABLE, {u8"-v", u8"日本語.png"}, u8"日本語.png", u8"日本語.zeq"},
      {PNG2ZEQ_EXECUTABLE, {u8"-v", u8"/o", u8"出力\\", u8"größe.png"}, u8"größe.png", u8"出力\\größe.zeq"},
      {ZEQ2PNG_EXECUTABLE, {u8"-v", u8"日本語.zeq"}, u8"日本語.zeq", u8"日本語.preview.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.output));
    TempDir dir;
    fs::create_directory(fs::path(dir.path()) / fs::path(u8"出力"));
    WritePngInto(dir, "in.png", TwoByTwo());
    ASSERT_EQ(RunConverterProcess({"in.png"}, dir.path()).exitStatus, 0);
    fs::copy_file(dir.File(fs::path(c.input).extension() == ".zeq" ? "in.zeq" : "in.png"),
                  fs::path(dir.path()) / fs::path(c.input));
    std::vector<std::string> arguments;
    for (const char8_t* argument : c.arguments) arguments.push_back(Utf8(argument));
    const ProcessResult run = RunProcess(c.program, arguments, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.output.find(Utf8(c.output)), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_regular_file(fs::path(dir.path()) / fs::path(c.output)));
  }
}

}  // namespace
}  // namespace png2zeq::testing
