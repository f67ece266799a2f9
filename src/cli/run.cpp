#include "cli/run.h"

#include "cli/command_line.h"
#include "cli/output_path.h"
#include "cli/texts.h"
#include "common/front_end.h"
#include "common/heap.h"
#include "output/deflate_stage.h"
#include "output/zeq_writer.h"
#include "pixels/transcode.h"
#include "png/png_reader.h"

namespace png2zeq {
namespace {

// Shown in the usage text when the system passed no program name at all.
constexpr const char* kFallbackProgramName = "png2zeq";

using Stage = ErrorCode (*)(ConversionJob&);

// The stages of a conversion, in the order they run; the first failure ends
// the run.
constexpr Stage kStages[] = {DeriveOutputPath, ReadPngImage, TranscodePixels, CompressPixels,
                             WriteOutputFile};

}  // namespace

int RunConverter(int argc, char** argv) {
  ConversionJob job{};
  job.programPath = ProgramName(argc, argv, kFallbackProgramName);
  if (argc <= 1) {
    PrintUsage(job.programPath);
    return static_cast<int>(ErrorCode::InsufficientParameters);
  }

  ErrorCode result = ParseCommandLine(job, argc, argv);
  if (result == ErrorCode::OK && job.answeredInformationRequest) return 0;
  if (result == ErrorCode::OK && job.verbose) PrintBanner();
  for (Stage stage : kStages) {
    if (result != ErrorCode::OK) break;
    result = stage(job);
  }

  FreeBlock(job.pixels);
  job.pixels = nullptr;
  if (result != ErrorCode::OK) {
    PrintErrorLine(ErrorCodeName(result), job.inputPath);
  }
  return static_cast<int>(result);
}

}  // namespace png2zeq
