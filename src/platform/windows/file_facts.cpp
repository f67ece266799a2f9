// Telling files apart on Windows: the volume's serial number and the file's
// index name one file whatever path or hard link leads to it.

#include "platform/windows/wide_path.h"
#include "platform/windows/windows_output.h"

namespace png2zeq::windows {
namespace {

WidePath gInputPath;

bool SameFile(const FileFacts& a, const FileFacts& b) {
  return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

}  // namespace

bool InspectHandle(HANDLE handle, FileFacts* facts) {
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileType(handle) != FILE_TYPE_DISK || GetFileInformationByHandle(handle, &information) == 0) {
    return false;
  }
  facts->volume = information.dwVolumeSerialNumber;
  facts->indexHigh = information.nFileIndexHigh;
  facts->indexLow = information.nFileIndexLow;
  facts->attributes = information.dwFileAttributes;
  return true;
}

bool IsAnInput(std::initializer_list<const char*> inputs, const FileFacts& file) {
  for (const char* input : inputs) {
    if (input == nullptr || !ToSystemPath(input, gInputPath)) continue;
    // Asking for the attributes alone disturbs no one who has the file open.
    const HANDLE handle = CreateFileW(gInputPath, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) continue;
    FileFacts facts;
    const bool same = InspectHandle(handle, &facts) && SameFile(facts, file);
    CloseHandle(handle);
    if (same) return true;
  }
  return false;
}

}  // namespace png2zeq::windows
