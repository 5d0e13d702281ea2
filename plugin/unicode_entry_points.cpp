// The 64-bit build's Unicode entry points. File names are UTF-16; in memory
// mode each behaves exactly as its ANSI twin, and the strings are the same
// four, as UTF-16.
#include "plugin/picture_calls.h"

namespace {

// Entry 1 reads "「F&C Canvas」用 MCA Plug-in ver 1.00".
const wchar_t* const kDescriptionsW[] = {
    L"00IN",
    L"\u300C" L"F&C Canvas" L"\u300D" L"\u7528" L" MCA Plug-in ver 1.00",
    L"*.mca",
    L"F&C *.MCA",
};

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

int32_t WINAPI GetPluginInfoW(int32_t infono, LPWSTR buf, int32_t buflen) {
  if (infono < 0 || infono > 3 || buflen <= 0) return 0;
  const wchar_t* text = kDescriptionsW[infono];
  // As many whole characters as fit in buflen - 1 units, then a zero.
  int32_t n = 0;
  while (text[n] != 0 && n < buflen - 1) ++n;
  if (n > 0 && text[n] != 0 && IsHighSurrogate(text[n - 1])) --n;
  for (int32_t i = 0; i < n; ++i) buf[i] = text[i];
  buf[n] = 0;
  return n;
}

int32_t WINAPI IsSupportedW(LPCWSTR, DWORD_PTR dw) { return IsSupported(nullptr, dw); }

int32_t WINAPI GetPictureInfoW(LPCWSTR buf, LONG_PTR len, uint32_t flag, PictureInfo* lpInfo) {
  Source source;
  return DescribePicture(LoadSourceW(buf, len, flag, &source), &source, lpInfo);
}

int32_t WINAPI GetPictureW(LPCWSTR buf, LONG_PTR len, uint32_t flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                           ProgressCallback lpProgressCallback, LONG_PTR lData) {
  Source source;
  return DeliverPicture(LoadSourceW(buf, len, flag, &source), &source, pHBInfo, pHBm, lpProgressCallback, lData);
}

int32_t WINAPI GetPreviewW(LPCWSTR, LONG_PTR, uint32_t, HLOCAL*, HLOCAL*, ProgressCallback, LONG_PTR) {
  return kResultNotProvided;
}
