// The bytes of a picture call: the caller's image, or a named file read whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "windows/platform.h"

struct SourceBytes {
  const uint8_t* data;
  size_t size;
};

struct Source {
  SourceBytes bytes;
  HLOCAL block;  // the file's block in file mode, owned by the call; else null
};

// kResultOk, kResultFileError or kResultNoMemory; on kResultOk the source
// must be released with ReleaseSource.
int32_t LoadSource(LPCSTR buf, LONG_PTR len, uint32_t flag, Source* source);
#if defined(_WIN64)
// The same with a UTF-16 file name.
int32_t LoadSourceW(LPCWSTR buf, LONG_PTR len, uint32_t flag, Source* source);
#endif
void ReleaseSource(Source* source);
