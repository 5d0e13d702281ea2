// wicbench [PLUGIN]: a WIC client's time for the 4000 x 3000 pictures (the
// registered codec found by WIC's factory, the whole frame copied into the
// client's buffer) beside the 00IN plug-in's GetPicture, round by round: by
// file name against GetPicture's file mode, from a stream over memory
// against its memory mode. The codec must be registered (scripts/bench.sh
// does it).
#include <wincodec.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/bench_pictures.h"
#include "host/spi_plugin.h"

namespace {

double Seconds(const std::function<bool()>& work, bool* ok) {
  auto start = std::chrono::steady_clock::now();
  *ok = work() && *ok;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The whole frame into a buffer of the client's, as a viewer takes it.
bool CopyWhole(IWICBitmapDecoder* decoder) {
  IWICBitmapFrameDecode* frame = nullptr;
  if (FAILED(decoder->GetFrame(0, &frame))) return false;
  UINT width = 0, height = 0;
  frame->GetSize(&width, &height);
  std::unique_ptr<BYTE[]> pixels(new BYTE[size_t{3} * width * height]);
  bool ok = SUCCEEDED(frame->CopyPixels(nullptr, 3 * width, 3 * width * height, pixels.get()));
  frame->Release();
  return ok;
}

bool FromMemory(IWICImagingFactory* factory, const Bytes& image) {
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  bool ok = SUCCEEDED(factory->CreateStream(&stream)) &&
            SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(image.data()), DWORD(image.size()))) &&
            SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
            CopyWhole(decoder);
  if (decoder) decoder->Release();
  if (stream) stream->Release();
  return ok;
}

bool FromFile(IWICImagingFactory* factory, const wchar_t* name) {
  IWICBitmapDecoder* decoder = nullptr;
  bool ok = SUCCEEDED(factory->CreateDecoderFromFilename(name, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                         &decoder)) &&
            CopyWhole(decoder);
  if (decoder) decoder->Release();
  return ok;
}

bool SaveFile(const char* name, const Bytes& bytes) {
  FILE* f = std::fopen(name, "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : ZUVREK_PLUGIN_FILE;
  SpiPlugin plugin;
  if (!LoadSpiPlugin(path, &plugin)) {
    std::fprintf(stderr, "wicbench: %s does not load as a plug-in\n", path);
    return 1;
  }
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IWICImagingFactory* factory = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory)))) {
    std::fprintf(stderr, "wicbench: no WIC imaging factory\n");
    return 1;
  }
  auto getPicture = [&](const void* source, intptr_t length, uint32_t flag) {
    HLOCAL info = nullptr, pixels = nullptr;
    if (SpiGetPicture(plugin, source, length, flag, &info, &pixels, nullptr, 0).value != 0) return false;
    LocalFree(info);
    LocalFree(pixels);
    return true;
  };
  const char* file = "wicbench.mca";
  std::printf("| picture | from | GetPicture ms | WIC client ms | WIC / GetPicture |\n|---|---|---|---|---|\n");
  for (const BenchPicture& picture : MakeBenchPictures()) {
    if (picture.name.find("4000x3000") == std::string::npos) continue;
    if (!SaveFile(file, picture.image)) return 1;
    for (bool fromFile : {true, false}) {
      std::vector<double> spi, wic, ratio;
      bool ok = true;
      for (int round = 0; round < 15; ++round) {
        spi.push_back(Seconds(
            [&] {
              return fromFile ? getPicture(file, 0, 0)
                              : getPicture(picture.image.data(), intptr_t(picture.image.size()), 1);
            },
            &ok));
        wic.push_back(Seconds([&] { return fromFile ? FromFile(factory, L"wicbench.mca") : FromMemory(factory, picture.image); },
                              &ok));
        ratio.push_back(wic.back() / spi.back());
      }
      if (!ok) {
        std::fprintf(stderr, "wicbench: %s did not decode (is zuvrek-wic.dll registered?)\n", picture.name.c_str());
        return 1;
      }
      std::printf("| %s | %s | %.1f | %.1f | %.2f |\n", picture.name.c_str(), fromFile ? "file" : "memory",
                  Median(spi) * 1e3, Median(wic) * 1e3, Median(ratio));
    }
  }
  std::remove(file);
  factory->Release();
  UnloadSpiPlugin(&plugin);
  return 0;
}
