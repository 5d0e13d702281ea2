// spibench [PLUGIN]: the side-by-side decoding figures for a plug-in as a
// user of Windows gets them (spibench.exe for 32-bit plug-ins, spibench64.exe
// for 64-bit ones): (a) the plug-in's GetPicture in
// memory mode through our host, (b) the plain decoder, (c) memcpy, (d) a
// fresh zero-filled local block with the pixels copied in.
#include <cstdio>

#include "bench/bench_pictures.h"
#include "tests/host/spi_plugin.h"

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : ZUVREK_PLUGIN_FILE;
  SpiPlugin plugin;
  if (!LoadSpiPlugin(path, &plugin)) {
    std::fprintf(stderr, "spibench: %s does not load as a plug-in\n", path);
    return 1;
  }
  auto ours = [&](const Bytes& image) {
    HLOCAL info = nullptr, pixels = nullptr;
    if (SpiGetPicture(plugin, image.data(), intptr_t(image.size()), 1, &info, &pixels, nullptr, 0).value != 0) {
      return false;
    }
    LocalFree(info);
    LocalFree(pixels);
    return true;
  };
  DWORD_PTR process = 0, system = 0;
  GetProcessAffinityMask(GetCurrentProcess(), &process, &system);
  auto oneThread = [&](bool one) { SetProcessAffinityMask(GetCurrentProcess(), one ? 1 : process); };
  std::printf("| picture | (a) ms | (a1) ms | (b) ms | (c) ms | (d) ms | (a)/(b) | (a)/(c) | (a)/(d) | (a1)/(d) |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
  for (const BenchPicture& picture : MakeBenchPictures()) {
    std::vector<RoundSeconds> rounds;
    for (int i = 0; i < 15; ++i) rounds.push_back(TimeRound(picture, ours, oneThread));
    const BenchFigures f = Summarise(rounds, picture.pixelBytes);
    std::printf("| %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n", picture.name.c_str(),
                f.ours * 1e3, f.oursOne * 1e3, f.plain * 1e3, f.copy * 1e3, f.fresh * 1e3, f.oursOverPlain,
                f.oursOverCopy, f.oursOverFresh, f.oursOneOverFresh);
  }
  UnloadSpiPlugin(&plugin);
  return 0;
}
