// The Windows property keys of a picture's size, as the Windows SDK's
// propkey.h declares them (mingw-w64's headers lack them): the image summary
// property set {6444048F-4C8B-11D1-8B70-080036B11A03}.
#pragma once

#include <windows.h>
#include <propsys.h>

extern const PROPERTYKEY PKEY_Image_HorizontalSize;  // pid 3, VT_UI4
extern const PROPERTYKEY PKEY_Image_VerticalSize;    // pid 4, VT_UI4
extern const PROPERTYKEY PKEY_Image_BitDepth;        // pid 7, VT_UI4
extern const PROPERTYKEY PKEY_Image_Dimensions;      // pid 13, VT_LPWSTR, "W x H"
