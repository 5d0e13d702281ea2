// The threads a decode may use, supplied by the caller: the plug-in starts
// them through its platform, native programs through the C++ library. The
// decoder starts them after the output is taken and joins them before it
// returns; a thread that cannot be started leaves its work to the others.
#pragma once

#include <cstdint>

struct McaThreads {
  int32_t count;             // threads to use, the calling one included; 1 starts none
  uint64_t minPixelBytes;    // smaller pictures stay on the calling thread
  // Starts run(argument) on a new thread; false when none can be had.
  bool (*start)(void (*run)(void*), void* argument, void** thread);
  void (*join)(void* thread);
};

// Pictures below this many bytes of pixels decode on the calling thread:
// starting and joining a thread costs more than it saves there.
constexpr uint64_t kMcaMinPixelBytesForThreads = 1u << 20;
