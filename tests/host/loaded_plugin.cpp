#include "tests/host/loaded_plugin.h"

#include <cstdio>
#include <cstdlib>

const SpiPlugin& Plugin() {
  static SpiPlugin plugin = [] {
    SpiPlugin p{};
    if (!LoadSpiPlugin(ZUVREK_PLUGIN_FILE, &p)) {
      std::fprintf(stderr, "the plug-in does not load from the working directory\n");
      std::abort();
    }
    return p;
  }();
  return plugin;
}

WorkFile::WorkFile(const std::string& name, const Bytes& bytes) : name_(name) {
  FILE* f = std::fopen(name_.c_str(), "wb");
  if (f) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

WorkFile::~WorkFile() { std::remove(name_.c_str()); }
