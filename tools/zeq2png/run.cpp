#include "zeq2png/run.h"

#include <cstdio>

#include "common/front_end.h"
#include "zeq2png/command_line.h"
#include "zeq2png/compare.h"
#include "zeq2png/decode_memory.h"
#include "zeq2png/info.h"
#include "zeq2png/panel.h"
#include "zeq2png/preview_path.h"
#include "zeq2png/preview_pixels.h"
#include "zeq2png/preview_png.h"
#include "zeq2png/zeq_file.h"
#include "zeq2png/zeq_reader.h"

namespace zeq2png {
namespace {

// Shown in the usage text when the system passed no program name at all.
constexpr const char* kFallbackProgramName = "zeq2png";

// Encodes the preview and writes it to `previewPath`, which must be neither
// the input file nor the PNG compared with.
ZeqResult WritePreview(const PreviewImage& preview, const char* previewPath,
                       const Zeq2PngOptions& options) {
  EncodedPng png;
  const ZeqResult encoded = EncodePreviewPng(preview, &png);
  if (encoded != ZeqResult::OK) return encoded;
  if (options.verbose) std::printf("Preview file \"%s\", %zu bytes\n", previewPath, png.used);
  return WriteWholeFile(previewPath, png.block.data, png.used,
                        {options.inputPath, options.comparePath});
}

// Writes `preview` in the -panel layout to `outputPath`, which must be
// neither the input file nor the PNG compared with.
ZeqResult WritePanelFile(const PreviewImage& preview, const char* outputPath,
                         const Zeq2PngOptions& options) {
  OwnedBlock pixels;
  const ZeqResult made = MakePanelPixels(preview, *options.panel, options.background, &pixels);
  if (made != ZeqResult::OK) return made;
  if (options.verbose) std::printf("Panel file \"%s\", %zu bytes\n", outputPath, pixels.size);
  return WriteWholeFile(outputPath, pixels.data, pixels.size,
                        {options.inputPath, options.comparePath});
}

// Reads and checks the input, then reports, compares and writes the preview
// as the options ask. Returns the first failure, or OK.
ZeqResult InspectZeqFile(const Zeq2PngOptions& options) {
  char derivedName[png2zeq::kJoinedPathSize];
  const char* previewPath = nullptr;
  if (!options.info) {
    const ZeqResult derived =
        options.panel != nullptr
            ? DerivePanelPath(options.inputPath, options.outputPath, *options.panel, derivedName,
                              &previewPath)
            : DerivePreviewPath(options.inputPath, options.outputPath, derivedName, &previewPath);
    if (derived != ZeqResult::OK) return derived;
  }

  OwnedBlock contents;
  const ZeqResult read = ReadZeqFile(options.inputPath, &contents);
  if (read != ZeqResult::OK) return read;
  if (options.verbose) std::printf("ZEQ file \"%s\", %zu bytes\n", options.inputPath, contents.size);
  ZeqImage image;
  const ZeqResult parsed = ParseZeq(contents.data, contents.size, &image);
  if (options.info) PrintZeqInfo(options.inputPath, contents.size, image, parsed);
  if (options.info && parsed == ZeqResult::OK) PrintDecodeMemory(image, contents.data);
  if (parsed != ZeqResult::OK) return parsed;
  contents.Release();
  if (options.verbose) {
    std::printf("Pixels %s, %u x %u, %u bytes\n", image.format->name, image.header.width,
                image.header.height, image.header.rawLength);
  }

  PreviewImage preview;
  const ZeqResult made = MakePreview(image, &preview);
  if (made != ZeqResult::OK) return made;
  image.pixels.Release();
  if (options.info) PrintFirstPanelPixels(preview, options.background);
  if (options.comparePath != nullptr) {
    const ZeqResult compared = CompareWithOriginal(options.comparePath, preview);
    if (compared != ZeqResult::OK) return compared;
  }
  if (options.info) return ZeqResult::OK;
  if (options.panel != nullptr) return WritePanelFile(preview, previewPath, options);
  if (options.hasBackground) {
    const ZeqResult flattened = FlattenPreview(options.background, &preview);
    if (flattened != ZeqResult::OK) return flattened;
  }
  return WritePreview(preview, previewPath, options);
}

}  // namespace

int RunZeq2Png(int argc, char** argv) {
  Zeq2PngOptions options;
  options.programPath = png2zeq::ProgramName(argc, argv, kFallbackProgramName);
  if (argc <= 1) {
    PrintZeq2PngUsage(options.programPath);
    return static_cast<int>(ZeqResult::InsufficientParameters);
  }

  ZeqResult result = ParseZeq2PngCommandLine(argc, argv, &options);
  if (result == ZeqResult::OK && options.answeredInformationRequest) return 0;
  if (result == ZeqResult::OK && options.verbose) PrintZeq2PngBanner();
  if (result == ZeqResult::OK) result = InspectZeqFile(options);

  if (result != ZeqResult::OK) {
    std::printf("%s\n", ZeqResultMessage(result));
    png2zeq::PrintErrorLine(ZeqResultName(result), options.inputPath);
  }
  return static_cast<int>(result);
}

}  // namespace zeq2png
