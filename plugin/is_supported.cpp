// Format recognition from a file handle or from the file's first bytes.
#include "plugin/plugin_api.h"

namespace {

constexpr DWORD kHeadBytes = 2000;

}  // namespace

int32_t WINAPI IsSupported(LPCSTR, DWORD_PTR dw) {
  if ((dw >> 16) != 0) return mca_has_signature(reinterpret_cast<const uint8_t*>(dw), 3) ? 1 : 0;
  // A word that fits in 16 bits is an open file handle; the read moves its position.
  HLOCAL block = LocalAlloc(LMEM_FIXED, kHeadBytes);
  if (!block) return 0;
  DWORD read = 0;
  const BOOL ok = ReadFile(reinterpret_cast<HANDLE>(dw), block, kHeadBytes, &read, nullptr);
  const bool matched = ok && mca_has_signature(static_cast<const uint8_t*>(block), read);
  LocalFree(block);
  return matched ? 1 : 0;
}
