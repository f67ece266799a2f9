// The loader's panel layouts: every stored format into every layout, over a
// background and onto a destination, whole and streamed, against the
// conversion rules written out again here; and the calls it refuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "common/zeq_format.h"
#include "support/png_builder.h"
#include "zeq_loader.h"

namespace {

using png2zeq::testing::Append, png2zeq::testing::Bytes;
constexpr uint32_t kWidth = 13, kHeight = 7, kPixels = kWidth * kHeight, kRowsPerCall = 3;
// A stream's workspace of zeq_workspace_size(info, 1), too small to blend onto the destination.
constexpr size_t kPlainStream = SIZE_MAX;

struct Rgba { uint32_t r, g, b, a; };
uint32_t Widen(uint32_t v, int bits) { return bits == 5 ? v << 3 | v >> 2 : v << 2 | v >> 4; }
uint32_t Mix(uint32_t s, uint32_t d, uint32_t a) { return (s * a + d * (255 - a) + 127) / 255; }
Rgba Unpack(uint32_t format, const uint8_t* p, uint32_t bytes) {
  const uint32_t a = format >> 12 != 0 ? p[bytes - 1] : 255;
  if ((format & 0xfff) == 0x008) return {p[0], p[0], p[0], a};
  if ((format & 0xfff) == 0x888) return {p[0], p[1], p[2], a};
  const uint32_t word = p[0] | p[1] << 8;
  return {Widen(word & 31, 5), Widen(word >> 5 & 63, 6), Widen(word >> 11, 5), a};
}
Bytes Pack(uint32_t to, const Rgba& c) {
  const uint32_t rgb = c.r >> 3 << 11 | c.g >> 2 << 5 | c.b >> 3;
  const uint32_t be = to == ZEQ_LAYOUT_BGR565_BE ? c.b >> 3 << 11 | c.g >> 2 << 5 | c.r >> 3 : rgb;
  if (to == ZEQ_LAYOUT_RGB565) return {uint8_t(rgb), uint8_t(rgb >> 8)};
  if (to == ZEQ_LAYOUT_RGB888) return {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)};
  if (to == ZEQ_LAYOUT_ARGB8888) return {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r), uint8_t(c.a)};
  return {uint8_t(be >> 8), uint8_t(be)};
}
// The destination's pixel `k`, in levels that 565 layouts hold exactly.
Rgba Destination(uint32_t k) {
  return {Widen(k * 7 % 32, 5), Widen(k * 5 % 64, 6), Widen(k % 32, 5), 0};
}

// A file of `format` whose pixel bytes (alpha 0 and 255 among them) are `stored`.
Bytes File(uint32_t format, uint32_t bytes, bool compressed, Bytes* stored) {
  stored->resize(kPixels * bytes);
  for (size_t i = 0; i < stored->size(); ++i)
    (*stored)[i] = uint8_t(i % 5 == 2 ? 0 : i % 7 == 3 ? 255 : i * 97 + 31);
  const Bytes data = compressed ? png2zeq::testing::Deflate(*stored) : *stored;
  Bytes file(ZEQ_HEADER_SIZE);
  const uint32_t fields[] = {ZEQ_MAGIC, format, kWidth, kHeight, kPixels * bytes,
                             compressed ? uint32_t(data.size()) : 0};
  for (size_t i = 0; i < 6; ++i) png2zeq::StoreLittleEndian32(&file[i * 4], fields[i]);
  Append(file, data);
  return file;
}

// The pixels the rules give, and the destination the buffer starts with.
std::pair<Bytes, Bytes> Reference(uint32_t format, uint32_t bytes, const Bytes& stored,
                                  const zeq_output& out) {
  Bytes expected, destination;
  for (uint32_t k = 0; k < kPixels; ++k) {
    Rgba s = Unpack(format, &stored[k * bytes], bytes);
    const Rgba d = out.blend_onto_destination ? Destination(k) : Rgba{0x33, 0x66, 0xcc, 0};
    if (out.layout != ZEQ_LAYOUT_ARGB8888)
      s = {Mix(s.r, d.r, s.a), Mix(s.g, d.g, s.a), Mix(s.b, d.b, s.a), 255};
    Append(expected, out.layout == ZEQ_LAYOUT_STORED
                         ? Bytes(stored.begin() + k * bytes, stored.begin() + (k + 1) * bytes)
                         : Pack(out.layout, s));
    // Refused layouts get any destination.
    Append(destination, Pack(out.layout % 5 ? out.layout : ZEQ_LAYOUT_RGB888, Destination(k)));
  }
  destination.resize(expected.size());
  return {expected, destination};
}

size_t ReadPiece(void* context, uint8_t* buffer, size_t length) {
  auto& [at, end] = *static_cast<std::pair<const uint8_t*, const uint8_t*>*>(context);
  const size_t piece = std::min<size_t>({length, 5, size_t(end - at)});
  return std::copy_n(at, piece, buffer), at += piece, piece;
}

// Decodes `file` to `out` whole (rowsPerCall 0) or streamed, into `pixels`
// (holding the destination) less `lessPixels` bytes, with the workspace
// zeq_output_workspace_size names less `lessSpace`, at an odd address. With
// kPlainStream, the first call must be refused and the stream must then give
// the stored pixels: OK means both.
zeq_status DecodeTo(const Bytes& file, const zeq_output& out, uint32_t rowsPerCall, Bytes& pixels,
                    size_t lessPixels = 0, size_t lessSpace = 0) {
  zeq_info info{};
  zeq_parse_header(file.data(), file.size(), &info);
  const size_t need = std::max(zeq_output_workspace_size(&info, rowsPerCall != 0, &out),
                               rowsPerCall != 0 ? zeq_workspace_size(&info, 1) : 0);  // refused
  Bytes workspace(need + 1);
  if (rowsPerCall == 0) {
    return zeq_decode_to(file.data(), file.size(), &out, pixels.data(), pixels.size() - lessPixels,
                         workspace.data() + 1, need - lessSpace);
  }
  std::pair<const uint8_t*, const uint8_t*> source{file.data(), file.data() + file.size()};
  zeq_stream* stream = nullptr;
  const bool plain = lessSpace == kPlainStream;
  zeq_status status = zeq_stream_open(&stream, ReadPiece, &source, workspace.data() + 1,
                                      plain ? zeq_workspace_size(&info, 1) : need - lessSpace, &info);
  for (uint32_t row = 0; status == ZEQ_OK && row < kHeight; row += rowsPerCall) {
    status = zeq_stream_rows_to(stream, &out, &pixels[row * pixels.size() / kHeight],
                                std::min(rowsPerCall, kHeight - row));
  }
  if (plain) {
    if (status != ZEQ_E_WORKSPACE_TOO_SMALL) return ZEQ_E_BAD_CALL;
    pixels.resize(info.raw_length);
    status = zeq_stream_rows(stream, pixels.data(), kHeight);
  }
  return status == ZEQ_OK ? zeq_stream_finish(stream) : status;
}

TEST(ZeqLoader, WritesEveryLayoutByTheConversionRules) {
  const std::pair<uint32_t, uint32_t> formats[] = {{ZEQ_FORMAT_GREY8, 1}, {ZEQ_FORMAT_GREYA88, 2},
      {ZEQ_FORMAT_RGB888, 3}, {ZEQ_FORMAT_RGBA8888, 4}, {ZEQ_FORMAT_RGB565, 2},
      {ZEQ_FORMAT_RGBA5658, 3}};
  // layout, onto the destination, bytes fewer in the pixels and in the workspace, verdict
  struct Case { uint32_t layout; int onto; size_t lessPixels, lessWorkspace; zeq_status verdict; };
  std::vector<Case> cases = {{6, 0, 0, 0, ZEQ_E_BAD_CALL},
                             {ZEQ_LAYOUT_RGB565, 0, 1, 0, ZEQ_E_PIXELS_TOO_SMALL},
                             {ZEQ_LAYOUT_RGB565, 1, 0, 1, ZEQ_E_WORKSPACE_TOO_SMALL},
                             {ZEQ_LAYOUT_RGB565, 1, 0, kPlainStream, ZEQ_OK}};
  for (uint32_t layout = ZEQ_LAYOUT_STORED; layout <= ZEQ_LAYOUT_ARGB8888; ++layout) {
    const zeq_status onto = layout % ZEQ_LAYOUT_ARGB8888 != 0 ? ZEQ_OK : ZEQ_E_BAD_CALL;
    cases.insert(cases.end(), {{layout, 0, 0, 0, ZEQ_OK}, {layout, 1, 0, 0, onto}});
  }
  for (const auto& [format, bytes] : formats) {
    for (const bool compressed : {false, true}) {
      Bytes stored;
      const Bytes file = File(format, bytes, compressed, &stored);
      for (const Case& c : cases) {
        const zeq_output out{c.layout, 0x3366cc, c.onto};
        auto [expected, destination] = Reference(format, bytes, stored, out);
        if (c.lessWorkspace == kPlainStream) expected = stored;
        for (const uint32_t rows : {0u, kRowsPerCall}) {
          SCOPED_TRACE(testing::Message() << std::hex << format << " compressed " << compressed
                                          << " layout " << c.layout << c.onto << " rows " << rows);
          // A stream has no pixel buffer size; only images with alpha stage a row.
          if ((c.lessPixels && rows) || (c.lessWorkspace && format < 0x8000) ||
              (c.lessWorkspace == kPlainStream && !rows)) {
            continue;
          }
          Bytes pixels = destination;
          ASSERT_EQ(DecodeTo(file, out, rows, pixels, c.lessPixels, c.lessWorkspace), c.verdict);
          if (c.verdict == ZEQ_OK) { EXPECT_EQ(pixels, expected); }
        }
      }
    }
  }
}

}  // namespace
