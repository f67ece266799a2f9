#include "common/sibling_path.h"

namespace png2zeq {

bool DeriveSiblingPath(const char* inputPath, const char* outputPath, const char* extension,
                       char (&buffer)[kJoinedPathSize], const char** resultPath) {
  PathParts input;
  PathParts output;
  if (outputPath != nullptr) {
    if (!SplitPath(outputPath, output)) return false;
    if (output.fileName[0] != '\0') {
      *resultPath = outputPath;  // used as given, extension or not
      return true;
    }
  }
  if (!SplitPath(inputPath, input)) return false;
  const PathParts& place = outputPath != nullptr ? output : input;
  if (!JoinPath(buffer, sizeof buffer, place.drive, place.directory, input.fileName, extension)) {
    return false;
  }
  *resultPath = buffer;
  return true;
}

}  // namespace png2zeq
