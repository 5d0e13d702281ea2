#include "tests/support/test_threads.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Workers started once and kept: fuzzers start threads for every input, and
// creating a thread under the sanitizers costs far more than the decode.
struct Worker {
  std::mutex lock;
  std::condition_variable changed;
  void (*run)(void*) = nullptr;
  void* argument = nullptr;
  bool busy = false;
  bool done = false;
};

constexpr int kWorkers = 32;  // more than the decoder ever starts
// Never destroyed: the workers wait on these until the process ends.
Worker* const workers = new Worker[kWorkers];
std::mutex poolLock;
bool poolStarted = false;

void Serve(Worker* w) {
  for (;;) {
    std::unique_lock<std::mutex> guard(w->lock);
    w->changed.wait(guard, [&] { return w->run != nullptr; });
    void (*run)(void*) = w->run;
    void* argument = w->argument;
    guard.unlock();
    run(argument);
    guard.lock();
    w->run = nullptr;
    w->done = true;
    w->changed.notify_all();
  }
}

std::atomic<int> starts{0};
std::atomic<int> failFrom{0};
std::atomic<int> started{0};

int Start(void (*run)(void*), void* argument, void** thread) {
  const int n = ++starts;
  if (failFrom != 0 && n >= failFrom) return false;
  std::lock_guard<std::mutex> guard(poolLock);
  if (!poolStarted) {
    for (int i = 0; i < kWorkers; ++i) std::thread(Serve, &workers[i]).detach();
    poolStarted = true;
  }
  for (int i = 0; i < kWorkers; ++i) {
    Worker& w = workers[i];
    if (w.busy) continue;
    std::lock_guard<std::mutex> workerGuard(w.lock);
    w.busy = true;
    w.done = false;
    w.run = run;
    w.argument = argument;
    w.changed.notify_all();
    *thread = &w;
    ++started;
    return true;
  }
  return false;  // every worker is busy: as if no thread could be had
}

void Join(void* thread) {
  Worker* w = static_cast<Worker*>(thread);
  {
    std::unique_lock<std::mutex> guard(w->lock);
    w->changed.wait(guard, [&] { return w->done; });
  }
  std::lock_guard<std::mutex> guard(poolLock);
  w->busy = false;
}

}  // namespace

McaThreads TestThreads(int32_t count, int fail) {
  starts = 0;
  started = 0;
  failFrom = fail;
  return McaThreads{count, 0, 4096, Start, Join};
}

int TestThreadsStarted() { return started; }
