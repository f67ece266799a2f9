#include "cli/output_path.h"

#include "cli/path_parts.h"

namespace png2zeq {
namespace {

// Extension every derived output name gets.
constexpr const char* kZeqExtension = "zeq";

}  // namespace

ErrorCode DeriveOutputPath(ConversionJob& job) {
  PathParts input;
  PathParts output;
  const char* drive = nullptr;
  const char* directory = nullptr;

  if (job.outputPath != nullptr && !SplitPath(job.outputPath, output)) return GeneralFailure;
  // An input path too long to split is refused whether or not its name is
  // needed, so such an input is never opened.
  if (!SplitPath(job.inputPath, input)) return GeneralFailure;
  if (job.outputPath == nullptr) {
    drive = input.drive;
    directory = input.directory;
  } else {
    if (output.fileName[0] != '\0') return OK;  // used as given, extension or not
    drive = output.drive;
    directory = output.directory;
  }

  if (!JoinPath(job.derivedName, sizeof job.derivedName, drive, directory, input.fileName,
                kZeqExtension)) {
    return GeneralFailure;
  }
  job.outputPath = job.derivedName;
  return OK;
}

}  // namespace png2zeq
