// PNG's row filters for 24-bit rows: the one whose output has the smallest
// sum of absolute values (bytes taken as signed), the usual heuristic.
// Shared by mcadec's encoder and the web page's module.
#pragma once

#include <cstddef>
#include <cstdint>

// Filters `n` bytes of `row` against the row above (`up`, zeros above the
// first) and answers the filter type; `*filtered` then points at its bytes,
// which are `row` itself (type 0) or lie in `scratch` (4 x n bytes).
uint8_t FilterRgbRow(const uint8_t* row, const uint8_t* up, size_t n, uint8_t* scratch, const uint8_t** filtered);
