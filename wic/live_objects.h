// The count of live COM objects and server locks, which decides whether COM
// may unload the DLL. Depends on nothing of the codec, so that every object
// can count itself without the objects and the module depending on each
// other.
#pragma once

#include <windows.h>

void ObjectCreated();
void ObjectDestroyed();
void ServerLock(BOOL lock);
// True when no object and no server lock is left.
bool NoLiveObjects();
