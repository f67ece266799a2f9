// Outputs on Windows: replacing, refusing and writing devices in whole runs,
// and Ctrl-C or a forced end while an output is being written. (Wine, which
// runs these tests in CI, sends no Ctrl-Break and writes to no console that
// has no terminal, so Ctrl-Break and CON are tried by hand.)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "common/platform.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq::testing {
namespace {

namespace fs = std::filesystem;
const Bytes kOld = {'o', 'l', 'd'};

size_t EntriesIn(const TempDir& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir.path()), {}));
}

// Starts `commandLine` on a console of its own, which console events go to,
// its standard output into `*output`'s pipe.
PROCESS_INFORMATION StartOnConsole(std::string commandLine, HANDLE* output) {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE write = nullptr;
  CreatePipe(output, &write, &inherited, 0);
  SetHandleInformation(*output, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = write;
  PROCESS_INFORMATION process = {};
  EXPECT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                             nullptr, nullptr, &startup, &process));
  CloseHandle(write);
  return process;
}

// The exit code of `process`, ended after 30 s so that nothing outlives the test.
DWORD WaitForExit(const PROCESS_INFORMATION& process) {
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

TEST(WindowsOutput, ReplacesOrRefusesAndWritesDevicesDirectly) {
  const struct {
    const char* name;
    const char* output;
    std::function<void(const TempDir&)> prepare;
    bool hold;  // another run has out.zeq open
    int exitStatus;
    bool replaced;  // out.zeq no longer holds kOld
  } cases[] = {
      {"an existing file is replaced", "out.zeq", [](const TempDir&) {}, false, 0, true},
      {"a read-only file is refused", "out.zeq",
       [](const TempDir& dir) { SetFileAttributesA(dir.File("out.zeq").c_str(), FILE_ATTRIBUTE_READONLY); },
       false, 13, false},
      {"a file another run holds is refused", "out.zeq", [](const TempDir&) {}, true, 13, false},
      {"the input is refused", "in.png", [](const TempDir&) {}, false, 13, false},
      {"a hard link to the input is refused", "link.zeq",
       [](const TempDir& dir) { fs::create_hard_link(dir.File("in.png"), dir.File("link.zeq")); }, false, 13,
       false},
      {"NUL is written directly", "NUL", [](const TempDir&) {}, false, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string input = WritePngInto(dir, "in.png", PngRecipe{});
    const Bytes png = ReadFile(input);
    WriteFile(dir.File("out.zeq"), kOld);
    c.prepare(dir);
    const size_t entries = EntriesIn(dir);
    // Open for writing, sharing only reading: as a run holds the file it replaces.
    const HANDLE held = c.hold ? CreateFileA(dir.File("out.zeq").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, 0, nullptr)
                               : INVALID_HANDLE_VALUE;
    const std::string output = std::string(c.output) == "NUL" ? c.output : dir.File(c.output);
    const ProcessResult run = RunConverterProcess({"-o", output, input});
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    EXPECT_EQ(run.output, c.exitStatus == 0 ? "" : ErrorLine("CreateZEQFailed", input));
    EXPECT_EQ(ReadFile(dir.File("out.zeq")) != kOld, c.replaced);
    EXPECT_EQ(ReadFile(input), png);
    EXPECT_EQ(EntriesIn(dir), entries) << "a temporary was left or a file made";
    SetFileAttributesA(dir.File("out.zeq").c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// A child of this executable holds an output half written (see main) until
// it is interrupted; the previous file stays and no temporary remains.
TEST(WindowsOutput, InterruptedRunLeavesNoTemporary) {
  const struct {
    const char* name;
    std::function<void(const PROCESS_INFORMATION&)> interrupt;
  } cases[] = {
      {"Ctrl-C", [](const PROCESS_INFORMATION&) { GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0); }},
      {"forced end", [](const PROCESS_INFORMATION& child) { TerminateProcess(child.hProcess, 9); }},
  };
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFile(dir.File("out.zeq"), kOld);
    HANDLE pipe = nullptr;
    const PROCESS_INFORMATION child =
        StartOnConsole("\"" + std::string(self) + "\" --hold-output \"" + dir.File("out.zeq") + "\"", &pipe);
    char ready[6] = {};
    DWORD got = 0;
    ::ReadFile(pipe, ready, 5, &got, nullptr);
    CloseHandle(pipe);
    ASSERT_STREQ(ready, "ready");
    // Console events reach the processes of a console, so join the child's for a moment.
    FreeConsole();
    AttachConsole(child.dwProcessId);
    SetConsoleCtrlHandler(nullptr, TRUE);
    c.interrupt(child);
    WaitForExit(child);
    FreeConsole();
    EXPECT_EQ(ReadFile(dir.File("out.zeq")), kOld);
    EXPECT_EQ(EntriesIn(dir), 1u);
  }
}

}  // namespace
}  // namespace png2zeq::testing

// With "--hold-output <path>": opens <path> as an output, writes to it, says
// "ready" and waits to be ended; otherwise runs the tests.
int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--hold-output") {
    png2zeq::AtomicOutput output;
    if (!png2zeq::OpenAtomicOutput(argv[2], {}, &output) || png2zeq::WriteAtomicOutput(&output, "part", 4) != 4) {
      return 1;
    }
    std::fputs("ready", stdout);
    std::fflush(stdout);
    Sleep(60000);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
