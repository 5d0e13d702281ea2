#include "mcadec/interrupts.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// One slot a file being written at once (-j is at most 1024). The handler
// may only read the slots and unlink: it takes no lock and frees nothing.
constexpr int kSlots = 1024;
std::atomic<char*> slots[kSlots];

void Remove(int signal) {
  for (std::atomic<char*>& slot : slots) {
    if (char* path = slot.load()) unlink(path);
  }
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

bool ProtectTemporary(const char* path) {
  char* copy = strdup(path);
  if (!copy) return false;
  for (std::atomic<char*>& slot : slots) {
    char* empty = nullptr;
    if (slot.compare_exchange_strong(empty, copy)) return true;
  }
  std::free(copy);
  return false;
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
