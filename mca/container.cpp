// Container head, frame table and geometry scan.
#include <cstring>

#include "mca/byte_order.h"
#include "mca/container.h"

bool ReadMcaBytes(McaSpan container, uint64_t offset, uint8_t* out, size_t n) {
  if (!container.reader) {
    std::memcpy(out, container.data + offset, n);
    return true;
  }
  return container.reader->read(container.reader->context, offset, out, n) != 0;
}

bool IsMcaSignature(const uint8_t* head) {
  // Byte by byte, so that no more than the three signature bytes are read.
  return head[0] == 'M' && head[1] == 'C' && head[2] == 'A';
}

int64_t McaRowStride(int32_t width) {
  if (width <= 0) return 0;
  return (3 * int64_t(width) + 3) / 4 * 4;
}

int64_t McaFrameRowBytes(int32_t width, int32_t pixelFormat) {
  if (width <= 0) return 0;
  if (pixelFormat == kMcaIndexedFormat) return (int64_t(width) + 3) / 4 * 4;
  return McaRowStride(width);
}

mca_status ParseMcaHeader(const uint8_t* head, uint64_t size, McaHeader* header) {
  const int32_t paletteCount = LoadLe32Signed(head + 24);
  if (paletteCount < 0 || paletteCount > kMcaMaxPaletteCount) return MCA_BAD_PALETTE_COUNT;
  const uint64_t tableOffset = kMcaHeaderSize + 4 * uint64_t(paletteCount);
  if (tableOffset > size) return MCA_PALETTE_OUTSIDE;
  const int32_t frameCount = LoadLe32Signed(head + 32);
  if (frameCount > 0 && 4 * uint64_t(frameCount) > size - tableOffset) return MCA_TABLE_OUTSIDE;
  header->pixelFormat = LoadLe32Signed(head + 20);
  header->paletteCount = paletteCount;
  header->frameCount = frameCount;
  header->frameTableOffset = uint32_t(tableOffset);
  return MCA_OK;
}

bool ReadMcaHeader(McaSpan container, McaHeader* header) {
  uint8_t head[kMcaHeaderSize];
  return container.size >= kMcaHeaderSize && ReadMcaBytes(container, 0, head, sizeof head) &&
         ParseMcaHeader(head, container.size, header) == MCA_OK;
}

bool FrameHeadInside(uint32_t offset, uint64_t size) {
  return offset <= size && size - offset >= kMcaFrameHeaderSize;
}

void ParseMcaFrameHeader(const uint8_t* f, uint32_t offset, McaFrameHeader* frame) {
  frame->compression = LoadLe32(f);
  frame->width = LoadLe32Signed(f + 12);
  frame->height = LoadLe32Signed(f + 16);
  frame->storedSize = LoadLe32Signed(f + 20);
  frame->expandedSize = LoadLe32Signed(f + 24);
  frame->payloadOffset = offset + kMcaFrameHeaderSize;
}

bool ReadMcaFrameHeader(McaSpan container, const McaHeader& header, int32_t index,
                        McaFrameHeader* frame) {
  uint8_t entry[4], head[kMcaFrameHeaderSize];
  if (!ReadMcaBytes(container, header.frameTableOffset + 4 * uint64_t(index), entry, sizeof entry)) return false;
  const uint32_t offset = LoadLe32(entry);
  if (!FrameHeadInside(offset, container.size) || !ReadMcaBytes(container, offset, head, sizeof head)) return false;
  ParseMcaFrameHeader(head, offset, frame);
  return true;
}
