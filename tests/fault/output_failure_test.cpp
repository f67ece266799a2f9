// The output cases that fail only at the very end of a run, after every
// block has been taken: the bookkeeping of the failure path. Each must give
// its result code and messages, free each of the run's blocks exactly once,
// leave no stray file and leave whatever was in the way as it was.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "in_process_run.h"
#include "support/png_builder.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq::fault {
namespace {

using testing::Bytes;
using testing::PngRecipe;
using testing::TempDir;

// A run that dithers and compresses takes all six of our blocks before the
// writer starts.
constexpr size_t kBlocksOfAFullRun = 6;

std::string WriteRgbPng(const TempDir& directory, const std::string& name) {
  PngRecipe recipe;
  recipe.colourType = 2;
  recipe.width = 12;
  recipe.height = 5;
  for (size_t i = 0; i < size_t{12} * 5 * 3; ++i) recipe.samples.push_back(static_cast<uint8_t>(i * 41));
  return png2zeq::testing::WritePngInto(directory, name, recipe);
}

std::vector<std::string> FullRunArguments(const std::string& output, const std::string& input) {
  return {"-verbose", "-depth", "565", "-dither", "-output", output, input};
}

std::set<std::string> Entries(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Every block the run took was freed exactly once.
void ExpectCleanLedger(const InProcessRun& run) {
  EXPECT_EQ(run.ledger.allocationSizes.size(), kBlocksOfAFullRun);
  EXPECT_EQ(run.ledger.refusedAllocations, 0u);
  EXPECT_EQ(run.ledger.liveBlocks, 0u) << "a block outlived the run";
  EXPECT_TRUE(run.ledger.faults.empty()) << run.ledger.faults.front();
}

// The writer's part of the output: from its "Output file" line on.
std::string WriterOutput(const std::string& output) {
  const size_t at = output.find("Output file \"");
  return at == std::string::npos ? "" : output.substr(at);
}

TEST(OutputFailures, FullDeviceGivesWriteErrorFreesEverythingAndKeepsTheDevice) {
  struct stat device;
  if (stat("/dev/full", &device) != 0) GTEST_SKIP() << "no /dev/full here";
  TempDir directory;
  const std::string input = WriteRgbPng(directory, "image.png");
  const InProcessRun run = RunInProcess(FullRunArguments("/dev/full", input));

  EXPECT_EQ(run.status, 11);
  // /dev/full refuses the very first write: the header.
  EXPECT_EQ(WriterOutput(run.output),
            "Output file \"/dev/full\"\n"
            "Error writing the header, wrote 4294967295 expected 24\n" +
                ErrorLine("WriteError", input));
  ExpectCleanLedger(run);
  struct stat after;
  ASSERT_EQ(stat("/dev/full", &after), 0) << "the device was removed";
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, device.st_rdev);
  EXPECT_EQ(Entries(directory.path()), std::set<std::string>{"image.png"});
}

struct OpenFailureCase {
  const char* name;
  // Makes the obstacle in `directory` and returns the -output path.
  std::string (*prepare)(const TempDir& directory);
};

const OpenFailureCase kOpenFailureCases[] = {
    {"MissingDirectory", [](const TempDir& d) { return d.File("missing/image.zeq"); }},
    {"OutputIsADirectory",
     [](const TempDir& d) {
       std::filesystem::create_directory(d.File("taken"));
       testing::WriteFile(d.File("taken/inside"), {1, 2, 3});
       return d.File("taken");
     }},
};

TEST(OutputFailures, UnopenableOutputGivesCreateZEQFailedFreesEverythingAndChangesNothing) {
  for (const OpenFailureCase& testCase : kOpenFailureCases) {
    SCOPED_TRACE(testCase.name);
    TempDir directory;
    const std::string input = WriteRgbPng(directory, "image.png");
    const std::string output = testCase.prepare(directory);
    const std::set<std::string> before = Entries(directory.path());
    const InProcessRun run = RunInProcess(FullRunArguments(output, input));

    EXPECT_EQ(run.status, 13);
    EXPECT_EQ(WriterOutput(run.output),
              "Output file \"" + output + "\"\n" + ErrorLine("CreateZEQFailed", input));
    ExpectCleanLedger(run);
    EXPECT_EQ(Entries(directory.path()), before) << "a stray file was left";
  }
  // The directory that stood in the way still holds what it held.
  TempDir directory;
  const std::string output = kOpenFailureCases[1].prepare(directory);
  const std::string input = WriteRgbPng(directory, "image.png");
  ASSERT_EQ(RunInProcess(FullRunArguments(output, input)).status, 13);
  EXPECT_EQ(Entries(output), std::set<std::string>{"inside"});
}

// Runs `check` in a child process that has given up root, so that file
// permissions apply to it; returns the child's exit status (the checks that
// failed, as bits), or -1 when privileges could not be dropped.
int RunUnprivileged(int (*check)(const std::string&, const std::string&), const std::string& a,
                    const std::string& b) {
  constexpr uid_t kNobody = 65534;
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 ||
                           setuid(kNobody) != 0)) {
      _exit(255);
    }
    _exit(check(a, b));
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

// Bits of the read-only directory check, set when that part failed.
enum ReadOnlyCheck { kWrongStatus = 1, kWrongErrorLine = 2, kBlocksNotFreed = 4, kFileLeft = 8 };

int ConvertIntoReadOnlyDirectory(const std::string& input, const std::string& locked) {
  const InProcessRun run = RunInProcess(FullRunArguments(locked + "/image.zeq", input));
  int failed = 0;
  if (run.status != 13) failed |= kWrongStatus;
  if (!EndsWith(run.output, ErrorLine("CreateZEQFailed", input))) failed |= kWrongErrorLine;
  if (run.ledger.allocationSizes.size() != kBlocksOfAFullRun || run.ledger.liveBlocks != 0 ||
      !run.ledger.faults.empty()) {
    failed |= kBlocksNotFreed;
  }
  if (!Entries(locked).empty()) failed |= kFileLeft;
  return failed;
}

TEST(OutputFailures, ReadOnlyDirectoryGivesCreateZEQFailedAndFreesEverything) {
  TempDir directory;
  const std::string input = WriteRgbPng(directory, "image.png");
  const std::string locked = directory.File("locked");
  std::filesystem::create_directory(locked);
  // Readable by the unprivileged child; writable by nobody but the owner,
  // and not even by the owner inside `locked`.
  chmod(directory.path().c_str(), 0755);
  chmod(input.c_str(), 0644);
  chmod(locked.c_str(), 0555);
  const int failed = RunUnprivileged(ConvertIntoReadOnlyDirectory, input, locked);
  chmod(locked.c_str(), 0755);
  if (failed < 0) GTEST_SKIP() << "cannot give up root here";

  EXPECT_EQ(failed & kWrongStatus, 0) << "not CreateZEQFailed";
  EXPECT_EQ(failed & kWrongErrorLine, 0) << "error line missing";
  EXPECT_EQ(failed & kBlocksNotFreed, 0) << "blocks not freed exactly once";
  EXPECT_EQ(failed & kFileLeft, 0) << "a file appeared in the read-only directory";
}

// Another process holds the output file's lock until told to let go.
class LockHoldingProcess {
 public:
  explicit LockHoldingProcess(const std::string& path) {
    int ready[2];
    if (pipe(ready) != 0 || pipe(release_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release_[1]);
      const int fd = open(path.c_str(), O_RDWR);
      const char status = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 'L' : 'E';
      if (write(ready[1], &status, 1) != 1) _exit(1);
      char ignored;
      while (read(release_[0], &ignored, 1) < 0) {
      }
      _exit(0);
    }
    close(ready[1]);
    close(release_[0]);
    char status = 'E';
    locked_ = read(ready[0], &status, 1) == 1 && status == 'L';
    close(ready[0]);
  }
  ~LockHoldingProcess() {
    if (pid_ <= 0) return;
    close(release_[1]);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  LockHoldingProcess(const LockHoldingProcess&) = delete;
  LockHoldingProcess& operator=(const LockHoldingProcess&) = delete;
  bool locked() const { return locked_; }

 private:
  pid_t pid_ = -1;
  int release_[2] = {-1, -1};
  bool locked_ = false;
};

TEST(OutputFailures, LockHeldByAnotherProcessGivesCreateZEQFailedAndLeavesTheFile) {
  TempDir directory;
  const std::string input = WriteRgbPng(directory, "image.png");
  const std::string output = directory.File("image.zeq");
  const Bytes previous = {'h', 'e', 'l', 'd', ' ', 'e', 'l', 's', 'e', 'w', 'h', 'e', 'r', 'e'};
  testing::WriteFile(output, previous);
  {
    LockHoldingProcess holder(output);
    ASSERT_TRUE(holder.locked());
    const InProcessRun run = RunInProcess(FullRunArguments(output, input));
    EXPECT_EQ(run.status, 13);
    EXPECT_EQ(WriterOutput(run.output),
              "Output file \"" + output + "\"\n" + ErrorLine("CreateZEQFailed", input));
    ExpectCleanLedger(run);
    EXPECT_EQ(testing::ReadFile(output), previous) << "the held file was changed";
  }
  EXPECT_EQ(Entries(directory.path()), (std::set<std::string>{"image.png", "image.zeq"}));
}

TEST(OutputFailures, OutputNamingTheInputIsRefusedAndFreesEverything) {
  TempDir directory;
  const std::string input = WriteRgbPng(directory, "image.png");
  const InProcessRun run = RunInProcess(FullRunArguments(input, input));

  EXPECT_EQ(run.status, 13) << run.output;
  ExpectCleanLedger(run);
  EXPECT_EQ(Entries(directory.path()), std::set<std::string>{"image.png"});
}

}  // namespace
}  // namespace png2zeq::fault
