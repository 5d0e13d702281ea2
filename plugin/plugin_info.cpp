// Description strings, and the previews this plug-in does not provide.
#include "plugin/plugin_api.h"

namespace {

// Shift_JIS bytes: entry 1 reads "「F&C Canvas」用 MCA Plug-in ver 1.00".
const char* const kDescriptions[] = {
    "00IN",
    "\x81\x75" "F&C Canvas" "\x81\x76" "\x97\x70" " MCA Plug-in ver 1.00",
    "*.mca",
    "F&C *.MCA",
};

bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Copies the whole characters of `text` that fit in room - 1 bytes and ends
// the copy with a zero byte; a two-byte character is never split.
int32_t CopyCut(const char* text, char* buf, int32_t room) {
  int32_t n = 0;
  for (;;) {
    const int32_t width = IsLeadByte(uint8_t(text[n])) ? 2 : 1;
    if (text[n] == 0 || n + width > room - 1) break;
    n += width;
  }
  for (int32_t i = 0; i < n; ++i) buf[i] = text[i];
  buf[n] = 0;
  return n;
}

}  // namespace

int32_t WINAPI GetPluginInfo(int32_t infono, LPSTR buf, int32_t buflen) {
  if (infono < 0 || infono > 3 || buflen <= 0) return 0;
  const char* text = kDescriptions[infono];
  const int32_t length = lstrlenA(text);
  if (length < buflen) {
    lstrcpyA(buf, text);
    return length;
  }
  return CopyCut(text, buf, buflen);
}

int32_t WINAPI GetPreview(LPCSTR, LONG_PTR, uint32_t, HLOCAL*, HLOCAL*, ProgressCallback, LONG_PTR) {
  return kResultNotProvided;
}
