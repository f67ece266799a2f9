#include "output/zeq_writer.h"

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

namespace png2zeq {
namespace {

struct WriteErrorText {
  int errorNumber;
  const char* text;
};

// What a failed block write reports, by error number.
constexpr WriteErrorText kWriteErrorTexts[] = {
    {EBADF, "Bad file descriptor!\n"},
    {ENOSPC, "No space left on device!\n"},
    {EINVAL, "Invalid parameter: buffer was NULL!\n"},
};
constexpr const char* kUnexpectedWriteError = "Unexpected error!\n";

const char* DescribeWriteError(int errorNumber) {
  for (const WriteErrorText& entry : kWriteErrorTexts) {
    if (entry.errorNumber == errorNumber) return entry.text;
  }
  return kUnexpectedWriteError;
}

// Writes the header, then the block; prints what failed when verbose.
ErrorCode WriteHeaderAndBlock(const ConversionJob& job, AtomicOutput* output) {
  uint8_t header[ZEQ_HEADER_SIZE];
  EncodeZeqHeader(job.header, header);
  const ptrdiff_t headerWritten = WriteAtomicOutput(output, header, sizeof header);
  if (headerWritten != static_cast<ptrdiff_t>(sizeof header)) {
    if (job.verbose) {
      std::printf("Error writing the header, wrote %u expected %u\n",
                  static_cast<unsigned>(headerWritten), static_cast<unsigned>(sizeof header));
    }
    return ErrorCode::WriteError;
  }
  const ptrdiff_t blockWritten = WriteAtomicOutput(output, job.pixels, job.pixelLength);
  if (blockWritten != static_cast<ptrdiff_t>(job.pixelLength)) {
    const int errorNumber = blockWritten < 0 ? errno : 0;
    if (job.verbose) {
      std::printf("Error writing the image, %s", DescribeWriteError(errorNumber));
    }
    return ErrorCode::WriteError;
  }
  return ErrorCode::OK;
}

}  // namespace

ErrorCode WriteOutputFile(ConversionJob& job) {
  if (job.verbose) std::printf("Output file \"%s\"\n", job.outputPath);

  AtomicOutput output;
  if (!OpenAtomicOutput(job.outputPath, {job.inputPath}, &output)) return ErrorCode::CreateZEQFailed;

  job.header.magic = ZEQ_MAGIC;
  const ErrorCode result = WriteHeaderAndBlock(job, &output);
  if (result != ErrorCode::OK) return result;  // the destination stays as it was
  return CommitAtomicOutput(&output) ? ErrorCode::OK : ErrorCode::WriteError;
}

}  // namespace png2zeq
