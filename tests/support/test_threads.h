// Threads for decodes in tests: a pool of workers behind the decoder's start
// and join, with a switch that makes the nth start fail.
#pragma once

#include "mca/mca_threads.h"

// `count` threads, used whatever the picture's size, handing small batches
// from producer to consumer; starts fail from the `failFrom`th on (0: none fails).
McaThreads TestThreads(int32_t count, int failFrom = 0);

// Threads started since the last TestThreads().
int TestThreadsStarted();
