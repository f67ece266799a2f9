#pragma once
// The command-line conventions both tools follow: an option starts with '-'
// or '/', its name matches without regard to case, and the input path is the
// last argument. Each tool keeps its own table of rows with a `name` field.

#include <cstddef>

namespace png2zeq {

// Compares two NUL-terminated strings ignoring the case of ASCII letters
// only, byte by byte and independent of the C locale.
constexpr bool EqualsIgnoringCase(const char* a, const char* b) {
  const auto lower = [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (;; ++a, ++b) {
    if (lower(*a) != lower(*b)) return false;
    if (*a == '\0') return true;
  }
}

// Whether `argument` starts with an option prefix, '-' or '/'.
constexpr bool HasOptionPrefix(const char* argument) {
  return argument[0] == '-' || argument[0] == '/';
}

// The row of `options` spelled `name` (the argument after its prefix), or
// nullptr when no row matches.
template <typename Row, size_t N>
const Row* FindOption(const Row (&options)[N], const char* name) {
  for (const Row& option : options) {
    if (EqualsIgnoringCase(name, option.name)) return &option;
  }
  return nullptr;
}

// Whether the argument is read as an option. The last argument is an
// absolute path rather than an option when it starts with '/' but does not
// spell a known option after it, so "/home/me/logo.png" is an input while
// "/v" stays an option.
template <typename Row, size_t N>
bool IsOptionArgument(const Row (&options)[N], const char* argument, bool isLast) {
  if (argument[0] == '-') return true;
  if (argument[0] != '/') return false;
  return !isLast || FindOption(options, argument + 1) != nullptr;
}

}  // namespace png2zeq
