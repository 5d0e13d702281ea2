#include "tests/support/fault_injection.h"

#include <atomic>
#include <cstddef>

namespace {
std::atomic<uint64_t> mallocCalls{0};
}

uint64_t MallocCalls() { return mallocCalls.load(); }

extern "C" void* __real_malloc(size_t bytes);

// Every malloc of the test program's own code, the decoder's among them,
// comes here; the countdown is shared with LocalAlloc.
extern "C" void* __wrap_malloc(size_t bytes) {
  mallocCalls.fetch_add(1);
  if (ShimAllocationFails()) return nullptr;
  return __real_malloc(bytes);
}
