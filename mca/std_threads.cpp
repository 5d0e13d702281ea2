#include "mca/std_threads.h"

#ifndef ZUVREK_NO_STD_THREADS
#include <system_error>
#include <thread>

int StdThreadStart(void (*run)(void*), void* argument, void** thread) {
  try {
    *thread = new std::thread(run, argument);
    return 1;
  } catch (const std::system_error&) {  // no thread to be had
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

void StdThreadJoin(void* thread) {
  std::thread* t = static_cast<std::thread*>(thread);
  t->join();
  delete t;
}

int32_t StdThreadProcessors() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n > 1024 ? 1024 : int32_t(n);
}
#endif
