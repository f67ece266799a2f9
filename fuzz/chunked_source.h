// A file in memory handed out in pieces of pseudo-random length, so that the
// loader's streams meet every way a read callback may split a file. Shared
// by the loader's fuzz targets.
#ifndef PNG2ZEQ_FUZZ_CHUNKED_SOURCE_H
#define PNG2ZEQ_FUZZ_CHUNKED_SOURCE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace fuzz {

// The next value of a small generator seeded from the input.
inline uint32_t Next(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

struct Source {
  const uint8_t* data;
  size_t size;
  size_t at;
  uint32_t state;
  uint32_t largest;  // the largest piece a read hands out
};

// A zeq_read_fn over a Source: up to `length` bytes, in a piece of 1 to
// `largest` bytes; 0 at the end.
inline size_t ReadPiece(void* context, uint8_t* buffer, size_t length) {
  Source& source = *static_cast<Source*>(context);
  const size_t piece =
      std::min({length, size_t{Next(&source.state) % source.largest + 1}, source.size - source.at});
  std::copy_n(source.data + source.at, piece, buffer);
  source.at += piece;
  return piece;
}

}  // namespace fuzz

#endif  // PNG2ZEQ_FUZZ_CHUNKED_SOURCE_H
