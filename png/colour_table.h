// The colours of a picture that has few: a picture becomes an indexed PNG
// when its rows hold at most 256 colours. Shared by mcadec and the web page's
// module, which feed it the rows of their decodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Up to 256 colours, each with its palette index.
class ColourTable {
 public:
  ColourTable();
  // False once a 257th colour comes.
  bool Add(const uint8_t* rgb);
  uint8_t IndexOf(const uint8_t* rgb) const;
  // Red, green, blue of each entry, in index order.
  const std::vector<uint8_t>& entries() const { return entries_; }

 private:
  size_t Slot(uint32_t colour) const;
  std::vector<uint32_t> keys_;
  std::vector<uint8_t> indexes_;
  std::vector<uint8_t> entries_;
};

// The first of the two passes that make an indexed PNG takes every row's
// colours, keeping no row: AddColourRow is a row callback (its context a
// ColourRows) that answers 0, or 1 at a 257th colour, which ends the pass.
struct ColourRows {
  ColourTable* colours;
  size_t pixels;  // a row's
};
int AddColourRow(void* context, int32_t y, const uint8_t* rgb);
