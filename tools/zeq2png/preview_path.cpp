#include "zeq2png/preview_path.h"

#include <cstdio>

#include "zeq2png/panel.h"
#include "common/path_parts.h"

namespace zeq2png {

ZeqResult DerivePreviewPath(const char* inputPath, const char* outputPath,
                            char (&buffer)[png2zeq::kJoinedPathSize], const char** previewPath) {
  return png2zeq::DeriveSiblingPath(inputPath, outputPath, kPreviewExtension, buffer, previewPath)
             ? ZeqResult::OK
             : ZeqResult::GeneralFailure;
}

ZeqResult DerivePanelPath(const char* inputPath, const char* outputPath, const PanelLayout& layout,
                          char (&buffer)[png2zeq::kJoinedPathSize], const char** panelPath) {
  char extension[32];
  std::snprintf(extension, sizeof extension, ".%s.bin", layout.name);
  return png2zeq::DeriveSiblingPath(inputPath, outputPath, extension, buffer, panelPath)
             ? ZeqResult::OK
             : ZeqResult::GeneralFailure;
}

}  // namespace zeq2png
