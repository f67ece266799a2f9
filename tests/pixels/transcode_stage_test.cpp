// The transcoding stage as the run driver calls it: what it does to the
// job's block and header, when it builds a dither state, and how it fails.

#include <gtest/gtest.h>
#include <cstring>

#include "common/heap.h"
#include "pixel_test_support.h"
#include "pixels/burkes_dither.h"
#include "pixels/transcode.h"

namespace png2zeq {
namespace {

using testing::JobWithBlock;
using testing::kGrey;
using testing::kGreyAlpha;
using testing::kRgb;
using testing::kRgba;
using testing::RandomSamples;
using testing::Samples;

// The state hook, counted.
int stateCreations = 0;
int stateReleases = 0;
DitherState* CountingDitherState(const ConversionJob& job, bool create, DitherState* state) {
  ++(create ? stateCreations : stateReleases);
  return BurkesDitherState(job, create, state);
}

void InstallCountingHooks(ConversionJob& job) {
  stateCreations = stateReleases = 0;
  job.ditherState = CountingDitherState;
  job.ditherError = BurkesDitherError;
}

constexpr OutputHeader kSentinelHeader = {0x11111111, 0x22222222, 0x33333333,
                                          0x44444444, 0x55555555, 0x66666666};

// Without a transcoder the block passes on untouched and no dither state is
// built, even when -dither installed the hooks.
TEST(TranscodeStage, PassThroughBuildsNoDitherState) {
  const struct {
    uint8_t colourType;
    const char* depth;
    uint32_t pixelFormat;
  } cases[] = {
      {kGrey, nullptr, 0x0008}, {kGreyAlpha, nullptr, 0x8008}, {kRgb, nullptr, 0x0888},
      {kRgba, nullptr, 0x8888}, {kGrey, "565", 0x0008},        {kGreyAlpha, "565", 0x8008},
      {kRgb, "zz", 0x0888},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "colour type " << int{c.colourType} << " depth "
                                      << (c.depth ? c.depth : "(none)"));
    const uint32_t width = 5, height = 3;
    const Samples source =
        RandomSamples(width * height * testing::DecodedBytesPerPixel(c.colourType), 3);
    JobWithBlock holder(width, height, c.colourType, source, c.depth);
    ConversionJob& job = holder.job();
    InstallCountingHooks(job);
    job.header = kSentinelHeader;
    const uint8_t* const block = job.pixels;
    const unsigned allocations = AllocationCount();

    EXPECT_EQ(TranscodePixels(job), ErrorCode::OK);
    EXPECT_EQ(stateCreations, 0);
    EXPECT_EQ(stateReleases, 0);
    EXPECT_EQ(AllocationCount(), allocations);
    EXPECT_EQ(job.pixels, block);
    EXPECT_EQ(holder.Block(), source);
    EXPECT_EQ(job.header.magic, kSentinelHeader.magic);
    EXPECT_EQ(job.header.pixelFormat, c.pixelFormat);
    EXPECT_EQ(job.header.width, width);
    EXPECT_EQ(job.header.height, height);
    EXPECT_EQ(job.header.rawLength, source.size());
    EXPECT_EQ(job.header.compressedLength, kSentinelHeader.compressedLength);
  }
}

// With the hooks and a transcoder, one state is built and released, and the
// job ends up with the new block and its length.
TEST(TranscodeStage, DitheredTranscodeBuildsAndReleasesOneState) {
  for (const uint8_t colourType : {kRgb, kRgba}) {
    const uint32_t width = 6, height = 4;
    const Samples source =
        RandomSamples(width * height * testing::DecodedBytesPerPixel(colourType), 5);
    JobWithBlock holder(width, height, colourType, source, "565");
    ConversionJob& job = holder.job();
    InstallCountingHooks(job);
    job.header = kSentinelHeader;

    EXPECT_EQ(TranscodePixels(job), ErrorCode::OK);
    EXPECT_EQ(stateCreations, 1);
    EXPECT_EQ(stateReleases, 1);
    const uint32_t bytesPerPixel = colourType == kRgb ? 2 : 3;
    EXPECT_EQ(job.pixelLength, width * height * bytesPerPixel);
    EXPECT_EQ(job.header.rawLength, job.pixelLength);
    EXPECT_EQ(job.header.pixelFormat, colourType == kRgb ? 0x0565u : 0x8565u);
    EXPECT_EQ(job.header.magic, kSentinelHeader.magic);
    EXPECT_EQ(job.header.compressedLength, kSentinelHeader.compressedLength);
  }
}

// The new block (allocation 1) or any of the dither state's three
// allocations failing: OutOfMemory and the job exactly as before. Whatever
// the stage obtained before the failure must be released again; the
// sanitizer build's leak checker sees to that.
TEST(TranscodeStage, FailedAllocationLeavesTheJobAsItWas) {
  const struct {
    uint8_t colourType;
    bool dither;
    unsigned failing;
  } cases[] = {
      {kRgb, false, 1},  {kRgba, false, 1}, {kRgb, true, 1},  {kRgb, true, 2},
      {kRgb, true, 3},   {kRgb, true, 4},   {kRgba, true, 1}, {kRgba, true, 2},
      {kRgba, true, 3},  {kRgba, true, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "colour type " << int{c.colourType}
                                      << (c.dither ? " dithered" : " plain") << ", allocation "
                                      << c.failing << " fails");
    const uint32_t width = 7, height = 5;
    const Samples source =
        RandomSamples(width * height * testing::DecodedBytesPerPixel(c.colourType), 9);
    JobWithBlock holder(width, height, c.colourType, source, "565", c.dither);
    ConversionJob& job = holder.job();
    if (c.dither) InstallCountingHooks(job);
    job.header = kSentinelHeader;
    const uint8_t* const block = job.pixels;
    const uint32_t length = job.pixelLength;
    const unsigned allocationsBefore = AllocationCount();

    FailNthAllocation(c.failing);
    const ErrorCode result = TranscodePixels(job);
    FailNthAllocation(0);

    EXPECT_EQ(result, ErrorCode::OutOfMemory);
    EXPECT_EQ(AllocationCount() - allocationsBefore, c.failing);
    EXPECT_EQ(job.pixels, block);
    EXPECT_EQ(job.pixelLength, length);
    EXPECT_EQ(holder.Block(), source);
    EXPECT_EQ(0, std::memcmp(&job.header, &kSentinelHeader, sizeof kSentinelHeader));
    if (c.dither) {
      EXPECT_EQ(stateCreations, c.failing >= 2 ? 1 : 0);
    }
  }
}

// The same stage succeeds once nothing is armed: the failures above are
// the allocations', not the stage's.
TEST(TranscodeStage, SucceedsAfterAFailedAttempt) {
  const Samples source = RandomSamples(4 * 4 * 3, 13);
  JobWithBlock holder(4, 4, kRgb, source, "565", true);
  FailNthAllocation(3);
  EXPECT_EQ(TranscodePixels(holder.job()), ErrorCode::OutOfMemory);
  FailNthAllocation(0);
  EXPECT_EQ(TranscodePixels(holder.job()), ErrorCode::OK);
  EXPECT_EQ(holder.Block(), testing::Transcode565(4, 4, kRgb, source, true));
}

}  // namespace
}  // namespace png2zeq
