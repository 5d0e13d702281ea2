// On ARM64 a plug-in has one calling convention, the platform's, which the
// compiler keeps for every exported function: the call is a plain one, and
// the check reports nothing moved.
#include "tests/host/checked_call.h"

extern "C" intptr_t SpiCallChecked(const void* function, const uintptr_t* args, int32_t count, SpiCallCheck* check) {
  uintptr_t a[8] = {};
  for (int32_t i = 0; i < count && i < 8; ++i) a[i] = args[i];
  using Eight = intptr_t (*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t);
  const intptr_t result = reinterpret_cast<Eight>(const_cast<void*>(function))(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
  check->stackDelta = 0;
  check->clobbered = 0;
  return result;
}
