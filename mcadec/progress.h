// A one-line progress bar on standard error: files done of total, bytes,
// time left. Silent unless standard error is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

class Progress {
 public:
  Progress(size_t files, uint64_t bytes, bool enabled);
  // One file finished; `message`, if any (a failure), is printed on a line of its own.
  void FileDone(uint64_t bytes, const std::string& message);
  void Finish();
  // "PROGRAM: N converted, M failed, T s", for the end of a batch.
  std::string Summary(const char* program) const;

 private:
  void Draw();
  std::mutex lock_;
  const size_t files_;
  const uint64_t bytes_;
  const bool enabled_;
  size_t filesDone_ = 0;
  size_t failed_ = 0;
  uint64_t bytesDone_ = 0;
  std::chrono::steady_clock::time_point start_, lastDraw_;
};
