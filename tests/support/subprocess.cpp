#include "support/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace png2zeq::testing {
namespace {

// Reads both pipes until they close, so neither can fill up and block.
void DrainPipes(int outFd, int errFd, std::string& out, std::string& err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory) {
  int outPipe[2];
  int errPipe[2];
  ProcessResult result;
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int nullFd = open("/dev/null", O_RDONLY);
    dup2(nullFd, 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(127);
    execvp(program.c_str(), argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  DrainPipes(outPipe[0], errPipe[0], result.output, result.errors);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

ProcessResult RunConverterProcess(const std::vector<std::string>& arguments,
                                  const std::string& workingDirectory) {
  return RunProcess(ToolUnderTest("PNG2ZEQ_TEST_PNG2ZEQ", PNG2ZEQ_EXECUTABLE), arguments,
                    workingDirectory);
}

}  // namespace png2zeq::testing
