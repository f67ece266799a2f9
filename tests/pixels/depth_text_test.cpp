#include "pixels/depth_text.h"

#include <gtest/gtest.h>

namespace png2zeq {
namespace {

// The -depth text is read as a 32-bit unsigned hexadecimal number whatever
// the width of the host's unsigned long.
TEST(DepthText, ReadsHexadecimalLikeA32BitLibrary) {
  const struct {
    const char* text;
    uint32_t expected;
  } cases[] = {
      {"565", 0x565},
      {"0x565", 0x565},
      {"0X565", 0x565},
      {"  565", 0x565},
      {"\t\n\v\f\r565", 0x565},
      {"+565", 0x565},
      {"-565", 0xFFFFFA9Bu},  // negated modulo 2^32
      {"-0x565", 0xFFFFFA9Bu},
      {"565abc", 0x565ABC},
      {"565 ", 0x565},
      {"565zz", 0x565},
      {"0x565g", 0x565},
      {"00000000000000000565", 0x565},  // leading zeros never overflow
      {"zz", 0},
      {"", 0},
      {"   ", 0},
      {"0", 0},
      {"-0", 0},
      {"0x", 0},   // the 0 is read, the x stops it
      {"0xg", 0},
      {"0x-565", 0},
      {"+-565", 0},
      {"- 565", 0},  // no blanks after the sign
      {"8565", 0x8565},
      {"888", 0x888},
      {"ffffffff", 0xFFFFFFFFu},
      {"FFFFFFFF", 0xFFFFFFFFu},
      {"-1", 0xFFFFFFFFu},
      {"-FFFFFFFF", 1},
      {"100000000", 0xFFFFFFFFu},   // overflow saturates
      {"100000565", 0xFFFFFFFFu},   // and does not wrap round to 565
      {"-100000000", 0xFFFFFFFFu},  // saturates before the sign applies
      {"-100000565", 0xFFFFFFFFu},
      {"fffffffffffffffffffff", 0xFFFFFFFFu},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseDepthText(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(DepthText, AbsentTextIsZero) { EXPECT_EQ(ParseDepthText(nullptr), 0u); }

}  // namespace
}  // namespace png2zeq
