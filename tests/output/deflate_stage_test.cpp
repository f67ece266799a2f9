#include "output/deflate_stage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/heap.h"
#include "output/output_checks.h"

namespace png2zeq {
namespace {

using testing::Bytes;
using testing::DeflatedLine;

// A job holding `block` in a heap block of its own, as the transcoder leaves
// it; frees whatever block the job holds at the end, like the run driver.
struct JobHoldingBlock {
  ConversionJob job{};
  explicit JobHoldingBlock(const Bytes& block) {
    job.pixels = static_cast<uint8_t*>(AllocateBlock(block.size()));
    std::memcpy(job.pixels, block.data(), block.size());
    job.pixelLength = static_cast<uint32_t>(block.size());
    job.header = {0, ZEQ_FORMAT_RGB565, 7, 3, job.pixelLength, 0xDEADBEEF};
  }
  ~JobHoldingBlock() { FreeBlock(job.pixels); }
  JobHoldingBlock(const JobHoldingBlock&) = delete;
  JobHoldingBlock& operator=(const JobHoldingBlock&) = delete;
};

// Runs the stage; returns its result and puts what it printed in `printed`.
ErrorCode CompressCapturing(ConversionJob& job, std::string* printed) {
  ::testing::internal::CaptureStdout();
  const ErrorCode result = CompressPixels(job);
  *printed = ::testing::internal::GetCapturedStdout();
  return result;
}

// `length` bytes of a repeating ramp that deflate shrinks well.
Bytes Gradient(size_t length) {
  Bytes bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

struct BlockCase {
  const char* name;
  Bytes block;
  uint64_t bound;  // the deflate buffer size for this length, worked out by hand
  bool incompressible;
};

std::vector<BlockCase> BlockCases() {
  return {
      {"one RGB565 pixel", {0xA2, 0x51}, 15, false},
      {"zeros", Bytes(4096, 0), 4110, false},
      {"gradient", Gradient(9216), 9231, false},
      {"random", testing::RandomBytes(65536, 1), 65569, true},
      {"largest RGBA image, random", testing::RandomBytes(1024 * 768 * 4, 2), 3146701, true},
  };
}

TEST(DeflateStage, ReplacesTheBlockByOneZlibStreamOfIt) {
  for (const BlockCase& c : BlockCases()) {
    SCOPED_TRACE(c.name);
    JobHoldingBlock holder(c.block);
    ConversionJob& job = holder.job;
    job.verbose = 1;
    const OutputHeader before = job.header;

    std::string printed;
    ASSERT_EQ(CompressCapturing(job, &printed), ErrorCode::OK);

    const uint32_t compressedLength = job.header.compressedLength;
    EXPECT_EQ(job.pixelLength, compressedLength);
    EXPECT_EQ(printed, DeflatedLine(before.rawLength, compressedLength));
    // Everything but the compressed length belongs to earlier stages.
    EXPECT_EQ(job.header.rawLength, before.rawLength);
    EXPECT_EQ(job.header.pixelFormat, before.pixelFormat);
    EXPECT_EQ(job.header.width, before.width);
    EXPECT_EQ(job.header.height, before.height);
    EXPECT_EQ(job.header.magic, before.magic);

    ASSERT_GE(compressedLength, 2u);
    EXPECT_EQ(job.pixels[0], 0x78);
    EXPECT_EQ(job.pixels[1], 0x9C);
    EXPECT_LE(compressedLength, c.bound);
    if (c.incompressible) {
      EXPECT_GT(compressedLength, before.rawLength) << "stored compressed although larger";
    }

    Bytes inflated;
    ASSERT_TRUE(testing::InflateExactly(job.pixels, compressedLength, before.rawLength, &inflated));
    EXPECT_TRUE(inflated == c.block) << "inflated bytes differ from the uncompressed block";
  }
}

TEST(DeflateStage, UncompressedRunLeavesTheBlockAsItIs) {
  const Bytes block = Gradient(300);
  for (const uint8_t verbose : {0, 1}) {
    SCOPED_TRACE(verbose ? "verbose" : "quiet");
    JobHoldingBlock holder(block);
    ConversionJob& job = holder.job;
    job.uncompressed = 1;
    job.verbose = verbose;
    const uint8_t* const blockBefore = job.pixels;
    const unsigned allocationsBefore = AllocationCount();

    std::string printed;
    ASSERT_EQ(CompressCapturing(job, &printed), ErrorCode::OK);

    EXPECT_EQ(printed, verbose ? "Not deflating.\n" : "");
    EXPECT_EQ(job.header.compressedLength, 0u);
    EXPECT_EQ(job.header.rawLength, 300u);
    EXPECT_EQ(job.pixels, blockBefore);
    EXPECT_EQ(job.pixelLength, 300u);
    EXPECT_EQ(0, std::memcmp(job.pixels, block.data(), block.size()));
    EXPECT_EQ(AllocationCount(), allocationsBefore) << "no deflate buffer without deflating";
  }
}

TEST(DeflateStage, PrintsNothingWithoutVerbose) {
  for (const uint8_t uncompressed : {0, 1}) {
    JobHoldingBlock holder(Gradient(1000));
    holder.job.uncompressed = uncompressed;
    std::string printed;
    EXPECT_EQ(CompressCapturing(holder.job, &printed), ErrorCode::OK);
    EXPECT_EQ(printed, "") << "uncompressed " << int{uncompressed};
  }
}

}  // namespace
}  // namespace png2zeq
