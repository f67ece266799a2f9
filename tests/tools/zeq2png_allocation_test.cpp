// Every allocation zeq2png makes through the shared seam fails in turn: the
// run must end with OutOfMemory, write no preview and leak nothing (the
// sanitizer build checks the last).

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/heap.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"
#include "zeq2png/run.h"
#include "zeq2png/zeq_result.h"
#include "zeq_test_support.h"

namespace zeq2png {
namespace {

using png2zeq::testing::PatternBytes;

int RunInProcess(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "zeq2png");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return RunZeq2Png(static_cast<int>(arguments.size()), argv.data());
}

TEST(Zeq2PngAllocations, EachFailureEndsTheRunWithOutOfMemory) {
  png2zeq::testing::TempDir dir;
  png2zeq::testing::PngRecipe recipe;
  recipe.width = 70;
  recipe.height = 40;
  recipe.colourType = 6;
  recipe.samples = PatternBytes(70 * 40 * 4, 11);
  const std::string png = png2zeq::testing::WritePngInto(dir, "image.png", recipe);
  const std::string zeq = dir.File("image.zeq");
  const std::string preview = dir.File("image.preview.png");
  ASSERT_EQ(png2zeq::testing::RunConverterProcess({"-depth", "565", "-o", zeq, png}).exitStatus,
            0);

  const std::vector<std::string> arguments = {"-compare", png, zeq};
  const unsigned before = png2zeq::AllocationCount();
  ASSERT_EQ(RunInProcess(arguments), 0);
  const unsigned allocations = png2zeq::AllocationCount() - before;
  // The file, the pixels, the preview samples, the original and the PNG buffer at least.
  EXPECT_GE(allocations, 5u);
  ASSERT_EQ(0, std::remove(preview.c_str()));

  for (unsigned failing = 1; failing <= allocations; ++failing) {
    png2zeq::FailNthAllocation(failing);
    const int status = RunInProcess(arguments);
    png2zeq::FailNthAllocation(0);
    EXPECT_EQ(status, static_cast<int>(ZeqResult::OutOfMemory)) << "allocation " << failing;
    EXPECT_FALSE(png2zeq::testing::FileExists(preview)) << "allocation " << failing;
  }
}

}  // namespace
}  // namespace zeq2png
