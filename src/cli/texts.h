#pragma once
// The fixed texts of the command line: banner, usage and result-code table.

namespace png2zeq {

// Program version shown by the banner as major.minor.0.0.
inline constexpr unsigned kVersionMajor = 0;
inline constexpr unsigned kVersionMinor = 2;

// Prints the banner: program name and version, credit line, project page.
void PrintBanner();

// Prints the banner and the usage text naming `programPath`.
void PrintUsage(const char* programPath);

// Prints every result code with its name.
void PrintErrorCodes();

}  // namespace png2zeq
