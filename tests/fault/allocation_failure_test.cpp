// Every heap block the converter's own code takes fails in turn, through the
// allocation seam: the reader's block, the transcoder's block, the dither
// state's record and its two error rows, the deflate output buffer. Each
// failure must end the run with OutOfMemory, after exactly the progress the
// run had made, with every block taken freed exactly once and no output file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "in_process_run.h"
#include "pixels/burkes_dither.h"
#include "support/png_builder.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq::fault {
namespace {

using testing::PngRecipe;
using testing::TempDir;

// Size of the buffer the deflate stage asks for: zlib's bound for level 6,
// 32 KiB window and memory level 8.
size_t DeflateBufferSize(size_t length) {
  return length + (length >> 12) + (length >> 14) + (length >> 25) + 13;
}

size_t ErrorRowSize(uint32_t width) { return (width + 4) * sizeof(ErrorCell); }

struct Allocation {
  const char* what;
  size_t size;
  // The line printed just before the error line when this allocation fails;
  // empty when the error line must be all the output.
  std::string lastLineBefore;
};

struct Scenario {
  const char* name;
  int colourType;
  uint32_t width;
  uint32_t height;
  std::vector<std::string> options;  // before the input path
  std::vector<Allocation> allocations;
};

std::vector<Scenario> Scenarios() {
  const std::string rgbTranscode = "Transposing RGB888 to RGB565, length 70";
  const std::string rgbaTranscode = "Transposing RGBA8888 to RGBA5658, length 108";
  return {
      {"RgbDitheredCompressedVerbose", 2, 7, 5, {"-verbose", "-depth", "565", "-dither"},
       {{"reader's block", size_t{7} * 5 * 3, " Colour = RGB"},
        {"transcoder's block", size_t{7} * 5 * 2, rgbTranscode},
        {"dither state record", sizeof(DitherState), rgbTranscode},
        {"first error row", ErrorRowSize(7), rgbTranscode},
        {"second error row", ErrorRowSize(7), rgbTranscode},
        {"deflate output buffer", DeflateBufferSize(size_t{7} * 5 * 2), rgbTranscode}}},
      {"RgbaDitheredCompressedSilent", 6, 9, 4, {"-depth", "565", "-dither", "burkes"},
       {{"reader's block", size_t{9} * 4 * 4, ""},
        {"transcoder's block", size_t{9} * 4 * 3, ""},
        {"dither state record", sizeof(DitherState), ""},
        {"first error row", ErrorRowSize(9), ""},
        {"second error row", ErrorRowSize(9), ""},
        {"deflate output buffer", DeflateBufferSize(size_t{9} * 4 * 3), ""}}},
      {"RgbaPlainCompressedVerbose", 6, 9, 4, {"-v", "-d", "565"},
       {{"reader's block", size_t{9} * 4 * 4, " Colour = RGBA"},
        {"transcoder's block", size_t{9} * 4 * 3, rgbaTranscode},
        {"deflate output buffer", DeflateBufferSize(size_t{9} * 4 * 3), rgbaTranscode}}},
      {"GreyPassThroughCompressedVerbose", 0, 6, 3, {"-verbose", "-depth", "565", "-dither"},
       {{"reader's block", size_t{6} * 3, " Colour = GRAY"},
        {"deflate output buffer", DeflateBufferSize(size_t{6} * 3), "No transpose, length 18"}}},
      {"GreyAlphaUncompressedVerbose", 4, 6, 3, {"-verbose", "-uncompressed"},
       {{"reader's block", size_t{6} * 3 * 2, " Colour = GRAYA"}}},
  };
}

std::string WritePng(const TempDir& directory, const Scenario& scenario) {
  PngRecipe recipe;
  recipe.colourType = scenario.colourType;
  recipe.width = scenario.width;
  recipe.height = scenario.height;
  const size_t bytes = testing::PackedRowBytes(recipe) * recipe.height;
  for (size_t i = 0; i < bytes; ++i) recipe.samples.push_back(static_cast<uint8_t>(i * 53 + 7));
  return png2zeq::testing::WritePngInto(directory, "image.png", recipe);
}

bool Exists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

// The line before the last one of `output`, or "" when there is none.
std::string LineBeforeLast(const std::string& output) {
  if (output.size() < 2) return "";
  const size_t lastStart = output.rfind('\n', output.size() - 2);
  if (lastStart == std::string::npos) return "";
  const size_t previousStart = lastStart == 0 ? std::string::npos : output.rfind('\n', lastStart - 1);
  const size_t begin = previousStart == std::string::npos ? 0 : previousStart + 1;
  return output.substr(begin, lastStart - begin);
}

std::vector<std::string> Arguments(const Scenario& scenario, const std::string& output,
                                   const std::string& input) {
  std::vector<std::string> arguments = scenario.options;
  arguments.insert(arguments.end(), {"-output", output, input});
  return arguments;
}

TEST(OwnAllocations, SuccessfulRunsTakeExactlyTheExpectedBlocksAndFreeEachOnce) {
  for (const Scenario& scenario : Scenarios()) {
    SCOPED_TRACE(scenario.name);
    TempDir directory;
    const std::string input = WritePng(directory, scenario);
    const std::string output = directory.File("image.zeq");
    const InProcessRun run = RunInProcess(Arguments(scenario, output, input));

    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Exists(output));
    std::vector<size_t> expectedSizes;
    for (const Allocation& allocation : scenario.allocations) expectedSizes.push_back(allocation.size);
    EXPECT_EQ(run.ledger.allocationSizes, expectedSizes);
    EXPECT_EQ(run.ledger.refusedAllocations, 0u);
    EXPECT_EQ(run.ledger.liveBlocks, 0u) << "a block outlived the run";
    EXPECT_TRUE(run.ledger.faults.empty()) << run.ledger.faults.front();
  }
}

TEST(OwnAllocations, EachFailingInTurnEndsTheRunWithOutOfMemoryAndFreesEverything) {
  int injected = 0;
  for (const Scenario& scenario : Scenarios()) {
    for (size_t n = 1; n <= scenario.allocations.size(); ++n) {
      const Allocation& failing = scenario.allocations[n - 1];
      SCOPED_TRACE(std::string(scenario.name) + ": " + failing.what + " fails");
      TempDir directory;
      const std::string input = WritePng(directory, scenario);
      const std::string output = directory.File("image.zeq");
      const InProcessRun run =
          RunInProcess(Arguments(scenario, output, input), static_cast<unsigned>(n));
      ++injected;

      EXPECT_EQ(run.status, 8);
      const std::string errorLine = ErrorLine("OutOfMemory", input);
      ASSERT_GE(run.output.size(), errorLine.size());
      EXPECT_EQ(run.output.substr(run.output.size() - errorLine.size()), errorLine) << run.output;
      if (failing.lastLineBefore.empty()) {
        EXPECT_EQ(run.output, errorLine);
      } else {
        EXPECT_EQ(LineBeforeLast(run.output), failing.lastLineBefore) << run.output;
      }
      // The run stops at the refused block: nothing is taken after it.
      EXPECT_EQ(run.ledger.allocationSizes.size(), n);
      EXPECT_EQ(run.ledger.refusedAllocations, 1u);
      EXPECT_EQ(run.ledger.liveBlocks, 0u) << "a block outlived the failed run";
      EXPECT_TRUE(run.ledger.faults.empty()) << run.ledger.faults.front();
      EXPECT_FALSE(Exists(output)) << "a failed run left an output file";
    }
  }
  EXPECT_EQ(injected, 18);
}

// After a refused allocation the seam is disarmed and the same conversion
// succeeds: no state of the failed run lingers.
TEST(OwnAllocations, RunAfterAFailedOneConvertsNormally) {
  const Scenario scenario = Scenarios().front();
  TempDir directory;
  const std::string input = WritePng(directory, scenario);
  const std::string output = directory.File("image.zeq");
  ASSERT_EQ(RunInProcess(Arguments(scenario, output, input), 4).status, 8);
  const InProcessRun again = RunInProcess(Arguments(scenario, output, input));
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_EQ(again.ledger.allocationSizes.size(), scenario.allocations.size());
  EXPECT_EQ(again.ledger.liveBlocks, 0u);
}

}  // namespace
}  // namespace png2zeq::fault
