// The dither hooks one call at a time: the error rows, where a diffused
// error lands, and how one pixel is quantised.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/heap.h"
#include "pixels/burkes_dither.h"

namespace png2zeq {
namespace {

// A job with the Burkes hooks and the given width, and its dither state;
// the state is released when the object goes away.
class DitherFixture {
 public:
  explicit DitherFixture(uint32_t width) {
    job_.width = width;
    job_.height = 4;
    job_.ditherState = BurkesDitherState;
    job_.ditherError = BurkesDitherError;
    state_ = BurkesDitherState(job_, true, nullptr);
  }
  ~DitherFixture() { BurkesDitherState(job_, false, state_); }
  DitherFixture(const DitherFixture&) = delete;
  DitherFixture& operator=(const DitherFixture&) = delete;

  const ConversionJob& job() const { return job_; }
  DitherState* state() { return state_; }

  // Cell `index` (-1 .. width + 2) of the current or the next error row.
  ErrorCell Current(int index) const { return state_->currentRow[index]; }
  ErrorCell Next(int index) const { return state_->nextRow[index]; }

 private:
  ConversionJob job_{};
  DitherState* state_ = nullptr;
};

bool IsZero(const ErrorCell& cell) {
  return cell.red == 0.0f && cell.green == 0.0f && cell.blue == 0.0f;
}

// Fills every cell of both rows, margins included, with a marker so that a
// zeroing can be seen.
void FillBothRows(DitherFixture& fixture, float marker) {
  const uint32_t cells = fixture.state()->rowBlockSize / sizeof(ErrorCell);
  for (uint32_t i = 0; i < cells; ++i) {
    fixture.state()->rowBlock1[i] = {marker, marker, marker};
    fixture.state()->rowBlock2[i] = {marker, marker, marker};
  }
}

// Every cell a diffusion can reach, -1 .. width + 2, starts zeroed in both
// rows, and the rows do not overlap (the sanitizer build sees any access
// past them).
TEST(DitherState, CreatesTwoZeroedRowsWithMargins) {
  for (const uint32_t width : {1u, 2u, 7u, 1024u}) {
    DitherFixture fixture(width);
    ASSERT_NE(fixture.state(), nullptr);
    const int last = static_cast<int>(width) + 2;
    for (int i = -1; i <= last; ++i) {
      EXPECT_TRUE(IsZero(fixture.Current(i)) && IsZero(fixture.Next(i))) << i;
      fixture.state()->nextRow[i] = {1.0f, 1.0f, 1.0f};
    }
    for (int i = -1; i <= last; ++i) EXPECT_TRUE(IsZero(fixture.Current(i))) << i;
  }
}

// Each of the three allocations failing gives no state and leaks nothing
// (the sanitizer build checks the latter).
TEST(DitherState, AnyFailedAllocationGivesNoState) {
  ConversionJob job{};
  job.width = 16;
  for (unsigned failing = 1; failing <= 3; ++failing) {
    FailNthAllocation(failing);
    const unsigned before = AllocationCount();
    EXPECT_EQ(BurkesDitherState(job, true, nullptr), nullptr) << failing;
    EXPECT_EQ(AllocationCount() - before, failing);
    FailNthAllocation(0);
  }
  EXPECT_EQ(BurkesDitherState(job, false, nullptr), nullptr);
}

TEST(DitherState, FetchAtColumnZeroSwapsTheRowsAndClearsTheNewNextRow) {
  DitherFixture fixture(4);
  DitherState* state = fixture.state();
  FillBothRows(fixture, 1.5f);
  ErrorCell* const formerCurrent = state->currentRow;
  ErrorCell* const formerNext = state->nextRow;

  const ErrorCell* fetched = BurkesDitherError(nullptr, 0, 0, state);
  EXPECT_EQ(state->currentRow, formerNext);
  EXPECT_EQ(state->nextRow, formerCurrent);
  EXPECT_EQ(fetched, formerNext);
  for (int i = -1; i <= 6; ++i) {
    EXPECT_TRUE(IsZero(fixture.Next(i))) << i;       // margins included
    EXPECT_EQ(fixture.Current(i).green, 1.5f) << i;  // kept, not copied
  }

  // Other columns only look up their cell.
  for (uint32_t column = 1; column < 4; ++column) {
    EXPECT_EQ(BurkesDitherError(nullptr, column, 0, state), formerNext + column);
  }
  EXPECT_EQ(state->currentRow, formerNext);
}

// One diffusion touches exactly seven cells per channel, with the weights in
// 32nds: right 8 and 4, below from x-1 to x+3: 2, 4, 8, 4, 2.
TEST(DitherState, DiffusionReachesExactlyTheSevenCells) {
  for (const uint32_t column : {0u, 1u, 3u, 5u}) {
    SCOPED_TRACE(column);
    DitherFixture fixture(6);
    BurkesDitherError(nullptr, 0, 0, fixture.state());
    const ErrorCell error = {32.0f, -64.0f, 96.0f};
    EXPECT_EQ(BurkesDitherError(&error, column, 0, fixture.state()), nullptr);

    const int x = static_cast<int>(column);
    for (int i = -1; i <= 8; ++i) {
      float currentWeight = 0, nextWeight = 0;
      if (i == x + 1) currentWeight = 8;
      if (i == x + 2) currentWeight = 4;
      const float below[5] = {2, 4, 8, 4, 2};
      if (i >= x - 1 && i <= x + 3) nextWeight = below[i - (x - 1)];
      const ErrorCell current = fixture.Current(i);
      const ErrorCell next = fixture.Next(i);
      EXPECT_EQ(current.red, currentWeight) << i;
      EXPECT_EQ(current.green, -2 * currentWeight) << i;
      EXPECT_EQ(current.blue, 3 * currentWeight) << i;
      EXPECT_EQ(next.red, nextWeight) << i;
      EXPECT_EQ(next.green, -2 * nextWeight) << i;
      EXPECT_EQ(next.blue, 3 * nextWeight) << i;
    }
  }
}

// Diffusions add up in single precision, cell by cell.
TEST(DitherState, DiffusionsAccumulateInSinglePrecision) {
  DitherFixture fixture(4);
  BurkesDitherError(nullptr, 0, 0, fixture.state());
  fixture.state()->currentRow[1].red = 16777216.0f;  // 2^24: the next unit is lost in a float
  const ErrorCell error = {4.0f, 0.0f, 0.0f};           // adds 1 to the cell on the right
  BurkesDitherError(&error, 0, 0, fixture.state());
  EXPECT_EQ(fixture.Current(1).red, 16777216.0f);
  BurkesDitherError(&error, 0, 0, fixture.state());
  EXPECT_EQ(fixture.Current(1).red, 16777216.0f);
  EXPECT_EQ(fixture.Current(2).red, 1.0f);  // 4/32 twice
}

// The worked examples: a pixel whose fetched cell is zero.
TEST(DitherQuantise, WorkedExamples) {
  const struct {
    uint8_t rgb[3];
    uint32_t levels[3];
    uint16_t word;
    float error[3];
  } cases[] = {
      {{255, 255, 255}, {31, 63, 31}, 0xFFFF, {7, 3, 7}},
      {{251, 253, 251}, {31, 63, 31}, 0xFFFF, {3, 1, 3}},
      {{128, 128, 128}, {16, 32, 16}, 0x8410, {0, 0, 0}},
      {{4, 2, 4}, {1, 1, 1}, 0x0821, {-4, -2, -4}},
      {{3, 1, 3}, {0, 0, 0}, 0x0000, {3, 1, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << int{c.rgb[0]} << ',' << int{c.rgb[1]} << ','
                                      << int{c.rgb[2]});
    DitherFixture fixture(4);
    const uint16_t word = DitherPixel565(fixture.job(), c.rgb, 0, 0, fixture.state());
    EXPECT_EQ(word, c.word);
    EXPECT_EQ(word & 0x1F, c.levels[0]);
    EXPECT_EQ((word >> 5) & 0x3F, c.levels[1]);
    EXPECT_EQ(word >> 11, c.levels[2]);
    // The error triple, read back from where it was spread.
    const float weights[2][5] = {{0, 8, 4, 0, 0}, {2, 4, 8, 4, 2}};
    for (int i = -1; i <= 3; ++i) {
      const ErrorCell current = fixture.Current(i + 1);
      const ErrorCell next = fixture.Next(i);
      const float currentShare = weights[0][i + 1] / 32, nextShare = weights[1][i + 1] / 32;
      EXPECT_EQ(current.red, c.error[0] * currentShare) << i;
      EXPECT_EQ(current.green, c.error[1] * currentShare) << i;
      EXPECT_EQ(current.blue, c.error[2] * currentShare) << i;
      EXPECT_EQ(next.red, c.error[0] * nextShare) << i;
      EXPECT_EQ(next.green, c.error[1] * nextShare) << i;
      EXPECT_EQ(next.blue, c.error[2] * nextShare) << i;
    }
  }
}

// One pixel at column 1 of a fresh row, with a received error placed in its
// cell beforehand: its levels and the error it hands on.
struct QuantiseCase {
  const char* what;
  uint8_t rgb[3];
  ErrorCell received;
  uint32_t levels[3];
  float error[3];
};

TEST(DitherQuantise, RoundingClampingAndTheErrorSource) {
  const float justBelowHalf = std::nextafter(0.5f, 0.0f);  // 0.5 - 2^-25
  const float wellBelowHalf = 0.5f - 1.0f / (1 << 22);
  const QuantiseCase cases[] = {
      {"halves go up", {3, 1, 3}, {0.5f, 0.5f, 0.5f}, {1, 1, 1}, {-5, -3, -5}},
      {"below the half goes down", {3, 1, 3}, {0.375f, 0.25f, 0.375f}, {0, 0, 0}, {3, 1, 3}},
      // 3 + (0.5 - 2^-25) is 3.5 once rounded to a float.
      {"adjusted value is a float", {3, 1, 3}, {justBelowHalf, justBelowHalf, justBelowHalf},
       {1, 1, 1}, {-5, -3, -5}},
      // 3.5 - 2^-22 + 4.5 would round up to 8 in a float; in double it stays below.
      {"rounding addition is exact", {3, 0, 3}, {wellBelowHalf, 0, wellBelowHalf}, {0, 0, 0},
       {3, 0, 3}},
      {"red and blue top out at 31", {251, 0, 251}, {0.5f, 0, 0.5f}, {31, 0, 31}, {3, 0, 3}},
      {"green tops out at 63", {0, 253, 0}, {0, 0.5f, 0}, {0, 63, 0}, {0, 1, 0}},
      {"clamped at 255", {200, 200, 200}, {500, 500, 500}, {31, 63, 31}, {-48, -52, -48}},
      {"clamped at 0", {60, 60, 60}, {-500, -500, -500}, {0, 0, 0}, {60, 60, 60}},
      {"fraction counts mid-range", {99, 97, 99}, {0.5f, 0.5f, 0.5f}, {13, 25, 13},
       {-5, -3, -5}},
      {"error from the source byte", {3, 2, 5}, {1, 1, -1}, {1, 1, 1}, {-5, -2, -3}},
  };
  for (const QuantiseCase& c : cases) {
    SCOPED_TRACE(c.what);
    DitherFixture fixture(4);
    BurkesDitherError(nullptr, 0, 0, fixture.state());
    fixture.state()->currentRow[1] = c.received;
    const uint16_t word = DitherPixel565(fixture.job(), c.rgb, 1, 0, fixture.state());
    EXPECT_EQ(word & 0x1F, c.levels[0]);
    EXPECT_EQ((word >> 5) & 0x3F, c.levels[1]);
    EXPECT_EQ(word >> 11, c.levels[2]);
    // The cell two to the right gets 4/32 of the error.
    const ErrorCell handedOn = fixture.Current(3);
    EXPECT_EQ(handedOn.red, c.error[0] / 8);
    EXPECT_EQ(handedOn.green, c.error[1] / 8);
    EXPECT_EQ(handedOn.blue, c.error[2] / 8);
  }
}

// Width 1: of a pixel's error only the next row's column-0 share, 4/32, is
// ever read again; everything else falls into margins.
TEST(DitherQuantise, WidthOneKeepsOnlyTheShareBelow) {
  DitherFixture fixture(1);
  const uint8_t rgb[3] = {3, 1, 3};
  DitherPixel565(fixture.job(), rgb, 0, 0, fixture.state());
  const ErrorCell* below = BurkesDitherError(nullptr, 0, 1, fixture.state());
  EXPECT_EQ(below->red, 3.0f * 4 / 32);
  EXPECT_EQ(below->green, 1.0f * 4 / 32);
  EXPECT_EQ(below->blue, 3.0f * 4 / 32);
}

}  // namespace
}  // namespace png2zeq
