// The Windows property keys of a picture's size, as the Windows SDK's
// propkey.h declares them as PKEY_Image_*: the image summary property set
// {6444048F-4C8B-11D1-8B70-080036B11A03}. Names of our own: some mingw-w64
// releases lack the keys and others define them in libuuid.
#pragma once

#include <windows.h>
#include <propsys.h>

extern const PROPERTYKEY kImageHorizontalSize;  // pid 3, VT_UI4
extern const PROPERTYKEY kImageVerticalSize;    // pid 4, VT_UI4
extern const PROPERTYKEY kImageBitDepth;        // pid 7, VT_UI4
extern const PROPERTYKEY kImageDimensions;      // pid 13, VT_LPWSTR, "W x H"
