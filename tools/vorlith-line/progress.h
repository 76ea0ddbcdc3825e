#pragma once
// A one-line progress display on standard error for large tables.

#include <chrono>
#include <cstdint>
#include <string>

namespace vorlith_line {

class Progress {
 public:
  /// Tables up to this many rows never show progress.
  static constexpr std::int64_t min_rows = 1'000'000;

  /// Shows nothing unless `enabled` (no --quiet and standard error is a terminal).
  explicit Progress(bool enabled) : enabled_(enabled) {}
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress() { finish(); }

  /// Starts a stage; `total` is the amount update() counts towards (0: unknown).
  void begin(std::string label, std::int64_t total);
  /// `rows` decides whether the table is large enough to show; `done` is out of the
  /// stage's total. Cheap enough to call for every few thousand rows.
  void update(std::int64_t rows, std::int64_t done);
  /// Clears the line if one was shown.
  void finish();

 private:
  bool enabled_;
  bool shown_ = false;
  std::string label_;
  std::int64_t total_ = 0;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace vorlith_line
