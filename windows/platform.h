// KERNEL32 on Windows; our own small layer elsewhere.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "win32/win32_shim.h"
#endif
