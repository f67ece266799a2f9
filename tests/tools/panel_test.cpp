// zeq2png -panel and the device loader's zeq_decode_to, two implementations
// of the same conversion, give the same bytes for every kind of file the
// converter makes, in every layout, over the default or a given background;
// -background makes the preview of an image with alpha those RGB888 pixels.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"
#include "support/zeq_files.h"
#include "zeq_loader.h"
#include "zeq_test_support.h"

namespace png2zeq::testing {
namespace {

// What the loader writes for `file` in `layout` over `background`.
Bytes LoaderPixels(const Bytes& file, uint32_t layout, uint32_t background) {
  zeq_info info{};
  zeq_parse_header(file.data(), file.size(), &info);
  const zeq_output output{layout, background, 0};
  Bytes pixels(size_t{info.width} * info.height * zeq_layout_bytes_per_pixel(&info, layout));
  Bytes workspace(zeq_output_workspace_size(&info, 0, &output));
  EXPECT_EQ(zeq_decode_to(file.data(), file.size(), &output, pixels.data(), pixels.size(),
                          workspace.data(), workspace.size()),
            ZEQ_OK);
  return pixels;
}

TEST(Zeq2PngPanel, WritesWhatTheLoaderDecodesToInEveryLayout) {
  const std::pair<int, std::vector<std::string>> kinds[] = {
      {0, {}}, {4, {"-uncompressed"}}, {2, {}}, {6, {}}, {2, {"-depth", "565", "-uncompressed"}},
      {6, {"-depth", "565", "-dither"}}};
  const std::pair<const char*, uint32_t> layouts[] = {
      {"rgb565", ZEQ_LAYOUT_RGB565}, {"rgb565be", ZEQ_LAYOUT_RGB565_BE},
      {"bgr565be", ZEQ_LAYOUT_BGR565_BE}, {"rgb888", ZEQ_LAYOUT_RGB888},
      {"argb8888", ZEQ_LAYOUT_ARGB8888}};
  for (const auto& [colourType, options] : kinds) {
    const TempDir dir;
    PngRecipe recipe;
    recipe.width = 13, recipe.height = 7, recipe.colourType = colourType;
    recipe.samples = PatternBytes(PackedRowBytes(recipe) * recipe.height);
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {"-o", dir.File("in.zeq"), WritePngInto(dir, "in.png", recipe)});
    ASSERT_EQ(RunConverterProcess(arguments).exitStatus, 0);
    const Bytes file = ReadFile(dir.File("in.zeq"));
    for (const auto& [name, layout] : layouts) {
      for (const std::string background : {"000000", "3A7FC0"}) {
        ASSERT_EQ(RunZeq2PngProcess({"-background", background, "-panel", name, dir.File("in.zeq")})
                      .exitStatus, 0);
        EXPECT_EQ(ReadFile(dir.File(std::string("in.") + name + ".bin")),
                  LoaderPixels(file, layout, std::strtoul(background.c_str(), nullptr, 16)))
            << colourType << " " << options.size() << " " << name << " " << background;
      }
    }
    ASSERT_EQ(RunZeq2PngProcess({"-background", "3A7FC0", dir.File("in.zeq")}).exitStatus, 0);
    if (colourType >= 4) {
      EXPECT_EQ(DecodeWithConverterReader(dir.File("in.preview.png")).samples,
                ReadFile(dir.File("in.rgb888.bin")));
    }
  }
}

}  // namespace
}  // namespace png2zeq::testing
