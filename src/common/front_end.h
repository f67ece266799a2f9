#pragma once
// What both tools' run drivers do around their own work: name the program,
// and end a failed run with the one error line.

namespace png2zeq {

// argv[0], or `fallbackName` when the system passed no program name at all.
const char* ProgramName(int argc, char** argv, const char* fallbackName);

// Prints `Error "<codeName>" occurred for <inputPath>.`, naming
// "(no input file)" when the command line failed before an input path was
// recorded (`inputPath` null).
void PrintErrorLine(const char* codeName, const char* inputPath);

}  // namespace png2zeq
