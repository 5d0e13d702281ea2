// regsvr32's entry points. Everything goes under HKEY_LOCAL_MACHINE (some
// WIC implementations never look at a codec registered per user), in the
// registry view of the DLL's own bitness. Unregistering removes what
// registering wrote and nothing else: our class keys whole, and in keys we
// share (the .mca extension, Explorer's kind map) only values still holding
// what we wrote, then such keys if we left them empty.
#include <shlobj.h>
#include <wincodec.h>

#include <cwchar>

#include "wic/codec_ids.h"
#include "wic/module.h"

namespace {

enum class Kind { kKey, kText, kNumber, kBytes };  // kKey: the key alone, no value

struct Value {
  const wchar_t* key;   // below HKLM; "%C" is replaced by the decoder's class key
  const wchar_t* name;  // nullptr: the key's default value
  Kind kind;
  const wchar_t* text;  // kText; nullptr: the DLL's path
  DWORD number;         // kNumber
  const BYTE* bytes;    // kBytes
  DWORD byteCount;
};

const BYTE kPattern[] = {'M', 'C', 'A'};
const BYTE kMask[] = {0xFF, 0xFF, 0xFF};

#define DECODER L"SOFTWARE\\Classes\\CLSID\\{BBC46898-7A0E-435E-BE31-8380A51E9F9D}"
#define INSTANCE \
  L"SOFTWARE\\Classes\\CLSID\\{7ED96837-96F0-4812-B211-F13C24117ED3}\\Instance\\{BBC46898-7A0E-435E-BE31-8380A51E9F9D}"
#define EXTENSION L"SOFTWARE\\Classes\\.mca"
#define THUMBNAILS L"SOFTWARE\\Classes\\SystemFileAssociations\\.mca\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}"
#define KIND_MAP L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap"
#define FRIENDLY_NAME L"zuvrek MCA Decoder"

const Value kValues[] = {
    {DECODER, nullptr, Kind::kText, FRIENDLY_NAME, 0, nullptr, 0},
    {DECODER, L"FriendlyName", Kind::kText, FRIENDLY_NAME, 0, nullptr, 0},
    {DECODER, L"Author", Kind::kText, L"The zuvrek developers", 0, nullptr, 0},
    {DECODER, L"Version", Kind::kText, ZUVREK_VERSION_W, 0, nullptr, 0},
    {DECODER, L"SpecVersion", Kind::kText, L"1.0.0.0", 0, nullptr, 0},
    {DECODER, L"Vendor", Kind::kText, L"{3E28A7F8-EE05-44DE-B637-49BDA681BC61}", 0, nullptr, 0},
    {DECODER, L"ContainerFormat", Kind::kText, L"{5AD871AD-F914-43F1-AF15-7C31C5E4F90A}", 0, nullptr, 0},
    {DECODER, L"FileExtensions", Kind::kText, L".mca", 0, nullptr, 0},
    {DECODER, L"MimeTypes", Kind::kText, L"image/x-mca", 0, nullptr, 0},
    {DECODER, L"SupportsAnimation", Kind::kNumber, nullptr, 0, nullptr, 0},
    {DECODER, L"SupportsChromakey", Kind::kNumber, nullptr, 0, nullptr, 0},
    {DECODER, L"SupportsLossless", Kind::kNumber, nullptr, 1, nullptr, 0},
    {DECODER, L"SupportsMultiframe", Kind::kNumber, nullptr, 0, nullptr, 0},
    {DECODER L"\\InprocServer32", nullptr, Kind::kText, nullptr, 0, nullptr, 0},
    {DECODER L"\\InprocServer32", L"ThreadingModel", Kind::kText, L"Both", 0, nullptr, 0},
    {DECODER L"\\Formats\\{6FDDC324-4E03-4BFE-B185-3D77768DC90C}", nullptr, Kind::kKey, nullptr, 0, nullptr, 0},
    {DECODER L"\\Patterns\\0", L"Position", Kind::kNumber, nullptr, 0, nullptr, 0},
    {DECODER L"\\Patterns\\0", L"Length", Kind::kNumber, nullptr, 3, nullptr, 0},
    {DECODER L"\\Patterns\\0", L"Pattern", Kind::kBytes, nullptr, 0, kPattern, sizeof kPattern},
    {DECODER L"\\Patterns\\0", L"Mask", Kind::kBytes, nullptr, 0, kMask, sizeof kMask},
    {INSTANCE, L"CLSID", Kind::kText, L"{BBC46898-7A0E-435E-BE31-8380A51E9F9D}", 0, nullptr, 0},
    {INSTANCE, L"FriendlyName", Kind::kText, FRIENDLY_NAME, 0, nullptr, 0},
    {EXTENSION, L"PerceivedType", Kind::kText, L"image", 0, nullptr, 0},
    {EXTENSION, L"Content Type", Kind::kText, L"image/x-mca", 0, nullptr, 0},
    // Explorer's photo thumbnail provider, which decodes through WIC.
    {THUMBNAILS, nullptr, Kind::kText, L"{C7657C4A-9F68-40fa-A4DF-96BC08EB3551}", 0, nullptr, 0},
    {KIND_MAP, L".mca", Kind::kText, L"picture", 0, nullptr, 0},
};

// Keys whose whole tree is ours.
const wchar_t* const kOwnKeys[] = {DECODER, INSTANCE};
// Keys that may hold others' entries: removed when we leave them empty, the
// deepest first. The kind map is the system's own and stays.
const wchar_t* const kSharedKeys[] = {
    THUMBNAILS, L"SOFTWARE\\Classes\\SystemFileAssociations\\.mca\\ShellEx",
    L"SOFTWARE\\Classes\\SystemFileAssociations\\.mca", L"SOFTWARE\\Classes\\SystemFileAssociations", EXTENSION};

HRESULT FromError(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

HRESULT Write(const Value& v, const wchar_t* modulePath) {
  HKEY key = nullptr;
  LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, v.key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (error != ERROR_SUCCESS) return FromError(error);
  switch (v.kind) {
    case Kind::kKey: break;
    case Kind::kText: {
      const wchar_t* text = v.text ? v.text : modulePath;
      error = RegSetValueExW(key, v.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
      break;
    }
    case Kind::kNumber:
      error = RegSetValueExW(key, v.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.number), sizeof v.number);
      break;
    case Kind::kBytes: error = RegSetValueExW(key, v.name, 0, REG_BINARY, v.bytes, v.byteCount); break;
  }
  RegCloseKey(key);
  return FromError(error);
}

// Removes a shared value when it still holds our text.
void RemoveIfOurs(const Value& v) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, v.key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  wchar_t held[128] = {};
  DWORD type = 0, size = sizeof held - sizeof(wchar_t);
  if (RegQueryValueExW(key, v.name, nullptr, &type, reinterpret_cast<BYTE*>(held), &size) == ERROR_SUCCESS &&
      type == REG_SZ && wcscmp(held, v.text) == 0)
    RegDeleteValueW(key, v.name);
  RegCloseKey(key);
}

void RemoveIfEmpty(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  DWORD subkeys = 0, values = 0;
  LONG error = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (error == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
}

bool IsOwnKey(const wchar_t* path) {
  for (const wchar_t* own : kOwnKeys) {
    size_t n = wcslen(own);
    if (wcsncmp(path, own, n) == 0 && (path[n] == L'\0' || path[n] == L'\\')) return true;
  }
  return false;
}

void Unregister() {
  for (const wchar_t* own : kOwnKeys) RegDeleteTreeW(HKEY_LOCAL_MACHINE, own);
  for (const Value& v : kValues) {
    if (!IsOwnKey(v.key) && v.kind == Kind::kText) RemoveIfOurs(v);
  }
  for (const wchar_t* shared : kSharedKeys) RemoveIfEmpty(shared);
  // Explorer caches icons and thumbnails by association.
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(CodecModule(), path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return E_FAIL;
  for (const Value& v : kValues) {
    HRESULT hr = Write(v, path);
    if (FAILED(hr)) {
      Unregister();  // no half registration
      return hr;
    }
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  Unregister();
  return S_OK;
}
