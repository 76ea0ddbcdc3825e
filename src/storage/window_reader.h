#pragma once
// The window reader: neighbourhoods of every element of a range, read as doubles in
// pieces of sizes::piece_elements with `before` and `after` margins. Neighbours beyond the
// vector's ends read as the double dummy. Every neighbourhood operation reads its
// inputs through this one reader.

#include <vorlith/multi_vector.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/sizes.h"

namespace vorlith::storage {

/// The values input[index - before .. index + after] of one element.
class Window {
 public:
  Window(const double* values, std::int64_t size) : values_(values), size_(size) {}
  double operator[](std::int64_t j) const {
    VORLITH_EXPECTS(j < size_, "window reader: position ", j, " is beyond the window of ", size_);
    return values_[j];
  }
  std::int64_t size() const { return size_; }
  /// The window's first value; size() values follow.
  const double* data() const { return values_; }

 private:
  const double* values_;
  std::int64_t size_;
};

/// Reads one to N inputs over a common, already validated range.
template <std::size_t N>
class Window_reader {
 public:
  static constexpr std::int64_t piece = sizes::piece_elements;

  Window_reader(const std::array<const integration::Multi_vector*, N>& inputs, std::int64_t before,
                std::int64_t after)
      : inputs_(inputs), before_(before), after_(after) {
    VORLITH_EXPECTS(before >= 0 && after >= 0, "window reader: margins before ", before,
                    " and after ", after, " must not be negative");
    VORLITH_EXPECTS(buffer_size() != 0, "window reader: the buffer is empty");
    VORLITH_EXPECTS(window_size() != 0, "window reader: the window is empty");
    VORLITH_EXPECTS(window_size() < buffer_size(), "window reader: window of ", window_size(),
                    " does not fit the buffer of ", buffer_size());
    for (auto& buffer : buffers_) buffer.resize(static_cast<std::size_t>(buffer_size()));
  }

  std::int64_t buffer_size() const { return piece + before_ + after_; }
  std::int64_t window_size() const { return before_ + after_ + 1; }

  /// fn(position, p, buffers) for each piece of p <= piece elements from position; buffer
  /// k holds input k's elements position - before .. position + p - 1 + after, so the
  /// window of element position + j starts at buffers[k] + j.
  template <class Fn>
  void for_each_piece(std::int64_t start, std::int64_t count, Fn&& fn) {
    std::array<const double*, N> pointers;
    while (count > 0) {
      const std::int64_t p = count < piece ? count : piece;
      for (std::size_t k = 0; k < N; ++k) {
        inputs_[k]->get_expanded_range_double(start, p, before_, after_, buffers_[k].data());
        pointers[k] = buffers_[k].data();
      }
      fn(start, p, pointers);
      start += p;
      count -= p;
    }
  }

  /// fn(index, windows) for every element of the range in order; windows[k] is input k's
  /// neighbourhood of the element.
  template <class Fn>
  void for_each_window(std::int64_t start, std::int64_t count, Fn&& fn) {
    const std::int64_t w = window_size();
    for_each_piece(
        start, count,
        [&](std::int64_t position, std::int64_t p, const std::array<const double*, N>& b) {
          for (std::int64_t j = 0; j < p; ++j) {
            VORLITH_EXPECTS(j <= buffer_size() - w, "window reader: window at ", j,
                            " passes the end of the buffer of ", buffer_size());
            std::array<Window, N> windows = make_windows(b, j, w, std::make_index_sequence<N>{});
            fn(position + j, windows);
          }
        });
  }

 private:
  template <std::size_t... K>
  static std::array<Window, N> make_windows(const std::array<const double*, N>& b, std::int64_t j,
                                            std::int64_t w, std::index_sequence<K...>) {
    return {Window(b[K] + j, w)...};
  }

  std::array<const integration::Multi_vector*, N> inputs_;
  std::int64_t before_;
  std::int64_t after_;
  std::array<std::vector<double>, N> buffers_;
};

}  // namespace vorlith::storage
