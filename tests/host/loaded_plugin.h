// The plug-in under test, loaded once from the working directory, and files
// for it to read there.
#pragma once

#include <string>

#include "tests/host/spi_plugin.h"
#include "tests/support/mca_builder.h"

const SpiPlugin& Plugin();

// Writes a file in the working directory and removes it afterwards.
class WorkFile {
 public:
  WorkFile(const std::string& name, const Bytes& bytes);
  ~WorkFile();
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;
  const char* path() const { return name_.c_str(); }

 private:
  std::string name_;
};
