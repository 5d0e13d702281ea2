// 4000 x 3000 24-bit pictures unlike the benchmark's own, for judging PNG
// sizes: vertical bands, gradients, noise, and a photo-like one.
#pragma once

#include <string>
#include <vector>

#include "tests/support/mca_builder.h"

struct VariedPicture {
  std::string name;
  Bytes image;
};

std::vector<VariedPicture> MakeVariedPictures();
