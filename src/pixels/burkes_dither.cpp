#include "pixels/burkes_dither.h"

#include <cstring>

#include "common/heap.h"
#include "pixels/pixel565.h"

namespace png2zeq {
namespace {

// Diffusion weights in 32nds; they add up to 32 so the whole error moves on.
constexpr float kErrorDivisor = 32.0f;
constexpr float kWeightRight1 = 8.0f, kWeightRight2 = 4.0f;
constexpr float kWeightBelowLeft = 2.0f, kWeightBelow = 4.0f, kWeightBelowRight1 = 8.0f,
                kWeightBelowRight2 = 4.0f, kWeightBelowRight3 = 2.0f;

// Largest level of a 5-bit and a 6-bit field.
constexpr uint32_t kMaxLevel5 = 31;
constexpr uint32_t kMaxLevel6 = 63;

void DiffuseChannel(float ErrorCell::*channel, float error, ErrorCell* current, ErrorCell* next,
                    uint32_t x) {
  const float share = error / kErrorDivisor;  // exact: a power of two
  ErrorCell* right = current + x;
  ErrorCell* below = next + x;  // below[-1] is at worst the margin cell
  (right[1].*channel) += share * kWeightRight1;
  (right[2].*channel) += share * kWeightRight2;
  (below[-1].*channel) += share * kWeightBelowLeft;
  (below[0].*channel) += share * kWeightBelow;
  (below[1].*channel) += share * kWeightBelowRight1;
  (below[2].*channel) += share * kWeightBelowRight2;
  (below[3].*channel) += share * kWeightBelowRight3;
}

float ClampToByteRange(float value) {
  if (value < 0.0f) return 0.0f;
  if (value > 255.0f) return 255.0f;
  return value;
}

// Nearest level, halves going up; the addition is done in double so that it
// is exact.
uint32_t RoundToLevel(float value, double half, uint32_t shift, uint32_t maxLevel) {
  const auto level = static_cast<uint32_t>(static_cast<double>(value) + half) >> shift;
  return level > maxLevel ? maxLevel : level;
}

}  // namespace

DitherState* BurkesDitherState(const ConversionJob& job, bool create, DitherState* state) {
  if (!create) {
    if (state != nullptr) {
      FreeBlock(state->rowBlock1);
      FreeBlock(state->rowBlock2);
      FreeBlock(state);
    }
    return nullptr;
  }

  auto* created = static_cast<DitherState*>(AllocateBlock(sizeof(DitherState)));
  if (created == nullptr) return nullptr;
  created->rowBlockSize =
      (job.width + kErrorRowMarginCells) * static_cast<uint32_t>(sizeof(ErrorCell));
  created->rowBlock1 = static_cast<ErrorCell*>(AllocateBlock(created->rowBlockSize));
  created->rowBlock2 =
      created->rowBlock1 ? static_cast<ErrorCell*>(AllocateBlock(created->rowBlockSize)) : nullptr;
  if (created->rowBlock2 == nullptr) {
    BurkesDitherState(job, false, created);
    return nullptr;
  }
  std::memset(created->rowBlock1, 0, created->rowBlockSize);
  std::memset(created->rowBlock2, 0, created->rowBlockSize);
  created->currentRow = created->rowBlock1 + kErrorRowMarginBefore;
  created->nextRow = created->rowBlock2 + kErrorRowMarginBefore;
  return created;
}

ErrorCell* BurkesDitherError(const ErrorCell* error, uint32_t column, uint32_t /*row*/,
                             DitherState* state) {
  if (error == nullptr) {
    if (column == 0) {
      ErrorCell* finished = state->currentRow;
      state->currentRow = state->nextRow;
      state->nextRow = finished;
      std::memset(finished - kErrorRowMarginBefore, 0, state->rowBlockSize);
    }
    return state->currentRow + column;
  }
  DiffuseChannel(&ErrorCell::red, error->red, state->currentRow, state->nextRow, column);
  DiffuseChannel(&ErrorCell::green, error->green, state->currentRow, state->nextRow, column);
  DiffuseChannel(&ErrorCell::blue, error->blue, state->currentRow, state->nextRow, column);
  return nullptr;
}

uint16_t DitherPixel565(const ConversionJob& job, const uint8_t* rgb, uint32_t column,
                        uint32_t row, DitherState* state) {
  const ErrorCell* received = job.ditherError(nullptr, column, row, state);
  const float red = ClampToByteRange(static_cast<float>(rgb[0]) + received->red);
  const float green = ClampToByteRange(static_cast<float>(rgb[1]) + received->green);
  const float blue = ClampToByteRange(static_cast<float>(rgb[2]) + received->blue);

  const uint32_t redLevel = RoundToLevel(red, 4.5, 3, kMaxLevel5);
  const uint32_t greenLevel = RoundToLevel(green, 2.5, 2, kMaxLevel6);
  const uint32_t blueLevel = RoundToLevel(blue, 4.5, 3, kMaxLevel5);

  // The error comes from the unadjusted source byte, so what a pixel
  // received is not passed on a second time.
  const ErrorCell error = {static_cast<float>(static_cast<int>(rgb[0]) - 8 * static_cast<int>(redLevel)),
                           static_cast<float>(static_cast<int>(rgb[1]) - 4 * static_cast<int>(greenLevel)),
                           static_cast<float>(static_cast<int>(rgb[2]) - 8 * static_cast<int>(blueLevel))};
  job.ditherError(&error, column, row, state);
  return PackPixel565(redLevel, greenLevel, blueLevel);
}

}  // namespace png2zeq
