// RunProcess on Windows: CreateProcessW with both output pipes drained.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "support/subprocess.h"

namespace png2zeq::testing {
namespace {

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(),
                                                      static_cast<int>(wide.size()))) - 1);
  return wide;
}

// `argument` quoted so that CommandLineToArgvW gives it back unchanged.
std::string Quote(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  return quoted.append(2 * backslashes, '\\') + "\"";
}

void Drain(HANDLE pipe, std::string* sink) {
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) sink->append(buffer, got);
  CloseHandle(pipe);
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE outRead, outWrite, errRead, errWrite;
  if (!CreatePipe(&outRead, &outWrite, &inherited, 0) || !CreatePipe(&errRead, &errWrite, &inherited, 0)) {
    return result;
  }
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                           OPEN_EXISTING, 0, nullptr);
  std::string commandLine = Quote(program);
  for (const std::string& argument : arguments) commandLine += " " + Quote(argument);
  std::wstring wideCommand = Widen(commandLine);
  const std::wstring wideDirectory = Widen(workingDirectory);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(Widen(program).c_str(), wideCommand.data(), nullptr, nullptr,
                                      TRUE, 0, nullptr,
                                      workingDirectory.empty() ? nullptr : wideDirectory.c_str(),
                                      &startup, &process);
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  CloseHandle(nul);
  std::thread errors(Drain, errRead, &result.errors);
  Drain(outRead, &result.output);
  errors.join();
  if (!started) return result;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (GetExitCodeProcess(process.hProcess, &code)) result.exitStatus = static_cast<int>(code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return result;
}

ProcessResult RunConverterProcess(const std::vector<std::string>& arguments,
                                  const std::string& workingDirectory) {
  return RunProcess(PNG2ZEQ_EXECUTABLE, arguments, workingDirectory);
}

}  // namespace png2zeq::testing
