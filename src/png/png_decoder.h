#pragma once
// Decoding a PNG file into 8-bit samples: the converter's first stage and
// zeq2png's -compare read their PNG files through it. It knows neither tool.

#include <cstdint>

namespace png2zeq {

// A decoded image: `height` rows of `width` pixels of 8-bit samples, back to
// back, laid out as `colourType` says (grey, grey with alpha, RGB or RGBA:
// PNG_COLOR_TYPE_GRAY, _GRAY_ALPHA, _RGB or _RGB_ALPHA).
struct PngImage {
  uint32_t width;
  uint32_t height;
  uint8_t colourType;
  // One heap block (common/heap.h) of `length` bytes, owned by the caller.
  uint8_t* samples;
  uint32_t length;
};

enum class PngDecodeResult : uint8_t { OK, OpenFailed, DecodeError, SizeZero, OutOfMemory };

// Decodes the file at `path` into `image`, admitting exactly the files the
// converter admits (at most 1024 x 768). Returns OpenFailed (no such file,
// or a directory), DecodeError (any file libpng refuses, with its message
// printed), SizeZero, OutOfMemory or OK. Fields are written only as far as
// decoding got: size and colour type once the file is decoded, `length`
// before the block is allocated, `samples` on success alone; on failure no
// block is held. With `report` set, prints the size and colour type before
// the samples are copied.
PngDecodeResult DecodePng(const char* path, bool report, PngImage* image);

// Name of a decoded colour type in the verbose report, or "" for any other.
const char* PngColourName(uint8_t colourType);

}  // namespace png2zeq
