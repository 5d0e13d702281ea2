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

// Up to `size` bytes from the start of the file at `path` into `into`: the
// count read, 0 when it cannot be opened.
size_t ReadFileHead(const std::string& path, uint8_t* into, size_t size);

// Reads a whole file, or standard input for "-".
bool ReadInput(const std::string& path, InputBytes* bytes, std::string* error);
