#pragma once
// The ZEQ file format as the tools use it: a header of little-endian fields
// followed by the pixel block, raw or as one zlib stream. The converter's
// writer and the inspection tool's reader take their format knowledge from
// here and from the loader's header it includes.

#include <zeq_loader.h>

#include <cstddef>
#include <cstdint>

// A format fact as the text zeq_format.h writes it with (the magic as eight
// hexadecimal digits, say), for messages that quote it.
#define PNG2ZEQ_FACT_TEXT(fact) ZEQ_FACT_TEXT(fact)

namespace png2zeq {

// A sentence ending in a list: the text before its NUL ends in the separator
// ", ", which becomes the sentence's full stop.
template <size_t N>
struct ListSentence {
  char chars[N - 1];
};

// `text` (ending in ", ") with that separator replaced by ".".
template <size_t N>
constexpr ListSentence<N> EndListSentence(const char (&text)[N]) {
  ListSentence<N> sentence{};
  for (size_t i = 0; i + 3 < N; ++i) sentence.chars[i] = text[i];
  sentence.chars[N - 3] = '.';
  sentence.chars[N - 2] = '\0';
  return sentence;
}

// Whether the NUL-terminated texts `a` and `b` are equal.
constexpr bool SameText(const char* a, const char* b) {
  for (; *a != '\0' && *a == *b; ++a, ++b) {
  }
  return *a == *b;
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
static_assert(SameText(MagicBytes().chars, ZEQ_MAGIC_BYTES_TEXT),
              "ZEQ_MAGIC_BYTES_TEXT must spell ZEQ_MAGIC's bytes in file order");

// The format's facts are zeq_format.h's (through the loader's header); this
// header gives them the shapes the tools use.

// A format a ZEQ file may carry: its code, its name in messages and its
// channels' bits (0 for a channel it lacks), as zeq_format.h lists them.
struct ZeqFormatInfo {
  uint32_t code;
  const char* name;
  uint8_t grey, red, green, blue, alpha;
};

#define PNG2ZEQ_FORMAT_ROW(name, grey, red, green, blue, alpha) \
  {ZEQ_FORMAT_##name, #name, grey, red, green, blue, alpha},
// Every format a ZEQ file may carry, in zeq_format.h's order.
inline constexpr ZeqFormatInfo kZeqFormats[] = {ZEQ_PIXEL_FORMATS(PNG2ZEQ_FORMAT_ROW)};
#undef PNG2ZEQ_FORMAT_ROW

// Looks up a format code; returns nullptr for a code no ZEQ file carries.
inline const ZeqFormatInfo* FindZeqFormat(uint32_t code) {
  for (const ZeqFormatInfo& info : kZeqFormats) {
    if (info.code == code) return &info;
  }
  return nullptr;
}

// The header's fields, named as zeq_format.h names them, in file order.
struct OutputHeader {
#define PNG2ZEQ_HEADER_MEMBER(offset, name) uint32_t name;
  ZEQ_HEADER_FIELDS(PNG2ZEQ_HEADER_MEMBER)
#undef PNG2ZEQ_HEADER_MEMBER
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

// Serialises the header into the ZEQ_HEADER_SIZE bytes it occupies on disk.
inline void EncodeZeqHeader(const OutputHeader& header, uint8_t out[ZEQ_HEADER_SIZE]) {
#define PNG2ZEQ_STORE_FIELD(offset, name) \
  StoreLittleEndian32(out + ZEQ_OFFSET_##offset, header.name);
  ZEQ_HEADER_FIELDS(PNG2ZEQ_STORE_FIELD)
#undef PNG2ZEQ_STORE_FIELD
}

// Reads the header's bytes back; checks nothing.
inline OutputHeader DecodeZeqHeader(const uint8_t in[ZEQ_HEADER_SIZE]) {
  OutputHeader header{};
#define PNG2ZEQ_LOAD_FIELD(offset, name) \
  header.name = LoadLittleEndian32(in + ZEQ_OFFSET_##offset);
  ZEQ_HEADER_FIELDS(PNG2ZEQ_LOAD_FIELD)
#undef PNG2ZEQ_LOAD_FIELD
  return header;
}

}  // namespace png2zeq
