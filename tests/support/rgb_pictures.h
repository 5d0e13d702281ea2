// What the native programs' tests share: pictures to convert, the plug-in's
// own pixels for them as top-down RGB, readers for what the programs write,
// and a scratch folder.
#pragma once

#include <string>
#include <vector>

#include "tests/support/mca_builder.h"

struct RgbImage {
  int32_t width = 0;
  int32_t height = 0;
  Bytes rgb;  // top-down rows of 3 x width bytes
  bool operator==(const RgbImage& o) const { return width == o.width && height == o.height && rgb == o.rgb; }
};

struct NamedPicture {
  std::string name;
  Bytes image;
};

// 24-bit and 8-bit pictures with odd widths, narrower frames (whose row
// padding shows as pixels), indexes beyond the palette and many frames.
std::vector<NamedPicture> ProgramTestPictures();

// A picture of each way of being broken, with a piece of the reason given.
struct BrokenPicture {
  std::string name;
  Bytes image;
  std::string reason;
};
std::vector<BrokenPicture> BrokenTestPictures();

// GetPicture's bottom-up BGR pixels, turned into top-down RGB.
RgbImage PluginPixels(const Bytes& image);

// The area average of tests/support/area_average.h on whole images.
RgbImage AreaAverage(const RgbImage& full, int32_t width, int32_t height);

// Same size, and no channel further than one apart.
bool WithinOne(const RgbImage& a, const RgbImage& b);

RgbImage ReadPng(const std::string& path, bool* indexed = nullptr);
RgbImage ReadBmp(const std::string& path);
RgbImage ReadPpm(const std::string& path);
Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);

// The names in a folder, sorted.
std::vector<std::string> ListFolder(const std::string& path);

// A fresh folder, removed with everything in it afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }
  std::vector<std::string> Names() const { return ListFolder(path_); }

 private:
  std::string path_;
};
