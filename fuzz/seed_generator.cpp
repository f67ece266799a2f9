// Writes the seed corpora of the fuzz targets into a directory of the build
// tree: <out>/convert (two option bytes, then a PNG file), <out>/command_line
// (arguments separated by NUL bytes), <out>/zeq_reader, <out>/zeq_loader and
// <out>/loader_inflaters (ZEQ files).
// Usage: fuzz_seed_generator <out directory> [<directory of sample PNGs>]

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/zeq_format.h"
#include "support/png_builder.h"

namespace {

namespace fs = std::filesystem;
using png2zeq::testing::Bytes;
using png2zeq::testing::PngRecipe;

// Option bytes put in front of the PNGs, cycled so that every option is
// seeded: none; -depth 565; 565 with -dither; 565 uncompressed and verbose;
// "/DEPTH 0x565" with "-dither burkes" to an existing output directory.
constexpr uint8_t kOptionPrefixes[][2] = {
    {0x00, 0x00}, {0x01, 0x00}, {0x09, 0x00}, {0x31, 0x01}, {0xCA, 0x03}, {0x04, 0x00},
};
constexpr size_t kOptionPrefixCount = sizeof kOptionPrefixes / sizeof kOptionPrefixes[0];

// Typical and awkward command lines, one argument per entry.
const std::vector<std::vector<std::string>> kCommandLines = {
    {"photo.png"},
    {"-depth", "565", "-dither", "-verbose", "photo.png"},
    {"-dither", "burkes", "-u", "-o", "out/", "C:\\images\\logo.PNG"},
    {"/D", "0x565", "/O", "result.zeq", "/home/me/logo.png"},
    {"-output", "dir/", "archive.tar.png"},
    {"-help"},
    {"/codes"},
    {"-dither", "floyd", "x.png"},
    {"-depth"},
    {"positional", "x.png"},
    {""},
    {"-o", "", ""},
    {"/v"},
    {"C:no-directory.png"},
    {"..", "."},
};

int seedCount = 0;

void WriteSeed(const fs::path& directory, const std::string& name, const Bytes& bytes) {
  png2zeq::testing::WriteFile((directory / name).string(), bytes);
  ++seedCount;
}

Bytes WithOptions(size_t variant, const Bytes& png) {
  const uint8_t* prefix = kOptionPrefixes[variant % kOptionPrefixCount];
  Bytes seed = {prefix[0], prefix[1]};
  seed.insert(seed.end(), png.begin(), png.end());
  return seed;
}

int ChannelCount(int colourType) {
  switch (colourType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
  }
}

// A small image of every colour type and bit depth the format allows, some
// interlaced, some with tRNS or a text chunk; samples follow a pattern.
std::vector<PngRecipe> GeneratedImages() {
  struct Layout {
    int colourType;
    int bitDepth;
  };
  constexpr Layout kLayouts[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16},
                                 {3, 1}, {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8},
                                 {6, 16}};
  std::vector<PngRecipe> recipes;
  uint32_t variant = 0;
  for (const Layout& layout : kLayouts) {
    for (bool interlaced : {false, true}) {
      PngRecipe recipe;
      recipe.colourType = layout.colourType;
      recipe.bitDepth = layout.bitDepth;
      recipe.interlaced = interlaced;
      recipe.width = 1 + (variant * 7) % 13;
      recipe.height = 1 + (variant * 5) % 9;
      const size_t sampleBytes = png2zeq::testing::PackedRowBytes(recipe) * recipe.height;
      for (size_t i = 0; i < sampleBytes; ++i) {
        recipe.samples.push_back(static_cast<uint8_t>(i * 37 + size_t{variant} * 11));
      }
      if (layout.colourType == 3) {
        const int entries = 1 << layout.bitDepth;
        for (int i = 0; i < entries * 3; ++i) recipe.palette.push_back(static_cast<uint8_t>(i * 29));
        if (interlaced) recipe.transparency = {0, 128};
      } else if (ChannelCount(layout.colourType) % 2 == 1 && interlaced) {
        recipe.transparency = {0, 1, 0, 2, 0, 3};
      }
      recipe.textChunk = variant % 3 == 0;
      recipes.push_back(recipe);
      ++variant;
    }
  }
  return recipes;
}

// A ZEQ file of `format` with a pattern of pixels, raw or compressed.
Bytes MakeZeqFile(uint32_t format, uint32_t bytesPerPixel, uint32_t width, uint32_t height,
                  bool compressed) {
  Bytes pixels(static_cast<size_t>(width) * height * bytesPerPixel);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 13 + 5);
  Bytes data = compressed ? png2zeq::testing::Deflate(pixels) : pixels;
  png2zeq::OutputHeader header{ZEQ_MAGIC,
                               format,
                               width,
                               height,
                               static_cast<uint32_t>(pixels.size()),
                               compressed ? static_cast<uint32_t>(data.size()) : 0};
  Bytes file(ZEQ_HEADER_SIZE);
  png2zeq::EncodeZeqHeader(header, file.data());
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

// A 40 x 30 GREY8 file whose zlib stream declares a 512-byte window, for the
// loader's streaming, which keeps only the declared window.
Bytes MakeSmallWindowZeqFile() {
  Bytes pixels(40 * 30);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 700 * 7 / 5);
  Bytes stream(4096);
  z_stream deflater{};
  deflateInit2(&deflater, 9, Z_DEFLATED, 9, 8, Z_DEFAULT_STRATEGY);
  deflater.next_in = pixels.data();
  deflater.avail_in = static_cast<uInt>(pixels.size());
  deflater.next_out = stream.data();
  deflater.avail_out = static_cast<uInt>(stream.size());
  deflate(&deflater, Z_FINISH);
  stream.resize(deflater.total_out);
  deflateEnd(&deflater);
  Bytes file(ZEQ_HEADER_SIZE);
  png2zeq::EncodeZeqHeader({ZEQ_MAGIC, ZEQ_FORMAT_GREY8, 40, 30,
                            static_cast<uint32_t>(pixels.size()),
                            static_cast<uint32_t>(stream.size())},
                           file.data());
  file.insert(file.end(), stream.begin(), stream.end());
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <out directory> [<directory of sample PNGs>]\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  const fs::path convert = out / "convert";
  const fs::path commandLine = out / "command_line";
  const fs::path zeqReader = out / "zeq_reader";
  const fs::path zeqLoader = out / "zeq_loader";
  const fs::path inflaters = out / "loader_inflaters";  // the same files, for both inflaters
  for (const fs::path& directory : {convert, commandLine, zeqReader, zeqLoader, inflaters}) {
    fs::create_directories(directory);
  }

  size_t variant = 0;
  for (const PngRecipe& recipe : GeneratedImages()) {
    const Bytes png = png2zeq::testing::EncodePng(recipe);
    WriteSeed(convert, "generated-" + std::to_string(variant) + ".seed", WithOptions(variant, png));
    ++variant;
  }
  if (argc > 2 && !fs::is_directory(argv[2])) {
    std::fprintf(stderr, "no sample PNGs at %s; generated seeds only\n", argv[2]);
  } else if (argc > 2) {
    std::vector<fs::path> samples;
    for (const fs::directory_entry& entry : fs::directory_iterator(argv[2])) {
      if (entry.path().extension() == ".png") samples.push_back(entry.path());
    }
    std::sort(samples.begin(), samples.end());
    for (const fs::path& sample : samples) {
      const Bytes png = png2zeq::testing::ReadFile(sample.string());
      WriteSeed(convert, sample.stem().string() + ".seed", WithOptions(variant++, png));
    }
  }

  size_t lineNumber = 0;
  for (const std::vector<std::string>& line : kCommandLines) {
    Bytes bytes;
    for (size_t i = 0; i < line.size(); ++i) {
      if (i > 0) bytes.push_back(0);
      bytes.insert(bytes.end(), line[i].begin(), line[i].end());
    }
    WriteSeed(commandLine, "line-" + std::to_string(lineNumber++) + ".seed", bytes);
  }

  uint32_t size = 1;
  for (const png2zeq::ZeqFormatInfo& format : png2zeq::kZeqFormats) {
    for (bool compressed : {false, true}) {
      const std::string name =
          std::string(format.name) + (compressed ? "-deflated" : "-raw") + ".seed";
      const Bytes file = MakeZeqFile(format.code, static_cast<uint32_t>(zeq_bytes_per_pixel(format.code)), size, size + 1, compressed);
      WriteSeed(zeqReader, name, file);
      WriteSeed(zeqLoader, name, file);
      size += 2;
    }
  }
  WriteSeed(zeqLoader, "GREY8-small-window.seed", MakeSmallWindowZeqFile());
  for (const fs::directory_entry& entry : fs::directory_iterator(zeqLoader)) {
    fs::copy_file(entry.path(), inflaters / entry.path().filename(),
                  fs::copy_options::overwrite_existing);
  }
  std::printf("%d seeds written to %s\n", seedCount, out.string().c_str());
  return 0;
}
