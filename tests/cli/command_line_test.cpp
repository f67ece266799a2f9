#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/options.h"

namespace png2zeq {
namespace {

// An argument vector with "png2zeq" in front, owning its strings.
class Arguments {
 public:
  Arguments(std::initializer_list<const char*> arguments)
      : Arguments(std::vector<const char*>(arguments)) {}
  explicit Arguments(const std::vector<const char*>& arguments) {
    texts_.push_back("png2zeq");
    for (const char* argument : arguments) texts_.push_back(argument);
    for (std::string& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
  }
  // The pointers refer into the strings: no copies.
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  int count() const { return static_cast<int>(texts_.size()); }
  char** vector() { return pointers_.data(); }
  const char* at(int position) const { return pointers_[position]; }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

ErrorCode Parse(ConversionJob& job, Arguments& arguments) {
  return ParseCommandLine(job, arguments.count(), arguments.vector());
}

TEST(EqualsIgnoringCase, FoldsAsciiLettersOnly) {
  struct {
    const char* a;
    const char* b;
    bool equal;
  } const cases[] = {
      {"help", "HELP", true}, {"VeRbOsE", "verbose", true}, {"?", "?", true},
      {"", "", true},         {"d", "depth", false},        {"depth", "d", false},
      {"", "d", false},       {"v ", "v", false},
      // Pairs 32 apart that are not letters must stay different.
      {"[", "{", false},      {"@", "`", false},            {"^", "~", false},
      {"\xC4", "\xE4", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(EqualsIgnoringCase(c.a, c.b), c.equal);
    EXPECT_EQ(EqualsIgnoringCase(c.b, c.a), c.equal);
  }
}

// What one option argument, placed ahead of the input path, sets.
enum class Effect { None, Verbose, Uncompressed, Dither, Depth, Output, Best, Window };

struct OptionCase {
  const char* option;
  Effect effect;
};

TEST(ParseCommandLine, RecognisesEveryOptionSpelling) {
  const OptionCase cases[] = {
      {"-v", Effect::Verbose},         {"/V", Effect::Verbose},
      {"-verbose", Effect::Verbose},   {"/VeRbOsE", Effect::Verbose},
      {"-u", Effect::Uncompressed},    {"/U", Effect::Uncompressed},
      {"-uncompressed", Effect::Uncompressed}, {"/UNCOMPRESSED", Effect::Uncompressed},
      {"-dither", Effect::Dither},     {"/Dither", Effect::Dither},
      {"-d", Effect::Depth},           {"/D", Effect::Depth},
      {"-depth", Effect::Depth},       {"/DEPTH", Effect::Depth},
      {"-o", Effect::Output},          {"/O", Effect::Output},
      {"-output", Effect::Output},     {"/oUtPuT", Effect::Output},
      {"-b", Effect::Best},            {"/B", Effect::Best},
      {"-best", Effect::Best},         {"/BeSt", Effect::Best},
      {"-w", Effect::Window},          {"/WiNdOw", Effect::Window},
      // Near misses are unknown options: passed over, value not consumed.
      {"-verb", Effect::None},         {"-verbosee", Effect::None},
      {"-vv", Effect::None},           {"--v", Effect::None},
      {"-d565", Effect::None},         {"-dith", Effect::None},
      {"-", Effect::None},             {"/", Effect::None},
      {"-x", Effect::None},            {"-bestt", Effect::None},
  };
  for (const OptionCase& c : cases) {
    SCOPED_TRACE(c.option);
    const bool takesValue =
        c.effect == Effect::Depth || c.effect == Effect::Output || c.effect == Effect::Window;
    Arguments arguments = takesValue ? Arguments{c.option, c.effect == Effect::Window ? "012" : "VALUE", "in.png"}
                                     : Arguments{c.option, "in.png"};
    ConversionJob job{};
    ASSERT_EQ(Parse(job, arguments), ErrorCode::OK);
    EXPECT_STREQ(job.inputPath, "in.png");
    EXPECT_EQ(job.verbose, c.effect == Effect::Verbose ? 1 : 0);
    EXPECT_EQ(job.uncompressed, c.effect == Effect::Uncompressed ? 1 : 0);
    EXPECT_EQ(job.best, c.effect == Effect::Best ? 1 : 0);
    EXPECT_EQ(job.windowBits, c.effect == Effect::Window ? 12 : 0);
    EXPECT_EQ(job.ditherState != nullptr, c.effect == Effect::Dither);
    EXPECT_EQ(job.ditherError != nullptr, c.effect == Effect::Dither);
    EXPECT_EQ(job.depthText, c.effect == Effect::Depth ? arguments.at(2) : nullptr);
    EXPECT_EQ(job.outputPath, c.effect == Effect::Output ? arguments.at(2) : nullptr);
  }
}

TEST(ParseCommandLine, KeepsReferencesIntoTheArgumentVector) {
  Arguments arguments{"-depth", "888", "-o", "a.zeq", "-depth", "565", "-o", "b.zeq", "in.png"};
  ConversionJob job{};
  ASSERT_EQ(Parse(job, arguments), ErrorCode::OK);
  // Later values replace earlier ones; nothing is copied.
  EXPECT_EQ(job.depthText, arguments.at(6));
  EXPECT_EQ(job.outputPath, arguments.at(8));
  EXPECT_EQ(job.inputPath, arguments.at(9));
}

TEST(ParseCommandLine, ValueOfDepthAndOutputIsNeverAnOption) {
  Arguments arguments{"-output", "-v", "-depth", "/u", "in.png"};
  ConversionJob job{};
  ASSERT_EQ(Parse(job, arguments), ErrorCode::OK);
  EXPECT_STREQ(job.outputPath, "-v");
  EXPECT_STREQ(job.depthText, "/u");
  EXPECT_EQ(job.verbose, 0);
  EXPECT_EQ(job.uncompressed, 0);
}

TEST(ParseCommandLine, ResetsEveryCommandLineField) {
  ConversionJob job{};
  Arguments first{"-v", "-u", "-b", "-dither", "-d", "565", "-o", "x.zeq", "in.png"};
  ASSERT_EQ(Parse(job, first), ErrorCode::OK);
  Arguments second{"other.png"};
  ASSERT_EQ(Parse(job, second), ErrorCode::OK);
  EXPECT_STREQ(job.inputPath, "other.png");
  EXPECT_EQ(job.outputPath, nullptr);
  EXPECT_EQ(job.depthText, nullptr);
  EXPECT_EQ(job.verbose, 0);
  EXPECT_EQ(job.uncompressed, 0);
  EXPECT_EQ(job.best, 0);
  EXPECT_EQ(job.ditherState, nullptr);
  EXPECT_EQ(job.ditherError, nullptr);
}

struct DitherCase {
  std::vector<const char*> arguments;
  ErrorCode result;
  const char* input;  // nullptr: none recorded
  bool uncompressed;
};

TEST(ParseCommandLine, DitherTakesAnOptionalMethodName) {
  const DitherCase cases[] = {
      {{"-dither", "in.png"}, ErrorCode::OK, "in.png", false},
      {{"-dither", "burkes", "in.png"}, ErrorCode::OK, "in.png", false},
      {{"-dither", "BuRkEs", "in.png"}, ErrorCode::OK, "in.png", false},
      {{"-dither", "-u", "in.png"}, ErrorCode::OK, "in.png", true},
      {{"-dither", "/u", "in.png"}, ErrorCode::OK, "in.png", true},
      {{"-dither", "burkes", "-u", "in.png"}, ErrorCode::OK, "in.png", true},
      {{"-dither", "/abs/in.png"}, ErrorCode::OK, "/abs/in.png", false},
      {{"-dither", "foo", "in.png"}, ErrorCode::UnknownDitherMethod, nullptr, false},
      {{"-dither", "burke", "in.png"}, ErrorCode::UnknownDitherMethod, nullptr, false},
      {{"-dither", "foo", "-u", "in.png"}, ErrorCode::UnknownDitherMethod, nullptr, false},
      {{"-dither"}, ErrorCode::MissingInputFile, nullptr, false},
      {{"-dither", "burkes"}, ErrorCode::OK, "burkes", false},
  };
  for (const DitherCase& c : cases) {
    Arguments arguments(c.arguments);
    SCOPED_TRACE(::testing::PrintToString(std::vector<std::string>(
        arguments.vector() + 1, arguments.vector() + arguments.count())));
    ConversionJob job{};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(Parse(job, arguments), c.result);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, c.result == ErrorCode::UnknownDitherMethod
                           ? "Parameter " + std::string(arguments.at(2)) + " invalid.\n"
                           : "");
    if (c.input == nullptr) {
      EXPECT_EQ(job.inputPath, nullptr);
    } else {
      EXPECT_STREQ(job.inputPath, c.input);
    }
    EXPECT_EQ(job.uncompressed, c.uncompressed ? 1 : 0);
    EXPECT_NE(job.ditherState, nullptr);
    EXPECT_NE(job.ditherError, nullptr);
  }
}

}  // namespace
}  // namespace png2zeq
