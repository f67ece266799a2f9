// What only Windows has, in whole runs: paths with drive letters, '\' and '/'
// options, UTF-16 names, replacing and refusing outputs, and Ctrl-C or a
// forced end while an output is written. Wine, which runs these in CI, sends
// no Ctrl-Break and writes to CON only from a terminal: those are tried by hand.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq::testing {
namespace {

namespace fs = std::filesystem;
const Bytes kOld = {'o', 'l', 'd'};
constexpr DWORD kTimedOut = 99;

size_t EntriesIn(const TempDir& dir) { return std::distance(fs::directory_iterator(dir.path()), {}); }
fs::path Under(const TempDir& dir, const char8_t* name) { return fs::path(dir.path()) / name; }
std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(Windows, PathsAndNamesAsWindowsUsersWriteThem) {
  const struct {
    const char* program;
    std::vector<const char8_t*> arguments;  // after -v; "%" is the run's directory, "@" its drive
    const char8_t* output;                  // relative to that directory; the verbose run names it
  } cases[] = {
      {PNG2ZEQ_EXECUTABLE, {u8"%\\in.png"}, u8"in.zeq"},
      {PNG2ZEQ_EXECUTABLE, {u8"sub\\in.png"}, u8"sub\\in.zeq"},
      {PNG2ZEQ_EXECUTABLE, {u8"-o", u8"out\\", u8"in.png"}, u8"out\\in.zeq"},
      {PNG2ZEQ_EXECUTABLE, {u8"/O", u8"%\\out\\", u8"/DEPTH", u8"565", u8"in.png"}, u8"out\\in.zeq"},
      {PNG2ZEQ_EXECUTABLE, {u8"/u", u8"/o", u8"out\\x.bin", u8"%/sub\\in.png"}, u8"out\\x.bin"},
      {PNG2ZEQ_EXECUTABLE, {u8"-o", u8"@:", u8"in.png"}, u8"in.zeq"},  // the drive's current directory
      {PNG2ZEQ_EXECUTABLE, {u8"größe.png"}, u8"größe.zeq"},
      {PNG2ZEQ_EXECUTABLE, {u8"/o", u8"出力\\", u8"日本語.png"}, u8"出力\\日本語.zeq"},
      {ZEQ2PNG_EXECUTABLE, {u8"日本語.zeq"}, u8"日本語.preview.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.output));
    TempDir dir;
    for (const char8_t* folder : {u8"sub", u8"out", u8"出力"}) fs::create_directory(Under(dir, folder));
    WritePngInto(dir, "in.png", PngRecipe{});
    for (const char8_t* copy : {u8"sub/in.png", u8"größe.png", u8"日本語.png"}) {
      fs::copy_file(dir.File("in.png"), Under(dir, copy));
    }
    ASSERT_EQ(RunConverterProcess({"-o", Utf8(u8"日本語.zeq"), "in.png"}, dir.path()).exitStatus, 0);
    std::vector<std::string> arguments = {"-v"};
    for (const char8_t* argument : c.arguments) {
      const std::string text = Utf8(argument);
      arguments.push_back(text[0] == '%' ? dir.path() + text.substr(1)
                                         : text[0] == '@' ? dir.path().substr(0, 1) + text.substr(1) : text);
    }
    const ProcessResult run = RunProcess(c.program, arguments, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.output.find(Utf8(c.output) + "\""), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_regular_file(Under(dir, c.output)));
  }
}

TEST(Windows, OutputsAreReplacedOrRefusedOrWrittenDirectly) {
  const struct {
    const char* name;
    const char* output;
    std::function<void(const TempDir&)> prepare;
    bool hold;  // another run has out.zeq open, as a run holds the file it replaces
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

// A child of this executable holds an output half written (see main) on a
// console of its own, which console events go to, until it is interrupted;
// the previous file stays and no temporary remains.
TEST(Windows, InterruptedRunLeavesNoTemporary) {
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
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE pipe = nullptr;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    ASSERT_TRUE(CreatePipe(&pipe, &startup.hStdOutput, &inherited, 0));
    SetHandleInformation(pipe, HANDLE_FLAG_INHERIT, 0);
    std::string command = "\"" + std::string(self) + "\" --hold-output \"" + dir.File("out.zeq") + "\"";
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                               nullptr, &startup, &child));
    CloseHandle(startup.hStdOutput);
    char ready[6] = {};
    DWORD got = 0;
    ::ReadFile(pipe, ready, 5, &got, nullptr);
    CloseHandle(pipe);
    EXPECT_STREQ(ready, "ready");
    FreeConsole();  // joins the child's console for the event, ignoring it itself
    AttachConsole(child.dwProcessId);
    SetConsoleCtrlHandler(nullptr, TRUE);
    c.interrupt(child);
    // Ended after 30 s at the latest, so that nothing outlives the test.
    if (WaitForSingleObject(child.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(child.hProcess, kTimedOut);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    FreeConsole();
    EXPECT_NE(code, kTimedOut) << "the child outlived its interruption";
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
