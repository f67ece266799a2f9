#include "pixels/depth_text.h"

namespace png2zeq {
namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Value of a hexadecimal digit, or -1.
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

uint32_t ParseDepthText(const char* text) {
  if (text == nullptr) return 0;
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && HexDigitValue(text[2]) >= 0) {
    text += 2;
  }

  uint64_t value = 0;
  bool overflow = false;
  for (int digit; (digit = HexDigitValue(*text)) >= 0; ++text) {
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > UINT32_MAX) {
      overflow = true;
      value = UINT32_MAX;  // keep scanning without growing further
    }
  }
  if (overflow) return UINT32_MAX;
  const auto result = static_cast<uint32_t>(value);
  return negative ? static_cast<uint32_t>(0u - result) : result;
}

}  // namespace png2zeq
