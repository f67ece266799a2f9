#pragma once
// Burkes error diffusion for the reduction to 565. Each pixel's quantisation
// error goes, in 32nds, to two pixels on its right (8, 4) and five in the
// row below at columns x-1 .. x+3 (2, 4, 8, 4, 2). Errors are single-precision
// floats throughout so that every implementation gets the same bits.

#include <cstdint>

#include "job/conversion_job.h"
#include "pixels/dither_methods.h"

namespace png2zeq {

struct DitherState {
  ErrorCell* currentRow;  // column 0 of the row being quantised
  ErrorCell* nextRow;     // column 0 of the row below
  uint32_t rowBlockSize;  // bytes per error row: width + 4 cells
  ErrorCell* rowBlock1;
  ErrorCell* rowBlock2;
};

// Error rows carry one margin cell before column 0 and three after the last
// column: exactly the cells the diffusion weights can reach.
inline constexpr uint32_t kErrorRowMarginBefore = 1;
inline constexpr uint32_t kErrorRowMarginCells = 4;

// State hook. Create: both error rows zeroed and sized for the job's width;
// nullptr (with nothing leaked) when an allocation fails. Destroy: frees
// whatever the state holds; accepts nullptr. Always returns nullptr then.
DitherState* BurkesDitherState(const ConversionJob& job, bool create, DitherState* state);

// Diffusion hook. Fetch (error nullptr): at column 0 the rows rotate first
// (the next row becomes current, the new next row is zeroed); returns the
// current row's cell at `column`. Diffuse: spreads `error` from `column` and
// returns nullptr. `row` is not used.
ErrorCell* BurkesDitherError(const ErrorCell* error, uint32_t column, uint32_t row,
                             DitherState* state);

// Quantises one pixel's red, green and blue to a 565 word with the error the
// job's diffusion hook has accumulated for it, then hands its own error on.
// The transcoders call it for a diffusion hook without a row path.
uint16_t DitherPixel565(const ConversionJob& job, const uint8_t* rgb, uint32_t column,
                        uint32_t row, DitherState* state);

// The row path of the two hooks above (burkes_dither_rows.cpp): SSE2 code, so
// nullptr where the build has no SSE2.
#if defined(__SSE2__)
#define PNG2ZEQ_SIXTEENTHS_ROWS 1
extern const DitherRowPath kBurkesSixteenthsRows;
inline constexpr const DitherRowPath* kBurkesRowPath = &kBurkesSixteenthsRows;
#else
#define PNG2ZEQ_SIXTEENTHS_ROWS 0
inline constexpr const DitherRowPath* kBurkesRowPath = nullptr;
#endif

}  // namespace png2zeq
