#pragma once
// Paths for the wide (UTF-16) file functions of Windows. Not for use outside
// src/platform/windows.

#include <cstddef>

namespace png2zeq::windows {

// The longest path the wide functions take, in UTF-16 units with the NUL.
inline constexpr size_t kWidePathSize = 32768;
using WidePath = wchar_t[kWidePathSize];

// Converts UTF-8 `text` to UTF-16 in `out` of `size` units. False when it is
// not valid UTF-8 or does not fit.
bool Utf8ToWide(const char* text, wchar_t* out, size_t size);

// The path the file functions are given for the UTF-8 `path`: as written,
// unless its full form reaches MAX_PATH characters, which it then becomes
// with the \\?\ prefix that lifts the limit. Device names (NUL, CON, COM1,
// \\.\...) stay as written. False when it cannot be converted.
bool ToSystemPath(const char* path, WidePath& out);

// True when `path` names a device (NUL, CON, COM1, \\.\...), as the system
// reads it.
bool IsDevicePath(const wchar_t* path);

// Gives the full path `path` the \\?\ prefix (\\?\UNC\ for a network path)
// when it reaches MAX_PATH characters and has none. False when it does not
// fit.
bool PrefixLongPath(WidePath& path);

}  // namespace png2zeq::windows
