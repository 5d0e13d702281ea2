#include "mca/std_threads.h"

#ifndef ZUVREK_NO_STD_THREADS
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

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

int32_t CpuMaxProcessors(const char* cpuMax) {
  unsigned long long quota = 0, period = 0;
  if (std::sscanf(cpuMax, "%llu %llu", &quota, &period) != 2 || period == 0) return 0;  // "max": no quota
  const unsigned long long whole = (quota + period - 1) / period;
  return whole < 1 ? 1 : whole > 1024 ? 1024 : int32_t(whole);
}

namespace {

#ifdef __linux__
// The processors this process may run on: its affinity mask.
int32_t AffinityProcessors() {
  for (int count = 1024; count <= 65536; count *= 2) {
    cpu_set_t* set = CPU_ALLOC(count);
    if (!set) return 0;
    const size_t bytes = CPU_ALLOC_SIZE(count);
    const int got = sched_getaffinity(0, bytes, set);
    const int n = got == 0 ? CPU_COUNT_S(bytes, set) : 0;
    CPU_FREE(set);
    if (got == 0) return n;
    if (errno != EINVAL) return 0;  // EINVAL: a larger mask is needed
  }
  return 0;
}

// The cgroup v2 CPU quota of this process's group and those above it, in
// whole processors, rounded up; 0 where there is none.
int32_t QuotaProcessors() {
  char line[4096];
  std::FILE* groups = std::fopen("/proc/self/cgroup", "r");
  if (!groups) return 0;
  std::string path;
  while (std::fgets(line, sizeof line, groups)) {
    if (std::strncmp(line, "0::", 3) == 0) path = std::string(line + 3, std::strcspn(line + 3, "\n"));
  }
  std::fclose(groups);
  if (path.empty()) return 0;
  int32_t least = 0;
  for (;;) {
    std::FILE* max = std::fopen(("/sys/fs/cgroup" + path + "/cpu.max").c_str(), "r");
    if (max) {
      const int32_t n = std::fgets(line, sizeof line, max) ? CpuMaxProcessors(line) : 0;
      std::fclose(max);
      if (n > 0 && (least == 0 || n < least)) least = n;
    }
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || path == "/") break;
    path = slash == 0 ? "/" : path.substr(0, slash);
  }
  return least;
}
#endif

}  // namespace

int32_t StdThreadProcessors() {
  unsigned n = std::thread::hardware_concurrency();
#ifdef __linux__
  // The machine's processors are not this process's: taskset and container
  // quotas leave it fewer.
  const int32_t allowed = AffinityProcessors();
  if (allowed > 0 && unsigned(allowed) < n) n = unsigned(allowed);
  // The quota is read once: it is files, and every decode asks.
  static const int32_t quota = QuotaProcessors();
  if (quota > 0 && unsigned(quota) < n) n = unsigned(quota);
#endif
  return n == 0 ? 1 : n > 1024 ? 1024 : int32_t(n);
}
#endif
