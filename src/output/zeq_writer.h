#pragma once

#include "job/conversion_job.h"

namespace png2zeq {

// Writes the 24-byte header (setting its magic) and the job's block to the
// output path, one write call each. A regular output file is written to a
// temporary beside it and renamed into place only when complete, so a failed
// or interrupted run leaves an existing file as it was and no new one; a new
// file gets mode 0600, a replaced one keeps its mode and owner. An exclusive
// advisory lock keeps two runs from interleaving, and a lock held elsewhere
// leaves the file untouched. Returns OK, CreateZEQFailed (cannot open, lock
// or create the temporary, or the output is the input file) or WriteError.
ErrorCode WriteOutputFile(ConversionJob& job);

}  // namespace png2zeq
