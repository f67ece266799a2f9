#include "zeq2png/preview_png.h"

#include <png.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace zeq2png {
namespace {

// Room for a small preview in one go; larger ones double from there.
constexpr size_t kInitialPngCapacity = 4096;

// libpng's error handler: leaves through the jump set in EncodePreviewPng.
[[noreturn]] void FailPngWrite(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void IgnorePngWarning(png_structp, png_const_charp) {}

// Makes room for `more` bytes after the used ones; false when the block
// cannot grow.
bool Reserve(EncodedPng* png, size_t more) {
  if (png->block.size - png->used >= more) return true;
  size_t capacity = png->block.size != 0 ? png->block.size : kInitialPngCapacity;
  while (capacity - png->used < more) capacity *= 2;
  OwnedBlock grown;
  if (!grown.Allocate(capacity)) return false;
  if (png->used != 0) std::memcpy(grown.data, png->block.data, png->used);
  png->block.Adopt(grown.Detach(), capacity);
  return true;
}

// libpng's write callback: appends to the EncodedPng behind the io pointer.
// Nothing here has a destructor, since png_error leaves by a jump.
void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<EncodedPng*>(png_get_io_ptr(png));
  if (!Reserve(out, length)) {
    out->allocationFailed = true;
    png_error(png, "no memory for the encoded preview");
  }
  std::memcpy(out->block.data + out->used, data, length);
  out->used += length;
}

void FlushNothing(png_structp) {}

// Writes header, rows and end. Runs under EncodePreviewPng's setjmp, so it
// holds nothing with a destructor.
void WritePreviewRows(png_structp png, png_infop info, const PreviewImage& preview,
                      EncodedPng* out) {
  png_set_write_fn(png, out, AppendPngBytes, FlushNothing);
  png_set_IHDR(png, info, preview.width, preview.height, 8, preview.pngColourType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t rowBytes = size_t{preview.width} * preview.channels;
  for (uint32_t row = 0; row < preview.height; ++row) {
    png_write_row(png, preview.samples.data + row * rowBytes);
  }
  png_write_end(png, info);
}

}  // namespace

ZeqResult EncodePreviewPng(const PreviewImage& preview, EncodedPng* png) {
  png->used = 0;
  png->allocationFailed = false;
  // The structures the clean-up needs after a jump are volatile, and
  // nothing with a destructor lives between setjmp and the end of writing.
  png_structp volatile writer =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, FailPngWrite, IgnorePngWarning);
  if (writer == nullptr) return ZeqResult::OutOfMemory;
  png_infop volatile info = png_create_info_struct(writer);
  volatile ZeqResult result = ZeqResult::OutOfMemory;
  if (info != nullptr) {
    if (setjmp(png_jmpbuf(writer)) != 0) {
      result = png->allocationFailed ? ZeqResult::OutOfMemory : ZeqResult::WritePNGFailed;
    } else {
      WritePreviewRows(writer, info, preview, png);
      result = ZeqResult::OK;
    }
  }
  png_structp writeStruct = writer;
  png_infop infoStruct = info;
  png_destroy_write_struct(&writeStruct, infoStruct != nullptr ? &infoStruct : nullptr);
  return result;
}

ZeqResult WriteWholeFile(const char* path, const uint8_t* data, size_t size,
                         std::initializer_list<const char*> inputs) {
  png2zeq::AtomicOutput output;
  if (!png2zeq::OpenAtomicOutput(path, inputs, &output)) return ZeqResult::CreatePNGFailed;
  size_t written = 0;
  while (written < size) {
    const ptrdiff_t count = png2zeq::WriteAtomicOutput(&output, data + written, size - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    written += static_cast<size_t>(count);
  }
  // An incomplete preview is never renamed into place; a device such as
  // /dev/full is left alone.
  if (written == size && png2zeq::CommitAtomicOutput(&output)) return ZeqResult::OK;
  return ZeqResult::WritePNGFailed;
}

}  // namespace zeq2png
