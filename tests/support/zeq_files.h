#pragma once
// Files the process tests write and read back: PNG inputs from recipes, ZEQ
// outputs split into header and data, and the line a failed run ends with.

#include <string>

#include "common/zeq_format.h"
#include "support/png_builder.h"
#include "support/temp_dir.h"

namespace png2zeq::testing {

// Encodes `recipe` into `dir`/`name`; returns the path.
std::string WritePngInto(const TempDir& dir, const std::string& name, const PngRecipe& recipe);

// A ZEQ file split into its header and data.
struct ZeqFileParts {
  OutputHeader header{};
  Bytes data;
};

// Reads the ZEQ file at `path`; fails the test when it is missing or shorter
// than a header, and then returns an empty header.
ZeqFileParts ReadZeqParts(const std::string& path);

// The final line of a failed run of either tool.
std::string ErrorLine(const std::string& codeName, const std::string& inputPath);

}  // namespace png2zeq::testing
