#include "support/zeq_files.h"

#include <gtest/gtest.h>

namespace png2zeq::testing {

std::string WritePngInto(const TempDir& dir, const std::string& name, const PngRecipe& recipe) {
  std::string path = dir.File(name);
  WriteFile(path, EncodePng(recipe));
  return path;
}

ZeqFileParts ReadZeqParts(const std::string& path) {
  const Bytes bytes = ReadFile(path);
  ZeqFileParts file;
  if (bytes.size() < ZEQ_HEADER_SIZE) {
    ADD_FAILURE() << path << " has " << bytes.size() << " bytes, fewer than a header";
    return file;
  }
  file.header = DecodeZeqHeader(bytes.data());
  file.data.assign(bytes.begin() + ZEQ_HEADER_SIZE, bytes.end());
  return file;
}

std::string ErrorLine(const std::string& codeName, const std::string& inputPath) {
  return "Error \"" + codeName + "\" occurred for " + inputPath + ".\n";
}

}  // namespace png2zeq::testing
