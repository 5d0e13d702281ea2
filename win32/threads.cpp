// Threads and the process's processors, over POSIX threads.
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "win32/win32_shim.h"

namespace {

struct Thread {
  pthread_t id;
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  bool joined;
};

std::mutex threadsLock;
std::unordered_set<Thread*>& LiveThreads() {
  static std::unordered_set<Thread*> threads;
  return threads;
}

std::atomic<DWORD_PTR> narrowedMask{0};

void* Run(void* thread) {
  Thread* t = static_cast<Thread*>(thread);
  t->start(t->parameter);
  return nullptr;
}

}  // namespace

HANDLE CreateThread(void*, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD, DWORD*) {
  if (ShimAllocationFails()) return nullptr;
  Thread* t = static_cast<Thread*>(std::calloc(1, sizeof(Thread)));
  if (!t) return nullptr;
  t->start = start;
  t->parameter = parameter;
  if (pthread_create(&t->id, nullptr, Run, t) != 0) {
    std::free(t);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(threadsLock);
  LiveThreads().insert(t);
  return t;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD) {
  Thread* t = static_cast<Thread*>(handle);
  {
    std::lock_guard<std::mutex> guard(threadsLock);
    if (!LiveThreads().count(t)) std::abort();  // not a thread handle: a bug
    if (t->joined) return WAIT_OBJECT_0;
    t->joined = true;
  }
  pthread_join(t->id, nullptr);
  return WAIT_OBJECT_0;
}

// Called by CloseHandle for handles that are no files.
bool ShimCloseThread(HANDLE handle) {
  Thread* t = static_cast<Thread*>(handle);
  std::lock_guard<std::mutex> guard(threadsLock);
  if (!LiveThreads().erase(t)) return false;
  if (!t->joined) pthread_detach(t->id);
  std::free(t);
  return true;
}

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(intptr_t(-1)); }

BOOL GetProcessAffinityMask(HANDLE, DWORD_PTR* processMask, DWORD_PTR* systemMask) {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return FALSE;
  DWORD_PTR mask = 0;
  for (unsigned i = 0; i < 8 * sizeof mask; ++i) {
    if (CPU_ISSET(i, &set)) mask |= DWORD_PTR(1) << i;
  }
  *systemMask = mask;
  const DWORD_PTR narrowed = narrowedMask.load();
  *processMask = narrowed ? narrowed & mask : mask;
  return TRUE;
}

BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR processMask) {
  // As Windows: only processors of the system, and at least one.
  DWORD_PTR current = 0, system = 0;
  if (processMask == 0 || !GetProcessAffinityMask(process, &current, &system) || (processMask & ~system) != 0) {
    return FALSE;
  }
  narrowedMask.store(processMask);
  return TRUE;
}
