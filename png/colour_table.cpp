#include "png/colour_table.h"

namespace {

constexpr size_t kColourSlots = 1024;  // open addressing: 256 colours with room to spare

uint32_t Colour(const uint8_t* rgb) { return uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2]; }

}  // namespace

ColourTable::ColourTable() : keys_(kColourSlots, UINT32_MAX), indexes_(kColourSlots, 0) {}

size_t ColourTable::Slot(uint32_t colour) const {
  size_t h = (colour * 2654435761u) >> 22;
  while (keys_[h] != UINT32_MAX && keys_[h] != colour) h = (h + 1) & (kColourSlots - 1);
  return h;
}

bool ColourTable::Add(const uint8_t* rgb) {
  const uint32_t colour = Colour(rgb);
  const size_t h = Slot(colour);
  if (keys_[h] == colour) return true;
  if (entries_.size() == 3 * 256) return false;
  keys_[h] = colour;
  indexes_[h] = uint8_t(entries_.size() / 3);
  entries_.insert(entries_.end(), rgb, rgb + 3);
  return true;
}

uint8_t ColourTable::IndexOf(const uint8_t* rgb) const { return indexes_[Slot(Colour(rgb))]; }

int AddColourRow(void* context, int32_t, const uint8_t* rgb) {
  const ColourRows& rows = *static_cast<ColourRows*>(context);
  for (size_t x = 0; x < rows.pixels; ++x) {
    if (!rows.colours->Add(rgb + 3 * x)) return 1;
  }
  return 0;
}
