#pragma once

#include "job/conversion_job.h"

namespace png2zeq {

// Fills the job's command-line fields from the argument vector (argv[0] is
// the program). Returns OK, InvalidParameters, MissingInputFile or
// UnknownDitherMethod, printing the one message that explains a failure.
// After -help or -codes it prints the answer, sets
// `answeredInformationRequest` and returns OK without looking further; the
// caller then ends the run with status 0.
ErrorCode ParseCommandLine(ConversionJob& job, int argc, char** argv);

}  // namespace png2zeq
