// What the DLL as a whole keeps: its own module handle (for the path it
// registers) and the count of live objects and server locks, which decides
// whether COM may unload it.
#pragma once

#include <windows.h>

HMODULE CodecModule();
void ObjectCreated();
void ObjectDestroyed();
void ServerLock(BOOL lock);
