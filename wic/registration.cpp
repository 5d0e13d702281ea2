// regsvr32's entry points. Everything goes under HKEY_LOCAL_MACHINE (some
// WIC implementations never look at a codec registered per user), in the
// registry view of the DLL's own bitness. Unregistering removes what
// registering wrote and nothing else: our class keys and ProgID whole, and in
// keys we share (the .mca extension, Explorer's kind map, the property
// handlers) only values still holding what we wrote, then such keys if we
// left them empty. A default someone else set (the .mca extension's ProgID,
// another property handler) is never taken over.
#include <shlobj.h>
#include <wincodec.h>

#include <cwchar>
#include <string>

#include "wic/codec_ids.h"
#include "wic/module.h"

namespace {

enum class Kind { kKey, kText, kExpandText, kNumber, kBytes };  // kKey: the key alone, no value

enum class When {
  kAlways,
  kIfAbsent,       // only where the value is not set: a default someone else chose stays
  kIfPhotoViewer,  // only where Windows Photo Viewer is installed
};

struct Value {
  const wchar_t* key;   // below HKLM
  const wchar_t* name;  // nullptr: the key's default value
  Kind kind;
  const wchar_t* text;  // kText, kExpandText; nullptr: the DLL's path
  DWORD number;         // kNumber
  const BYTE* bytes;    // kBytes
  DWORD byteCount;
  When when = When::kAlways;
};

const BYTE kPattern[] = {'M', 'C', 'A'};
const BYTE kMask[] = {0xFF, 0xFF, 0xFF};

// Keys and texts name GUIDs by a word in angle brackets, formatted from the
// GUIDs themselves when registering (Expanded).
struct NamedGuid {
  const wchar_t* word;
  const GUID* guid;
};
const NamedGuid kGuids[] = {{L"<decoder>", &CLSID_ZuvrekMcaDecoder},
                            {L"<properties>", &CLSID_ZuvrekMcaProperties},
                            {L"<container>", &GUID_ContainerFormatMca},
                            {L"<vendor>", &GUID_VendorZuvrek},
                            {L"<decoders>", &CATID_WICBitmapDecoders},
                            {L"<24bppBGR>", &GUID_WICPixelFormat24bppBGR}};

#define DECODER L"SOFTWARE\\Classes\\CLSID\\<decoder>"
#define INSTANCE L"SOFTWARE\\Classes\\CLSID\\<decoders>\\Instance\\<decoder>"
#define EXTENSION L"SOFTWARE\\Classes\\.mca"
#define THUMBNAILS L"SOFTWARE\\Classes\\SystemFileAssociations\\.mca\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}"
#define KIND_MAP L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap"
#define FRIENDLY_NAME L"zuvrek MCA Decoder"
#define PROPERTIES_CLSID L"<properties>"
#define PROPERTIES L"SOFTWARE\\Classes\\CLSID\\" PROPERTIES_CLSID
// Windows always holds the property system's keys; a bare registry (Wine's)
// may not, so they are among the keys removed when left empty.
#define PROPERTY_SYSTEM L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem"
#define PROPERTY_HANDLER PROPERTY_SYSTEM L"\\PropertyHandlers\\.mca"
#define SHELL_TYPE L"SOFTWARE\\Classes\\SystemFileAssociations\\.mca"
#define PROG_ID L"zuvrek.mca"
#define PROG_ID_KEY L"SOFTWARE\\Classes\\" PROG_ID
#define TYPE_NAME L"MCA picture"
// The picture's properties where Explorer shows them: the Details pane and
// the Properties sheet, the preview pane's lines, the tooltip.
#define IMAGE_PROPERTIES \
  L"System.Image.Dimensions;System.Image.HorizontalSize;System.Image.VerticalSize;System.Image.BitDepth"
#define FULL_DETAILS                                                                                         \
  L"prop:System.PropGroup.Image;" IMAGE_PROPERTIES                                                            \
  L";System.PropGroup.FileSystem;System.ItemNameDisplay;System.ItemType;System.ItemFolderPathDisplay;" \
  L"System.Size;System.DateCreated;System.DateModified;System.FileAttributes"
#define PREVIEW_DETAILS L"prop:" IMAGE_PROPERTIES L";System.Size;System.DateModified;System.DateCreated"
#define INFO_TIP L"prop:System.ItemType;System.Image.Dimensions;System.Image.BitDepth;System.Size;System.DateModified"
// Windows Photo Viewer opens pictures through its DLL; its drop target lets
// several files open at once.
#define PHOTO_VIEWER_DLL L"%ProgramFiles%\\Windows Photo Viewer\\PhotoViewer.dll"
#define PHOTO_VIEWER_OPEN \
  L"%SystemRoot%\\System32\\rundll32.exe \"" PHOTO_VIEWER_DLL L"\", ImageView_Fullscreen %1"

const Value kValues[] = {
    {DECODER, nullptr, Kind::kText, FRIENDLY_NAME, 0, nullptr, 0},
    {DECODER, L"FriendlyName", Kind::kText, FRIENDLY_NAME, 0, nullptr, 0},
    {DECODER, L"Author", Kind::kText, L"The zuvrek developers", 0, nullptr, 0},
    {DECODER, L"Version", Kind::kText, ZUVREK_VERSION_W, 0, nullptr, 0},
    {DECODER, L"SpecVersion", Kind::kText, L"1.0.0.0", 0, nullptr, 0},
    {DECODER, L"Vendor", Kind::kText, L"<vendor>", 0, nullptr, 0},
    {DECODER, L"ContainerFormat", Kind::kText, L"<container>", 0, nullptr, 0},
    {DECODER, L"FileExtensions", Kind::kText, L".mca", 0, nullptr, 0},
    {DECODER, L"MimeTypes", Kind::kText, L"image/x-mca", 0, nullptr, 0},
    {DECODER, L"SupportsAnimation", Kind::kNumber, nullptr, 0, nullptr, 0},
    {DECODER, L"SupportsChromakey", Kind::kNumber, nullptr, 0, nullptr, 0},
    {DECODER, L"SupportsLossless", Kind::kNumber, nullptr, 1, nullptr, 0},
    {DECODER, L"SupportsMultiframe", Kind::kNumber, nullptr, 0, nullptr, 0},
    // Before codecs that set none (0), below one that claims the most (10).
    {DECODER, L"ArbitrationPriority", Kind::kNumber, nullptr, 5, nullptr, 0},
    {DECODER L"\\InprocServer32", nullptr, Kind::kText, nullptr, 0, nullptr, 0},
    {DECODER L"\\InprocServer32", L"ThreadingModel", Kind::kText, L"Both", 0, nullptr, 0},
    {DECODER L"\\Formats\\<24bppBGR>", nullptr, Kind::kKey, nullptr, 0, nullptr, 0},
    {DECODER L"\\Patterns\\0", L"Position", Kind::kNumber, nullptr, 0, nullptr, 0},
    {DECODER L"\\Patterns\\0", L"Length", Kind::kNumber, nullptr, 3, nullptr, 0},
    {DECODER L"\\Patterns\\0", L"Pattern", Kind::kBytes, nullptr, 0, kPattern, sizeof kPattern},
    {DECODER L"\\Patterns\\0", L"Mask", Kind::kBytes, nullptr, 0, kMask, sizeof kMask},
    {INSTANCE, L"CLSID", Kind::kText, L"<decoder>", 0, nullptr, 0},
    {INSTANCE, L"FriendlyName", Kind::kText, FRIENDLY_NAME, 0, nullptr, 0},
    {EXTENSION, L"PerceivedType", Kind::kText, L"image", 0, nullptr, 0},
    {EXTENSION, L"Content Type", Kind::kText, L"image/x-mca", 0, nullptr, 0},
    // Explorer's photo thumbnail provider, which decodes through WIC.
    {THUMBNAILS, nullptr, Kind::kText, L"{C7657C4A-9F68-40fa-A4DF-96BC08EB3551}", 0, nullptr, 0},
    {KIND_MAP, L".mca", Kind::kText, L"picture", 0, nullptr, 0},
    {PROPERTIES, nullptr, Kind::kText, L"zuvrek MCA Property Handler", 0, nullptr, 0},
    {PROPERTIES L"\\InprocServer32", nullptr, Kind::kText, nullptr, 0, nullptr, 0},
    {PROPERTIES L"\\InprocServer32", L"ThreadingModel", Kind::kText, L"Both", 0, nullptr, 0},
    {PROPERTY_HANDLER, nullptr, Kind::kText, PROPERTIES_CLSID, 0, nullptr, 0, When::kIfAbsent},
    {SHELL_TYPE, L"FullDetails", Kind::kText, FULL_DETAILS, 0, nullptr, 0, When::kIfAbsent},
    {SHELL_TYPE, L"PreviewDetails", Kind::kText, PREVIEW_DETAILS, 0, nullptr, 0, When::kIfAbsent},
    {SHELL_TYPE, L"InfoTip", Kind::kText, INFO_TIP, 0, nullptr, 0, When::kIfAbsent},
    // "MCA picture" in Explorer's Type column, unless .mca already names a type.
    {PROG_ID_KEY, nullptr, Kind::kText, TYPE_NAME, 0, nullptr, 0},
    {PROG_ID_KEY, L"FriendlyTypeName", Kind::kText, TYPE_NAME, 0, nullptr, 0},
    {PROG_ID_KEY L"\\shell\\open\\command", nullptr, Kind::kExpandText, PHOTO_VIEWER_OPEN, 0, nullptr, 0,
     When::kIfPhotoViewer},
    {PROG_ID_KEY L"\\shell\\open\\DropTarget", L"Clsid", Kind::kText, L"{FFE2A43C-56B9-4bf5-9A79-CC6D4285608A}", 0,
     nullptr, 0, When::kIfPhotoViewer},
    {EXTENSION, nullptr, Kind::kText, PROG_ID, 0, nullptr, 0, When::kIfAbsent},
    // "Open with" offers our ProgID's viewer and Windows Photo Viewer, where
    // installed, without becoming the default.
    {EXTENSION L"\\OpenWithProgids", PROG_ID, Kind::kText, L"", 0, nullptr, 0},
    {EXTENSION L"\\OpenWithList\\PhotoViewer.dll", nullptr, Kind::kKey, nullptr, 0, nullptr, 0},
};

// Keys whose whole tree is ours.
const wchar_t* const kOwnKeys[] = {DECODER, INSTANCE, PROPERTIES, PROG_ID_KEY};
// Keys that may hold others' entries: removed when we leave them empty, the
// deepest first. The kind map is the system's own and stays.
const wchar_t* const kSharedKeys[] = {THUMBNAILS,
                                      SHELL_TYPE L"\\ShellEx",
                                      SHELL_TYPE,
                                      L"SOFTWARE\\Classes\\SystemFileAssociations",
                                      EXTENSION L"\\OpenWithProgids",
                                      EXTENSION L"\\OpenWithList\\PhotoViewer.dll",
                                      EXTENSION L"\\OpenWithList",
                                      EXTENSION,
                                      PROPERTY_HANDLER,
                                      PROPERTY_SYSTEM L"\\PropertyHandlers",
                                      PROPERTY_SYSTEM};

// The text with every GUID's word replaced by the GUID, as the registry
// writes GUIDs ("{BBC46898-7A0E-435E-BE31-8380A51E9F9D}").
std::wstring Expanded(const wchar_t* text) {
  std::wstring out = text;
  for (const NamedGuid& named : kGuids) {
    wchar_t formatted[40];
    StringFromGUID2(*named.guid, formatted, 40);
    for (size_t at; (at = out.find(named.word)) != std::wstring::npos;) {
      out.replace(at, wcslen(named.word), formatted);
    }
  }
  return out;
}

HRESULT FromError(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

bool PhotoViewerInstalled() {
  wchar_t path[MAX_PATH];
  const DWORD length = ExpandEnvironmentStringsW(PHOTO_VIEWER_DLL, path, MAX_PATH);
  return length > 0 && length <= MAX_PATH && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool ValueIsSet(HKEY key, const wchar_t* name) {
  return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

HRESULT Write(const Value& v, const wchar_t* modulePath, bool photoViewer) {
  if (v.when == When::kIfPhotoViewer && !photoViewer) return S_OK;
  HKEY key = nullptr;
  LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Expanded(v.key).c_str(), 0, nullptr, 0,
                               KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr);
  if (error != ERROR_SUCCESS) return FromError(error);
  if (v.when == When::kIfAbsent && ValueIsSet(key, v.name)) {
    RegCloseKey(key);
    return S_OK;
  }
  switch (v.kind) {
    case Kind::kKey: break;
    case Kind::kText:
    case Kind::kExpandText: {
      const std::wstring text = v.text ? Expanded(v.text) : std::wstring(modulePath);
      error = RegSetValueExW(key, v.name, 0, v.kind == Kind::kText ? REG_SZ : REG_EXPAND_SZ,
                             reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
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
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Expanded(v.key).c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  wchar_t held[512] = {};  // longer than any text we write
  DWORD type = 0, size = sizeof held - sizeof(wchar_t);
  if (RegQueryValueExW(key, v.name, nullptr, &type, reinterpret_cast<BYTE*>(held), &size) == ERROR_SUCCESS &&
      type == REG_SZ && Expanded(v.text) == held)
    RegDeleteValueW(key, v.name);
  RegCloseKey(key);
}

void RemoveIfEmpty(const wchar_t* unexpanded) {
  const std::wstring path = Expanded(unexpanded);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  DWORD subkeys = 0, values = 0;
  LONG error = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (error == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
}

bool IsOwnKey(const wchar_t* path) {
  for (const wchar_t* own : kOwnKeys) {
    size_t n = wcslen(own);
    if (wcsncmp(path, own, n) == 0 && (path[n] == L'\0' || path[n] == L'\\')) return true;
  }
  return false;
}

void Unregister() {
  for (const wchar_t* own : kOwnKeys) RegDeleteTreeW(HKEY_LOCAL_MACHINE, Expanded(own).c_str());
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
  const bool photoViewer = PhotoViewerInstalled();
  for (const Value& v : kValues) {
    HRESULT hr = Write(v, path, photoViewer);
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
