// Feeds arbitrary bytes to the device loader, whole and streamed through
// reads whose sizes (and the rows asked for per call) follow from the bytes
// themselves, and aborts when its verdict or pixels differ from zeq2png's
// reader. Workspaces and pixel buffers are exactly as large as the loader
// says, so the sanitizers catch any access outside them. A valid file is
// also decoded, whole and streamed, into a layout drawn from the bytes, over
// a background or onto a destination, and must give what zeq2png -panel
// writes: an implementation of the same rules that shares no code.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zeq2png/panel.h"
#include "zeq2png/preview_pixels.h"
#include "zeq2png/loader_verdicts.h"
#include "zeq2png/zeq_reader.h"
#include "chunked_source.h"
#include "zeq_loader.h"

namespace {

using zeq2png::ZeqResult;
using Bytes = std::vector<uint8_t>;

[[noreturn]] void Fail(const char* what, int loader, ZeqResult reader) {
  std::fprintf(stderr, "fuzz_zeq_loader: %s (loader %d: %s, reader %s)\n", what, loader,
               zeq_status_text(loader), zeq2png::ZeqResultName(reader));
  std::abort();
}

// zeq2png's code for a loader status about the file; OutOfMemory (which the
// reader never gives here) for a status the reader has no counterpart of.
ZeqResult AsReaderResult(zeq_status status) {
  const zeq2png::LoaderVerdict* verdict = zeq2png::FindLoaderVerdict(status);
  return verdict != nullptr ? verdict->result : ZeqResult::OutOfMemory;
}

using fuzz::Next;
using fuzz::ReadPiece;
using fuzz::Source;

void Compare(const char* how, zeq_status loader, const Bytes& pixels, ZeqResult reader,
             const zeq2png::ZeqImage& image) {
  if (AsReaderResult(loader) != reader) Fail(how, loader, reader);
  if (loader == ZEQ_OK && !std::equal(pixels.begin(), pixels.end(), image.pixels.data,
                                      image.pixels.data + image.pixels.size)) {
    Fail("pixels differ", loader, reader);
  }
}

// The stream of `source` written `output`'s way into `rows` (pixels as
// wide as the layout), rows asked for in counts drawn from the source.
zeq_status StreamTo(Source& source, const zeq_info& info, const zeq_output& output, Bytes& rows) {
  Bytes workspace(zeq_output_workspace_size(&info, 1, &output));
  zeq_stream* stream = nullptr;
  zeq_info opened{};
  zeq_status status =
      zeq_stream_open(&stream, ReadPiece, &source, workspace.data(), workspace.size(), &opened);
  const size_t rowBytes = rows.size() / info.height;
  for (uint32_t row = 0, count = 0; status == ZEQ_OK && row < info.height; row += count) {
    count = std::min(info.height - row, 1 + Next(&source.state) % 40);
    status = zeq_stream_rows_to(stream, &output, rows.data() + row * rowBytes, count);
  }
  return status == ZEQ_OK ? zeq_stream_finish(stream) : status;
}

// Decodes the valid file in `source`, whole and streamed, into a layout drawn
// from its bytes and compares with zeq2png's -panel pixels. Onto the
// destination, that is one colour in the layout, whose channels widened are
// the background zeq2png blends over.
void CheckLayouts(Source& source, const zeq_info& info, const zeq2png::ZeqImage& image) {
  static const char* const kNames[] = {"rgb565", "rgb565be", "bgr565be", "rgb888", "argb8888"};
  const uint32_t layout = ZEQ_LAYOUT_RGB565 + Next(&source.state) % 5;
  const zeq2png::PanelLayout& panel = *zeq2png::FindPanelLayout(kNames[layout - 1]);
  const uint32_t colour = Next(&source.state) & 0xFFFFFF;
  const zeq_output output{layout, colour,
                          layout != ZEQ_LAYOUT_ARGB8888 && Next(&source.state) % 2 == 0};
  uint8_t fill[4];
  panel.write(static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
              static_cast<uint8_t>(colour), 255, fill);
  uint32_t background = colour;
  if (output.blend_onto_destination != 0 && panel.bytesPerPixel == 2) {
    background = uint32_t{zeq2png::ExpandLevel5(colour >> 19 & 0x1F)} << 16 |
                 uint32_t{zeq2png::ExpandLevel6(colour >> 10 & 0x3F)} << 8 |
                 zeq2png::ExpandLevel5(colour >> 3 & 0x1F);
  }
  zeq2png::PreviewImage preview;
  zeq2png::OwnedBlock expected;
  if (zeq2png::MakePreview(image, &preview) != ZeqResult::OK ||
      zeq2png::MakePanelPixels(preview, panel, background, &expected) != ZeqResult::OK) {
    return;
  }
  const Bytes wanted(expected.data, expected.data + expected.size);
  Bytes pixels(wanted.size()), workspace(zeq_output_workspace_size(&info, 0, &output));
  for (size_t at = 0; at < pixels.size(); ++at) pixels[at] = fill[at % panel.bytesPerPixel];
  Bytes rows = pixels;
  const zeq_status whole = zeq_decode_to(source.data, source.size, &output, pixels.data(),
                                         pixels.size(), workspace.data(), workspace.size());
  if (whole != ZEQ_OK || pixels != wanted) Fail("zeq_decode_to differs", whole, ZeqResult::OK);
  source.at = 0;
  const zeq_status streamed = StreamTo(source, info, output, rows);
  if (streamed != ZEQ_OK || rows != wanted) {
    Fail("zeq_stream_rows_to differs", streamed, ZeqResult::OK);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zeq2png::ZeqImage image;
  const ZeqResult reader = zeq2png::ParseZeq(size != 0 ? data : nullptr, size, &image);

  zeq_info info{};
  zeq_parse_header(data, std::min<size_t>(size, ZEQ_PROBE_SIZE), &info);
  const bool headerValid = reader == ZeqResult::OK || reader >= ZeqResult::ZEQFileSizeMismatch;
  Bytes pixels(headerValid ? info.raw_length : 0);
  Bytes workspace(zeq_workspace_size(&info, 0));
  const zeq_status whole = zeq_decode(size != 0 ? data : nullptr, size, pixels.data(),
                                      pixels.size(), workspace.data(), workspace.size());
  Compare("zeq_decode differs", whole, pixels, reader, image);

  uint32_t seed = static_cast<uint32_t>(size) * 2654435761u;
  for (size_t i = 0; i < std::min<size_t>(size, 32); ++i) seed = seed * 31 + data[size - 1 - i];
  Source source{data, size, 0, seed, seed % 3 == 0 ? 1u : 1u + seed % 2000};
  workspace.assign(zeq_workspace_size(&info, 1), 0);
  zeq_stream* stream = nullptr;
  zeq_info opened{};
  zeq_status streamed =
      zeq_stream_open(&stream, ReadPiece, &source, workspace.data(), workspace.size(), &opened);
  Bytes rows;
  for (uint32_t row = 0; streamed == ZEQ_OK && row < opened.height;) {
    const uint32_t count = std::min(opened.height - row, 1 + Next(&source.state) % 40);
    const size_t at = rows.size();
    rows.resize(at + size_t{count} * opened.width * opened.bytes_per_pixel);
    streamed = zeq_stream_rows(stream, rows.data() + at, count);
    row += count;
  }
  if (streamed == ZEQ_OK) streamed = zeq_stream_finish(stream);
  if (source.at > size) Fail("read past the end", streamed, reader);
  // A stream keeps only the window its zlib header declares; zeq2png keeps everything.
  if (streamed == ZEQ_E_BEYOND_WINDOW && opened.window_bits < 15) {
    if (reader != ZeqResult::OK && reader < ZeqResult::ZEQStreamCorrupt) {
      Fail("window verdict on a file with a bad header or size", streamed, reader);
    }
    return 0;
  }
  Compare("streaming differs", streamed, rows, reader, image);
  if (reader == ZeqResult::OK) CheckLayouts(source, info, image);
  return 0;
}
