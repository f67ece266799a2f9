// Removing the temporary output file when a console event ends the process:
// Ctrl-C, Ctrl-Break, closing the console window, logging off, shutting down.

#include <windows.h>

#include <cwchar>

#include "platform/windows/wide_path.h"
#include "platform/windows/windows_output.h"

namespace png2zeq::windows {
namespace {

// Console events arrive on a thread of their own; this lock makes the main
// thread's steps and the clean-up take turns.
SRWLOCK gStepLock = SRWLOCK_INIT;
WidePath gArmedTemporary;
bool gArmed = false;
bool gHandlerInstalled = false;

// Removes the armed temporary, then lets the next handler act: the system's
// own one ends the process as it would have without this one. A temporary
// still open for writing is already marked for deletion when closed, which
// the end of the process does; removing it here covers the moment between
// that mark being lifted and the temporary being put in place.
BOOL WINAPI RemoveTemporaryOnConsoleEvent(DWORD) {
  AcquireSRWLockExclusive(&gStepLock);
  if (gArmed) DeleteFileW(gArmedTemporary);
  gArmed = false;
  ReleaseSRWLockExclusive(&gStepLock);
  return FALSE;
}

}  // namespace

void BeginOutputStep() { AcquireSRWLockExclusive(&gStepLock); }

void EndOutputStep() { ReleaseSRWLockExclusive(&gStepLock); }

void ArmCleanup(const wchar_t* temporary) {
  std::wmemcpy(gArmedTemporary, temporary, std::wcslen(temporary) + 1);
  gArmed = true;
  // Installed once and left in place: removing a handler could wait for the
  // event thread, which may be waiting for this step.
  if (!gHandlerInstalled) gHandlerInstalled = SetConsoleCtrlHandler(RemoveTemporaryOnConsoleEvent, TRUE) != 0;
}

void DisarmCleanup() { gArmed = false; }

}  // namespace png2zeq::windows
