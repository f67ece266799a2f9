#pragma once

#include "job/conversion_job.h"

namespace png2zeq {

// RGB888 (3 bytes per pixel) to RGB565 words (2 bytes). Reads the job's
// block, width and height; dithers through `state` when the job has the
// diffusion hook, else drops low bits.
void TransposeRgb888ToRgb565(const ConversionJob& job, uint8_t* destination, DitherState* state);

// RGBA8888 (4 bytes) to a 565 word plus the unchanged alpha byte (3 bytes).
void TransposeRgba8888ToRgba5658(const ConversionJob& job, uint8_t* destination,
                                 DitherState* state);

}  // namespace png2zeq
