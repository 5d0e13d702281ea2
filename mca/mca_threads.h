// The threads a decode may use, supplied by the caller: the plug-in starts
// them through its platform, native programs through the C++ library. The
// decoder starts them after the output is taken and joins them before it
// returns; a thread that cannot be started leaves its work to the others.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/mca.h"

struct McaThreads {
  int32_t count;             // threads to use, the calling one included; 1 starts none
  uint64_t minPixelBytes;    // smaller pictures stay on the calling thread
  uint32_t batchBytes;       // rows handed from producer to consumer at a time (0: kMcaBatchBytes)
  // Starts run(argument) on a new thread; 0 when none can be had.
  int (*start)(void (*run)(void*), void* argument, void** thread);
  void (*join)(void* thread);
};

// Pictures below this many bytes of pixels decode on the calling thread:
// starting and joining a thread costs more than it saves there.
constexpr uint64_t kMcaMinPixelBytesForThreads = 1u << 20;

// A batch of rows between a compressed frame's producer and consumer: large
// enough that handing it over costs little, small enough that the batches in
// flight stay in the shared cache.
constexpr uint32_t kMcaBatchBytes = 256 * 1024;

// Runs `run(argument)` on up to `wanted` threads (no more than threads.count
// allows), the calling one last; threads that cannot be started leave their
// share to the others.
inline void RunOnThreads(const McaThreads& threads, size_t wanted, void (*run)(void*), void* argument) {
  constexpr size_t kMost = MCA_MAX_THREADS;
  if (wanted > size_t(threads.count)) wanted = size_t(threads.count);
  void* started[kMost];
  size_t n = 0;
  while (n + 1 < wanted && n < kMost && threads.start(run, argument, &started[n])) ++n;
  run(argument);
  for (size_t i = 0; i < n; ++i) threads.join(started[i]);
}
