// Module entry: the plug-in keeps no state, so there is nothing to set up.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
