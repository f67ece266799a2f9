// Every heap call of a whole converter process fails in turn, through an
// allocator shim preloaded into the png2zeq subprocess: the C library's,
// libpng's and zlib's allocations as well as our own. Whatever call fails,
// the process must end normally with a result code that fits the failure,
// print exactly the messages that code calls for, write nothing to standard
// error, and either write the very file a normal run writes or none at all.
//
// A preloaded malloc cannot coexist with AddressSanitizer's, so the sanitizer
// build skips these tests; scripts/valgrind.sh runs them under memcheck.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "support/png_builder.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

#if defined(__SANITIZE_ADDRESS__)
#define PNG2ZEQ_FAULT_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PNG2ZEQ_FAULT_UNDER_ASAN 1
#endif
#endif
#ifndef PNG2ZEQ_FAULT_UNDER_ASAN
#define PNG2ZEQ_FAULT_UNDER_ASAN 0
#endif

namespace png2zeq::fault {
namespace {

using testing::Bytes;
using testing::ErrorLine;
using testing::PngRecipe;
using testing::ProcessResult;
using testing::TempDir;

// Sets environment variables for the subprocesses started while it lives.
class ScopedEnvironment {
 public:
  void Set(const char* name, const std::string& value) {
    if (saved_.count(name) == 0) {
      const char* old = std::getenv(name);
      saved_[name] = old != nullptr ? std::make_pair(true, std::string(old))
                                    : std::make_pair(false, std::string());
    }
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    for (const auto& [name, old] : saved_) {
      if (old.first) {
        setenv(name.c_str(), old.second.c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

 private:
  std::map<std::string, std::pair<bool, std::string>> saved_;
};

// One converter process with the shim preloaded; `failCall` 0 fails nothing.
ProcessResult RunWithFailedHeapCall(const std::vector<std::string>& arguments,
                                    unsigned long failCall) {
  ScopedEnvironment environment;
  const char* preload = std::getenv("LD_PRELOAD");
  std::string preloads = PNG2ZEQ_FAULT_MALLOC_LIBRARY;
  if (preload != nullptr && *preload != '\0') preloads = std::string(preload) + ":" + preloads;
  environment.Set("LD_PRELOAD", preloads);
  environment.Set("PNG2ZEQ_FAULT_FAIL_CALL", std::to_string(failCall));
  environment.Set("PNG2ZEQ_FAULT_REPORT", "1");
  // Under valgrind a launcher runs first in the child; leave it alone.
  environment.Set("PNG2ZEQ_FAULT_PROGRAM", "png2zeq");
  return testing::RunConverterProcess(arguments);
}

// The shim's report at exit: the number of heap calls and of refused ones.
struct ShimReport {
  bool found = false;
  unsigned long calls = 0;
  unsigned long failed = 0;
  std::string otherErrors;  // anything else on standard error
};

ShimReport ParseShimReport(const std::string& errors) {
  ShimReport report;
  const std::string prefix = "fault-malloc: calls=";
  const size_t at = errors.rfind(prefix);
  if (at == std::string::npos) {
    report.otherErrors = errors;
    return report;
  }
  report.found = std::sscanf(errors.c_str() + at, "fault-malloc: calls=%lu failed=%lu",
                             &report.calls, &report.failed) == 2;
  const size_t end = errors.find('\n', at);
  report.otherErrors = errors.substr(0, at) + (end == std::string::npos ? "" : errors.substr(end + 1));
  return report;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The lines of `output`, without their line ends.
std::vector<std::string> Lines(const std::string& output) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < output.size()) {
    const size_t end = output.find('\n', start);
    lines.push_back(output.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

bool Exists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

// How the runs of one sweep ended.
struct Tally {
  int converted = 0;
  int openInputFailed = 0;
  int decoderNotCreated = 0;   // PNGDecodeError with no libpng message
  int decodeFailed = 0;        // PNGDecodeError with "PNGError: ..." and "PNG failed"
  int outOfMemory = 0;
  int deflateInitFailed = 0;   // DeflateFailed with "Deflate failed with error -2"
};

struct Sweep {
  const char* name;
  PngRecipe image;
  std::vector<std::string> options;  // before -output and the input path
  bool compressed;
};

std::vector<Sweep> Sweeps() {
  PngRecipe rgb;
  rgb.colourType = 2;
  rgb.width = 13;
  rgb.height = 7;
  rgb.interlaced = true;
  rgb.textChunk = true;
  PngRecipe indexed;
  indexed.colourType = 3;
  indexed.bitDepth = 4;
  indexed.width = 11;
  indexed.height = 6;
  for (int i = 0; i < 16 * 3; ++i) indexed.palette.push_back(static_cast<uint8_t>(i * 5));
  indexed.transparency = {0, 255, 128};
  for (PngRecipe* recipe : {&rgb, &indexed}) {
    const size_t bytes = testing::PackedRowBytes(*recipe) * recipe->height;
    for (size_t i = 0; i < bytes; ++i) recipe->samples.push_back(static_cast<uint8_t>(i * 31 + 3));
  }
  return {
      {"InterlacedRgbDitheredCompressed", rgb, {"-verbose", "-depth", "565", "-dither"}, true},
      {"IndexedWithTransparencyUncompressed", indexed, {"-verbose", "-uncompressed"}, false},
      {"InterlacedRgbStrongest", rgb, {"-verbose", "-best"}, true},
  };
}

// Checks one run with heap call `n` refused and counts how it ended.
void CheckFailedRun(const ProcessResult& run, const std::string& input, const std::string& output,
                    const Bytes& normalOutput, Tally& tally) {
  const ShimReport report = ParseShimReport(run.errors);
  EXPECT_TRUE(report.found) << "no shim report; the process did not exit normally";
  EXPECT_EQ(report.otherErrors, "") << "the converter wrote to standard error";
  ASSERT_NE(run.exitStatus, -1) << "killed by a signal:\n" << run.output;

  const std::vector<std::string> lines = Lines(run.output);
  const std::string before = lines.size() >= 2 ? lines[lines.size() - 2] : "";
  const std::string twoBefore = lines.size() >= 3 ? lines[lines.size() - 3] : "";
  switch (run.exitStatus) {
    case 0:
      ++tally.converted;
      EXPECT_EQ(testing::ReadFile(output), normalOutput) << "a refused heap call changed the file";
      return;
    case 4:
      ++tally.openInputFailed;
      EXPECT_TRUE(EndsWith(run.output, ErrorLine("OpenInputFileFailed", input))) << run.output;
      break;
    case 5:
      EXPECT_TRUE(EndsWith(run.output, ErrorLine("PNGDecodeError", input))) << run.output;
      if (before == "PNG failed") {
        ++tally.decodeFailed;
        EXPECT_EQ(twoBefore.rfind("PNGError: ", 0), 0u) << run.output;
      } else {
        ++tally.decoderNotCreated;
        EXPECT_EQ(run.output.find("PNGError"), std::string::npos) << run.output;
      }
      break;
    case 8:
      ++tally.outOfMemory;
      EXPECT_TRUE(EndsWith(run.output, ErrorLine("OutOfMemory", input))) << run.output;
      break;
    case 10:
      ++tally.deflateInitFailed;
      EXPECT_TRUE(EndsWith(run.output, ErrorLine("DeflateFailed", input))) << run.output;
      EXPECT_EQ(before, "Deflate failed with error -2") << run.output;
      break;
    default:
      ADD_FAILURE() << "unexpected exit status " << run.exitStatus << ":\n" << run.output;
      break;
  }
  EXPECT_FALSE(Exists(output)) << "a failed run left an output file";
}

TEST(LibraryAllocations, EveryHeapCallOfARunFailingInTurnEndsCleanly) {
  if (PNG2ZEQ_FAULT_UNDER_ASAN) GTEST_SKIP() << "a preloaded allocator cannot run under ASan";
  int injected = 0;
  for (const Sweep& sweep : Sweeps()) {
    SCOPED_TRACE(sweep.name);
    TempDir directory;
    const std::string input = directory.File("image.png");
    const std::string output = directory.File("image.zeq");
    testing::WriteFile(input, testing::EncodePng(sweep.image));
    std::vector<std::string> arguments = sweep.options;
    arguments.insert(arguments.end(), {"-output", output, input});

    const ProcessResult normal = RunWithFailedHeapCall(arguments, 0);
    ASSERT_EQ(normal.exitStatus, 0) << normal.output << normal.errors;
    const ShimReport baseline = ParseShimReport(normal.errors);
    ASSERT_TRUE(baseline.found) << "the shim was not loaded: " << normal.errors;
    ASSERT_GT(baseline.calls, 0u);
    const Bytes normalOutput = testing::ReadFile(output);

    Tally tally;
    for (unsigned long n = 1; n <= baseline.calls; ++n) {
      SCOPED_TRACE("heap call " + std::to_string(n) + " of " + std::to_string(baseline.calls));
      std::remove(output.c_str());
      CheckFailedRun(RunWithFailedHeapCall(arguments, n), input, output, normalOutput, tally);
      ++injected;
    }
    std::printf("[ sweep    ] %s: %lu heap calls refused one at a time: %d converted, %d "
                "OpenInputFileFailed, %d PNGDecodeError before decoding, %d PNGDecodeError "
                "while decoding, %d OutOfMemory, %d DeflateFailed\n",
                sweep.name, baseline.calls, tally.converted, tally.openInputFailed,
                tally.decoderNotCreated, tally.decodeFailed, tally.outOfMemory,
                tally.deflateInitFailed);
    // Each kind of failure the reader and the deflate stage document happened.
    EXPECT_GT(tally.decodeFailed, 0) << "no allocation inside libpng's decoding failed";
    EXPECT_GT(tally.decoderNotCreated, 0) << "no libpng structure creation failed";
    EXPECT_GT(tally.outOfMemory, 0) << "none of our own blocks was refused";
    EXPECT_GT(tally.openInputFailed, 0) << "opening the input never failed";
    if (sweep.compressed) {
      EXPECT_GT(tally.deflateInitFailed, 0) << "no allocation inside deflateInit failed";
    } else {
      EXPECT_EQ(tally.deflateInitFailed, 0);
    }
  }
  RecordProperty("injected", injected);
}

}  // namespace
}  // namespace png2zeq::fault
