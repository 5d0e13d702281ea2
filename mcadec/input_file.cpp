#include "mcadec/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mcadec/platform.h"

bool ReadInput(const std::string& path, InputBytes* bytes, std::string* error) {
  const bool standardInput = path == "-";
  FILE* f = standardInput ? stdin : OpenForReading(path);
  if (!f) {
    *error = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  // A regular file is read in one go; a pipe, in growing pieces. The buffer
  // is not cleared first: only the bytes read are ever looked at.
  uint64_t fileSize = 0;
  const bool sized = RegularFileSize(f, &fileSize) && fileSize < SIZE_MAX;
  size_t room = sized ? size_t(fileSize) + 1 : size_t(1) << 16;
  size_t used = 0;
  bytes->data.reset(static_cast<uint8_t*>(std::malloc(room)));
  bool failed = !bytes->data;
  while (!failed) {
    const size_t n = std::fread(bytes->data.get() + used, 1, room - used, f);
    used += n;
    if (n == 0) break;
    if (used == room) {
      uint8_t* larger = static_cast<uint8_t*>(std::realloc(bytes->data.get(), 2 * room));
      failed = !larger;
      if (larger) {
        bytes->data.release();
        bytes->data.reset(larger);
        room *= 2;
      }
    }
  }
  bytes->size = used;
  const bool unreadable = std::ferror(f);
  if (!standardInput) std::fclose(f);
  if (failed) {
    *error = "out of memory";
    return false;
  }
  if (unreadable) {
    *error = std::string("cannot read: ") + std::strerror(errno);
    return false;
  }
  return true;
}

size_t ReadFileHead(const std::string& path, uint8_t* into, size_t size) {
  std::FILE* file = OpenForReading(path);
  if (!file) return 0;
  const size_t got = std::fread(into, 1, size, file);
  std::fclose(file);
  return got;
}
