#pragma once

#include <png.h>

#include "job/conversion_job.h"

namespace png2zeq {

// Decodes the job's input file into one block of 8-bit samples (grey, grey
// with alpha, RGB or RGBA, rows back to back) and records width, height and
// colour type. Returns OK, OpenInputFileFailed (no such file, or a
// directory), PNGDecodeError (any file libpng refuses, with its message
// printed), PNGWidthHeightZero or OutOfMemory. On success the job owns the
// block; on failure it holds none.
ErrorCode ReadPngImage(ConversionJob& job);

// libpng error handler: prints "PNGError: <message>" and jumps back into
// ReadPngImage; never returns.
[[noreturn]] void ReportPngError(png_structp png, png_const_charp message);

// Name of a decoded colour type in the verbose report, or "" for any other.
const char* PngColourName(uint8_t colourType);

}  // namespace png2zeq
