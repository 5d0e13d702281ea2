// The identities this codec registers under: the decoder's class, the
// property handler's class, the MCA container format and our vendor.
// Generated once; never change them, or registrations and programs that name
// them break.
#pragma once

#include <windows.h>

// {BBC46898-7A0E-435E-BE31-8380A51E9F9D}
extern const CLSID CLSID_ZuvrekMcaDecoder;
// {567E6FD8-9DDC-4CB6-9CB4-0F42F39017ED}
extern const CLSID CLSID_ZuvrekMcaProperties;
// {5AD871AD-F914-43F1-AF15-7C31C5E4F90A}
extern const GUID GUID_ContainerFormatMca;
// {3E28A7F8-EE05-44DE-B637-49BDA681BC61}
extern const GUID GUID_VendorZuvrek;
