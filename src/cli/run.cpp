#include "cli/run.h"

#include <cstdio>

#include "cli/command_line.h"
#include "cli/output_path.h"
#include "cli/texts.h"
#include "job/heap.h"
#include "output/deflate_stage.h"
#include "output/zeq_writer.h"
#include "pixels/transcode.h"
#include "png/png_reader.h"

namespace png2zeq {
namespace {

// Shown in the usage text when the system passed no program name at all.
constexpr const char* kFallbackProgramName = "png2zeq";

// Shown in the error line when the command line failed before an input path
// was recorded.
constexpr const char* kNoInputFile = "(no input file)";

using Stage = ErrorCode (*)(ConversionJob&);

// The stages of a conversion, in the order they run; the first failure ends
// the run.
constexpr Stage kStages[] = {DeriveOutputPath, ReadPngImage, TranscodePixels, CompressPixels,
                             WriteOutputFile};

}  // namespace

int RunConverter(int argc, char** argv) {
  ConversionJob job{};
  job.programPath = (argc > 0 && argv[0] != nullptr) ? argv[0] : kFallbackProgramName;
  if (argc <= 1) {
    PrintUsage(job.programPath);
    return InsufficientParameters;
  }

  ErrorCode result = ParseCommandLine(job, argc, argv);
  if (result == OK && job.answeredInformationRequest) return 0;
  if (result == OK && job.verbose) PrintBanner();
  for (Stage stage : kStages) {
    if (result != OK) break;
    result = stage(job);
  }

  FreeBlock(job.pixels);
  job.pixels = nullptr;
  if (result != OK) {
    std::printf("Error \"%s\" occurred for %s.\n", ErrorCodeName(result),
                job.inputPath != nullptr ? job.inputPath : kNoInputFile);
  }
  return static_cast<int>(result);
}

}  // namespace png2zeq
