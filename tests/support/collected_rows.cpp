#include "tests/support/collected_rows.h"

namespace {

int Take(void* context, int32_t y, const uint8_t* rgb) {
  CollectedRows& r = *static_cast<CollectedRows*>(context);
  r.inOrder &= y == r.count++;
  r.rgb.insert(r.rgb.end(), rgb, rgb + r.rowBytes);
  return 0;
}

}  // namespace

mca_row_sink CollectRows(CollectedRows* rows) { return mca_row_sink{nullptr, Take, rows}; }
