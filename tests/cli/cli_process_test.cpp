// The converter's command line as a user meets it: the process's exact
// standard output and exit status, for runs that end before any image is
// read.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "expected_texts.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace png2zeq::testing {
namespace {

using Args = std::vector<std::string>;

std::string Describe(const Args& arguments) { return ::testing::PrintToString(arguments); }

// Runs the converter inside a fresh directory and checks that it left no
// file behind.
ProcessResult RunInEmptyDirectory(const Args& arguments) {
  TempDir directory;
  ProcessResult result = RunConverterProcess(arguments, directory.path());
  EXPECT_TRUE(std::filesystem::is_empty(directory.path())) << "a file was created";
  EXPECT_EQ(result.errors, "") << "nothing goes to standard error";
  return result;
}

TEST(CliBanner, HasTheFixedTitleThenACreditAndAWebAddressLine) {
  const std::string usage = RunInEmptyDirectory({"-h"}).output;
  const std::string banner = usage.substr(0, usage.find("\nThis utility"));
  const std::string title = "\nkOMPACTaRRAYvIEW Maker v0.2.0.0\n";
  ASSERT_EQ(banner.compare(0, title.size(), title), 0) << banner;
  const std::string rest = banner.substr(title.size());
  const size_t creditEnd = rest.find('\n');
  ASSERT_NE(creditEnd, std::string::npos);
  const std::string credit = rest.substr(0, creditEnd);
  const std::string web = rest.substr(creditEnd + 1);
  EXPECT_EQ(credit.rfind("    ", 0), 0u) << "credit indented by four spaces";
  EXPECT_NE(credit[4], ' ');
  EXPECT_EQ(web.rfind("  ", 0), 0u) << "web address indented by two spaces";
  EXPECT_NE(web[2], ' ');
  ASSERT_FALSE(web.empty());
  EXPECT_EQ(web.find('\n'), web.size() - 1) << "exactly one line after the credit";
}

TEST(CliProcess, WithoutArgumentsPrintsUsageAndExits2) {
  const ProcessResult result = RunInEmptyDirectory({});
  EXPECT_EQ(result.output, Usage(ToolUnderTest("PNG2ZEQ_TEST_PNG2ZEQ", PNG2ZEQ_EXECUTABLE)));
  EXPECT_EQ(result.exitStatus, 2);
}

TEST(CliProcess, EveryHelpFormPrintsUsageAndExits0) {
  const Args cases[] = {
      {"-h"}, {"-?"}, {"-help"}, {"/h"}, {"/?"}, {"/help"}, {"-H"}, {"/H"}, {"-HELP"}, {"/HELP"},
      {"-HeLp"}, {"/hElP"},
      // Ahead of an argument that would be an error, and without an input.
      {"-h", "stray", "in.png"}, {"-help", "-depth"}, {"/?", "-dither", "foo", "in.png"},
      {"-v", "-h", "in.png"}, {"-u", "-d", "565", "/Help"}, {"-help", "-codes"},
      {"-unknown", "-?"},
  };
  for (const Args& arguments : cases) {
    SCOPED_TRACE(Describe(arguments));
    const ProcessResult result = RunInEmptyDirectory(arguments);
    EXPECT_EQ(result.output, Usage(ToolUnderTest("PNG2ZEQ_TEST_PNG2ZEQ", PNG2ZEQ_EXECUTABLE)));
    EXPECT_EQ(result.exitStatus, 0);
  }
}

TEST(CliProcess, CodesListsEveryResultCodeAndExits0) {
  const Args cases[] = {
      {"-codes"}, {"-c"}, {"/C"}, {"/CODES"}, {"-CoDeS"},
      {"-codes", "stray", "in.png"}, {"-v", "-c"}, {"-codes", "-help"}, {"-c", "-output"},
  };
  for (const Args& arguments : cases) {
    SCOPED_TRACE(Describe(arguments));
    const ProcessResult result = RunInEmptyDirectory(arguments);
    EXPECT_EQ(result.output, kErrorCodeListing);
    EXPECT_EQ(result.exitStatus, 0);
  }
}

struct CommandLineErrorCase {
  Args arguments;
  std::string output;
  int exitStatus;
};

TEST(CliProcess, CommandLineErrorsPrintOneMessageAndTheErrorLine) {
  const std::string invalid = NoInputErrorLine("InvalidParameters");
  const std::string missing = NoInputErrorLine("MissingInputFile");
  const std::string unknownDither = NoInputErrorLine("UnknownDitherMethod");
  const CommandLineErrorCase cases[] = {
      // A non-option anywhere but last.
      {{"in.png", "extra"}, "Parameter 1 doesn't start with '-' or '/'.\n" + invalid, 1},
      {{"in.png", "-v"}, "Parameter 1 doesn't start with '-' or '/'.\n" + invalid, 1},
      {{"-v", "a.png", "b.png"}, "Parameter 2 doesn't start with '-' or '/'.\n" + invalid, 1},
      {{"-u", "-x", "y", "z.png"}, "Parameter 3 doesn't start with '-' or '/'.\n" + invalid, 1},
      // Only the first error is reported, and help after it is not reached.
      {{"a", "b", "-depth"}, "Parameter 1 doesn't start with '-' or '/'.\n" + invalid, 1},
      {{"a", "-help", "in.png"}, "Parameter 1 doesn't start with '-' or '/'.\n" + invalid, 1},
      {{"-dither", "foo", "-h", "in.png"}, "Parameter foo invalid.\n" + unknownDither, 14},
      // -depth and -output as the last argument, named as typed.
      {{"-depth"}, "Parameter -depth invalid.\n" + invalid, 1},
      {{"-v", "/DEPTH"}, "Parameter /DEPTH invalid.\n" + invalid, 1},
      {{"-d", "565", "-D"}, "Parameter -D invalid.\n" + invalid, 1},
      {{"-output"}, "Parameter -output invalid.\n" + invalid, 1},
      {{"-depth", "565", "/O"}, "Parameter /O invalid.\n" + invalid, 1},
      {{"/d"}, "Parameter /d invalid.\n" + invalid, 1},
      // -window: 9 to 15 in decimal, nothing else.
      {{"-window"}, "Parameter -window invalid.\n" + invalid, 1},
      {{"-w", "8", "in.png"}, "Parameter 8 invalid.\n" + invalid, 1},
      {{"/WINDOW", "16", "in.png"}, "Parameter 16 invalid.\n" + invalid, 1},
      {{"-w", "99999999999", "in.png"}, "Parameter 99999999999 invalid.\n" + invalid, 1},
      // -output takes the input path as its value.
      {{"-output", "in.png"}, missing, 3},
      {{"-v", "-depth", "in.png"}, missing, 3},
      // A last argument that is an option is never the input path.
      {{"-v"}, missing, 3},
      {{"/V"}, missing, 3},
      {{"/verbose"}, missing, 3},
      {{"in.png", "/U"}, "Parameter 1 doesn't start with '-' or '/'.\n" + invalid, 1},
      {{"/Dither"}, missing, 3},
      {{"-dither"}, missing, 3},
      {{"-unknownname"}, missing, 3},
      {{"-in.png"}, missing, 3},
      {{"-x", "-y", "-"}, missing, 3},
      // Dither method names.
      {{"-dither", "foo", "in.png"}, "Parameter foo invalid.\n" + unknownDither, 14},
      {{"-dither", "Burke", "in.png"}, "Parameter Burke invalid.\n" + unknownDither, 14},
      {{"-v", "-dither", "floyd", "-v", "in.png"}, "Parameter floyd invalid.\n" + unknownDither,
       14},
  };
  for (const CommandLineErrorCase& c : cases) {
    SCOPED_TRACE(Describe(c.arguments));
    const ProcessResult result = RunInEmptyDirectory(c.arguments);
    EXPECT_EQ(result.output, c.output);
    EXPECT_EQ(result.exitStatus, c.exitStatus);
  }
}

struct MissingInputCase {
  Args arguments;
  std::string input;  // named in the error line
  int exitStatus;
  std::string code;
};

// Runs that parse and then fail to open their input: the input path the
// parser settled on appears in the error line, the banner only with -verbose.
TEST(CliProcess, ReportsTheInputPathItCouldNotOpen) {
  const MissingInputCase cases[] = {
      {{"missing.png"}, "missing.png", 4, "OpenInputFileFailed"},
      {{"-unknown", "/x", "missing.png"}, "missing.png", 4, "OpenInputFileFailed"},
      {{"-dither", "missing.png"}, "missing.png", 4, "OpenInputFileFailed"},
      {{"-dither", "burkes", "missing.png"}, "missing.png", 4, "OpenInputFileFailed"},
      {{"-dither", "BURKES", "missing.png"}, "missing.png", 4, "OpenInputFileFailed"},
      {{"-dither", "-u", "missing.png"}, "missing.png", 4, "OpenInputFileFailed"},
      {{"-dither", "burkes"}, "burkes", 4, "OpenInputFileFailed"},
      {{"-output", "-v", "missing.png"}, "missing.png", 4, "OpenInputFileFailed"},
      {{"-depth", "-h", "missing.png"}, "missing.png", 4, "OpenInputFileFailed"},
      // A last argument beginning with '/' that names no option is a path.
      {{"/unknownname"}, "/unknownname", 4, "OpenInputFileFailed"},
      {{"-depth", "565", "/no/such/dir/logo.png"}, "/no/such/dir/logo.png", 4,
       "OpenInputFileFailed"},
      {{"/vv"}, "/vv", 4, "OpenInputFileFailed"},
      // Input paths that name a directory.
      {{"/"}, "/", 4, "OpenInputFileFailed"},
      {{"."}, ".", 4, "OpenInputFileFailed"},
      // Too long to derive an output name from: the input is not opened.
      {{std::string(256, 'n') + ".png"}, std::string(256, 'n') + ".png", 12, "GeneralFailure"},
      {{"-o", std::string(256, 'o'), "missing.png"}, "missing.png", 12, "GeneralFailure"},
      {{"-o", std::string(256, 'd') + "/", "missing.png"}, "missing.png", 12, "GeneralFailure"},
  };
  for (const MissingInputCase& c : cases) {
    SCOPED_TRACE(Describe(c.arguments));
    const ProcessResult result = RunInEmptyDirectory(c.arguments);
    EXPECT_EQ(result.output, ErrorLine(c.code, c.input));
    EXPECT_EQ(result.exitStatus, c.exitStatus);

    Args verbose = c.arguments;
    verbose.insert(verbose.begin(), "-v");
    const ProcessResult verboseResult = RunInEmptyDirectory(verbose);
    EXPECT_EQ(verboseResult.output, Banner() + ErrorLine(c.code, c.input));
    EXPECT_EQ(verboseResult.exitStatus, c.exitStatus);
  }
}

}  // namespace
}  // namespace png2zeq::testing
