// The fuzz corpus's inputs, for tests that run a decode path over all of them.
#pragma once

#include <string>
#include <vector>

#include "tests/support/mca_builder.h"

struct CorpusFile {
  std::string name;
  Bytes bytes;
};

// The files of `folder`, sorted by name: with `seedsOnly` the named seeds
// (*.mca) alone, else the inputs the fuzzers found too, which include
// pictures of any size.
std::vector<CorpusFile> CorpusFiles(const std::string& folder, bool seedsOnly);
