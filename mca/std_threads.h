// Threads from the C++ library, for callers that supply none of their own.
// Builds without them (ZUVREK_NO_STD_THREADS) decode on the calling thread.
#pragma once

#include <cstdint>

#ifndef ZUVREK_NO_STD_THREADS
int StdThreadStart(void (*run)(void*), void* argument, void** thread);
void StdThreadJoin(void* thread);
int32_t StdThreadProcessors();
#endif
