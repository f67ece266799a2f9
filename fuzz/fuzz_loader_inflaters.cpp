// Runs the loader with its own inflater and the loader on zlib's inflate
// (the same sources built with ZEQ_USE_ZLIB, their symbols renamed zlib_zeq_*
// so that both link here) on the same bytes: whole, streamed through reads
// and row counts drawn from the bytes, and into a panel layout drawn from
// them. Aborts on any difference in status or pixels. Workspaces are exactly
// as large as each loader says, so the sanitizers catch any access outside.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "chunked_source.h"
#include "zeq_loader.h"

extern "C" {
zeq_status zlib_zeq_parse_header(const uint8_t*, size_t, zeq_info*);
size_t zlib_zeq_workspace_size(const zeq_info*, int);
zeq_status zlib_zeq_decode(const uint8_t*, size_t, uint8_t*, size_t, void*, size_t);
zeq_status zlib_zeq_stream_open(zeq_stream**, zeq_read_fn, void*, void*, size_t, zeq_info*);
zeq_status zlib_zeq_stream_rows(zeq_stream*, uint8_t*, uint32_t);
zeq_status zlib_zeq_stream_finish(zeq_stream*);
size_t zlib_zeq_output_workspace_size(const zeq_info*, int, const zeq_output*);
zeq_status zlib_zeq_stream_rows_to(zeq_stream*, const zeq_output*, uint8_t*, uint32_t);
}

namespace {

using Bytes = std::vector<uint8_t>;

// One loader's entry points.
struct Loader {
  decltype(&zeq_parse_header) parse;
  decltype(&zeq_workspace_size) workspace;
  decltype(&zeq_decode) decode;
  decltype(&zeq_stream_open) open;
  decltype(&zeq_stream_rows) rows;
  decltype(&zeq_stream_finish) finish;
  decltype(&zeq_output_workspace_size) outputWorkspace;
  decltype(&zeq_stream_rows_to) rowsTo;
};
const Loader kOwn = {zeq_parse_header, zeq_workspace_size, zeq_decode, zeq_stream_open,
                     zeq_stream_rows, zeq_stream_finish, zeq_output_workspace_size,
                     zeq_stream_rows_to};
const Loader kZlib = {zlib_zeq_parse_header, zlib_zeq_workspace_size, zlib_zeq_decode,
                      zlib_zeq_stream_open, zlib_zeq_stream_rows, zlib_zeq_stream_finish,
                      zlib_zeq_output_workspace_size, zlib_zeq_stream_rows_to};

using fuzz::Next;
using fuzz::ReadPiece;
using fuzz::Source;

struct Outcome {
  zeq_status whole, streamed, blended;
  Bytes pixels, rows, blendedRows;
};

// Decodes `data` with `loader` whole, streamed and blended onto a
// destination as the generator seeded with `seed` says.
Outcome Run(const Loader& loader, const uint8_t* data, size_t size, uint32_t seed) {
  Outcome outcome{};
  zeq_info info{};
  // A header the loader refuses gets the largest workspace, and the calls refuse it again.
  const bool valid = loader.parse(data, std::min<size_t>(size, ZEQ_PROBE_SIZE), &info) == ZEQ_OK;
  const uint32_t rawLength = valid ? info.raw_length : 0;
  Bytes workspace(valid ? loader.workspace(&info, 0) : 1 << 16);
  outcome.pixels.assign(rawLength, 0);
  outcome.whole = loader.decode(data, size, outcome.pixels.data(), outcome.pixels.size(),
                                workspace.data(), workspace.size());
  if (outcome.whole != ZEQ_OK) outcome.pixels.clear();

  const zeq_output output{ZEQ_LAYOUT_RGB565 + seed % 4, seed >> 8 & 0xFFFFFF, 1};
  for (const bool blend : {false, true}) {
    Source source{data, size, 0, seed, 1 + seed % 700};
    Bytes space(!valid ? 1 << 16
                : blend    ? loader.outputWorkspace(&info, 1, &output)
                           : loader.workspace(&info, 1));
    zeq_stream* stream = nullptr;
    zeq_info opened{};
    zeq_status status =
        loader.open(&stream, ReadPiece, &source, space.data(), space.size(), &opened);
    const size_t rowBytes =
        size_t{opened.width} * zeq_layout_bytes_per_pixel(&opened, blend ? output.layout : 0);
    Bytes& rows = blend ? outcome.blendedRows : outcome.rows;
    rows.assign(status == ZEQ_OK ? rowBytes * opened.height : 0, 0x5A);
    for (uint32_t row = 0, count = 0; status == ZEQ_OK && row < opened.height; row += count) {
      count = std::min(opened.height - row, 1 + Next(&source.state) % 40);
      status = blend ? loader.rowsTo(stream, &output, rows.data() + row * rowBytes, count)
                     : loader.rows(stream, rows.data() + row * rowBytes, count);
    }
    if (status == ZEQ_OK) status = loader.finish(stream);
    if (status != ZEQ_OK) rows.clear();
    (blend ? outcome.blended : outcome.streamed) = status;
  }
  return outcome;
}

[[noreturn]] void Fail(const char* what, zeq_status own, zeq_status zlib) {
  std::fprintf(stderr, "fuzz_loader_inflaters: %s differs (own %d, zlib %d)\n", what, own, zlib);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t seed = 0x9E3779B9u;
  for (size_t i = 0; i < size; i += 61) seed = seed * 31 + data[i];
  const Outcome own = Run(kOwn, data, size, seed), zlib = Run(kZlib, data, size, seed);
  if (own.whole != zlib.whole || own.pixels != zlib.pixels) Fail("zeq_decode", own.whole, zlib.whole);
  if (own.streamed != zlib.streamed || own.rows != zlib.rows) {
    Fail("the stream", own.streamed, zlib.streamed);
  }
  if (own.blended != zlib.blended || own.blendedRows != zlib.blendedRows) {
    Fail("the blended stream", own.blended, zlib.blended);
  }
  return 0;
}
