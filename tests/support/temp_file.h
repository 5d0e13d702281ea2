// A file with given bytes in the system's temporary folder, removed afterwards.
#pragma once

#include <cstdio>
#include <string>
#include <unistd.h>

#include "tests/support/mca_builder.h"

class TempFile {
 public:
  explicit TempFile(const Bytes& bytes) {
    char name[] = "/tmp/zuvrek-test-XXXXXX";
    const int fd = mkstemp(name);
    path_ = name;
    if (fd >= 0) {
      if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) path_.clear();
      close(fd);
    }
  }
  ~TempFile() { std::remove(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};
