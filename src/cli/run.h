#pragma once

namespace png2zeq {

// Runs one conversion for the argument vector and returns the process exit
// status: 0 after success, -help or -codes; 2 when started without
// arguments; otherwise the number of the result code that ended the run.
int RunConverter(int argc, char** argv);

}  // namespace png2zeq
