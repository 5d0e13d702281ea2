// Calls a plug-in function with pointer-sized arguments and checks that it
// kept the calling convention: on i686 the arguments are pushed right to
// left and a stdcall callee removes them (a cdecl one leaves them, which
// shows as a stack delta); on x86-64 the first four go in RCX, RDX, R8 and
// R9 with a 32-byte shadow area, and the callee must preserve RSP and the
// callee-saved registers, which the call fills with known values and reads
// back afterwards.
#pragma once

#include <cstdint>

struct SpiCallCheck {
  intptr_t stackDelta;  // bytes the stack pointer moved across the call
  uint32_t clobbered;   // x86-64: one bit per callee-saved register found changed
};

// Bits of SpiCallCheck::clobbered.
enum : uint32_t {
  kClobberedRbx = 1u << 0,
  kClobberedRbp = 1u << 1,
  kClobberedRdi = 1u << 2,
  kClobberedRsi = 1u << 3,
  kClobberedR12 = 1u << 4,  // R12 to R15: bits 4 to 7
  kClobberedXmm6 = 1u << 8,  // XMM6 to XMM15: bits 8 to 17
};

// At most 8 arguments.
extern "C" intptr_t SpiCallChecked(const void* function, const uintptr_t* args, int32_t count, SpiCallCheck* check);
