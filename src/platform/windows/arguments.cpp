// The command line on Windows: taken as UTF-16 from the system and handed
// to the tools as UTF-8, whatever the console's or the system's code page.

#include <windows.h>
// After windows.h, which it builds on.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/platform.h"

namespace png2zeq {
namespace {

// The UTF-8 copy of the wide arguments `wide[0..count)`, as one block from
// the process heap holding the pointer array (with its closing nullptr) and
// the texts; nullptr when it cannot be made.
char** ConvertArguments(wchar_t** wide, int count) {
  size_t textBytes = 0;
  for (int i = 0; i < count; ++i) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return nullptr;
    textBytes += static_cast<size_t>(bytes);
  }
  const size_t pointerBytes = sizeof(char*) * (static_cast<size_t>(count) + 1);
  auto** arguments = static_cast<char**>(HeapAlloc(GetProcessHeap(), 0, pointerBytes + textBytes));
  if (arguments == nullptr) return nullptr;
  char* text = reinterpret_cast<char*>(arguments) + pointerBytes;
  for (int i = 0; i < count; ++i) {
    arguments[i] = text;
    text += WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text, static_cast<int>(textBytes), nullptr,
                                nullptr);
  }
  arguments[count] = nullptr;
  return arguments;
}

}  // namespace

int RunWithUtf8Arguments(int argc, char** argv, int (*run)(int, char**)) {
  // The texts go out as the same bytes as elsewhere, "\n" ending each line;
  // a console shows the UTF-8 paths in them as they are.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  DWORD consoleMode = 0;
  const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &consoleMode) != 0;
  const UINT previousCodePage = GetConsoleOutputCP();
  if (console) SetConsoleOutputCP(CP_UTF8);

  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  char** arguments = wide != nullptr ? ConvertArguments(wide, count) : nullptr;
  if (wide != nullptr) LocalFree(wide);
  const int result = arguments != nullptr ? run(count, arguments) : run(argc, argv);
  if (arguments != nullptr) HeapFree(GetProcessHeap(), 0, arguments);

  std::fflush(stdout);
  if (console) SetConsoleOutputCP(previousCodePage);
  return result;
}

}  // namespace png2zeq
