// The transcoders dither a row at a time when the job's dither method has
// a row path (the converter's own hooks), and pixel by pixel through the hooks
// otherwise. Both must give the same bits, in the output and in the error
// rows.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "pixel_test_support.h"
#include "pixels/burkes_dither.h"
#include "pixels/transcode.h"

namespace png2zeq {
namespace {

using testing::JobWithBlock;
using testing::kRgb;
using testing::kRgba;
using testing::RandomSamples;
using testing::Samples;

// A diffusion hook that is not the converter's own, so the transcoders make
// the two calls per pixel; it counts them and delegates.
unsigned errorHookCalls = 0;
ErrorCell* CountingDitherError(const ErrorCell* error, uint32_t column, uint32_t row,
                               DitherState* state) {
  ++errorHookCalls;
  return BurkesDitherError(error, column, row, state);
}

// A state hook that plants `plantedValue` in one cell of the row that the
// first rotation makes current, to see what the transcoders make of a state
// they did not fill themselves.
float plantedValue = 0;
uint32_t plantedColumn = 0;
DitherState* PlantingDitherState(const ConversionJob& job, bool create, DitherState* state) {
  DitherState* result = BurkesDitherState(job, create, state);
  if (result != nullptr) result->nextRow[plantedColumn].green = plantedValue;
  return result;
}

Samples TranscodeWithHooks(uint32_t width, uint32_t height, uint8_t colourType,
                           const Samples& source, DitherStateHook stateHook,
                           DitherErrorHook errorHook) {
  JobWithBlock holder(width, height, colourType, source, "565");
  holder.job().ditherState = stateHook;
  holder.job().ditherError = errorHook;
  EXPECT_EQ(TranscodePixels(holder.job()), ErrorCode::OK);
  return holder.Block();
}

TEST(DitherRows, OwnHookAndForeignHookGiveTheSameBits) {
  const struct {
    uint32_t width, height;
    uint8_t low, high;
  } cases[] = {{1, 1, 0, 255}, {1, 7, 0, 255},   {2, 5, 0, 255},   {3, 3, 0, 255},
               {17, 9, 0, 255}, {64, 8, 250, 255}, {64, 8, 0, 5},  {1024, 3, 0, 255}};
  uint32_t seed = 500;
  for (const auto& c : cases) {
    for (const uint8_t colourType : {kRgb, kRgba}) {
      SCOPED_TRACE(::testing::Message() << c.width << 'x' << c.height << " colour type "
                                        << int{colourType});
      const Samples source = RandomSamples(
          static_cast<size_t>(c.width) * c.height * testing::DecodedBytesPerPixel(colourType),
          ++seed, c.low, c.high);
      errorHookCalls = 0;
      const Samples perPixel = TranscodeWithHooks(c.width, c.height, colourType, source,
                                                  BurkesDitherState, CountingDitherError);
      EXPECT_EQ(errorHookCalls, 2u * c.width * c.height);
      EXPECT_EQ(perPixel, TranscodeWithHooks(c.width, c.height, colourType, source,
                                             BurkesDitherState, BurkesDitherError));
    }
  }
}

// A cell that is no whole number of sixteenths (or is out of range) cannot
// go through the row path; the transcoders must notice and give the same
// bits as the per-pixel calls.
TEST(DitherRows, ForeignCellValuesFallBackToPerPixelCalls) {
  const float values[] = {1.0f / 32,  0.5f - 1.0f / (1 << 22),  3000.0f, -3000.0f,
                          std::numeric_limits<float>::quiet_NaN(),  1.5f, -7.25f};
  const uint32_t width = 9, height = 4;
  for (const uint8_t colourType : {kRgb, kRgba}) {
    const Samples source = RandomSamples(
        static_cast<size_t>(width) * height * testing::DecodedBytesPerPixel(colourType), 77);
    for (const float value : values) {
      for (const uint32_t column : {0u, 4u, 8u}) {
        SCOPED_TRACE(::testing::Message() << "cell " << value << " at column " << column
                                          << ", colour type " << int{colourType});
        plantedValue = value;
        plantedColumn = column;
        EXPECT_EQ(TranscodeWithHooks(width, height, colourType, source, PlantingDitherState,
                                     BurkesDitherError),
                  TranscodeWithHooks(width, height, colourType, source, PlantingDitherState,
                                     CountingDitherError));
      }
    }
  }
}

#if PNG2ZEQ_SIXTEENTHS_ROWS

// Two states side by side, one fed row by row, one pixel by pixel: after
// every row the output and both error rows agree byte for byte.
template <uint32_t SourceBytes, uint32_t DestinationBytes>
void CompareRowPathWithPerPixelCalls(uint32_t width, uint32_t height) {
  ConversionJob job{};
  job.width = width;
  job.height = height;
  job.ditherState = BurkesDitherState;
  job.ditherError = BurkesDitherError;
  // Exactly the image's bytes, so that the sanitizer sees any read past them.
  const Samples source =
      RandomSamples(static_cast<size_t>(width) * height * SourceBytes, width * 7 + height);
  DitherState* byRow = BurkesDitherState(job, true, nullptr);
  DitherState* byPixel = BurkesDitherState(job, true, nullptr);
  ASSERT_NE(byRow, nullptr);
  ASSERT_NE(byPixel, nullptr);
  std::vector<uint8_t> rowOutput(width * DestinationBytes), pixelOutput(width * DestinationBytes);
  for (uint32_t row = 0; row < height; ++row) {
    SCOPED_TRACE(::testing::Message() << "row " << row);
    const uint8_t* rowSource = source.data() + static_cast<size_t>(row) * width * SourceBytes;
    ASSERT_TRUE(kBurkesRowPath->nextRowFits(*byRow));
    BurkesDitherError(nullptr, 0, row, byRow);
    (SourceBytes == 4 ? kBurkesRowPath->rgbaTo5658 : kBurkesRowPath->rgbTo565)(
        rowSource, rowOutput.data(), width, row + 1 < height, *byRow);
    for (uint32_t column = 0; column < width; ++column) {
      const uint8_t* pixel = rowSource + column * SourceBytes;
      const uint16_t word = DitherPixel565(job, pixel, column, row, byPixel);
      pixelOutput[column * DestinationBytes] = static_cast<uint8_t>(word);
      pixelOutput[column * DestinationBytes + 1] = static_cast<uint8_t>(word >> 8);
      if (DestinationBytes == 3) pixelOutput[column * DestinationBytes + 2] = pixel[3];
    }
    EXPECT_EQ(rowOutput, pixelOutput);
    EXPECT_EQ(byRow->currentRow == byRow->rowBlock1 + 1,
              byPixel->currentRow == byPixel->rowBlock1 + 1);
    EXPECT_EQ(0, std::memcmp(byRow->rowBlock1, byPixel->rowBlock1, byRow->rowBlockSize));
    EXPECT_EQ(0, std::memcmp(byRow->rowBlock2, byPixel->rowBlock2, byRow->rowBlockSize));
  }
  BurkesDitherState(job, false, byRow);
  BurkesDitherState(job, false, byPixel);
}

TEST(DitherRows, RowPathLeavesTheErrorRowsAsThePerPixelCallsDo) {
  for (const uint32_t width : {1u, 2u, 3u, 5u, 33u}) {
    SCOPED_TRACE(::testing::Message() << "width " << width);
    CompareRowPathWithPerPixelCalls<3, 2>(width, 6);
    CompareRowPathWithPerPixelCalls<4, 3>(width, 6);
  }
}

TEST(DitherRows, WholeSixteenthsCheck) {
  const struct {
    float value;
    bool fits;
  } cases[] = {
      {0.0f, true},     {1.0f / 16, true},  {-255.0f, true},         {255.9375f, true},
      {1024.0f, true},  {-1024.0f, true},   {1024.0625f, false},     {-1100.0f, false},
      {1.0f / 32, false}, {0.1f, false},    {std::numeric_limits<float>::infinity(), false},
      {std::numeric_limits<float>::quiet_NaN(), false},
  };
  ConversionJob job{};
  job.width = 6;  // 30 floats: both the four-at-a-time part and the rest
  for (const auto& c : cases) {
    const uint32_t floats = (job.width + kErrorRowMarginCells) * 3;
    for (uint32_t position = 0; position < floats; ++position) {
      DitherState* state = BurkesDitherState(job, true, nullptr);
      ASSERT_NE(state, nullptr);
      float* block = &state->rowBlock2[0].red;
      block[position] = c.value;
      EXPECT_EQ(kBurkesRowPath->nextRowFits(*state), c.fits) << c.value << " at " << position;
      BurkesDitherState(job, false, state);
    }
  }
}

#endif

}  // namespace
}  // namespace png2zeq
