// A run interrupted while its temporary file exists: the temporary goes, the
// destination stays as it was, and the process ends by the signal.

#include "common/atomic_output.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "output/output_checks.h"
#include "support/temp_dir.h"

namespace png2zeq {
namespace {

TEST(AtomicOutput, InterruptedWriteRemovesItsTemporaryAndDiesOfTheSignal) {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signalNumber));
    testing::TempDir dir;
    const std::string path = dir.File("out.zeq");
    const testing::Bytes previous = {'o', 'l', 'd'};
    testing::WriteFile(path, previous);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      signal(signalNumber, SIG_DFL);  // as a run started from a shell has it
      AtomicOutput output;
      if (!OpenAtomicOutput(path.c_str(), nullptr, &output) || write(output.fd, "new", 3) != 3) {
        _exit(1);
      }
      raise(signalNumber);
      _exit(2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
    EXPECT_EQ(testing::ReadFile(path), previous);
    EXPECT_EQ(testing::DirectoryEntries(dir.path()).size(), 1u) << "the temporary file was left";
  }
}

}  // namespace
}  // namespace png2zeq
