// Whole input files, read into memory: the programs' inputs and templates.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

// A whole input file.
struct InputBytes {
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t, Free> data;
  size_t size = 0;
};

// Reads a whole file, or standard input for "-".
bool ReadInput(const std::string& path, InputBytes* bytes, std::string* error);
