#include "common/path_parts.h"

#include <cstring>

namespace png2zeq {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Copies [begin, end) into `out` of `size` bytes; false when it does not fit.
bool CopyPart(const char* begin, const char* end, char* out, size_t size) {
  const size_t length = static_cast<size_t>(end - begin);
  if (length >= size) return false;
  std::memcpy(out, begin, length);
  out[length] = '\0';
  return true;
}

// Appends `text` to `out` at `*used`; false when the buffer would overflow.
bool Append(char* out, size_t outSize, size_t* used, const char* text) {
  const size_t length = std::strlen(text);
  if (*used + length >= outSize) return false;
  std::memcpy(out + *used, text, length + 1);
  *used += length;
  return true;
}

// Where a path's parts begin: the directory after the drive, the file name
// after the last separator, the extension at the last dot after that.
struct Cuts {
  const char* directory;
  const char* fileName;
  const char* extension;
};

Cuts CutPath(const char* path) {
  Cuts cuts{path, path, nullptr};
  if (path[0] != '\0' && path[1] == ':') cuts.directory = cuts.fileName = path + 2;
  const char* end = cuts.directory;
  for (; *end != '\0'; ++end) {
    if (IsSeparator(*end)) {
      cuts.fileName = end + 1;
      cuts.extension = nullptr;  // only a dot after the directory starts the extension
    } else if (*end == '.') {
      cuts.extension = end;
    }
  }
  if (cuts.extension == nullptr) cuts.extension = end;
  return cuts;
}

}  // namespace

bool SplitPath(const char* path, PathParts& parts) {
  const Cuts cuts = CutPath(path);
  if (!CopyPart(path, cuts.directory, parts.drive, kDriveSize) ||
      !CopyPart(cuts.directory, cuts.fileName, parts.directory, kDirectorySize) ||
      !CopyPart(cuts.fileName, cuts.extension, parts.fileName, kFileNameSize)) {
    return false;
  }
  parts.extension = cuts.extension;
  return true;
}

bool SplitFileName(const char* path, PathParts& parts) {
  const Cuts cuts = CutPath(path);
  parts.drive[0] = parts.directory[0] = '\0';
  parts.extension = cuts.extension;
  return CopyPart(cuts.fileName, cuts.extension, parts.fileName, kFileNameSize);
}

bool JoinPath(char* out, size_t outSize, const char* drive, const char* directory,
              const char* fileName, const char* extension) {
  size_t used = 0;
  out[0] = '\0';
  bool fits = Append(out, outSize, &used, drive) && Append(out, outSize, &used, directory);
  if (fits && directory[0] != '\0' && !IsSeparator(directory[std::strlen(directory) - 1])) {
    fits = Append(out, outSize, &used, "/");
  }
  fits = fits && Append(out, outSize, &used, fileName);
  if (fits && extension[0] != '\0') {
    if (extension[0] != '.') fits = Append(out, outSize, &used, ".");
    fits = fits && Append(out, outSize, &used, extension);
  }
  if (!fits) out[0] = '\0';
  return fits;
}

bool DeriveSiblingPath(const char* inputPath, const char* outputPath, const char* extension,
                       char (&buffer)[kJoinedPathSize], const char** resultPath) {
  PathParts input;
  PathParts output;
  if (outputPath != nullptr) {
    if (!SplitPath(outputPath, output)) return false;
    if (output.fileName[0] != '\0') {
      *resultPath = outputPath;  // used as given, extension or not
      return true;
    }
  }
  // Into an -output directory only the input's file name goes, so neither
  // its drive nor its directory (however long) plays a part.
  if (!(outputPath != nullptr ? SplitFileName(inputPath, input) : SplitPath(inputPath, input))) {
    return false;
  }
  const PathParts& place = outputPath != nullptr ? output : input;
  if (!JoinPath(buffer, sizeof buffer, place.drive, place.directory, input.fileName, extension)) {
    return false;
  }
  *resultPath = buffer;
  return true;
}

}  // namespace png2zeq
