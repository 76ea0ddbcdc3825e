// Hampel despiker over a sliding window kept sorted.
//
// The window's data values are held in a sorted array: a step finds the leaving and the
// entering value by binary search and moves the values between (a memmove of at most
// the window, which for windows of thousands of samples is cheaper than the pointer
// walks of a balanced tree). The median is read at the middle. The MAD needs no second
// structure: the deviations |v - median| fall towards the median and rise after it, so
// the k smallest of them are the values of a run of k neighbours in the sorted window,
// and the k-th smallest deviation is found by a binary search for that run, O(log w).

#include <vorlith/dummy.h>
#include <vorlith/host_hooks.h>
#include <vorlith/integration_line.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "storage/multi_vector_access.h"

namespace vorlith::integration {

namespace {

constexpr double dummy = common::dummy_value<double>;
// The MAD of normally distributed data times this estimates their standard deviation.
constexpr double mad_scale = 1.4826;

bool is_data(double v) { return v != dummy && !std::isnan(v); }

class Sorted_window {
 public:
  explicit Sorted_window(std::int64_t capacity) {
    values_.reserve(static_cast<std::size_t>(capacity));
  }

  void insert(double v) { values_.insert(std::ranges::upper_bound(values_, v), v); }
  void erase(double v) { values_.erase(std::ranges::lower_bound(values_, v)); }
  std::int64_t size() const { return static_cast<std::int64_t>(values_.size()); }

  double median() const {
    return middle([this](std::size_t i) { return values_[i]; });
  }

  // The median of |v - m| over the window, m its median.
  double mad(double m) const {
    const std::int64_t n = size();
    if (n % 2 == 1) return smallest_deviation(m, (n + 1) / 2);
    return (smallest_deviation(m, n / 2) + smallest_deviation(m, n / 2 + 1)) / 2.0;
  }

 private:
  template <class At>
  double middle(At at) const {
    const std::size_t n = values_.size();
    return n % 2 == 1 ? at(n / 2) : (at(n / 2 - 1) + at(n / 2)) / 2.0;
  }

  // The k-th smallest (1-based) of |v - m|. Over the runs [l, l + k) of the sorted
  // window, below(l) = m - v[l] falls and above(l) = v[l + k - 1] - m rises with l; the
  // answer is the least max(below, above), found where the two cross.
  double smallest_deviation(double m, std::int64_t k) const {
    const double* v = values_.data();
    const auto below = [&](std::int64_t l) { return m - v[l]; };
    const auto above = [&](std::int64_t l) { return v[l + k - 1] - m; };
    std::int64_t lo = 0;
    std::int64_t hi = size() - k;  // the first l with below(l) <= above(l), or hi itself
    while (lo < hi) {
      const std::int64_t mid = lo + (hi - lo) / 2;
      if (below(mid) <= above(mid)) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    double best = std::max(below(lo), above(lo));
    if (lo > 0) best = std::min(best, std::max(below(lo - 1), above(lo - 1)));
    return best;
  }

  std::vector<double> values_;
};

}  // namespace

std::int64_t Integration_line::hampel(Multi_vector& channel, std::int64_t half_width,
                                      double threshold, bool replace,
                                      boost::dynamic_bitset<unsigned long>* flagged) {
  VORLITH_EXPECTS(half_width >= 1, "hampel: half_width ", half_width, " is below 1");
  VORLITH_EXPECTS(threshold >= 0.0, "hampel: threshold ", threshold, " is below 0 or NaN");
  VORLITH_EXPECTS(!channel.is_point_type() && !channel.is_opaque_type(),
                  "hampel: a channel of type ", channel.get_type().get_name(),
                  " cannot be despiked");
  const std::int64_t n = channel.get_length();
  storage::Double_array samples(channel, 0, n);
  double* data = samples.data();
  // Windows read the values as they came: replacements never feed later windows.
  const std::vector<double> source(data, data + n);
  std::vector<unsigned char> outliers(static_cast<std::size_t>(n), 0);
  const std::int64_t k = half_width;
  const std::int64_t least = k + 1;

  // Each chunk starts a window of its own, so a chunk should be long beside the window.
  const std::int64_t min_chunk = std::max(get_integration_min_thread_block() / 16, 8 * k);
  parallel::run_over_range(0, n, min_chunk, [&](std::int64_t first, std::int64_t last) {
    Sorted_window window(2 * k + 1);
    // The window of sample first - 1, which the first step moves on.
    for (std::int64_t j = std::max<std::int64_t>(0, first - k - 1); j < std::min(n, first + k); ++j)
      if (is_data(source[static_cast<std::size_t>(j)]))
        window.insert(source[static_cast<std::size_t>(j)]);
    for (std::int64_t i = first; i < last; ++i) {
      if (i - k - 1 >= 0 && is_data(source[static_cast<std::size_t>(i - k - 1)]))
        window.erase(source[static_cast<std::size_t>(i - k - 1)]);
      if (i + k < n && is_data(source[static_cast<std::size_t>(i + k)]))
        window.insert(source[static_cast<std::size_t>(i + k)]);
      const double x = source[static_cast<std::size_t>(i)];
      if (!is_data(x) || window.size() < least) continue;
      const double m = window.median();
      if (!(std::fabs(x - m) > threshold * mad_scale * window.mad(m))) continue;
      outliers[static_cast<std::size_t>(i)] = 1;
      if (replace) data[i] = m;
    }
  });

  if (flagged != nullptr) {
    flagged->clear();
    flagged->resize(static_cast<std::size_t>(n));
  }
  std::int64_t count = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    if (outliers[static_cast<std::size_t>(i)] == 0) continue;
    ++count;
    if (flagged != nullptr) flagged->set(static_cast<std::size_t>(i));
  }
  if (replace) samples.write_back();
  return count;
}

}  // namespace vorlith::integration
