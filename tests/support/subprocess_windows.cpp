// RunProcess on Windows: CreateProcessW, both output pipes drained at once.
#include <windows.h>

#include <thread>

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
    if (c == '"') quoted.append(backslashes + 1, '\\');  // n backslashes before a quote: 2n + 1
    backslashes = c == '\\' ? backslashes + 1 : 0;
    quoted += c;
  }
  return quoted.append(backslashes, '\\') + "\"";
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
  HANDLE outRead, errRead;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  if (!CreatePipe(&outRead, &startup.hStdOutput, &inherited, 0) ||
      !CreatePipe(&errRead, &startup.hStdError, &inherited, 0)) {
    return result;
  }
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  startup.hStdInput =
      CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
  std::string commandLine = Quote(program);
  for (const std::string& argument : arguments) commandLine.append(1, ' ').append(Quote(argument));
  std::wstring wideCommand = Widen(commandLine);
  const std::wstring directory = Widen(workingDirectory);
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(Widen(program).c_str(), wideCommand.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, directory.empty() ? nullptr : directory.c_str(), &startup, &process);
  for (HANDLE childEnd : {startup.hStdOutput, startup.hStdError, startup.hStdInput}) CloseHandle(childEnd);
  std::thread errors(Drain, errRead, &result.errors);
  Drain(outRead, &result.output);
  errors.join();
  DWORD code = 0;
  if (started && WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process.hProcess, &code)) {
    result.exitStatus = static_cast<int>(code);
  }
  if (started) {
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  return result;
}

ProcessResult RunConverterProcess(const std::vector<std::string>& arguments,
                                  const std::string& workingDirectory) {
  return RunProcess(PNG2ZEQ_EXECUTABLE, arguments, workingDirectory);
}

}  // namespace png2zeq::testing
