// UTF-8 paths made into what the wide file functions of Windows take.

#include "platform/windows/wide_path.h"

#include <windows.h>

#include <cwchar>

namespace png2zeq::windows {
namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";     // \\?\ : no length limit, no rewriting
constexpr wchar_t kDevicePrefix[] = L"\\\\.\\";   // \\.\ : a device
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC";  // \\?\UNC\server\share

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
  return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

// Scratch space for full paths; one conversion at a time.
WidePath gFullPath;

}  // namespace

bool Utf8ToWide(const char* text, wchar_t* out, size_t size) {
  const int written = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out,
                                          static_cast<int>(size));
  return written > 0;
}

bool PrefixLongPath(WidePath& path) {
  const size_t length = std::wcslen(path);
  if (length < MAX_PATH || StartsWith(path, kLongPrefix) || StartsWith(path, kDevicePrefix)) {
    return true;
  }
  // "\\server\share\..." keeps one of its leading backslashes after "UNC".
  const bool unc = path[0] == L'\\' && path[1] == L'\\';
  const wchar_t* prefix = unc ? kLongUncPrefix : kLongPrefix;
  const size_t skipped = unc ? 1 : 0;
  const size_t prefixLength = std::wcslen(prefix);
  if (prefixLength + length - skipped >= kWidePathSize) return false;
  std::wmemmove(path + prefixLength, path + skipped, length - skipped + 1);
  std::wmemcpy(path, prefix, prefixLength);
  return true;
}

bool IsDevicePath(const wchar_t* path) {
  if (StartsWith(path, kDevicePrefix)) return true;
  const DWORD length = GetFullPathNameW(path, kWidePathSize, gFullPath, nullptr);
  return length > 0 && length < kWidePathSize && StartsWith(gFullPath, kDevicePrefix);
}

bool ToSystemPath(const char* path, WidePath& out) {
  if (!Utf8ToWide(path, out, kWidePathSize) || out[0] == L'\0') return false;
  if (StartsWith(out, kLongPrefix) || StartsWith(out, kDevicePrefix)) return true;
  const DWORD length = GetFullPathNameW(out, kWidePathSize, gFullPath, nullptr);
  if (length == 0 || length >= kWidePathSize) return false;
  // Short paths and devices as written: the system reads them as the user meant.
  if (length < MAX_PATH || StartsWith(gFullPath, kDevicePrefix)) return true;
  std::wmemcpy(out, gFullPath, length + 1);
  return PrefixLongPath(out);
}

}  // namespace png2zeq::windows
