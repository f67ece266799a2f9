#pragma once

#include "job/conversion_job.h"

namespace png2zeq {

// Picks the output pixel format from the -depth text and the decoded colour
// type, repacks the block when that format needs it and fills the header's
// format, width, height and raw length. Returns OK; TranscodeLookup (with
// its message, no line end) when no format fits; OutOfMemory when the new
// block or the dither state cannot be had, leaving the job as it was.
ErrorCode TranscodePixels(ConversionJob& job);

}  // namespace png2zeq
