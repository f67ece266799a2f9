// Removing the temporary output file when a signal ends the process.

#include <unistd.h>

#include <csignal>
#include <cstring>

#include "platform/posix/posix_output.h"

namespace png2zeq::posix {
namespace {

// Every signal another process (or the terminal, a timer, a resource limit)
// may send whose default action ends the process. Faults raised by the
// process's own instructions are left to whatever handles them (a sanitizer,
// a debugger). SIGXFSZ is ignored instead while an output is open, so that a
// write past the file-size limit fails.
constexpr int kFixedCleanupSignals[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
    SIGPIPE,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};
constexpr int kFixedCount = sizeof kFixedCleanupSignals / sizeof kFixedCleanupSignals[0];
// Room for the real-time signals, which also end a process by default.
constexpr int kMostCleanupSignals = kFixedCount + 64;

// What the handler needs, in storage it may touch.
char gTemporaryPath[PATH_MAX];
volatile sig_atomic_t gTemporaryExists = 0;
int gSignals[kMostCleanupSignals];
struct sigaction gPreviousActions[kMostCleanupSignals];
int gSignalCount = 0;
struct sigaction gPreviousFileSizeAction;

// Fills gSignals once: the fixed list, then the real-time signals.
void ListCleanupSignals() {
  if (gSignalCount != 0) return;
  for (const int signalNumber : kFixedCleanupSignals) gSignals[gSignalCount++] = signalNumber;
#ifdef SIGRTMIN
  for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber) {
    if (gSignalCount < kMostCleanupSignals) gSignals[gSignalCount++] = signalNumber;
  }
#endif
}

// Removes the temporary file, puts back the action the signal had before,
// and raises it again: it is delivered as soon as this handler returns, so
// the process ends as it would have (or a previous handler runs).
extern "C" void RemoveTemporaryAndResend(int signalNumber) {
  if (gTemporaryExists != 0) unlink(gTemporaryPath);
  gTemporaryExists = 0;
  for (int i = 0; i < gSignalCount; ++i) {
    if (gSignals[i] == signalNumber) sigaction(signalNumber, &gPreviousActions[i], nullptr);
  }
  raise(signalNumber);
}

}  // namespace

void BlockCleanupSignals(sigset_t* previous) {
  ListCleanupSignals();
  sigset_t blocked;
  sigemptyset(&blocked);
  for (int i = 0; i < gSignalCount; ++i) sigaddset(&blocked, gSignals[i]);
  sigprocmask(SIG_BLOCK, &blocked, previous);
}

void ArmCleanup(const char* temporaryPath) {
  ListCleanupSignals();
  std::memcpy(gTemporaryPath, temporaryPath, std::strlen(temporaryPath) + 1);
  gTemporaryExists = 1;
  struct sigaction action = {};
  action.sa_handler = RemoveTemporaryAndResend;
  sigfillset(&action.sa_mask);  // one clean-up at a time
  for (int i = 0; i < gSignalCount; ++i) {
    sigaction(gSignals[i], &action, &gPreviousActions[i]);
    // A signal the process ignores stays ignored (nohup, a parent's choice).
    if (gPreviousActions[i].sa_handler == SIG_IGN) sigaction(gSignals[i], &gPreviousActions[i], nullptr);
  }
}

void DisarmCleanup() {
  gTemporaryExists = 0;
  for (int i = 0; i < gSignalCount; ++i) {
    if (gPreviousActions[i].sa_handler != SIG_IGN) sigaction(gSignals[i], &gPreviousActions[i], nullptr);
  }
}

void IgnoreFileSizeSignal() {
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, &gPreviousFileSizeAction);
}

void RestoreFileSizeSignal() { sigaction(SIGXFSZ, &gPreviousFileSizeAction, nullptr); }

}  // namespace png2zeq::posix
