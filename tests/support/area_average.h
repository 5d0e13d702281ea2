// The area-average downscale that ImageMagick's -scale computes, in floating
// point: each output pixel the mean of the source area it covers.
#pragma once

#include <cstdint>
#include <vector>

// Top-down RGB rows of 3 x width bytes each, to `outWidth` x `outHeight`.
std::vector<uint8_t> AreaAverage(const std::vector<uint8_t>& rgb, int32_t width, int32_t height, int32_t outWidth,
                                 int32_t outHeight);

// Same length, and no byte further than one apart.
bool WithinOne(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
