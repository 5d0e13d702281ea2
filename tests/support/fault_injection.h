// Native tests fail chosen allocations: local blocks through our Win32 layer,
// and the decoder's malloc buffers through a link-time wrapper around malloc.
#pragma once

#include <cstdint>

#include "win32/win32_shim.h"

// Counts the decoder-side malloc calls made while armed (see ShimFailAllocation).
uint64_t MallocCalls();
