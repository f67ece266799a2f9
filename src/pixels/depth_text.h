#pragma once

#include <cstdint>

namespace png2zeq {

// Reads the -depth text as a 32-bit unsigned hexadecimal number, the way a
// C library with a 32-bit unsigned long reads it with base 16: leading
// blanks, an optional sign and "0x" are skipped; reading stops at the first
// non-digit; no digits give 0; a value above 0xFFFFFFFF gives 0xFFFFFFFF;
// a leading '-' negates modulo 2^32. nullptr gives 0.
uint32_t ParseDepthText(const char* text);

}  // namespace png2zeq
