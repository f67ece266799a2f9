// Output files on Windows: a temporary beside the destination, the existing
// destination held open as the lock, and one step into place.

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cwchar>

#include "platform/system_output.h"
#include "platform/windows/wide_path.h"
#include "platform/windows/windows_output.h"

namespace png2zeq::system_output {
namespace {

using windows::FileFacts;
using windows::WidePath;

// Temporary names are ".<name>.XXXXXX.tmp", with at most this many UTF-16
// units of the name, so that they stay within a file name's 255.
constexpr size_t kLongestNameInTemporary = 200;
constexpr int kRandomLetters = 6;
constexpr int kTemporaryAttempts = 100;
// The most one WriteFile call is asked to write.
constexpr size_t kLargestWrite = size_t{1} << 30;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct OutputState {
  HANDLE file = INVALID_HANDLE_VALUE;         // where the bytes go: the temporary, or a device
  HANDLE destination = INVALID_HANDLE_VALUE;  // the file the temporary replaces, held as the lock
  bool viaTemporary = false;
  WidePath destinationPath;
  WidePath temporaryPath;
};

// The process's one open output, and the path it was asked for.
OutputState gOutput;
WidePath gRequestedPath;

bool IsOpen(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }

void CloseAndForget(HANDLE* handle) {
  if (IsOpen(*handle)) CloseHandle(*handle);
  *handle = INVALID_HANDLE_VALUE;
}

// Marks the open temporary to be deleted when its handle closes, which the
// system does for a process ended in any way; or lifts that mark.
bool DeleteWhenClosed(HANDLE file, bool deleteIt) {
  FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(deleteIt ? TRUE : FALSE)};
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// The errno a failed WriteFile stands for.
int ErrnoFor(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_NOACCESS:
    case ERROR_INVALID_USER_BUFFER: return EFAULT;
    case ERROR_FILE_TOO_LARGE: return EFBIG;
    default: return EIO;
  }
}

// Six letters and digits that differ from run to run and from attempt to attempt.
void RandomLetters(int attempt, wchar_t (&letters)[kRandomLetters + 1]) {
  static constexpr wchar_t kAlphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
  constexpr size_t kAlphabetSize = sizeof kAlphabet / sizeof kAlphabet[0] - 1;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  uint64_t state = static_cast<uint64_t>(now.QuadPart) ^ (uint64_t{GetCurrentProcessId()} << 32) ^
                   static_cast<uint64_t>(attempt);
  for (int i = 0; i < kRandomLetters; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;  // a 64-bit LCG step
    letters[i] = kAlphabet[(state >> 33) % kAlphabetSize];
  }
  letters[kRandomLetters] = L'\0';
}

// Creates the temporary in the destination's directory, marked to be
// deleted when closed, and arms the console clean-up for it.
bool CreateTemporary(OutputState* output) {
  const wchar_t* slash = std::wcsrchr(output->destinationPath, L'\\');
  if (slash == nullptr) return false;
  const wchar_t* name = slash + 1;
  size_t nameLength = std::wcslen(name);
  if (nameLength > kLongestNameInTemporary) {
    nameLength = kLongestNameInTemporary;
    if (IS_HIGH_SURROGATE(name[nameLength - 1])) --nameLength;  // never half a character
  }
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    wchar_t letters[kRandomLetters + 1];
    RandomLetters(attempt, letters);
    const int written = std::swprintf(output->temporaryPath, windows::kWidePathSize, L"%.*ls.%.*ls.%ls.tmp",
                                      static_cast<int>(name - output->destinationPath),
                                      output->destinationPath, static_cast<int>(nameLength), name, letters);
    if (written < 0 || !windows::PrefixLongPath(output->temporaryPath)) return false;
    windows::BeginOutputStep();
    // Shared for deleting only, so that the console clean-up can remove it
    // should the mark not take.
    output->file = CreateFileW(output->temporaryPath, GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (IsOpen(output->file)) {
      DeleteWhenClosed(output->file, true);
      windows::ArmCleanup(output->temporaryPath);
      output->viaTemporary = true;
    }
    windows::EndOutputStep();
    if (IsOpen(output->file)) return true;
    if (error != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

// Takes the existing file at `path` as the destination: opened for writing,
// which refuses a file the user may not write, and sharing only reading,
// which refuses it while another run (or any program writing it) has it
// open and keeps others from writing it until this run is done. A read-only
// file and one of the inputs are refused.
bool LockExisting(const wchar_t* path, std::initializer_list<const char*> inputs,
                  OutputState* output) {
  output->destination = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  FileFacts facts;
  if (!IsOpen(output->destination) || !windows::InspectHandle(output->destination, &facts) ||
      (facts.attributes & FILE_ATTRIBUTE_READONLY) != 0 || windows::IsAnInput(inputs, facts)) {
    return false;
  }
  // The temporary goes beside the file itself, also when a symbolic link led here.
  const DWORD length = GetFinalPathNameByHandleW(output->destination, output->destinationPath,
                                                 windows::kWidePathSize, FILE_NAME_NORMALIZED);
  if (length > 0 && length < windows::kWidePathSize) return true;
  return GetFullPathNameW(path, windows::kWidePathSize, output->destinationPath, nullptr) > 0 &&
         windows::PrefixLongPath(output->destinationPath);
}

// Takes `path`, where no file exists, as the destination of a new file.
bool ResolveNewFile(const wchar_t* path, OutputState* output) {
  wchar_t* name = nullptr;
  const DWORD length = GetFullPathNameW(path, windows::kWidePathSize, output->destinationPath, &name);
  return length > 0 && length < windows::kWidePathSize && name != nullptr && *name != L'\0' &&
         windows::PrefixLongPath(output->destinationPath);
}

// Opens a destination that is not a file on a disk (NUL, CON, a named pipe)
// for writing in place.
bool OpenDevice(const wchar_t* path, OutputState* output) {
  output->file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  return IsOpen(output->file) && GetFileType(output->file) != FILE_TYPE_DISK;
}

// Opens `path` into the process's output state; false when it cannot be
// written or replaced (the caller then abandons what was opened).
bool OpenOutput(const char* path, std::initializer_list<const char*> inputs, OutputState* output) {
  if (!windows::ToSystemPath(path, gRequestedPath)) return false;
  if (windows::IsDevicePath(gRequestedPath)) return OpenDevice(gRequestedPath, output);
  // First only a look at what is there, which disturbs no one.
  const HANDLE look = CreateFileW(gRequestedPath, FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (!IsOpen(look)) {
    return GetLastError() == ERROR_FILE_NOT_FOUND && ResolveNewFile(gRequestedPath, output) &&
           CreateTemporary(output);
  }
  FileFacts facts;
  const bool onDisk = windows::InspectHandle(look, &facts);
  CloseHandle(look);
  if (!onDisk) return OpenDevice(gRequestedPath, output);
  if ((facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  return LockExisting(gRequestedPath, inputs, output) && CreateTemporary(output);
}

}  // namespace

bool InUse() { return IsOpen(gOutput.file) || IsOpen(gOutput.destination); }

bool Open(const char* path, std::initializer_list<const char*> inputs) {
  return OpenOutput(path, inputs, &gOutput);
}

ptrdiff_t Write(const void* data, size_t size) {
  DWORD written = 0;
  const BOOL wrote = WriteFile(gOutput.file, data, static_cast<DWORD>(size < kLargestWrite ? size : kLargestWrite),
                               &written, nullptr);
  // Part written before a failure counts, as with write(2); the next call reports the failure.
  if (wrote != 0 || written > 0) return static_cast<ptrdiff_t>(written);
  errno = ErrnoFor(GetLastError());
  return -1;
}

bool Commit() {
  if (!gOutput.viaTemporary) {
    const bool closed = CloseHandle(gOutput.file) != 0;
    gOutput.file = INVALID_HANDLE_VALUE;
    return closed;
  }
  windows::BeginOutputStep();
  // Both files must be closed first: ReplaceFileW and MoveFileExW open them
  // again. Another run may take the destination in that moment; this run's
  // replacement then fails and leaves that run's file.
  bool placed = DeleteWhenClosed(gOutput.file, false);
  CloseAndForget(&gOutput.file);
  if (IsOpen(gOutput.destination)) {
    CloseAndForget(&gOutput.destination);
    // Keeps the replaced file's attributes and security.
    placed = placed && ReplaceFileW(gOutput.destinationPath, gOutput.temporaryPath, nullptr, 0,
                                    nullptr, nullptr) != 0;
  } else {
    placed = placed && MoveFileExW(gOutput.temporaryPath, gOutput.destinationPath,
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!placed) DeleteFileW(gOutput.temporaryPath);
  windows::DisarmCleanup();
  gOutput.viaTemporary = false;
  windows::EndOutputStep();
  return placed;
}

void Close() {
  windows::BeginOutputStep();
  CloseAndForget(&gOutput.file);  // deletes a temporary, which is marked so
  if (gOutput.viaTemporary) {
    DeleteFileW(gOutput.temporaryPath);  // in case the mark did not take
    windows::DisarmCleanup();
    gOutput.viaTemporary = false;
  }
  windows::EndOutputStep();
  CloseAndForget(&gOutput.destination);
}

}  // namespace png2zeq::system_output
