// The colours of a picture bound for 8-bit frames: counted up to 256, then
// placed in a palette (a template's, kept where it can be), then looked up
// for every pixel.
#pragma once

#include <cstdint>

// Colours are 0xRRGGBB.
class ColourPalette {
 public:
  // The colour of a pixel whose bytes are red, green, blue (or blue first).
  static uint32_t ColourOf(const uint8_t* pixel, bool blueFirst) {
    return uint32_t(pixel[blueFirst ? 2 : 0]) << 16 | uint32_t(pixel[1]) << 8 | pixel[blueFirst ? 0 : 2];
  }

  // Adds a row's colours (3 or 4 bytes a pixel, red first or blue first);
  // false once there are more than 256.
  bool AddRow(const uint8_t* row, int32_t width, int32_t bytesPerPixel, bool blueFirst);
  int32_t Count() const { return count_; }

  // Places the colours counted in `entries` (`*count` 4-byte entries of blue,
  // green, red and a byte kept as it is; room for 256, zero past the count,
  // so that an entry added has its fourth byte zero): those already there
  // at their first index, the rest, in ascending order, in the entries whose
  // colours the picture does not use, then after the last (`*count` grows).
  void Place(uint8_t* entries, int32_t* count);

  // The index of a colour counted and placed.
  uint8_t IndexOf(uint32_t colour) const;

 private:
  static constexpr uint32_t kSlots = 1024;  // four times the most colours: short probes
  static uint32_t SlotOf(uint32_t colour) { return (colour * 2654435761u) >> 22; }
  uint32_t FindSlot(uint32_t colour) const;
  uint32_t key_[kSlots] = {};  // colour + 1; 0 for an empty slot
  uint8_t index_[kSlots] = {};
  int32_t count_ = 0;
};
