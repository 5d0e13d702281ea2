// wicbench [PLUGIN]: a WIC client's time for the 4000 x 3000 pictures (the
// registered codec found by WIC's factory, the whole frame copied into the
// client's buffer) beside the 00IN plug-in's GetPicture, round by round: by
// file name against GetPicture's file mode, from a stream over memory
// against its memory mode. The codec must be registered (scripts/bench.sh
// does it).
#include <windows.h>
#include <psapi.h>
#include <wincodec.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/bench_pictures.h"
#include "tests/host/spi_plugin.h"
#include "wic/source_transform.h"

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

// A 256-pixel thumbnail through the frame's IWICBitmapSourceTransform, as
// Explorer asks for one.
bool Thumbnail(IWICImagingFactory* factory, const wchar_t* name) {
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICBitmapSourceTransform* transform = nullptr;
  bool ok = SUCCEEDED(factory->CreateDecoderFromFilename(name, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                         &decoder)) &&
            SUCCEEDED(decoder->GetFrame(0, &frame)) &&
            SUCCEEDED(frame->QueryInterface(IID_IWICBitmapSourceTransform, reinterpret_cast<void**>(&transform)));
  if (ok) {
    UINT width = 0, height = 0;
    frame->GetSize(&width, &height);
    UINT w = 256, h = std::max(1u, 256 * height / width);
    transform->GetClosestSize(&w, &h);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    std::unique_ptr<BYTE[]> pixels(new BYTE[size_t{3} * w * h]);
    ok = SUCCEEDED(transform->CopyPixels(nullptr, w, h, &format, WICBitmapTransformRotate0, 3 * w, 3 * w * h,
                                         pixels.get()));
  }
  if (transform) transform->Release();
  if (frame) frame->Release();
  if (decoder) decoder->Release();
  return ok;
}

// The working set and its peak so far, in MB.
void WorkingSet(double* now, double* peak) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  *now = double(counters.WorkingSetSize) / (1 << 20);
  *peak = double(counters.PeakWorkingSetSize) / (1 << 20);
}

// What one decode adds to a fresh process's peak working set, in MB: this
// program run again as `wicbench --peak thumbnail|whole FILE`.
double PeakOfOne(const char* self, const char* mode, const char* file) {
  const std::string command = std::string("\"") + self + "\" --peak " + mode + " " + file + " > wicbench-peak.txt";
  double megabytes = -1;
  if (std::system(command.c_str()) == 0) {
    if (FILE* f = std::fopen("wicbench-peak.txt", "r")) {
      if (std::fscanf(f, "%lf", &megabytes) != 1) megabytes = -1;
      std::fclose(f);
    }
  }
  std::remove("wicbench-peak.txt");
  return megabytes;
}

bool SaveFile(const char* name, const Bytes& bytes) {
  FILE* f = std::fopen(name, "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--peak") {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory)))) {
      return 1;
    }
    std::wstring name(argv[3], argv[3] + std::strlen(argv[3]));
    double before = 0, peak = 0;
    WorkingSet(&before, &peak);
    const bool ok = std::string(argv[2]) == "thumbnail" ? Thumbnail(factory, name.c_str()) : FromFile(factory, name.c_str());
    WorkingSet(&peak, &peak);
    std::printf("%.1f\n", peak - before);
    factory->Release();
    return ok ? 0 : 1;
  }
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
  std::printf("\n| picture | thumbnail 256 ms | whole frame ms | ratio | thumbnail peak MB | whole peak MB |\n"
              "|---|---|---|---|---|---|\n");
  for (const BenchPicture& picture : MakeBenchPictures()) {
    if (picture.name.find("4000x3000") == std::string::npos) continue;
    if (!SaveFile(file, picture.image)) return 1;
    bool ok = true;
    std::vector<double> thumb, whole;
    for (int round = 0; round < 15; ++round) {
      thumb.push_back(Seconds([&] { return Thumbnail(factory, L"wicbench.mca"); }, &ok));
      whole.push_back(Seconds([&] { return FromFile(factory, L"wicbench.mca"); }, &ok));
    }
    if (!ok) {
      std::fprintf(stderr, "wicbench: %s did not decode through the transform\n", picture.name.c_str());
      return 1;
    }
    std::printf("| %s | %.1f | %.1f | %.2f | %.1f | %.1f |\n", picture.name.c_str(), Median(thumb) * 1e3,
                Median(whole) * 1e3, Median(thumb) / Median(whole), PeakOfOne(argv[0], "thumbnail", file),
                PeakOfOne(argv[0], "whole", file));
  }
  std::remove(file);
  factory->Release();
  UnloadSpiPlugin(&plugin);
  return 0;
}
