#include <cstring>
#include "common/zeq_format.h"

#include <gtest/gtest.h>

#include "job/error_code.h"

namespace png2zeq {
namespace {

TEST(ZeqHeader, EncodesEveryFieldLittleEndian) {
  const OutputHeader header{ZEQ_MAGIC, ZEQ_FORMAT_RGB565, 0x0400, 0x0300, 0x01020304, 0xA0B0C0D0};
  uint8_t bytes[ZEQ_HEADER_SIZE];
  EncodeZeqHeader(header, bytes);
  const uint8_t expected[ZEQ_HEADER_SIZE] = {0x5E, 0x0B, 0x5E, 0x0B, 0x65, 0x05, 0, 0,
                                            0x00, 0x04, 0,    0,    0x00, 0x03, 0, 0,
                                            0x04, 0x03, 0x02, 0x01, 0xD0, 0xC0, 0xB0, 0xA0};
  EXPECT_EQ(0, memcmp(bytes, expected, sizeof expected));
  const OutputHeader decoded = DecodeZeqHeader(bytes);
  EXPECT_EQ(0, memcmp(&decoded, &header, sizeof header));
}

TEST(ZeqHeader, KnowsBytesPerPixelOfEveryFormat) {
  const struct {
    uint32_t code;
    uint32_t bytes;
  } cases[] = {{0x0008, 1}, {0x8008, 2}, {0x0888, 3}, {0x8888, 4}, {0x0565, 2}, {0x8565, 3}};
  for (const auto& c : cases) {
    ASSERT_NE(FindZeqFormat(c.code), nullptr) << std::hex << c.code;
    EXPECT_EQ(zeq_bytes_per_pixel(c.code), c.bytes) << std::hex << c.code;
  }
  EXPECT_EQ(FindZeqFormat(0x0888 + 1), nullptr);
  EXPECT_EQ(FindZeqFormat(0), nullptr);
  EXPECT_EQ(zeq_bytes_per_pixel(0x0888 + 1), 0u);
  EXPECT_EQ(zeq_bytes_per_pixel(0), 0u);
}

TEST(ErrorCodes, NamesFollowTheirNumbers) {
  EXPECT_STREQ(ErrorCodeName(ErrorCode::OK), "OK");
  EXPECT_STREQ(ErrorCodeName(ErrorCode::PNGUnknownColourType), "PNGUnknownColourType");
  EXPECT_STREQ(ErrorCodeName(ErrorCode::UnknownDitherMethod), "UnknownDitherMethod");
  EXPECT_STREQ(ErrorCodeName(static_cast<ErrorCode>(15)), "Unknown");
}

}  // namespace
}  // namespace png2zeq
