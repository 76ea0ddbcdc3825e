#include "progress.h"

#include <cstdio>

namespace vorlith_line {

void Progress::begin(std::string label, std::int64_t total) {
  finish();
  label_ = std::move(label);
  total_ = total;
  last_ = {};
}

void Progress::update(std::int64_t rows, std::int64_t done) {
  if (!enabled_ || rows <= min_rows) return;
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && now - last_ < std::chrono::milliseconds(200)) return;
  last_ = now;
  shown_ = true;
  const double millions = static_cast<double>(rows) / 1e6;
  if (total_ > 0) {
    std::fprintf(stderr, "\rvorlith-line: %s %3d%% (%.1f M rows)", label_.c_str(),
                 static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total_)), millions);
  } else {
    std::fprintf(stderr, "\rvorlith-line: %s (%.1f M rows)", label_.c_str(), millions);
  }
  std::fflush(stderr);
}

void Progress::finish() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace vorlith_line
