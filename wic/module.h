// What the DLL as a whole keeps: its own module handle, for the path it
// registers.
#pragma once

#include <windows.h>

HMODULE CodecModule();
