#include "windows/decode_threads.h"

#include <cstdlib>

#include "windows/platform.h"

namespace {

struct Started {
  HANDLE thread;
  void (*run)(void*);
  void* argument;
};

DWORD WINAPI Trampoline(LPVOID started) {
  Started* s = static_cast<Started*>(started);
  s->run(s->argument);
  return 0;
}

int Start(void (*run)(void*), void* argument, void** handle) {
  Started* s = static_cast<Started*>(std::malloc(sizeof(Started)));
  if (!s) return 0;
  s->run = run;
  s->argument = argument;
  s->thread = CreateThread(nullptr, 0, Trampoline, s, 0, nullptr);
  if (!s->thread) {
    std::free(s);
    return 0;
  }
  *handle = s;
  return 1;
}

void Join(void* handle) {
  Started* s = static_cast<Started*>(handle);
  WaitForSingleObject(s->thread, INFINITE);
  CloseHandle(s->thread);
  std::free(s);
}

int32_t Processors() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 1;
  int32_t n = 0;
  for (; process != 0; process &= process - 1) ++n;
  return n < 1 ? 1 : n;
}

}  // namespace

mca_thread_api WindowsDecodeThreads() { return mca_thread_api{Start, Join, Processors}; }
