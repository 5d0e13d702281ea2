#include "tests/support/corpus.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>

namespace {

Bytes ReadWholeFile(const std::string& path) {
  Bytes out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(uint8_t(c));
    std::fclose(f);
  }
  return out;
}

bool IsSeed(const std::string& name) { return name.size() > 4 && name.compare(name.size() - 4, 4, ".mca") == 0; }

}  // namespace

std::vector<CorpusFile> CorpusFiles(const std::string& folder, bool seedsOnly) {
  std::vector<CorpusFile> files;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name[0] == '.' || (seedsOnly && !IsSeed(name))) continue;
      files.push_back({name, ReadWholeFile(folder + "/" + name)});
    }
    closedir(dir);
  }
  std::sort(files.begin(), files.end(), [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
  return files;
}
