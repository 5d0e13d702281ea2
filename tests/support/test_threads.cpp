#include "tests/support/test_threads.h"

#include <atomic>
#include <thread>

namespace {

std::atomic<int> starts{0};
std::atomic<int> failFrom{0};
std::atomic<int> started{0};

bool Start(void (*run)(void*), void* argument, void** thread) {
  const int n = ++starts;
  if (failFrom != 0 && n >= failFrom) return false;
  *thread = new std::thread(run, argument);
  ++started;
  return true;
}

void Join(void* thread) {
  std::thread* t = static_cast<std::thread*>(thread);
  t->join();
  delete t;
}

}  // namespace

McaThreads TestThreads(int32_t count, int fail) {
  starts = 0;
  started = 0;
  failFrom = fail;
  return McaThreads{count, 0, Start, Join};
}

int TestThreadsStarted() { return started; }
