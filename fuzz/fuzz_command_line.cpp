// Feeds arbitrary argument vectors to the command-line parser and, when it
// accepts them, to the output-path derivation, and checks what they leave in
// the job. The input is split at NUL bytes into argv[1..]; argv[0] is fixed.
// Arguments may be empty, very long or hold any byte but NUL.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/output_path.h"
#include "job/conversion_job.h"

namespace {

using png2zeq::ConversionJob;
using png2zeq::ErrorCode;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_command_line: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// Whether `pointer` is one of argv[first..last].
bool IsArgument(const char* pointer, char** argv, int first, int last) {
  for (int i = first; i <= last; ++i) {
    if (argv[i] == pointer) return true;
  }
  return false;
}

bool EndsWith(const char* text, const char* suffix) {
  const size_t length = std::strlen(text);
  const size_t suffixLength = std::strlen(suffix);
  return length >= suffixLength && std::strcmp(text + length - suffixLength, suffix) == 0;
}

// Checks the parser's result and the fields it set against the arguments.
void CheckParsedJob(const ConversionJob& job, ErrorCode result, int argc, char** argv) {
  const int last = argc - 1;
  Check(result == png2zeq::ErrorCode::OK || result == png2zeq::ErrorCode::InvalidParameters ||
            result == png2zeq::ErrorCode::MissingInputFile || result == png2zeq::ErrorCode::UnknownDitherMethod,
        "parser returned a code it never gives");
  Check(job.verbose <= 1 && job.uncompressed <= 1 && job.answeredInformationRequest <= 1,
        "flag outside 0 and 1");
  Check((job.ditherState == nullptr) == (job.ditherError == nullptr),
        "only one of the dither hooks set");
  Check(job.inputPath == nullptr || job.inputPath == argv[last],
        "input path is not the last argument");
  Check(job.depthText == nullptr || IsArgument(job.depthText, argv, 2, last),
        "depth text does not point at an argument");
  Check(job.outputPath == nullptr || IsArgument(job.outputPath, argv, 2, last),
        "output path does not point at an argument");
  if (job.answeredInformationRequest) {
    Check(result == png2zeq::ErrorCode::OK, "information request answered with a failure");
    return;
  }
  if (result == png2zeq::ErrorCode::OK) {
    Check(job.inputPath != nullptr, "accepted without an input path");
    Check(job.depthText != job.inputPath && job.outputPath != job.inputPath,
          "input path also taken as an option value");
  }
  if (result == png2zeq::ErrorCode::MissingInputFile) {
    Check(job.inputPath == nullptr, "MissingInputFile with an input path");
  }
}

// A path cut the way the converter's path rules cut it, written out again
// here from those rules as a second opinion: the drive is "X:" at the start,
// the directory runs through the last '/' or '\\', the name up to the last
// dot after it.
struct PathModel {
  std::string driveAndDirectory;
  std::string name;
  bool fits;  // directory and name within 255 characters each
};

PathModel ModelPath(const std::string& path) {
  const size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
  const size_t separator = path.find_last_of("/\\");
  const size_t nameStart = separator == std::string::npos || separator < start ? start
                                                                               : separator + 1;
  const size_t dot = path.find_last_of('.');
  const size_t nameEnd = dot == std::string::npos || dot < nameStart ? path.size() : dot;
  PathModel model;
  model.driveAndDirectory = path.substr(0, nameStart);
  model.name = path.substr(nameStart, nameEnd - nameStart);
  model.fits = nameStart - start <= 255 && model.name.size() <= 255;
  return model;
}

// What the derivation should give: the expected name (empty when the given
// output path stays) and whether it succeeds.
struct ExpectedOutput {
  bool succeeds;
  bool keepsGivenPath;
  std::string derivedName;
};

ExpectedOutput ModelDerivation(const char* inputPath, const char* outputPath) {
  // With -output the input's drive and directory play no part, and its name
  // only when the -output value names a directory.
  ExpectedOutput expected{};
  const PathModel input = ModelPath(inputPath);
  std::string place = input.driveAndDirectory;
  if (outputPath != nullptr) {
    const PathModel output = ModelPath(outputPath);
    if (!output.fits) return expected;
    if (!output.name.empty()) {
      expected.succeeds = true;
      expected.keepsGivenPath = true;
      return expected;
    }
    place = output.driveAndDirectory;
    if (input.name.size() > 255) return expected;
  } else if (!input.fits) {
    return expected;
  }
  expected.derivedName = place + input.name + ".zeq";
  expected.succeeds = expected.derivedName.size() <= 259;
  return expected;
}

// Checks the derivation's result and the output path it left.
void CheckDerivedPath(const ConversionJob& job, const char* outputBefore, ErrorCode result) {
  const ExpectedOutput expected = ModelDerivation(job.inputPath, outputBefore);
  Check((result == png2zeq::ErrorCode::OK) == expected.succeeds, "derivation result differs from the rules");
  Check(result == png2zeq::ErrorCode::OK || result == png2zeq::ErrorCode::GeneralFailure,
        "derivation returned a code it never gives");
  Check(job.inputPath != nullptr, "derivation lost the input path");
  if (result != png2zeq::ErrorCode::OK) {
    Check(job.outputPath == outputBefore, "failed derivation changed the output path");
    return;
  }
  Check(job.outputPath != nullptr, "successful derivation left no output path");
  if (job.outputPath != job.derivedName) {
    Check(job.outputPath == outputBefore && expected.keepsGivenPath,
          "output path changed to something else");
    return;
  }
  const void* terminator = std::memchr(job.derivedName, '\0', sizeof job.derivedName);
  Check(terminator != nullptr, "derived name not NUL-terminated within its buffer");
  Check(EndsWith(job.derivedName, ".zeq"), "derived name does not end in .zeq");
  Check(!expected.keepsGivenPath && expected.derivedName == job.derivedName,
        "derived name differs from the rules");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // -help and -codes print their texts; keep them off the fuzzer's output.
  const int nullFd = open("/dev/null", O_WRONLY);
  if (nullFd >= 0) dup2(nullFd, STDOUT_FILENO);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Each argument in its own heap block, so that AddressSanitizer sees any
  // read past its end.
  std::vector<std::vector<char>> arguments;
  arguments.push_back({'p', 'n', 'g', '2', 'z', 'e', 'q', '\0'});
  std::vector<char> current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      current.push_back('\0');
      arguments.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (size > 0) {
    current.push_back('\0');
    arguments.push_back(current);
  }
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::vector<char>& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(arguments.size());

  ConversionJob job{};
  job.programPath = argv[0];
  const ErrorCode parsed = png2zeq::ParseCommandLine(job, argc, argv.data());
  std::fflush(stdout);
  if (argc <= 1) {
    Check(parsed == png2zeq::ErrorCode::MissingInputFile, "no arguments accepted");
    return 0;
  }
  CheckParsedJob(job, parsed, argc, argv.data());
  if (parsed != png2zeq::ErrorCode::OK || job.answeredInformationRequest) return 0;

  const char* outputBefore = job.outputPath;
  const ErrorCode derived = png2zeq::DeriveOutputPath(job);
  CheckDerivedPath(job, outputBefore, derived);
  return 0;
}
