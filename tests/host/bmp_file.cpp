#include "tests/host/bmp_file.h"

#include <cstdint>
#include <cstdio>

namespace {

void PutLe(uint8_t* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

bool WriteBmpFile(const wchar_t* path, const void* info, size_t infoBytes, const void* pixels, size_t pixelBytes) {
  uint8_t head[14] = {'B', 'M'};
  PutLe(head + 2, uint32_t(sizeof head + infoBytes + pixelBytes), 4);
  PutLe(head + 10, uint32_t(sizeof head + infoBytes), 4);  // where the pixels start
  FILE* f = _wfopen(path, L"wb");
  if (!f) return false;
  bool ok = std::fwrite(head, 1, sizeof head, f) == sizeof head &&
            std::fwrite(info, 1, infoBytes, f) == infoBytes &&
            (pixelBytes == 0 || std::fwrite(pixels, 1, pixelBytes, f) == pixelBytes);
  ok = std::fclose(f) == 0 && ok;
  if (!ok) _wremove(path);  // no half-written picture stays behind
  return ok;
}
