#include "mcadec/interrupts.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "mcadec/settings.h"

namespace {

// One slot a file being written at once (-j is at most kMaxJobs). The
// handler may only read the slots: it takes no lock and frees nothing.
constexpr unsigned kSlots = kMaxJobs;
std::atomic<char*> slots[kSlots];
std::atomic<bool> progressLine{false};
std::atomic<size_t> filesConverted{0};
std::atomic<size_t> filesInRun{0};
const char* programName = "mcadec";

// Appends n's digits at `at`, as a handler may not call snprintf.
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

char* PutText(char* at, const char* text) { return std::copy(text, text + std::strlen(text), at); }

}  // namespace

bool HoldTemporary(const char* path) {
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

void NoteProgramName(const char* name) { programName = name; }

void NoteProgressLine(bool open) { progressLine.store(open); }

void NoteFilesInRun(size_t total) { filesInRun.store(total); }

void NoteFileConverted() { filesConverted.fetch_add(1); }

void RemoveTemporariesAndSay(void (*remove)(const char* path), void (*say)(const char* text, size_t length)) {
  for (std::atomic<char*>& slot : slots) {
    if (char* path = slot.load()) remove(path);
  }
  if (progressLine.load()) say("\n", 1);
  const size_t total = filesInRun.load();
  if (total == 0) return;
  char line[112];
  char* at = PutText(line, programName);
  const size_t converted = filesConverted.load();
  if (total == 1) {
    at = PutText(at, converted ? ": interrupted after the file was converted\n" : ": interrupted: nothing was written\n");
  } else {
    at = PutText(at, ": interrupted after converting ");
    at = PutNumber(at, converted);
    at = PutText(at, " of ");
    at = PutNumber(at, total);
    at = PutText(at, " files\n");
  }
  say(line, size_t(at - line));
}
