#pragma once
// Where a tool's output goes when the command line does not name a file.

#include "common/path_parts.h"

namespace png2zeq {

// Settles the output path for `inputPath` and the -output value `outputPath`
// (null when not given): an -output value with a file name is used as it is;
// one without (ending in a separator) names the directory for the input's
// file name with `extension`; no -output puts that name beside the input. A
// derived name is built in `buffer`. The input path is split only when its
// name is needed, and only its file name when -output names a directory.
// Returns false, leaving `*resultPath` unchanged, when a part or the joined
// name is too long; otherwise true with `*resultPath` set.
bool DeriveSiblingPath(const char* inputPath, const char* outputPath, const char* extension,
                       char (&buffer)[kJoinedPathSize], const char** resultPath);

}  // namespace png2zeq
