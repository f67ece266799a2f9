#pragma once

#include "job/conversion_job.h"

namespace png2zeq {

// Writes the 24-byte header (setting its magic) and the job's block to the
// output path, one write call each. The file is created with mode 0600 or
// overwritten; an exclusive advisory lock keeps two runs from interleaving
// on it, and a lock held elsewhere leaves it untouched. Returns OK,
// CreateZEQFailed (cannot open or lock) or WriteError; after a failed write
// a regular output file is removed so no device loads half a file.
ErrorCode WriteOutputFile(ConversionJob& job);

}  // namespace png2zeq
