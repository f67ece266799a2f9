#include "cli/command_line.h"

#include <cstdio>

#include "cli/texts.h"
#include "common/options.h"
#include "pixels/dither_methods.h"

namespace png2zeq {
namespace {

enum class OptionKind { Dither, Depth, Output, Help, Codes, Verbose, Uncompressed, Best, Window };

struct OptionEntry {
  const char* name;
  OptionKind kind;
};

// Option names after the '-' or '/' prefix, matched without regard to case.
constexpr OptionEntry kOptions[] = {
    {"dither", OptionKind::Dither},   {"d", OptionKind::Depth},
    {"depth", OptionKind::Depth},     {"o", OptionKind::Output},
    {"output", OptionKind::Output},   {"h", OptionKind::Help},
    {"?", OptionKind::Help},          {"help", OptionKind::Help},
    {"c", OptionKind::Codes},         {"codes", OptionKind::Codes},
    {"v", OptionKind::Verbose},       {"verbose", OptionKind::Verbose},
    {"u", OptionKind::Uncompressed},  {"uncompressed", OptionKind::Uncompressed},
    {"b", OptionKind::Best},          {"best", OptionKind::Best},
    {"w", OptionKind::Window},        {"window", OptionKind::Window},
};

// The window bits that `text` spells in decimal digits alone, or 0 when it
// spells none in ZEQ_WINDOW_BITS_MIN..ZEQ_WINDOW_BITS_MAX.
uint8_t ParseWindowBits(const char* text) {
  unsigned value = 0;
  for (const char* digit = text; *digit != '\0'; ++digit) {
    if (*digit < '0' || *digit > '9') return 0;
    // Once over the range it stays over it: no need to grow (or overflow).
    value = value > ZEQ_WINDOW_BITS_MAX ? value : value * 10 + static_cast<unsigned>(*digit - '0');
  }
  const bool inRange = value >= ZEQ_WINDOW_BITS_MIN && value <= ZEQ_WINDOW_BITS_MAX;
  return inRange ? static_cast<uint8_t>(value) : 0;
}

}  // namespace

ErrorCode ParseCommandLine(ConversionJob& job, int argc, char** argv) {
  job.inputPath = nullptr;
  job.outputPath = nullptr;
  job.depthText = nullptr;
  job.verbose = 0;
  job.uncompressed = 0;
  job.best = 0;
  job.windowBits = 0;
  job.ditherState = nullptr;
  job.ditherError = nullptr;
  job.answeredInformationRequest = 0;
  if (argc <= 1) return ErrorCode::MissingInputFile;

  ErrorCode error = ErrorCode::OK;
  const int last = argc - 1;
  for (int position = 1; position <= last && error == ErrorCode::OK; ++position) {
    const char* argument = argv[position];
    if (!IsOptionArgument(kOptions, argument, position == last)) {
      if (position == last) {
        job.inputPath = argument;
      } else {
        std::printf("Parameter %d doesn't start with '-' or '/'.\n", position);
        error = ErrorCode::InvalidParameters;
      }
      continue;
    }

    const OptionEntry* option = FindOption(kOptions, argument + 1);
    if (option == nullptr) continue;  // unknown options are passed over silently
    switch (option->kind) {
      case OptionKind::Dither: {
        const DitherMethod* method = &DefaultDitherMethod();
        // A method name may follow, but never in the input path's place.
        const bool methodFollows = position + 1 < last && !HasOptionPrefix(argv[position + 1]);
        if (methodFollows) {
          const char* name = argv[++position];
          if (const DitherMethod* named = FindDitherMethod(name)) {
            method = named;
          } else {
            std::printf("Parameter %s invalid.\n", name);
            error = ErrorCode::UnknownDitherMethod;
          }
        }
        job.ditherState = method->state;
        job.ditherError = method->error;
        break;
      }
      case OptionKind::Depth:
      case OptionKind::Output:
        if (position == last) {
          std::printf("Parameter %s invalid.\n", argument);
          error = ErrorCode::InvalidParameters;
          break;
        }
        (option->kind == OptionKind::Depth ? job.depthText : job.outputPath) = argv[++position];
        break;
      case OptionKind::Help:
        PrintUsage(job.programPath);
        job.answeredInformationRequest = 1;
        return ErrorCode::OK;
      case OptionKind::Codes:
        PrintErrorCodes();
        job.answeredInformationRequest = 1;
        return ErrorCode::OK;
      case OptionKind::Verbose:
        job.verbose = 1;
        break;
      case OptionKind::Uncompressed:
        job.uncompressed = 1;
        break;
      case OptionKind::Best:
        job.best = 1;
        break;
      case OptionKind::Window:
        if (position == last) {
          std::printf("Parameter %s invalid.\n", argument);
          error = ErrorCode::InvalidParameters;
          break;
        }
        job.windowBits = ParseWindowBits(argv[++position]);
        if (job.windowBits == 0) {
          std::printf("Parameter %s invalid.\n", argv[position]);
          error = ErrorCode::InvalidParameters;
        }
        break;
    }
  }

  if (error != ErrorCode::OK) return error;
  return job.inputPath == nullptr ? ErrorCode::MissingInputFile : ErrorCode::OK;
}

}  // namespace png2zeq
