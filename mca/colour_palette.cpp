#include "mca/colour_palette.h"

#include <algorithm>

namespace {
constexpr int32_t kMostColours = 256;

uint32_t EntryColour(const uint8_t* entry) {
  return uint32_t(entry[2]) << 16 | uint32_t(entry[1]) << 8 | entry[0];
}

}  // namespace

uint32_t ColourPalette::FindSlot(uint32_t colour) const {
  uint32_t slot = SlotOf(colour);
  while (key_[slot] != 0 && key_[slot] != colour + 1) slot = (slot + 1) % kSlots;
  return slot;
}

bool ColourPalette::AddRow(const uint8_t* row, int32_t width, int32_t bytesPerPixel, bool blueFirst) {
  uint32_t last = 0xFFFFFFFFu;  // runs of one colour cost one comparison a pixel
  for (int32_t x = 0; x < width; ++x, row += bytesPerPixel) {
    const uint32_t colour = ColourOf(row, blueFirst);
    if (colour == last) continue;
    last = colour;
    const uint32_t slot = FindSlot(colour);
    if (key_[slot] != 0) continue;
    if (count_ == kMostColours) return false;
    key_[slot] = colour + 1;
    ++count_;
  }
  return true;
}

void ColourPalette::Place(uint8_t* entries, int32_t* count) {
  const int32_t given = *count;
  bool taken[kMostColours] = {};
  uint32_t rest[kMostColours];
  int32_t restCount = 0;
  for (uint32_t slot = 0; slot < kSlots; ++slot) {
    if (key_[slot] == 0) continue;
    const uint32_t colour = key_[slot] - 1;
    int32_t k = 0;
    while (k < given && EntryColour(entries + 4 * k) != colour) ++k;
    if (k < given) {
      taken[k] = true;
      index_[slot] = uint8_t(k);
    } else {
      rest[restCount++] = colour;
    }
  }
  std::sort(rest, rest + restCount);
  int32_t free = 0;
  for (int32_t i = 0; i < restCount; ++i) {
    while (free < given && taken[free]) ++free;
    uint8_t* entry = entries + 4 * free;
    entry[0] = uint8_t(rest[i]);
    entry[1] = uint8_t(rest[i] >> 8);
    entry[2] = uint8_t(rest[i] >> 16);
    index_[FindSlot(rest[i])] = uint8_t(free);
    ++free;
  }
  if (free > given) *count = free;
}

uint8_t ColourPalette::IndexOf(uint32_t colour) const { return index_[FindSlot(colour)]; }
