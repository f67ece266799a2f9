#pragma once
// The strongest standard zlib stream libdeflate can make, for -best. The
// stream keeps the zlib wrapper, the 32 KiB window and the Adler-32 that
// every loader of our files expects; only its length differs.

#include <cstdint>

#include "job/error_code.h"

namespace png2zeq {

// Compresses the `length` bytes at `data` into one zlib stream at
// libdeflate's strongest level and keeps it only when it is shorter than
// `limit` bytes (the length of the stream it would replace). Returns OK with
// `*stream` a block from AllocateBlock holding `*streamLength` bytes, OK with
// `*stream` nullptr when the strong stream is not shorter (libdeflate then
// reports that it does not fit), or OutOfMemory when the compressor or its
// output block cannot be allocated. Every block it took but does not hand
// over is freed.
ErrorCode CompressStrongly(const uint8_t* data, uint32_t length, uint32_t limit,
                           uint8_t** stream, uint32_t* streamLength);

}  // namespace png2zeq
