#pragma once

#include "job/conversion_job.h"

namespace png2zeq {

// Completes the job's output path. Without -output: the input's drive,
// directory and file name with the extension "zeq", in the job's derived-name
// buffer. With an -output value that has a file name: that value unchanged.
// With one that names only a drive and/or directory: the input's file name
// with "zeq" in that place. Returns GeneralFailure, leaving the output path as
// it was, when a path part or the joined name does not fit its size.
ErrorCode DeriveOutputPath(ConversionJob& job);

}  // namespace png2zeq
