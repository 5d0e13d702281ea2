// The colours of a picture that has few: an 8-bit picture becomes an indexed
// PNG when its rows hold at most 256 colours. Shared by mcadec and the web
// page's module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mca/mca.h"

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

// The first of the two passes that make an 8-bit picture an indexed PNG:
// decodes the picture at width x height (its own size, or smaller as
// mca_decode_scaled takes it) keeping no rows, and gathers its colours.
// False when it has more than 256, or cannot be decoded (the second pass
// then tells why).
bool GatherColours(const uint8_t* data, size_t size, const mca_options* options, int32_t width, int32_t height,
                   ColourTable* colours);
