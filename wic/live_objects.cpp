#include "wic/live_objects.h"

namespace {

LONG g_live = 0;  // objects alive plus server locks

}  // namespace

void ObjectCreated() { InterlockedIncrement(&g_live); }
void ObjectDestroyed() { InterlockedDecrement(&g_live); }
void ServerLock(BOOL lock) { lock ? ObjectCreated() : ObjectDestroyed(); }
bool NoLiveObjects() { return InterlockedCompareExchange(&g_live, 0, 0) == 0; }
