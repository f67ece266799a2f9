#pragma once
// The dither methods -dither knows, in one table: the name each is asked for
// by, the hooks it puts into the job, and its row path where it has one. The
// transcoders find a job's method by its diffusion hook.

#include <cstdint>

#include "job/conversion_job.h"

namespace png2zeq {

// Dithers one row right after its rotation, exactly as the method's
// per-pixel fetch, quantisation and diffusion would: writes the row's 565
// words (and alpha bytes) and leaves every cell of both error rows as those
// calls would. `bytePastRow`: the source byte just after the row may be read.
using DitherRowFunction = void (*)(const uint8_t* source, uint8_t* destination, uint32_t width,
                                   bool bytePastRow, DitherState& state);

// A way through a whole row at a time that gives the very bits of the hooks.
struct DitherRowPath {
  // Whether the row that becomes current at the next rotation holds only
  // cells the row functions are exact for; they need it before the rotation.
  bool (*nextRowFits)(const DitherState& state);
  DitherRowFunction rgbTo565;    // 3 source bytes to 2
  DitherRowFunction rgbaTo5658;  // 4 source bytes to 3
};

struct DitherMethod {
  const char* name;  // as -dither takes it, matched without regard to case
  DitherStateHook state;
  DitherErrorHook error;
  const DitherRowPath* rows;  // nullptr: pixel by pixel through the hooks
};

// The method -dither means when no name follows it.
const DitherMethod& DefaultDitherMethod();

// The method called `name`, or nullptr when none is.
const DitherMethod* FindDitherMethod(const char* name);

// The method whose diffusion hook `job` carries, or nullptr when it carries
// none or one of no method.
const DitherMethod* DitherMethodOf(const ConversionJob& job);

}  // namespace png2zeq
