// The threads a decode may use, supplied by the caller: the plug-in starts
// them through its platform, native programs through the C++ library. The
// decoder starts them after the output is taken and joins them before it
// returns; a thread that cannot be started leaves its work to the others.
#pragma once

#include <cstdint>

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
