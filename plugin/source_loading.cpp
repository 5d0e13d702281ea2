// Source loading: memory images are used in place, files are read whole.
#include "plugin/source_loading.h"

#include "plugin/plugin_api.h"

namespace {

HANDLE OpenSourceFile(LPCSTR name) {
  return CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

DWORD ReadSource(HANDLE file, void* block, DWORD bytes) {
  DWORD read = 0;
  if (!ReadFile(file, block, bytes, &read, nullptr)) return 0;
  return read;
}

}  // namespace

int32_t LoadSource(LPCSTR buf, LONG_PTR len, uint32_t flag, Source* source) {
  if (flag & kInputModeMask) {
    // A negative length holds nothing the decoder may read.
    source->bytes = McaSpan{reinterpret_cast<const uint8_t*>(buf), len > 0 ? size_t(len) : 0};
    source->block = nullptr;
    return kResultOk;
  }
  HANDLE file = OpenSourceFile(buf);
  if (file == INVALID_HANDLE_VALUE) return kResultFileError;
  const DWORD size = GetFileSize(file, nullptr);
  // An empty file still gets a block, so that it fails as a picture, not as memory.
  HLOCAL block = LocalAlloc(LMEM_FIXED, size ? size : 1);
  DWORD read = 0;
  if (block) read = ReadSource(file, block, size);
  CloseHandle(file);
  if (!block) return kResultNoMemory;
  // A short read leaves the rest of the block unset: only what arrived is the source.
  source->bytes = McaSpan{static_cast<const uint8_t*>(block), read};
  source->block = block;
  return kResultOk;
}

void ReleaseSource(Source* source) {
  if (source->block) LocalFree(source->block);
  source->block = nullptr;
}
