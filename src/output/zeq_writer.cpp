#include "output/zeq_writer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace png2zeq {
namespace {

// A new output file is readable and writable by its owner only.
constexpr mode_t kOutputFileMode = 0600;

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

// Closes the descriptor on every path out of the writer.
struct OutputDescriptor {
  int fd = -1;
  ~OutputDescriptor() {
    if (fd >= 0) close(fd);
  }
};

bool IsRegularFile(int fd) {
  struct stat status;
  return fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// Opens without truncating, locks, and only then truncates, so that a file
// another run holds is left as it is.
bool OpenLockedOutput(const char* path, OutputDescriptor& output, bool* isRegular) {
  output.fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, kOutputFileMode);
  if (output.fd < 0) return false;
  if (flock(output.fd, LOCK_EX | LOCK_NB) != 0) return false;
  *isRegular = IsRegularFile(output.fd);
  return !*isRegular || ftruncate(output.fd, 0) == 0;
}

// Writes the header, then the block; prints what failed when verbose.
ErrorCode WriteHeaderAndBlock(const ConversionJob& job, int fd) {
  uint8_t header[kZeqHeaderSize];
  EncodeZeqHeader(job.header, header);
  const ssize_t headerWritten = write(fd, header, sizeof header);
  if (headerWritten != static_cast<ssize_t>(sizeof header)) {
    if (job.verbose) {
      std::printf("Error writing the header, wrote %u expected %u\n",
                  static_cast<unsigned>(headerWritten), static_cast<unsigned>(sizeof header));
    }
    return ErrorCode::WriteError;
  }
  const ssize_t blockWritten = write(fd, job.pixels, job.pixelLength);
  if (blockWritten != static_cast<ssize_t>(job.pixelLength)) {
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

  OutputDescriptor output;
  bool isRegular = false;
  if (!OpenLockedOutput(job.outputPath, output, &isRegular)) return ErrorCode::CreateZEQFailed;

  job.header.magic = kZeqMagic;
  const ErrorCode result = WriteHeaderAndBlock(job, output.fd);
  // Still holding the lock: no other run can be writing this file.
  if (result != ErrorCode::OK && isRegular) unlink(job.outputPath);
  return result;
}

}  // namespace png2zeq
