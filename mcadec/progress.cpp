#include "mcadec/progress.h"

#include <cstdio>

namespace {

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
  return text;
}

}  // namespace

Progress::Progress(size_t files, uint64_t bytes, bool enabled)
    : files_(files), bytes_(bytes), enabled_(enabled), start_(std::chrono::steady_clock::now()) {}

void Progress::FileDone(uint64_t bytes, const std::string& message) {
  std::lock_guard<std::mutex> guard(lock_);
  ++filesDone_;
  bytesDone_ += bytes;
  if (!message.empty()) {
    if (enabled_) std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "%s\n", message.c_str());
  }
  const auto now = std::chrono::steady_clock::now();
  if (enabled_ && (now - lastDraw_ > std::chrono::milliseconds(100) || !message.empty())) {
    lastDraw_ = now;
    Draw();
  }
}

void Progress::Finish() {
  std::lock_guard<std::mutex> guard(lock_);
  if (enabled_) std::fputs("\r\033[K", stderr);
}

void Progress::Draw() {
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double share = bytes_ ? double(bytesDone_) / double(bytes_) : double(filesDone_) / double(files_);
  constexpr int kWidth = 30;
  const int filled = int(share * kWidth);
  std::string bar(size_t(filled), '#');
  bar.resize(kWidth, '.');
  char left[32] = "";
  if (share > 0 && share < 1) std::snprintf(left, sizeof left, ", %.0f s left", elapsed * (1 - share) / share);
  std::fprintf(stderr, "\r\033[K[%s] %zu/%zu files, %s of %s%s", bar.c_str(), filesDone_, files_,
               Megabytes(bytesDone_).c_str(), Megabytes(bytes_).c_str(), left);
  std::fflush(stderr);
}
