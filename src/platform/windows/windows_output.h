#pragma once
// What the parts of the Windows output layer share. Not for use outside
// src/platform/windows.

#include <windows.h>

#include <initializer_list>

namespace png2zeq::windows {

// What identifies a file across its names (hard links included), and the
// attributes an output cares about.
struct FileFacts {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  DWORD attributes = 0;
};

// The facts of the file open in `handle`; false when the system cannot tell
// (a device, a pipe).
bool InspectHandle(HANDLE handle, FileFacts* facts);

// True when one of `inputs` (UTF-8 paths; null entries are skipped) is the
// file described by `file`.
bool IsAnInput(std::initializer_list<const char*> inputs, const FileFacts& file);

// Creating, placing and removing the temporary are steps that a console
// event (Ctrl-C, Ctrl-Break, closing the console) waits for; between them it
// removes the armed temporary before the process ends as it otherwise would.
void BeginOutputStep();
void EndOutputStep();

// Within a step: records `temporary` as the file to remove on a console
// event, and stops doing so.
void ArmCleanup(const wchar_t* temporary);
void DisarmCleanup();

}  // namespace png2zeq::windows
