#pragma once
// The fixed texts of the command line: banner, usage and result-code table.

namespace png2zeq {

// Prints the banner: program name and version, credit line, project page.
void PrintBanner();

// Prints the banner and the usage text naming `programPath`.
void PrintUsage(const char* programPath);

// Prints every result code with its name.
void PrintErrorCodes();

}  // namespace png2zeq
