// spihost PLUGIN INPUT OUTPUT.bmp: decodes a picture file with any "00IN"
// import plug-in and writes what it delivers as a BMP file.
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/bmp_file.h"
#include "host/spi_plugin.h"

namespace {

// The file's first 2 KiB, zero-padded, as hosts hand them to IsSupported.
std::vector<char> ReadHead(const char* path) {
  std::vector<char> head(2048, 0);
  FILE* f = std::fopen(path, "rb");
  if (!f) return {};
  const size_t n = std::fread(head.data(), 1, head.size(), f);
  std::fclose(f);
  if (n == 0) return {};
  return head;
}

int Convert(const SpiPlugin& plugin, const char* input, const char* output) {
  char version[16] = {};
  SpiGetPluginInfo(plugin, 0, version, sizeof version);
  if (std::strcmp(version, "00IN") != 0) {
    std::fprintf(stderr, "spihost: the plug-in is not an import plug-in (\"%s\")\n", version);
    return 1;
  }
  const std::vector<char> head = ReadHead(input);
  if (head.empty()) {
    std::fprintf(stderr, "spihost: cannot read %s\n", input);
    return 1;
  }
  if (SpiIsSupported(plugin, input, uint32_t(reinterpret_cast<uintptr_t>(head.data()))).value == 0) {
    std::fprintf(stderr, "spihost: the plug-in does not take %s\n", input);
    return 1;
  }
  HLOCAL info = nullptr, pixels = nullptr;
  const SpiResult r = SpiGetPicture(plugin, input, 0, 0, &info, &pixels, nullptr, 0);
  if (r.stackDelta != 0) std::fprintf(stderr, "spihost: GetPicture is not stdcall\n");
  if (r.value != 0) {
    std::fprintf(stderr, "spihost: GetPicture answered %d for %s\n", r.value, input);
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
  if (!written) {
    std::fprintf(stderr, "spihost: cannot write %s\n", output);
    return 1;
  }
  std::printf("spihost: wrote %s (%d x %d)\n", output, int(width), int(height));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: spihost PLUGIN INPUT OUTPUT.bmp\n");
    return 2;
  }
  SpiPlugin plugin;
  if (!LoadSpiPlugin(argv[1], &plugin)) {
    std::fprintf(stderr, "spihost: %s does not load as a plug-in with the five exports\n", argv[1]);
    return 1;
  }
  const int status = Convert(plugin, argv[2], argv[3]);
  UnloadSpiPlugin(&plugin);
  return status;
}
