// Local memory blocks on the C heap, with a registry of live blocks so that
// tests can see leaks and a bad handle stops the program at once.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "win32/win32_shim.h"

namespace {

struct Block {
  uint8_t* data;  // null for a moveable block of 0 bytes
  size_t size;
  bool moveable;
  unsigned locks;
};

std::mutex registryLock;
std::unordered_map<HLOCAL, Block>& Registry() {
  static std::unordered_map<HLOCAL, Block> blocks;
  return blocks;
}
std::atomic<unsigned> failCountdown{0};

Block& Find(HLOCAL handle) {
  auto it = Registry().find(handle);
  if (it == Registry().end()) std::abort();  // a freed or foreign handle is a bug
  return it->second;
}

}  // namespace

bool ShimAllocationFails() {
  unsigned n = failCountdown.load();
  while (n != 0) {
    if (failCountdown.compare_exchange_weak(n, n - 1)) return n == 1;
  }
  return false;
}

void ShimFailAllocation(unsigned nth) { failCountdown.store(nth); }

size_t ShimLiveLocalBlocks() {
  std::lock_guard<std::mutex> guard(registryLock);
  return Registry().size();
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  if (ShimAllocationFails()) return nullptr;
  const bool moveable = (flags & LMEM_MOVEABLE) != 0;
  uint8_t* data = nullptr;
  if (bytes != 0 || !moveable) {
    // calloc rather than malloc: tests replace malloc to fail the decoder's
    // own buffers, and this heap must not answer for those.
    data = static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
    if (!data) return nullptr;
    if (!(flags & LMEM_ZEROINIT)) std::memset(data, 0xCD, bytes);  // shows reads of unset bytes
  }
  HLOCAL handle = data;
  if (moveable) {
    handle = std::calloc(1, 1);  // a distinct address that is not the data's
    if (!handle) {
      std::free(data);
      return nullptr;
    }
  }
  std::lock_guard<std::mutex> guard(registryLock);
  Registry()[handle] = Block{data, bytes, moveable, 0};
  return handle;
}

LPVOID LocalLock(HLOCAL handle) {
  std::lock_guard<std::mutex> guard(registryLock);
  Block& block = Find(handle);
  if (!block.data) return nullptr;
  if (block.moveable) ++block.locks;
  return block.data;
}

BOOL LocalUnlock(HLOCAL handle) {
  std::lock_guard<std::mutex> guard(registryLock);
  Block& block = Find(handle);
  if (block.locks == 0) return FALSE;
  return --block.locks != 0;
}

HLOCAL LocalFree(HLOCAL handle) {
  if (!handle) return nullptr;
  std::lock_guard<std::mutex> guard(registryLock);
  Block& block = Find(handle);
  std::free(block.data);
  if (block.moveable) std::free(handle);
  Registry().erase(handle);
  return nullptr;
}

SIZE_T LocalSize(HLOCAL handle) {
  std::lock_guard<std::mutex> guard(registryLock);
  return Find(handle).size;
}

UINT LocalFlags(HLOCAL handle) {
  std::lock_guard<std::mutex> guard(registryLock);
  return Find(handle).locks & LMEM_LOCKCOUNT;
}
