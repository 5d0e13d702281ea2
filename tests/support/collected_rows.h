// A row sink that keeps every row it is given, for comparing decodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mca/mca.h"

struct CollectedRows {
  size_t rowBytes = 0;  // set before the decode: 3 x the width of the rows to come
  std::vector<uint8_t> rgb;
  int32_t count = 0;
  bool inOrder = true;  // every row came once, top row first
};

mca_row_sink CollectRows(CollectedRows* rows);
