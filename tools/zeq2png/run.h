#pragma once

namespace zeq2png {

// Runs zeq2png for the argument vector and returns the process exit status:
// 0 after success, -help or -codes; 2 when started without arguments;
// otherwise the number of the result code that ended the run, after a line
// with the code's message and the error line naming it.
int RunZeq2Png(int argc, char** argv);

}  // namespace zeq2png
