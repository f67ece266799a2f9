#pragma once
// Byte-wise helpers for option names, independent of the C locale.

namespace png2zeq {

// Compares two NUL-terminated strings ignoring the case of ASCII letters only.
bool EqualsIgnoringCase(const char* a, const char* b);

}  // namespace png2zeq
