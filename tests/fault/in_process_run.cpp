#include "in_process_run.h"

#include <unistd.h>

#include <cstdio>

#include "cli/run.h"
#include "common/heap.h"
#include "support/zeq_files.h"

namespace png2zeq::fault {
namespace {

// Standard output goes to a temporary file while `run` runs.
template <typename Run>
std::string CaptureStandardOutput(Run run) {
  std::fflush(stdout);
  FILE* capture = std::tmpfile();
  const int saved = dup(STDOUT_FILENO);
  if (capture == nullptr || saved < 0) {
    run();
    return "(standard output not captured)";
  }
  dup2(fileno(capture), STDOUT_FILENO);
  run();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);

  std::string text;
  std::rewind(capture);
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, capture)) > 0) text.append(buffer, got);
  std::fclose(capture);
  return text;
}

}  // namespace

InProcessRun RunInProcess(const std::vector<std::string>& arguments, unsigned failAllocation) {
  std::vector<std::string> storage = {"png2zeq"};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (std::string& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);

  InProcessRun result;
  ResetLedger();
  FailNthAllocation(failAllocation);
  result.output = CaptureStandardOutput(
      [&] { result.status = RunConverter(static_cast<int>(storage.size()), argv.data()); });
  FailNthAllocation(0);
  result.ledger = SummariseLedger();
  return result;
}

}  // namespace png2zeq::fault
