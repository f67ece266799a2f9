// zeq2png -panel and the device loader's zeq_decode_to, two implementations
// of the same conversion, give the same bytes for every kind of file the
// converter makes, in every layout, over two backgrounds; -background makes
// the preview of an image with alpha those RGB888 pixels.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/zeq_files.h"
#include "zeq_loader.h"
#include "zeq_test_support.h"

namespace png2zeq::testing {
namespace {

TEST(Zeq2PngPanel, WritesWhatTheLoaderDecodesToInEveryLayout) {
  const std::vector<std::string> kinds[] = {
      {"0"}, {"4", "-u"}, {"2"}, {"6"}, {"2", "-d", "565", "-u"}, {"6", "-d", "565", "-dither"}};
  const std::string layouts[] = {"", "rgb565", "rgb565be", "bgr565be", "rgb888", "argb8888"};
  for (const std::vector<std::string>& kind : kinds) {
    const TempDir dir;
    const std::string zeq = dir.File("in.zeq");
    PngRecipe recipe;
    recipe.width = 13, recipe.height = 7, recipe.colourType = std::stoi(kind[0]);
    recipe.samples = PatternBytes(PackedRowBytes(recipe) * recipe.height);
    std::vector<std::string> arguments{"-o", zeq, WritePngInto(dir, "in.png", recipe)};
    arguments.insert(arguments.begin(), kind.begin() + 1, kind.end());
    ASSERT_EQ(RunConverterProcess(arguments).exitStatus, 0);
    const Bytes file = ReadFile(zeq);
    for (uint32_t layout = ZEQ_LAYOUT_RGB565; layout <= ZEQ_LAYOUT_ARGB8888; ++layout) {
      for (const auto& [background, colour] : {std::pair{"000000", 0u}, {"3A7FC0", 0x3A7FC0u}}) {
        RunZeq2PngProcess({"-background", background, "-panel", layouts[layout], zeq});
        const Bytes panel = ReadFile(dir.File("in." + layouts[layout] + ".bin"));
        Bytes pixels(panel.size()), workspace(1 << 16);
        const zeq_output output{layout, colour, 0};
        EXPECT_EQ(zeq_decode_to(file.data(), file.size(), &output, pixels.data(), pixels.size(),
                                workspace.data(), workspace.size()), ZEQ_OK);
        EXPECT_EQ(panel, pixels) << kind[0] << kind.size() << layouts[layout] << background;
      }
    }
    EXPECT_EQ(RunZeq2PngProcess({"-background", "3A7FC0", zeq}).exitStatus, 0);
    if (recipe.colourType >= 4) {
      EXPECT_EQ(DecodeWithConverterReader(dir.File("in.preview.png")).samples,
                ReadFile(dir.File("in.rgb888.bin")));
    }
  }
}

}  // namespace
}  // namespace png2zeq::testing
