#include "zeq2png/preview_path.h"

#include "common/path_parts.h"

namespace zeq2png {

ZeqResult DerivePreviewPath(const char* inputPath, const char* outputPath,
                            char (&buffer)[png2zeq::kJoinedPathSize], const char** previewPath) {
  return png2zeq::DeriveSiblingPath(inputPath, outputPath, kPreviewExtension, buffer, previewPath)
             ? ZeqResult::OK
             : ZeqResult::GeneralFailure;
}

}  // namespace zeq2png
