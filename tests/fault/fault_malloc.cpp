// An allocator shim for LD_PRELOAD that makes one chosen heap call of a
// process fail, so that tests can fail allocations inside libpng, zlib and
// the C library, which the converter's own seam cannot reach.
//
// Environment:
//   PNG2ZEQ_FAULT_FAIL_CALL=N  the N-th call (1 = first) of malloc, calloc or
//                              realloc returns NULL with errno ENOMEM;
//                              unset or 0: no call fails.
//   PNG2ZEQ_FAULT_REPORT=1     at exit, write to standard error
//                              "fault-malloc: calls=C failed=F\n".
//   PNG2ZEQ_FAULT_PROGRAM=name only a process of that program name counts,
//                              fails and reports; any other (a shell or a
//                              launcher that runs the program) passes every
//                              call through.
// Calls are passed on to the C library's own allocator, so the shim needs
// no symbol lookup of its own (which would allocate).

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

// The C library's own entry points behind malloc and friends.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
extern char* program_invocation_short_name;
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}
// NOLINTEND(bugprone-reserved-identifier)

namespace {

unsigned long callCount = 0;
unsigned long failCall = 0;
unsigned long failedCount = 0;
bool configured = false;
bool report = false;
bool active = false;

// Reads the environment once, at the first heap call; getenv allocates
// nothing.
void Configure() {
  if (configured) return;
  configured = true;
  const char* program = std::getenv("PNG2ZEQ_FAULT_PROGRAM");
  active = program == nullptr || std::strcmp(program, program_invocation_short_name) == 0;
  if (!active) return;
  const char* fail = std::getenv("PNG2ZEQ_FAULT_FAIL_CALL");
  failCall = fail != nullptr ? std::strtoul(fail, nullptr, 10) : 0;
  const char* reportText = std::getenv("PNG2ZEQ_FAULT_REPORT");
  report = reportText != nullptr && reportText[0] == '1';
}

// Counts the call; true when this is the one to refuse.
bool RefuseThisCall() {
  Configure();
  if (!active) return false;
  ++callCount;
  if (failCall != 0 && callCount == failCall) {
    ++failedCount;
    errno = ENOMEM;
    return true;
  }
  return false;
}

__attribute__((destructor)) void ReportCalls() {
  if (!report) return;
  char text[96];
  const int length =
      std::snprintf(text, sizeof text, "fault-malloc: calls=%lu failed=%lu\n", callCount, failedCount);
  if (length > 0) {
    const ssize_t ignored = write(STDERR_FILENO, text, static_cast<size_t>(length));
    (void)ignored;
  }
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
  if (RefuseThisCall()) return nullptr;
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  if (RefuseThisCall()) return nullptr;
  return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  if (RefuseThisCall()) return nullptr;
  return __libc_realloc(block, size);
}

void free(void* block) { __libc_free(block); }

}  // extern "C"
