// What the DLL as a whole keeps: its own module handle (for the path it
// registers) and the count of live objects and server locks, which decides
// whether COM may unload it.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <new>
#include <utility>

// COM objects live on the C runtime's heap: made and destroyed without the
// C++ library's operator new, which would bring its exception machinery into
// a DLL that must not throw.
template <typename T, typename... Args>
T* MakeObject(Args&&... args) {
  void* memory = std::malloc(sizeof(T));
  return memory ? new (memory) T(std::forward<Args>(args)...) : nullptr;
}

template <typename T>
void DestroyObject(T* object) {
  object->~T();
  std::free(object);
}

HMODULE CodecModule();
void ObjectCreated();
void ObjectDestroyed();
void ServerLock(BOOL lock);
