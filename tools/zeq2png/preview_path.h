#pragma once
// Where the preview PNG goes.

#include "common/path_parts.h"
#include "zeq2png/zeq_result.h"

namespace zeq2png {

// Ending that replaces the input's extension in a derived preview name, so
// that the PNG a ZEQ file came from is never overwritten by default.
inline constexpr const char* kPreviewExtension = ".preview.png";

// Settles the preview path for `inputPath` and the -output value
// `outputPath` (null when not given): an -output value with a file name is
// used as it is; one without (ending in a separator) names the directory
// for the input's file name with kPreviewExtension; no -output puts that
// name beside the input. A derived name is built in `buffer`. Returns OK
// with `*previewPath` set, or GeneralFailure when a path part is too long.
ZeqResult DerivePreviewPath(const char* inputPath, const char* outputPath,
                            char (&buffer)[png2zeq::kJoinedPathSize], const char** previewPath);

struct PanelLayout;

// As DerivePreviewPath, for the -panel output: the derived name ends in
// ".<layout name>.bin".
ZeqResult DerivePanelPath(const char* inputPath, const char* outputPath, const PanelLayout& layout,
                          char (&buffer)[png2zeq::kJoinedPathSize], const char** panelPath);

}  // namespace zeq2png
