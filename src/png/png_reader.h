#pragma once

#include "job/conversion_job.h"

namespace png2zeq {

// Decodes the job's input file (DecodePng, in png/png_decoder.h) into one
// block of 8-bit samples and records width, height and colour type, printing
// them when the job is verbose. Returns OK, OpenInputFileFailed (no such
// file, or a directory), PNGDecodeError (any file libpng refuses, with its
// message printed), PNGWidthHeightZero or OutOfMemory. On success the job
// owns the block; on failure it holds none.
ErrorCode ReadPngImage(ConversionJob& job);

}  // namespace png2zeq
