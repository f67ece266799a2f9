#include "zeq2png/preview_path.h"

namespace zeq2png {

ZeqResult DerivePreviewPath(const char* inputPath, const char* outputPath,
                            char (&buffer)[png2zeq::kJoinedPathSize], const char** previewPath) {
  png2zeq::PathParts input;
  png2zeq::PathParts output;
  const char* drive = nullptr;
  const char* directory = nullptr;
  if (outputPath != nullptr) {
    if (!png2zeq::SplitPath(outputPath, output)) return ZeqResult::GeneralFailure;
    if (output.fileName[0] != '\0') {
      *previewPath = outputPath;  // used as given, extension or not
      return ZeqResult::OK;
    }
    drive = output.drive;
    directory = output.directory;
  }
  if (!png2zeq::SplitPath(inputPath, input)) return ZeqResult::GeneralFailure;
  if (outputPath == nullptr) {
    drive = input.drive;
    directory = input.directory;
  }
  if (!png2zeq::JoinPath(buffer, sizeof buffer, drive, directory, input.fileName,
                         kPreviewExtension)) {
    return ZeqResult::GeneralFailure;
  }
  *previewPath = buffer;
  return ZeqResult::OK;
}

}  // namespace zeq2png
