#include "wic/image_property_keys.h"

namespace {
constexpr GUID kImageSummary = {0x6444048f, 0x4c8b, 0x11d1, {0x8b, 0x70, 0x08, 0x00, 0x36, 0xb1, 0x1a, 0x03}};
}  // namespace

const PROPERTYKEY kImageHorizontalSize = {kImageSummary, 3};
const PROPERTYKEY kImageVerticalSize = {kImageSummary, 4};
const PROPERTYKEY kImageBitDepth = {kImageSummary, 7};
const PROPERTYKEY kImageDimensions = {kImageSummary, 13};
