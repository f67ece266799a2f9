#pragma once
// The -info lines for loader authors: the window a file's stream needs and
// the RAM the device loader needs to decode it, whole or row by row.

#include <cstdint>

#include "zeq2png/zeq_reader.h"

namespace zeq2png {

// Prints the window size (from the zlib header's CINFO field, or none for
// pixels stored raw), the RAM to decode into a whole framebuffer (the pixels
// and the loader's workspace for a whole decode, which needs no window) and
// the RAM to decode row by row (the loader's stream workspace, window
// included, and one row). The workspace figures are the loader's own for
// this host's word size, which the lines name; a third line gives both
// figures for the loader's other inflater (zlib's, or its own when built
// with ZEQ_USE_ZLIB), from the bounds of its header. `image` must have passed ParseZeq and `data` hold its
// file, so a compressed block has its zlib header.
void PrintDecodeMemory(const ZeqImage& image, const uint8_t* data);

}  // namespace zeq2png
