#include "zeq2png/ignored_chunks.h"

#include <png.h>

#include <cstring>
#include <iterator>

namespace zeq2png {
namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr const char* kColourChunks[] = {"gAMA", "cHRM", "sRGB", "iCCP"};
constexpr long kColourTypeInIhdr = 9;  // byte of IHDR's data

uint32_t BigEndian32(const unsigned char* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// Enters the chunk type `type` in `found` if the converter ignores it.
void Note(const unsigned char* type, IgnoredChunks* found) {
  if (std::memcmp(type, "tRNS", 4) == 0) found->transparency = true;
  for (size_t i = 0; i < std::size(kColourChunks); ++i) {
    if (std::memcmp(type, kColourChunks[i], 4) == 0) found->colour[i] = true;
  }
}

}  // namespace

IgnoredChunks FindIgnoredChunks(std::FILE* png) {
  IgnoredChunks found;
  unsigned char bytes[8];
  if (std::fread(bytes, 1, 8, png) != 8 || std::memcmp(bytes, kSignature, 8) != 0) return found;
  while (std::fread(bytes, 1, 8, png) == 8 && std::memcmp(bytes + 4, "IDAT", 4) != 0) {
    const long length = static_cast<long>(BigEndian32(bytes));
    long skip = length + 4;  // the data and the CRC
    if (std::memcmp(bytes + 4, "IHDR", 4) == 0 && length > kColourTypeInIhdr) {
      unsigned char ihdr[kColourTypeInIhdr + 1];
      if (std::fread(ihdr, 1, sizeof ihdr, png) != sizeof ihdr) break;
      found.colourType = ihdr[kColourTypeInIhdr];
      skip -= static_cast<long>(sizeof ihdr);
    }
    Note(bytes + 4, &found);
    if (length < 0 || std::fseek(png, skip, SEEK_CUR) != 0) break;
  }
  return found;
}

void PrintIgnoredChunkNotes(const char* path) {
  std::FILE* png = std::fopen(path, "rb");
  if (png == nullptr) return;
  const IgnoredChunks found = FindIgnoredChunks(png);
  std::fclose(png);
  if (found.transparency) {
    std::printf("Note: this PNG has a tRNS chunk, which the converter ignores: %s\n",
                found.colourType == PNG_COLOR_TYPE_PALETTE
                    ? "transparent pixels of this palette image become opaque."
                    : "pixels of its transparent colour stay opaque.");
  }
  // "a gAMA chunk", "gAMA and sRGB chunks", "gAMA, cHRM and sRGB chunks".
  const char* names[std::size(kColourChunks)];
  size_t count = 0;
  for (size_t i = 0; i < std::size(kColourChunks); ++i) {
    if (found.colour[i]) names[count++] = kColourChunks[i];
  }
  if (count == 0) return;
  std::printf("Note: this PNG has %s", count == 1 ? "a " : "");
  for (size_t i = 0; i < count; ++i) {
    std::printf("%s%s", i == 0 ? "" : i + 1 == count ? " and " : ", ", names[i]);
  }
  std::printf(" chunk%s, which the converter ignores: the device shows the stored samples, "
              "with no gamma or colour correction.\n", count > 1 ? "s" : "");
}

}  // namespace zeq2png
