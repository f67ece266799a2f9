#include "read_png_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "job/conversion_job.h"
#include "png/png_reader.h"
#include "support/temp_dir.h"

namespace png2zeq::testing {

ReadOutcome ReadPngFile(const std::string& path, bool verbose) {
  ConversionJob job{};
  job.inputPath = path.c_str();
  job.verbose = verbose ? 1 : 0;
  job.width = kUntouchedSize;
  job.height = kUntouchedSize;
  job.pngColourType = kUntouchedColourType;
  job.pixelLength = kUntouchedSize;

  ReadOutcome outcome;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  outcome.result = ReadPngImage(job);
  outcome.errors = ::testing::internal::GetCapturedStderr();
  outcome.printed = ::testing::internal::GetCapturedStdout();

  outcome.width = job.width;
  outcome.height = job.height;
  outcome.colourType = job.pngColourType;
  outcome.pixelLength = job.pixelLength;
  outcome.heldBlock = job.pixels != nullptr;
  if (job.pixels != nullptr) {
    outcome.pixels.assign(job.pixels, job.pixels + job.pixelLength);
    std::free(job.pixels);
  }
  return outcome;
}

ReadOutcome ReadPngBytes(const Bytes& file, bool verbose) {
  TempDir dir;
  const std::string path = dir.File("input.png");
  WriteFile(path, file);
  return ReadPngFile(path, verbose);
}

uint32_t DecodedBytesPerPixel(uint8_t colourType) {
  switch (colourType) {
    case 0: return 1;
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 0;
  }
}

::testing::AssertionResult IsDecodeFailure(const ReadOutcome& outcome) {
  if (outcome.result != ErrorCode::PNGDecodeError) {
    return ::testing::AssertionFailure() << "result " << ErrorCodeName(outcome.result)
                                         << ", printed \"" << outcome.printed << "\"";
  }
  const std::string prefix = "PNGError: ";
  const std::string suffix = "\nPNG failed\n";
  const std::string& text = outcome.printed;
  const bool framed = text.size() >= prefix.size() + suffix.size() &&
                      text.compare(0, prefix.size(), prefix) == 0 &&
                      text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
  // libpng's message is one line: the only newlines are the two the reader adds.
  const auto newlines = std::count(text.begin(), text.end(), '\n');
  if (!framed || newlines != 2) {
    return ::testing::AssertionFailure() << "printed \"" << text << "\"";
  }
  if (!outcome.errors.empty()) {
    return ::testing::AssertionFailure() << "wrote to standard error \"" << outcome.errors << "\"";
  }
  if (outcome.heldBlock) return ::testing::AssertionFailure() << "a block was left in the job";
  if (outcome.width != kUntouchedSize || outcome.height != kUntouchedSize ||
      outcome.colourType != kUntouchedColourType || outcome.pixelLength != kUntouchedSize) {
    return ::testing::AssertionFailure()
           << "job fields written: " << outcome.width << " x " << outcome.height << ", colour "
           << int{outcome.colourType} << ", length " << outcome.pixelLength;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult IsQuietSuccess(const ReadOutcome& outcome) {
  if (outcome.result != ErrorCode::OK) {
    return ::testing::AssertionFailure() << "result " << ErrorCodeName(outcome.result)
                                         << ", printed \"" << outcome.printed << "\"";
  }
  if (!outcome.printed.empty() || !outcome.errors.empty()) {
    return ::testing::AssertionFailure()
           << "printed \"" << outcome.printed << "\" and \"" << outcome.errors << "\"";
  }
  const uint32_t bytesPerPixel = DecodedBytesPerPixel(outcome.colourType);
  if (bytesPerPixel == 0) {
    return ::testing::AssertionFailure() << "colour type " << int{outcome.colourType};
  }
  const uint64_t expectedLength = uint64_t{outcome.width} * outcome.height * bytesPerPixel;
  if (!outcome.heldBlock || outcome.pixelLength != expectedLength) {
    return ::testing::AssertionFailure()
           << "block " << (outcome.heldBlock ? "held" : "missing") << ", length "
           << outcome.pixelLength << " for " << outcome.width << " x " << outcome.height
           << " colour " << int{outcome.colourType};
  }
  return ::testing::AssertionSuccess();
}

#ifdef _WIN32
int OpenDescriptorCount() {
  DWORD count = 0;
  return GetProcessHandleCount(GetCurrentProcess(), &count) ? static_cast<int>(count) : -1;
}
#else
int OpenDescriptorCount() {
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int count = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count;
}
#endif

}  // namespace png2zeq::testing
