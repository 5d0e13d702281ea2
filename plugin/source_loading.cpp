// Source loading: memory images are used in place, files are read whole.
#include "plugin/source_loading.h"

#include "plugin/picture_calls.h"
#include "plugin/plugin_api.h"

namespace {

bool IsMemoryMode(uint32_t flag) { return (flag & kInputModeMask) != 0; }

int32_t UseMemoryImage(const void* buf, LONG_PTR len, Source* source) {
  // A negative length holds nothing the decoder may read.
  source->bytes = SourceBytes{static_cast<const uint8_t*>(buf), len > 0 ? size_t(len) : 0};
  source->block = nullptr;
  return kResultOk;
}

DWORD ReadSource(HANDLE file, void* block, DWORD bytes) {
  DWORD read = 0;
  if (!ReadFile(file, block, bytes, &read, nullptr)) return 0;
  return read;
}

// Reads an open file whole and closes it.
int32_t ReadOpenFile(HANDLE file, Source* source) {
  if (file == INVALID_HANDLE_VALUE) return kResultFileError;
  const DWORD size = GetFileSize(file, nullptr);
  // An empty file still gets a block, so that it fails as a picture, not as memory.
  HLOCAL block = LocalAlloc(LMEM_FIXED, size ? size : 1);
  DWORD read = 0;
  if (block) read = ReadSource(file, block, size);
  CloseHandle(file);
  if (!block) return kResultNoMemory;
  // A short read leaves the rest of the block unset: only what arrived is the source.
  source->bytes = SourceBytes{static_cast<const uint8_t*>(block), read};
  source->block = block;
  return kResultOk;
}

}  // namespace

int32_t LoadSource(LPCSTR buf, LONG_PTR len, uint32_t flag, Source* source) {
  if (IsMemoryMode(flag)) return UseMemoryImage(buf, len, source);
  return ReadOpenFile(
      CreateFileA(buf, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr), source);
}

#if defined(_WIN64)
int32_t LoadSourceW(LPCWSTR buf, LONG_PTR len, uint32_t flag, Source* source) {
  if (IsMemoryMode(flag)) return UseMemoryImage(buf, len, source);
  return ReadOpenFile(
      CreateFileW(buf, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr), source);
}
#endif

mca_status ProbeGeometry(const SourceBytes& bytes, mca_info* geometry) {
  switch (const mca_status status = mca_probe_container(bytes.data, bytes.size, geometry, nullptr)) {
    case MCA_HEAD_OUTSIDE:
    case MCA_BAD_PALETTE_COUNT:
    case MCA_PALETTE_OUTSIDE:
    case MCA_TABLE_OUTSIDE:
    case MCA_FRAME_HEAD_OUTSIDE: return kProbeBroken;
    default: return status;
  }
}

void ReleaseSource(Source* source) {
  if (source->block) LocalFree(source->block);
  source->block = nullptr;
}
