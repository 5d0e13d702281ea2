// SIGINT, SIGTERM and SIGHUP: the temporary files removed, the words said,
// then the program dies by the same signal.
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

#include "mcadec/interrupts.h"

namespace {

thread_local sigset_t heldBefore;

void Unlink(const char* path) { unlink(path); }

void SayOnStandardError(const char* text, size_t length) {
  const ssize_t ignored = write(STDERR_FILENO, text, length);
  (void)ignored;
}

void Remove(int signal) {
  RemoveTemporariesAndSay(Unlink, SayOnStandardError);
  // Dies by the signal itself: the shell sees it, and a loop stops.
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  sigset_t pending;
  sigemptyset(&pending);
  sigaddset(&pending, signal);
  sigprocmask(SIG_UNBLOCK, &pending, nullptr);
  raise(signal);
  _exit(128 + signal);
}

sigset_t Interrupts() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
  return set;
}

}  // namespace

void RemoveTemporariesOnSignals() {
  // Past a file size limit, writes fail and the file is cleaned up, rather
  // than the process being killed with a temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  struct sigaction action = {};
  action.sa_handler = Remove;
  action.sa_mask = Interrupts();
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

// Each thread blocks the signals for itself while it makes a file.
void BlockInterrupts() {
  const sigset_t held = Interrupts();
  pthread_sigmask(SIG_BLOCK, &held, &heldBefore);
}

void UnblockInterrupts() { pthread_sigmask(SIG_SETMASK, &heldBefore, nullptr); }
