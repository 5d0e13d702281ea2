// Threads from the C++ library, for callers that supply none of their own.
// Builds without them (ZUVREK_NO_STD_THREADS) decode on the calling thread.
#pragma once

#include <cstdint>

#ifndef ZUVREK_NO_STD_THREADS
int StdThreadStart(void (*run)(void*), void* argument, void** thread);
void StdThreadJoin(void* thread);
// The processors this process may use: the machine's, fewer where its
// affinity mask or its container's CPU quota (cgroup v2 cpu.max) allows
// fewer.
int32_t StdThreadProcessors();
// Whole processors a cgroup cpu.max line ("QUOTA PERIOD") allows, rounded
// up, at least 1; 0 for "max" or a line it cannot read.
int32_t CpuMaxProcessors(const char* cpuMax);
#endif
