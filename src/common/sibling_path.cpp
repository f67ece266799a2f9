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
  // Into an -output directory only the input's file name goes, so neither
  // its drive nor its directory (however long) plays a part.
  if (!(outputPath != nullptr ? SplitFileName(inputPath, input) : SplitPath(inputPath, input))) {
    return false;
  }
  const PathParts& place = outputPath != nullptr ? output : input;
  if (!JoinPath(buffer, sizeof buffer, place.drive, place.directory, input.fileName, extension)) {
    return false;
  }
  *resultPath = buffer;
  return true;
}

}  // namespace png2zeq
