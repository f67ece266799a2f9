// Input files on Windows, opened by their UTF-16 names.

#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/windows/wide_path.h"

namespace png2zeq {
namespace {

windows::WidePath gInputPath;

// The system's handle under a C stream, which the C library gives as an integer.
HANDLE HandleOf(std::FILE* file) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace

std::FILE* OpenInputFile(const char* path) {
  if (!windows::ToSystemPath(path, gInputPath)) return nullptr;
  std::FILE* file = _wfopen(gInputPath, L"rb");
  if (file == nullptr) return nullptr;
  BY_HANDLE_FILE_INFORMATION information;
  const HANDLE handle = HandleOf(file);
  if (GetFileType(handle) == FILE_TYPE_DISK &&
      (GetFileInformationByHandle(handle, &information) == 0 ||
       (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

bool InspectInputFile(std::FILE* file, bool* isRegular, uint64_t* size) {
  const HANDLE handle = HandleOf(file);
  SetLastError(NO_ERROR);
  const DWORD type = GetFileType(handle);
  *isRegular = type == FILE_TYPE_DISK;
  *size = 0;
  if (!*isRegular) return type != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
  LARGE_INTEGER length;
  if (GetFileSizeEx(handle, &length) == 0) return false;
  *size = static_cast<uint64_t>(length.QuadPart);
  return true;
}

}  // namespace png2zeq
