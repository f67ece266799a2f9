#pragma once

#include <string>
#include <vector>

namespace png2zeq::testing {

struct ProcessResult {
  int exitStatus = -1;  // -1 when the process did not exit normally
  std::string output;   // everything written to standard output
  std::string errors;   // everything written to standard error
};

// Runs `program` with `arguments` (argv[1..]) in `workingDirectory` (empty:
// the current one), no standard input, and waits for it.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory = "");

// Runs the png2zeq executable under test.
ProcessResult RunConverterProcess(const std::vector<std::string>& arguments,
                                  const std::string& workingDirectory = "");

}  // namespace png2zeq::testing
