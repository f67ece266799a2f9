#include "png/png_decoder.h"

#include <png.h>
#include <zeq_loader.h>

#include <cstdio>
#include <cstring>

#include "common/heap.h"
#include "platform/platform.h"

namespace png2zeq {
namespace {

struct ColourTypeName {
  uint8_t colourType;
  const char* name;
};

// The four layouts the decoder delivers, as named in the verbose report.
constexpr ColourTypeName kColourNames[] = {
    {PNG_COLOR_TYPE_GRAY, "GRAY"},
    {PNG_COLOR_TYPE_RGB, "RGB"},
    {PNG_COLOR_TYPE_GRAY_ALPHA, "GRAYA"},
    {PNG_COLOR_TYPE_RGB_ALPHA, "RGBA"},
};

// tRNS is among the chunks libpng would otherwise interpret; listing it
// keeps transparency from adding an alpha channel or changing a value.
constexpr png_byte kTransparencyChunk[5] = {'t', 'R', 'N', 'S', '\0'};

void IgnorePngWarning(png_structp, png_const_charp) {}

// libpng's error handler: prints "PNGError: <message>" and jumps back into
// DecodePng; never returns.
[[noreturn]] void ReportPngError(png_structp png, png_const_charp message) {
  std::printf("PNGError: %s\n", message != nullptr ? message : "");
  png_longjmp(png, 1);
}

// Sets up libpng to accept exactly the files the converter admits: at most
// 1024 x 768, no tolerated irregularities, no ancillary chunk interpreted,
// out-of-palette indices allowed (they decode black), no chunk size limit.
void ConfigureDecoder(png_structp png) {
  png_set_user_limits(png, ZEQ_MAX_WIDTH, ZEQ_MAX_HEIGHT);
  png_set_benign_errors(png, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kTransparencyChunk, 1);
  png_set_check_for_invalid_index(png, 0);
  png_set_chunk_malloc_max(png, 0);
}

// Copies the decoded rows into one new block for the image.
PngDecodeResult StoreDecodedRows(PngImage* image, png_structp png, png_infop info) {
  png_bytepp rows = png_get_rows(png, info);
  const uint32_t bytesPerRow = static_cast<uint32_t>(png_get_rowbytes(png, info));
  image->length = image->height * bytesPerRow;  // at most 768 * 4096: no overflow
  auto* block = static_cast<uint8_t*>(AllocateBlock(image->length));
  if (block == nullptr) return PngDecodeResult::OutOfMemory;
  for (uint32_t row = 0; row < image->height; ++row) {
    std::memcpy(block + static_cast<size_t>(row) * bytesPerRow, rows[row], bytesPerRow);
  }
  image->samples = block;
  return PngDecodeResult::OK;
}

// Configures libpng, decodes the whole file and copies its rows. Any decode
// failure leaves through ReportPngError's jump, before the image has been
// touched.
PngDecodeResult DecodeIntoImage(PngImage* image, bool report, png_structp png, png_infop info,
                                FILE* file) {
  png_init_io(png, file);
  ConfigureDecoder(png);
  png_read_png(png, info, PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_STRIP_16, nullptr);

  image->width = png_get_image_width(png, info);
  image->height = png_get_image_height(png, info);
  image->colourType = png_get_color_type(png, info);
  if (image->width == 0 || image->height == 0) return PngDecodeResult::SizeZero;
  if (report) {
    std::printf("PNG\n Width  = %u\n Height = %u\n Colour = %s\n", image->width, image->height,
                PngColourName(image->colourType));
  }
  return StoreDecodedRows(image, png, info);
}

}  // namespace

const char* PngColourName(uint8_t colourType) {
  for (const ColourTypeName& entry : kColourNames) {
    if (entry.colourType == colourType) return entry.name;
  }
  return "";
}

PngDecodeResult DecodePng(const char* path, bool report, PngImage* image) {
  // Everything the clean-up needs after a jump out of libpng is volatile,
  // and nothing with a destructor lives between setjmp and the end of the
  // decode.
  FILE* volatile file = OpenInputFile(path);
  if (file == nullptr) return PngDecodeResult::OpenFailed;
  png_structp volatile png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ReportPngError, IgnorePngWarning);
  png_infop volatile info = nullptr;
  if (png != nullptr) info = png_create_info_struct(png);
  volatile PngDecodeResult result = PngDecodeResult::DecodeError;

  if (png != nullptr && info != nullptr) {
    if (setjmp(png_jmpbuf(png)) != 0) {
      std::printf("PNG failed\n");
      result = PngDecodeResult::DecodeError;
    } else {
      result = DecodeIntoImage(image, report, png, info, file);
    }
  }

  std::fclose(file);
  if (png != nullptr) {
    png_structp readStruct = png;
    png_infop infoStruct = info;
    png_destroy_read_struct(&readStruct, infoStruct != nullptr ? &infoStruct : nullptr, nullptr);
  }
  return result;
}

}  // namespace png2zeq
