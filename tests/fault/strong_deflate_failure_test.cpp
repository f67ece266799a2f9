// -best's own blocks, through the allocation seam: libdeflate's compressor
// and its output block. Refusing either ends the run with OutOfMemory and no
// file; whether libdeflate's stream or zlib's is kept, every block taken is
// freed exactly once.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "in_process_run.h"
#include "support/png_builder.h"
#include "support/temp_dir.h"

namespace png2zeq::fault {
namespace {

TEST(StrongDeflateAllocations, RefusalsEndWithOutOfMemoryAndEveryBlockIsFreed) {
  // Blocks of a grey run: reader's block, zlib's buffer, compressor, libdeflate's buffer.
  constexpr size_t kBlocksOfARun = 4;
  const struct {
    const char* name;
    uint32_t side;  // one pixel: libdeflate's stream is not shorter than zlib's
    unsigned failAllocation;
    int status;
  } cases[] = {
      {"libdeflate's stream kept", 32, 0, 0},
      {"zlib's stream kept", 1, 0, 0},
      {"compressor refused", 32, 3, 8},
      {"libdeflate's output block refused", 32, 4, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir directory;
    testing::PngRecipe recipe;
    recipe.colourType = 0;
    recipe.width = recipe.height = c.side;
    for (uint32_t i = 0; i < c.side * c.side; ++i) recipe.samples.push_back(uint8_t(i / 9 * 3));
    const std::string input = directory.File("image.png");
    const std::string output = directory.File("image.zeq");
    testing::WriteFile(input, testing::EncodePng(recipe));

    const InProcessRun run = RunInProcess({"-best", "-output", output, input}, c.failAllocation);
    EXPECT_EQ(run.status, c.status) << run.output;
    EXPECT_EQ(run.output, c.status == 0 ? "" : ErrorLine("OutOfMemory", input));
    struct stat status;
    EXPECT_EQ(stat(output.c_str(), &status) == 0, c.status == 0);
    EXPECT_EQ(run.ledger.allocationSizes.size(), c.status == 0 ? kBlocksOfARun : c.failAllocation);
    EXPECT_EQ(run.ledger.liveBlocks, 0u) << "a block outlived the run";
    EXPECT_TRUE(run.ledger.faults.empty()) << run.ledger.faults.front();
  }
}

}  // namespace
}  // namespace png2zeq::fault
