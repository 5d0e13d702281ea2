// write_bench_pictures DIR: the benchmark's four 4000 x 3000 pictures as
// DIR/large-N.mca, four unlike them as DIR/varied-N.mca, and 200 small ones
// (320 x 240) as DIR/small/NNN.mca, for timing the converter against other
// roads.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "bench/bench_pictures.h"
#include "bench/varied_pictures.h"

namespace {

bool Write(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  return f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_bench_pictures DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  mkdir(dir.c_str(), 0777);
  mkdir((dir + "/small").c_str(), 0777);
  const std::vector<BenchPicture> pictures = MakeBenchPictures();
  for (size_t i = 0; i < pictures.size(); ++i) {
    if (!Write(dir + "/large-" + std::to_string(i) + ".mca", pictures[i].image)) return 1;
    std::printf("large-%zu.mca: %s\n", i, pictures[i].name.c_str());
  }
  const std::vector<VariedPicture> varied = MakeVariedPictures();
  for (size_t i = 0; i < varied.size(); ++i) {
    if (!Write(dir + "/varied-" + std::to_string(i) + ".mca", varied[i].image)) return 1;
    std::printf("varied-%zu.mca: %s\n", i, varied[i].name.c_str());
  }
  for (uint32_t i = 0; i < 200; ++i) {
    TestContainer c;
    c.frames = {PictureFrame(320, 240, 24, true, 1000 + i)};
    char name[32];
    std::snprintf(name, sizeof name, "/small/%03u.mca", i);
    if (!Write(dir + name, BuildContainer(c))) return 1;
  }
  return 0;
}
