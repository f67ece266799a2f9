#include "output/zeq_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "common/heap.h"
#include "output/output_checks.h"
#include "platform/platform.h"
#include "support/posix_only.h"
#include "support/temp_dir.h"

namespace png2zeq {
namespace {

using testing::Bytes;
using testing::ObservePath;
using testing::OutputFileLine;
using testing::PathState;
using testing::TempDir;

// A job ready for the writer: `block` in a heap block the job owns, the
// header as the earlier stages leave it (magic not yet set).
struct WriterJob {
  std::string path;
  ConversionJob job{};
  WriterJob(std::string outputPath, const Bytes& block, const OutputHeader& header)
      : path(std::move(outputPath)) {
    job.outputPath = path.c_str();
    if (!block.empty()) {
      job.pixels = static_cast<uint8_t*>(AllocateBlock(block.size()));
      std::memcpy(job.pixels, block.data(), block.size());
    }
    job.pixelLength = static_cast<uint32_t>(block.size());
    job.header = header;
  }
  ~WriterJob() { FreeBlock(job.pixels); }
  WriterJob(const WriterJob&) = delete;
  WriterJob& operator=(const WriterJob&) = delete;
};

// Runs the writer; returns its result and puts what it printed in `printed`.
ErrorCode WriteCapturing(ConversionJob& job, std::string* printed) {
  ::testing::internal::CaptureStdout();
  const ErrorCode result = WriteOutputFile(job);
  *printed = ::testing::internal::GetCapturedStdout();
  return result;
}

const OutputHeader kOnePixelRgb565 = {0, ZEQ_FORMAT_RGB565, 1, 1, 2, 0};
const Bytes kOnePixelRgb565Block = {0xA2, 0x51};
const Bytes kOnePixelRgb565File = {0x5E, 0x0B, 0x5E, 0x0B, 0x65, 0x05, 0x00, 0x00, 0x01,
                                   0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,
                                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA2, 0x51};

TEST(ZeqWriter, WritesHeaderThenTheJobsBlock) {
  const struct {
    const char* name;
    OutputHeader header;
    Bytes block;
    Bytes file;
  } cases[] = {
      {"1x1 RGB565 uncompressed", kOnePixelRgb565, kOnePixelRgb565Block, kOnePixelRgb565File},
      // After deflating, the block is compressedLength bytes, not rawLength.
      {"2x1 RGB888 compressed",
       {0, ZEQ_FORMAT_RGB888, 2, 1, 6, 5},
       {0x78, 0x9C, 0x01, 0x02, 0x03},
       {0x5E, 0x0B, 0x5E, 0x0B, 0x88, 0x08, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
        0x00, 0x06, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x78, 0x9C, 0x01, 0x02, 0x03}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriterJob writer(dir.File("out.zeq"), c.block, c.header);
    std::string printed;
    ASSERT_EQ(WriteCapturing(writer.job, &printed), ErrorCode::OK);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(writer.job.header.magic, ZEQ_MAGIC);
    EXPECT_EQ(testing::ReadFile(writer.path), c.file);
  }
}

#ifndef _WIN32
TEST(ZeqWriter, OverwritingALongerFileLeavesNoStaleBytesAndKeepsModeAndOwner) {
  TempDir dir;
  WriterJob writer(dir.File("out.zeq"), kOnePixelRgb565Block, kOnePixelRgb565);
  testing::WriteFile(writer.path, Bytes(4096, 0xEE));
  // Another owner where this process may give files away.
  const uid_t owner = geteuid() == 0 ? 4321 : geteuid();
  ASSERT_EQ(chmod(writer.path.c_str(), 0664) | chown(writer.path.c_str(), owner, -1), 0);
  writer.job.verbose = 1;
  std::string printed;
  ASSERT_EQ(WriteCapturing(writer.job, &printed), ErrorCode::OK);
  EXPECT_EQ(printed, OutputFileLine(writer.path));
  EXPECT_EQ(testing::ReadFile(writer.path), kOnePixelRgb565File);
  struct stat status;
  ASSERT_EQ(stat(writer.path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0664u);
  EXPECT_EQ(status.st_uid, owner);
}
#else
PNG2ZEQ_POSIX_ONLY(ZeqWriter, OverwritingALongerFileLeavesNoStaleBytesAndKeepsModeAndOwner, "file modes and owners")
#endif

#ifndef _WIN32
TEST(ZeqWriter, NewFileIsReadableAndWritableByItsOwnerOnly) {
  TempDir dir;
  WriterJob writer(dir.File("out.zeq"), kOnePixelRgb565Block, kOnePixelRgb565);
  const mode_t previousMask = umask(022);
  const ErrorCode result = WriteOutputFile(writer.job);
  umask(previousMask);
  ASSERT_EQ(result, ErrorCode::OK);
  struct stat status;
  ASSERT_EQ(stat(writer.path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
}
#else
PNG2ZEQ_POSIX_ONLY(ZeqWriter, NewFileIsReadableAndWritableByItsOwnerOnly, "file modes")
#endif

// Where the output cannot be opened for writing, or another run holds it.
struct OpenFailure {
  const char* name;
  // Prepares the scene in `dir` and returns the output path.
  std::string (*prepare)(const TempDir& dir);
  bool lockIt;  // hold an exclusive lock on the (existing) output file
};

const OpenFailure kOpenFailures[] = {
    {"missing directory", [](const TempDir& dir) { return dir.File("absent/out.zeq"); }, false},
    {"path is a directory",
     [](const TempDir& dir) {
       const std::string path = dir.File("taken");
       std::filesystem::create_directory(path);
       return path;
     },
     false},
    {"locked by another run",
     [](const TempDir& dir) {
       const std::string path = dir.File("busy.zeq");
       testing::WriteFile(path, Bytes{'k', 'e', 'e', 'p', ' ', 'm', 'e'});
       return path;
     },
     true},
};
#ifndef _WIN32
const OpenFailure kReadOnlyDirectory = {"read-only directory",
                                        [](const TempDir& dir) {
                                          const std::string parent = dir.File("readonly");
                                          mkdir(parent.c_str(), 0500);
                                          return parent + "/out.zeq";
                                        },
                                        false};
#endif

// Runs the writer (verbose) against the prepared scene and checks that it
// fails to open, prints only its first line and leaves the path as it was.
void ExpectCreateFailureChangesNothing(const OpenFailure& c) {
  SCOPED_TRACE(c.name);
  TempDir dir;
  WriterJob writer(c.prepare(dir), kOnePixelRgb565Block, kOnePixelRgb565);
  writer.job.verbose = 1;
  std::unique_ptr<testing::HeldLock> lock;
  if (c.lockIt) {
    lock = std::make_unique<testing::HeldLock>(writer.path);
    ASSERT_TRUE(lock->held());
  }
  const PathState before = ObservePath(writer.path);

  std::string printed;
  EXPECT_EQ(WriteCapturing(writer.job, &printed), ErrorCode::CreateZEQFailed);
  EXPECT_EQ(printed, OutputFileLine(writer.path)) << "the writer adds no line of its own";
  EXPECT_TRUE(ObservePath(writer.path) == before) << "output path changed";
}

TEST(ZeqWriter, OpenFailuresGiveCreateZEQFailedAndChangeNothing) {
  for (const OpenFailure& c : kOpenFailures) ExpectCreateFailureChangesNothing(c);
}

#ifndef _WIN32
TEST(ZeqWriter, ReadOnlyDirectoryGivesCreateZEQFailed) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  ExpectCreateFailureChangesNothing(kReadOnlyDirectory);
}
#else
PNG2ZEQ_POSIX_ONLY(ZeqWriter, ReadOnlyDirectoryGivesCreateZEQFailed, "directory modes")
#endif

TEST(ZeqWriter, FullDeviceGivesWriteErrorAndSurvives) {
  struct stat status;
  if (stat("/dev/full", &status) != 0 || !S_ISCHR(status.st_mode)) {
    GTEST_SKIP() << "no /dev/full here";
  }
  WriterJob writer("/dev/full", kOnePixelRgb565Block, kOnePixelRgb565);
  writer.job.verbose = 1;
  std::string printed;
  EXPECT_EQ(WriteCapturing(writer.job, &printed), ErrorCode::WriteError);
  // The header is the first write and fails outright: -1 printed unsigned.
  EXPECT_EQ(printed, OutputFileLine("/dev/full") +
                         "Error writing the header, wrote 4294967295 expected 24\n");
  ASSERT_EQ(stat("/dev/full", &status), 0) << "/dev/full was removed";
  EXPECT_TRUE(S_ISCHR(status.st_mode));
}

#ifndef _WIN32
// Runs the writer in a child process whose files may grow to `sizeLimit`
// bytes; returns the child's exit status (the writer's result) and what it
// printed, or -1 when the child did not exit normally.
int WriteUnderFileSizeLimit(ConversionJob& job, rlim_t sizeLimit, std::string* printed) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    dup2(pipeEnds[1], STDOUT_FILENO);
    // A write past the limit then fails with EFBIG instead of killing us.
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {sizeLimit, sizeLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(100);
    const ErrorCode result = WriteOutputFile(job);
    std::fflush(stdout);
    _exit(static_cast<int>(result));
  }
  close(pipeEnds[1]);
  char buffer[512];
  ssize_t got;
  while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
    printed->append(buffer, static_cast<size_t>(got));
  }
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ZeqWriter, FailedWriteLeavesTheExistingFileAsItWas) {
  const struct {
    rlim_t sizeLimit;
    const char* writerLine;
  } cases[] = {
      {0, "Error writing the header, wrote 4294967295 expected 24\n"},
      {10, "Error writing the header, wrote 10 expected 24\n"},
      {24, "Error writing the image, Unexpected error!\n"},   // EFBIG
      {100, "Error writing the image, Unexpected error!\n"},  // short count
  };
  const Bytes block = testing::RandomBytes(1000, 3);
  for (const auto& c : cases) {
    SCOPED_TRACE("file size limit " + std::to_string(c.sizeLimit));
    TempDir dir;
    WriterJob writer(dir.File("out.zeq"), block, {0, ZEQ_FORMAT_GREY8, 40, 25, 1000, 0});
    testing::WriteFile(writer.path, Bytes(2000, 0xEE));
    writer.job.verbose = 1;
    std::string printed;
    EXPECT_EQ(WriteUnderFileSizeLimit(writer.job, c.sizeLimit, &printed), static_cast<int>(ErrorCode::WriteError));
    EXPECT_EQ(printed, OutputFileLine(writer.path) + c.writerLine);
    EXPECT_EQ(testing::ReadFile(writer.path), Bytes(2000, 0xEE)) << "the previous file was changed";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}
#else
PNG2ZEQ_POSIX_ONLY(ZeqWriter, FailedWriteLeavesTheExistingFileAsItWas, "fork and file size limits")
#endif

// The block-write error texts this process can provoke without help from
// the kernel's storage: a block the kernel cannot read gives EFAULT.
TEST(ZeqWriter, BlockWriteErrorIsDescribedByItsNumber) {
  const struct {
    const char* name;
    uint32_t pixelLength;
    const char* text;
  } cases[] = {
      {"EFAULT, unreadable block", 1u << 20, "Unexpected error!\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriterJob writer(dir.File("out.zeq"), {}, kOnePixelRgb565);
    writer.job.pixelLength = c.pixelLength;  // with no block at all
    writer.job.verbose = 1;
    std::string printed;
    EXPECT_EQ(WriteCapturing(writer.job, &printed), ErrorCode::WriteError);
    EXPECT_EQ(printed, OutputFileLine(writer.path) + "Error writing the image, " + c.text);
    EXPECT_FALSE(ObservePath(writer.path).exists);
  }
}

TEST(ZeqWriter, PrintsNothingWithoutVerbose) {
  TempDir dir;
  const struct {
    std::string path;
    ErrorCode result;
  } cases[] = {
      {dir.File("ok.zeq"), ErrorCode::OK},
      {dir.File("absent/out.zeq"), ErrorCode::CreateZEQFailed},
  };
  for (const auto& c : cases) {
    WriterJob writer(c.path, kOnePixelRgb565Block, kOnePixelRgb565);
    std::string printed;
    EXPECT_EQ(WriteCapturing(writer.job, &printed), c.result) << c.path;
    EXPECT_EQ(printed, "") << c.path;
  }
}

#ifndef _WIN32
TEST(AtomicOutput, InterruptedWriteRemovesItsTemporaryAndDiesOfTheSignal) {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM,
                                 SIGVTALRM, SIGPROF, SIGXCPU}) {
    TempDir dir;
    testing::WriteFile(dir.File("out.zeq"), kOnePixelRgb565File);
    const pid_t child = fork();
    if (child == 0) {
      signal(signalNumber, SIG_DFL);  // as a run started from a shell has it
      const rlimit noCore = {0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      AtomicOutput output;
      if (OpenAtomicOutput(dir.File("out.zeq").c_str(), {}, &output)) raise(signalNumber);
      _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << signalNumber;
    EXPECT_EQ(testing::ReadFile(dir.File("out.zeq")), kOnePixelRgb565File);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}
#else
PNG2ZEQ_POSIX_ONLY(AtomicOutput, InterruptedWriteRemovesItsTemporaryAndDiesOfTheSignal, "fork and signals")
#endif

}  // namespace
}  // namespace png2zeq
