#pragma once
// The PNG chunks that change how a viewer shows an image but that the
// converter ignores (tRNS, gAMA, cHRM, sRGB, iCCP): -compare names them in a
// note, so that an "Identical" verdict is not read as "looks the same as in
// a browser".

#include <cstdint>
#include <cstdio>

namespace zeq2png {

struct IgnoredChunks {
  bool transparency = false;  // a tRNS chunk
  uint8_t colourType = 0;     // IHDR's colour type, to say what tRNS would have done
  // The colour-correction chunks found: gAMA, cHRM, sRGB, iCCP, in this order.
  bool colour[4] = {};
};

// Reads the chunks of the PNG file `png` before its first IDAT, from its
// start; stops quietly at anything that is not a well-formed chunk header.
IgnoredChunks FindIgnoredChunks(std::FILE* png);

// Prints one "Note: ..." line per kind of ignored chunk that the PNG file
// at `path` has (none when it has none or cannot be read).
void PrintIgnoredChunkNotes(const char* path);

}  // namespace zeq2png
