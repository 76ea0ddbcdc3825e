// Integration_spline::akima: argument checks and double views of the vectors around
// the spline core.

#include <vorlith/dummy.h>
#include <vorlith/integration_spline.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "runtime/contracts.h"
#include "signal/akima_core.h"

namespace vorlith::integration {

namespace {

constexpr std::int64_t piece_length = 8192;

bool is_contiguous_double(const Multi_vector& v) {
  return v.get_type().get_data_type() == type_double && !v.is_block_vector() && v.get_length() > 0;
}

// The first `count` values of a vector as doubles: its own memory when it is a
// contiguous double vector that nothing will overwrite, a converted copy otherwise.
class Double_values {
 public:
  Double_values(const Multi_vector& v, std::int64_t count, bool overwritten) {
    if (!overwritten && is_contiguous_double(v)) {
      data_ = static_cast<const double*>(v.get_vector_memory());
      return;
    }
    copy_.resize(static_cast<std::size_t>(count));
    if (count > 0) v.get_range_double(0, count, copy_.data());
    data_ = copy_.data();
  }
  const double* data() const { return data_; }

 private:
  std::vector<double> copy_;
  const double* data_ = nullptr;
};

// Sizes result to `count` and has fill(first, n, out) write each stretch: straight
// into a contiguous double result, through a converted piece otherwise.
template <class Fill>
void write_result(Multi_vector& result, std::int64_t count, Fill&& fill) {
  result.set_length(count);
  if (count == 0) return;
  if (is_contiguous_double(result)) {
    fill(0, count, static_cast<double*>(result.get_vector_memory()));
    return;
  }
  std::vector<double> buffer(static_cast<std::size_t>(std::min(count, piece_length)));
  for (std::int64_t first = 0; first < count; first += piece_length) {
    const std::int64_t n = std::min(piece_length, count - first);
    fill(first, n, buffer.data());
    result.set_range_double(first, n, buffer.data());
  }
}

}  // namespace

void Integration_spline::akima(const Multi_vector& x, const Multi_vector& y, const Multi_vector& xi,
                               Multi_vector& result, double max_gap, double extension) {
  std::int64_t knots = x.get_length();
  Multi_vector::validate_input_range(0, knots, x, y);
  const bool knots_overwritten = &result == &x || &result == &y;
  const Double_values kx(x, knots, knots_overwritten);
  const Double_values ky(y, knots, knots_overwritten);
  signal::Akima_spline spline(kx.data(), ky.data(), knots, max_gap, extension);

  const std::int64_t count = xi.get_length();
  // Positions are read piece by piece before the same piece of the result is written,
  // so xi may be the result vector itself.
  std::vector<double> positions;
  write_result(result, count, [&](std::int64_t first, std::int64_t n, double* out) {
    if (is_contiguous_double(xi)) {
      spline.evaluate(static_cast<const double*>(xi.get_vector_memory()) + first, n, out);
      return;
    }
    positions.resize(static_cast<std::size_t>(n));
    xi.get_range_double(first, n, positions.data());
    spline.evaluate(positions.data(), n, out);
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
  std::int64_t knots = x.get_length();
  Multi_vector::validate_input_range(0, knots, x, y);
  const bool knots_overwritten = &result == &x || &result == &y;
  const Double_values kx(x, knots, knots_overwritten);
  const Double_values ky(y, knots, knots_overwritten);
  signal::Akima_spline spline(kx.data(), ky.data(), knots, max_gap, extension);
  write_result(result, count, [&](std::int64_t first, std::int64_t n, double* out) {
    spline.evaluate_grid(start, increment, first, n, out);
  });
}

}  // namespace vorlith::integration
