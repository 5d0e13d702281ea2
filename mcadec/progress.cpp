#include "mcadec/progress.h"

#include <cstdio>

#include "mcadec/platform.h"
#include "mcadec/interrupts.h"

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
  if (!message.empty()) ++failed_;
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
  NoteProgressLine(false);
}

void Progress::Draw() {
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double share = bytes_ ? double(bytesDone_) / double(bytes_) : double(filesDone_) / double(files_);
  char left[32] = "";
  if (share > 0 && share < 1) std::snprintf(left, sizeof left, ", %.0f s left", elapsed * (1 - share) / share);
  char text[160];
  std::snprintf(text, sizeof text, " %zu/%zu files, %s of %s%s", filesDone_, files_, Megabytes(bytesDone_).c_str(),
                Megabytes(bytes_).c_str(), left);
  // The line never reaches the terminal's last column, so it never wraps and
  // each update overwrites the last: the bar takes what the words leave.
  const size_t columns = TerminalColumns(stderr);
  std::string line = text;
  const size_t room = columns - 1 > line.size() + 2 ? columns - 1 - line.size() - 2 : 0;
  const size_t barWidth = room < 30 ? room : 30;
  if (barWidth >= 5) {
    std::string bar(size_t(share * double(barWidth)), '#');
    bar.resize(barWidth, '.');
    line = "[" + bar + "]" + line;
  }
  if (line.size() > columns - 1) line.resize(columns - 1);
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  NoteProgressLine(true);
}

std::string Progress::Summary(const char* program) const {
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  char text[128];
  std::snprintf(text, sizeof text, "%s: %zu converted, %zu failed, %.2f s", program, filesDone_ - failed_, failed_, elapsed);
  return text;
}
