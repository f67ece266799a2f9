#include "cli/output_path.h"

#include "common/path_parts.h"

namespace png2zeq {
namespace {

// Extension every derived output name gets.
constexpr const char* kZeqExtension = "zeq";

}  // namespace

ErrorCode DeriveOutputPath(ConversionJob& job) {
  if (!DeriveSiblingPath(job.inputPath, job.outputPath, kZeqExtension, job.derivedName,
                         &job.outputPath)) {
    return ErrorCode::GeneralFailure;
  }
  return ErrorCode::OK;
}

}  // namespace png2zeq
