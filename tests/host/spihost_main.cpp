// spihost PLUGIN INPUT OUTPUT.bmp: decodes a picture file with any "00IN"
// import plug-in and writes what it delivers as a BMP file. File names may
// hold any character: they reach a plug-in with Unicode entry points as
// UTF-16, and others in the ANSI code page.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/host/bmp_file.h"
#include "tests/host/spi_plugin.h"

namespace {

// The file's first 2 KiB, zero-padded, as hosts hand them to IsSupported.
std::vector<char> ReadHead(const wchar_t* path) {
  std::vector<char> head(2048, 0);
  FILE* f = _wfopen(path, L"rb");
  if (!f) return {};
  const size_t n = std::fread(head.data(), 1, head.size(), f);
  std::fclose(f);
  if (n == 0) return {};
  return head;
}

// A UTF-16 name in a code page: CP_ACP for plug-ins without Unicode entry
// points, CP_UTF8 for our messages.
std::string Narrow(const wchar_t* text, UINT codePage) {
  const int n = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(codePage, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::string Utf8(const wchar_t* text) { return Narrow(text, CP_UTF8); }

int Convert(const SpiPlugin& plugin, const wchar_t* input, const wchar_t* output) {
  const std::string inputName = Utf8(input);
  char version[16] = {};
  SpiGetPluginInfo(plugin, 0, version, sizeof version);
  if (std::strcmp(version, "00IN") != 0) {
    std::fprintf(stderr, "spihost: the plug-in is not an import plug-in (\"%s\")\n", version);
    return 1;
  }
  const std::vector<char> head = ReadHead(input);
  if (head.empty()) {
    std::fprintf(stderr, "spihost: cannot read %s\n", inputName.c_str());
    return 1;
  }
  const bool unicode = HasUnicodeEntryPoints(plugin);
  const std::string ansi = Narrow(input, CP_ACP);
  const uintptr_t headAddress = reinterpret_cast<uintptr_t>(head.data());
  const SpiResult supported =
      unicode ? SpiIsSupportedW(plugin, input, headAddress) : SpiIsSupported(plugin, ansi.c_str(), headAddress);
  if (supported.value == 0) {
    std::fprintf(stderr, "spihost: the plug-in does not take %s\n", inputName.c_str());
    return 1;
  }
  HLOCAL info = nullptr, pixels = nullptr;
  const SpiResult r = unicode ? SpiGetPictureW(plugin, input, 0, 0, &info, &pixels, nullptr, 0)
                              : SpiGetPicture(plugin, ansi.c_str(), 0, 0, &info, &pixels, nullptr, 0);
  if (!CleanCall(r)) std::fprintf(stderr, "spihost: GetPicture does not keep the calling convention\n");
  if (r.value != 0) {
    std::fprintf(stderr, "spihost: GetPicture answered %d for %s\n", r.value, inputName.c_str());
    return 1;
  }
  const void* infoBytes = LocalLock(info);
  const void* pixelBytes = LocalLock(pixels);
  const bool written = infoBytes && WriteBmpFile(output, infoBytes, LocalSize(info), pixelBytes,
                                                 pixelBytes ? LocalSize(pixels) : 0);
  int32_t width = 0, height = 0;
  if (infoBytes) {
    std::memcpy(&width, static_cast<const char*>(infoBytes) + 4, 4);
    std::memcpy(&height, static_cast<const char*>(infoBytes) + 8, 4);
  }
  LocalUnlock(info);
  LocalUnlock(pixels);
  LocalFree(info);
  LocalFree(pixels);
  const std::string outputName = Utf8(output);
  if (!written) {
    std::fprintf(stderr, "spihost: cannot write %s\n", outputName.c_str());
    return 1;
  }
  std::printf("spihost: wrote %s (%d x %d)\n", outputName.c_str(), int(width), int(height));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: spihost PLUGIN INPUT OUTPUT.bmp\n");
    return 2;
  }
  SpiPlugin plugin;
  if (!LoadSpiPluginW(argv[1], &plugin)) {
    std::fprintf(stderr, "spihost: %s does not load as a plug-in with the five exports\n", Utf8(argv[1]).c_str());
    return 1;
  }
  const int status = Convert(plugin, argv[2], argv[3]);
  UnloadSpiPlugin(&plugin);
  return status;
}
