#include "mcadec/interrupts.h"

#include "mcadec/settings.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <algorithm>

namespace {

// One slot a file being written at once (-j is at most kMaxJobs). The
// handler may only read the slots and unlink: it takes no lock and frees
// nothing.
constexpr unsigned kSlots = kMaxJobs;
std::atomic<char*> slots[kSlots];
std::atomic<bool> progressLine{false};
std::atomic<size_t> filesConverted{0};
std::atomic<size_t> filesInRun{0};

// Appends n's digits at `at`, as the handler may not call snprintf.
char* PutNumber(char* at, size_t n) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = char('0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (count > 0) *at++ = digits[--count];
  return at;
}

void Put(int fd, const char* text, size_t length) {
  const ssize_t ignored = write(fd, text, length);
  (void)ignored;
}

void Remove(int signal) {
  for (std::atomic<char*>& slot : slots) {
    if (char* path = slot.load()) unlink(path);
  }
  if (progressLine.load()) Put(STDERR_FILENO, "\n", 1);
  if (const size_t total = filesInRun.load()) {
    char line[96];
    char* at = line;
    const size_t converted = filesConverted.load();
    if (total == 1) {
      const char* said = converted ? "mcadec: interrupted after the file was converted\n"
                                   : "mcadec: interrupted: nothing was written\n";
      at = std::copy(said, said + std::strlen(said), at);
    } else {
      const char head[] = "mcadec: interrupted after converting ";
      at = std::copy(head, head + sizeof head - 1, at);
      at = PutNumber(at, converted);
      const char of[] = " of ";
      at = std::copy(of, of + sizeof of - 1, at);
      at = PutNumber(at, total);
      const char tail[] = " files\n";
      at = std::copy(tail, tail + sizeof tail - 1, at);
    }
    Put(STDERR_FILENO, line, size_t(at - line));
  }
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

}  // namespace

void RemoveTemporariesOnSignals() {
  struct sigaction action = {};
  action.sa_handler = Remove;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, s);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

int CreateTemporary(char* pattern) {
  sigset_t held, before;
  sigemptyset(&held);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, s);
  pthread_sigmask(SIG_BLOCK, &held, &before);
  char* copy = strdup(pattern);  // the length mkstemp keeps; the name is copied in after
  int fd = -1;
  if (copy) fd = mkstemp(pattern);
  int cause = copy ? errno : ENOMEM;
  bool inSlot = false;
  if (fd >= 0) {
    std::strcpy(copy, pattern);
    for (std::atomic<char*>& slot : slots) {
      char* empty = nullptr;
      if (slot.compare_exchange_strong(empty, copy)) {
        inSlot = true;
        break;
      }
    }
    if (!inSlot) {  // more files at once than slots: refuse rather than leave one behind
      close(fd);
      unlink(pattern);
      fd = -1;
      cause = EMFILE;
    }
  }
  if (!inSlot) std::free(copy);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  errno = cause;
  return fd;
}

void ReleaseTemporary(const char* path) {
  for (std::atomic<char*>& slot : slots) {
    char* held = slot.load();
    if (held && std::strcmp(held, path) == 0 && slot.compare_exchange_strong(held, nullptr)) {
      std::free(held);
      return;
    }
  }
}

void NoteProgressLine(bool open) { progressLine.store(open); }

void NoteFilesInRun(size_t total) { filesInRun.store(total); }

void NoteFileConverted() { filesConverted.fetch_add(1); }
