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

}  // namespace

bool SplitPath(const char* path, PathParts& parts) {
  const char* cursor = path;
  if (path[0] != '\0' && path[1] == ':') {
    CopyPart(path, path + 2, parts.drive, kDriveSize);
    cursor = path + 2;
  } else {
    parts.drive[0] = '\0';
  }

  const char* lastSeparator = nullptr;
  const char* lastDot = nullptr;
  const char* end = cursor;
  for (; *end != '\0'; ++end) {
    if (IsSeparator(*end)) {
      lastSeparator = end;
      lastDot = nullptr;  // only a dot after the directory starts the extension
    } else if (*end == '.') {
      lastDot = end;
    }
  }

  const char* nameStart = lastSeparator ? lastSeparator + 1 : cursor;
  const char* nameEnd = lastDot ? lastDot : end;
  if (!CopyPart(cursor, nameStart, parts.directory, kDirectorySize)) return false;
  if (!CopyPart(nameStart, nameEnd, parts.fileName, kFileNameSize)) return false;
  parts.extension = nameEnd;
  return true;
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

}  // namespace png2zeq
