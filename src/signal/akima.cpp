// Integration_spline::akima: argument checks and double views of the vectors around
// the spline core.

#include <vorlith/dummy.h>
#include <vorlith/integration_spline.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/sizes.h"
#include "signal/akima_core.h"
#include "storage/multi_vector_access.h"

namespace vorlith::integration {

namespace {

// The first `count` values of a vector as doubles: its own memory when it holds them in
// one run and nothing will overwrite them, a converted copy otherwise.
class Double_values {
 public:
  Double_values(const Multi_vector& v, std::int64_t count, bool overwritten) {
    data_ = overwritten ? nullptr : storage::stored_doubles(v, 0, count);
    if (data_ != nullptr) return;
    copy_.resize(static_cast<std::size_t>(count));
    if (count > 0) v.get_range_double(0, count, copy_.data());
    data_ = copy_.data();
  }
  const double* data() const { return data_; }

 private:
  std::vector<double> copy_;
  const double* data_ = nullptr;
};

// The spline through the knots x, y (read before `result` is written, which may be one
// of them).
struct Knots {
  Knots(const Multi_vector& x, const Multi_vector& y, const Multi_vector& result, double max_gap,
        double extension)
      : count(checked_length(x, y)),
        x_values(x, count, &result == &x || &result == &y),
        y_values(y, count, &result == &x || &result == &y),
        spline(x_values.data(), y_values.data(), count, max_gap, extension) {}

  static std::int64_t checked_length(const Multi_vector& x, const Multi_vector& y) {
    std::int64_t knots = x.get_length();
    Multi_vector::validate_input_range(0, knots, x, y);
    return knots;
  }

  std::int64_t count;
  Double_values x_values;
  Double_values y_values;
  signal::Akima_spline spline;
};

// Sizes result to `count` and has fill(first, n, out) write each stretch: straight
// into the result's stored doubles where it holds them in one run, through a converted
// piece otherwise.
template <class Fill>
void write_result(Multi_vector& result, std::int64_t count, Fill&& fill) {
  result.set_length(count);
  if (count == 0) return;
  if (double* stored = storage::stored_doubles(result, 0, count)) {
    fill(0, count, stored);
    return;
  }
  std::vector<double> buffer(static_cast<std::size_t>(std::min(count, sizes::piece_elements)));
  for (std::int64_t first = 0; first < count; first += sizes::piece_elements) {
    const std::int64_t n = std::min(sizes::piece_elements, count - first);
    fill(first, n, buffer.data());
    result.set_range_double(first, n, buffer.data());
  }
}

}  // namespace

void Integration_spline::akima(const Multi_vector& x, const Multi_vector& y, const Multi_vector& xi,
                               Multi_vector& result, double max_gap, double extension) {
  Knots knots(x, y, result, max_gap, extension);

  const std::int64_t count = xi.get_length();
  // Positions are read piece by piece before the same piece of the result is written,
  // so xi may be the result vector itself.
  std::vector<double> positions;
  write_result(result, count, [&](std::int64_t first, std::int64_t n, double* out) {
    if (const double* stored = storage::stored_doubles(xi, first, n)) {
      knots.spline.evaluate(stored, n, out);
      return;
    }
    positions.resize(static_cast<std::size_t>(n));
    xi.get_range_double(first, n, positions.data());
    knots.spline.evaluate(positions.data(), n, out);
  });
}

void Integration_spline::akima(const Multi_vector& x, const Multi_vector& y, Multi_vector& result,
                               double start, double increment, std::int64_t count, double max_gap,
                               double extension) {
  constexpr double dummy = common::dummy_value<double>;
  VORLITH_EXPECTS(increment > 0.0, "akima_regular: increment ", increment, " is not above 0");
  VORLITH_EXPECTS(start != dummy, "akima_regular: start is the dummy");
  VORLITH_EXPECTS(increment != dummy && increment != 0.0, "akima_regular: increment ", increment,
                  " is the dummy or 0");
  VORLITH_EXPECTS(count >= 0, "akima_regular: count ", count, " is below 0");
  Knots knots(x, y, result, max_gap, extension);
  write_result(result, count, [&](std::int64_t first, std::int64_t n, double* out) {
    knots.spline.evaluate_grid(start, increment, first, n, out);
  });
}

}  // namespace vorlith::integration
