// -best's own blocks refused through the allocation seam: libdeflate's
// compressor, then its output block. Either ends the run with OutOfMemory
// before anything is written, with every block taken freed exactly once.

#include <gtest/gtest.h>

#include "in_process_run.h"
#include "support/png_builder.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq::fault {
namespace {

TEST(StrongDeflateAllocations, RefusalEndsWithOutOfMemoryAndFreesEverything) {
  // One grey pixel takes the reader's block and zlib's buffer before these two.
  for (const unsigned refused : {3u, 4u}) {
    SCOPED_TRACE(refused == 3 ? "compressor refused" : "libdeflate's output block refused");
    testing::TempDir directory;
    testing::PngRecipe recipe;
    recipe.colourType = 0;
    recipe.samples = {0x80};
    const std::string input = testing::WritePngInto(directory, "image.png", recipe);

    const InProcessRun run =
        RunInProcess({"-best", "-output", directory.File("image.zeq"), input}, refused);
    EXPECT_EQ(run.status, 8);
    EXPECT_EQ(run.output, ErrorLine("OutOfMemory", input));
    EXPECT_EQ(run.ledger.allocationSizes.size(), refused);
    EXPECT_EQ(run.ledger.liveBlocks, 0u) << "a block outlived the run";
    EXPECT_TRUE(run.ledger.faults.empty()) << run.ledger.faults.front();
  }
}

}  // namespace
}  // namespace png2zeq::fault
