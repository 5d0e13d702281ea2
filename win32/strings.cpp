// The two ANSI string calls the description table uses.
#include "win32/win32_shim.h"

LPSTR lstrcpyA(LPSTR to, LPCSTR from) {
  LPSTR out = to;
  while ((*out++ = *from++) != 0) {
  }
  return to;
}

int lstrlenA(LPCSTR text) {
  int n = 0;
  if (text) {
    while (text[n]) ++n;
  }
  return n;
}
