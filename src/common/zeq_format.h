#pragma once
// The ZEQ file format as the tools use it: a header of little-endian fields
// followed by the pixel block, raw or as one zlib stream. The converter's
// writer and the inspection tool's reader take their format knowledge from
// here and from the loader's header it includes.

#include <zeq_loader.h>

#include <cstddef>
#include <cstdint>

// A format fact as the text zeq_loader.h writes it with (the magic as eight
// hexadecimal digits, say), for messages that quote it.
#define PNG2ZEQ_FACT_TEXT(fact) PNG2ZEQ_FACT_TEXT_OF(fact)
#define PNG2ZEQ_FACT_TEXT_OF(text) #text

namespace png2zeq {

// A text joined at compile time from string literals and other texts, for
// messages that quote a format fact not written as a literal.
template <size_t... N>
struct JoinedText {
  char chars[(N + ...) - sizeof...(N) + 1];
};

// `parts` (each NUL-terminated) one after the other, as one text.
template <size_t... N>
constexpr JoinedText<N...> JoinTexts(const char (&... parts)[N]) {
  JoinedText<N...> joined{};
  size_t at = 0;
  const auto append = [&](const char* part, size_t size) {
    for (size_t i = 0; i + 1 < size; ++i) joined.chars[at++] = part[i];
  };
  (append(parts, N), ...);
  joined.chars[at] = '\0';
  return joined;
}

// The magic's four bytes as they stand on disk, in hexadecimal with a space
// between them ("5E 0B 5E 0B").
struct MagicBytesText {
  char chars[4 * 3];
};

constexpr MagicBytesText MagicBytes() {
  constexpr char kDigits[] = "0123456789ABCDEF";
  MagicBytesText text{};
  for (size_t index = 0; index < 4; ++index) {
    const uint32_t byte = (uint32_t{ZEQ_MAGIC} >> (8 * index)) & 0xFFu;
    text.chars[3 * index] = kDigits[byte >> 4];
    text.chars[3 * index + 1] = kDigits[byte & 0xF];
    text.chars[3 * index + 2] = index < 3 ? ' ' : '\0';
  }
  return text;
}
inline constexpr MagicBytesText kMagicBytes = MagicBytes();

// The format's facts (magic, header size, limits, format codes, bytes per
// pixel) are the device loader's header's own macros and functions
// (zeq_loader.h); this header adds what the tools alone need.

struct ZeqFormatInfo {
  uint32_t code;
  const char* name;
};

// Every format a ZEQ file may carry, with its name in messages.
inline constexpr ZeqFormatInfo kZeqFormats[] = {
    {ZEQ_FORMAT_GREY8, "GREY8"},       {ZEQ_FORMAT_GREYA88, "GREYA88"},
    {ZEQ_FORMAT_RGB888, "RGB888"},     {ZEQ_FORMAT_RGBA8888, "RGBA8888"},
    {ZEQ_FORMAT_RGB565, "RGB565"},     {ZEQ_FORMAT_RGBA5658, "RGBA5658"},
};

// Looks up a format code; returns nullptr for a code no ZEQ file carries.
inline const ZeqFormatInfo* FindZeqFormat(uint32_t code) {
  for (const ZeqFormatInfo& info : kZeqFormats) {
    if (info.code == code) return &info;
  }
  return nullptr;
}

struct OutputHeader {
  uint32_t magic;
  uint32_t pixelFormat;
  uint32_t width;
  uint32_t height;
  uint32_t rawLength;
  uint32_t compressedLength;
};

// Stores `value` little-endian at `out`, whatever the host's byte order.
inline void StoreLittleEndian32(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
  out[2] = static_cast<uint8_t>(value >> 16);
  out[3] = static_cast<uint8_t>(value >> 24);
}

inline uint32_t LoadLittleEndian32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
         static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

// Serialises the header into the 24 bytes it occupies on disk.
inline void EncodeZeqHeader(const OutputHeader& header, uint8_t out[ZEQ_HEADER_SIZE]) {
  StoreLittleEndian32(out + 0, header.magic);
  StoreLittleEndian32(out + 4, header.pixelFormat);
  StoreLittleEndian32(out + 8, header.width);
  StoreLittleEndian32(out + 12, header.height);
  StoreLittleEndian32(out + 16, header.rawLength);
  StoreLittleEndian32(out + 20, header.compressedLength);
}

// Reads the 24 header bytes back; checks nothing.
inline OutputHeader DecodeZeqHeader(const uint8_t in[ZEQ_HEADER_SIZE]) {
  return OutputHeader{LoadLittleEndian32(in + 0),  LoadLittleEndian32(in + 4),
                      LoadLittleEndian32(in + 8),  LoadLittleEndian32(in + 12),
                      LoadLittleEndian32(in + 16), LoadLittleEndian32(in + 20)};
}

}  // namespace png2zeq
