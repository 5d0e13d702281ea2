// Calls a function with 32-bit arguments pushed right to left, as stdcall
// and cdecl both pass them, and measures the stack pointer across the call.
#pragma once

#include <cstdint>

extern "C" int32_t SpiCallChecked(const void* function, const uint32_t* args, int32_t count,
                                  int32_t* stackDelta);
