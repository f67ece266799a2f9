#pragma once

#include <cstdlib>
#include <string>
#include <vector>

namespace png2zeq::testing {

struct ProcessResult {
  int exitStatus = -1;  // -1 when the process did not exit normally
  std::string output;   // everything written to standard output
  std::string errors;   // everything written to standard error
};

// Runs `program` (a name without a slash is looked up on PATH) with
// `arguments` (argv[1..]) in `workingDirectory` (empty:
// the current one), no standard input, and waits for it.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory = "");

// The tool under test: the program that the environment variable `variable`
// names when it is set (the same tool built for another runtime, such as the
// Node programs; a bare name is looked up on PATH), otherwise `builtPath`.
inline std::string ToolUnderTest(const char* variable, const std::string& builtPath) {
  const char* chosen = std::getenv(variable);
  return chosen != nullptr && *chosen != '\0' ? chosen : builtPath;
}

// Runs the png2zeq executable under test (PNG2ZEQ_TEST_PNG2ZEQ overrides it).
ProcessResult RunConverterProcess(const std::vector<std::string>& arguments,
                                  const std::string& workingDirectory = "");

}  // namespace png2zeq::testing
