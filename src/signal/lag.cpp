// Lag correction: a channel read at shifted positions, interpolated between neighbouring
// data samples only.

#include <vorlith/dummy.h>
#include <vorlith/host_hooks.h>
#include <vorlith/integration_line.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "signal/akima_core.h"

namespace vorlith::integration {

namespace {

constexpr double dummy = common::dummy_value<double>;

bool is_data(double v) { return v != dummy && std::isfinite(v); }

// The data samples as knots: position, value and sample number.
struct Knots {
  std::vector<double> x;
  std::vector<double> y;
  std::vector<std::int64_t> index;

  // The knot interval [k, k + 1] holding q, found from the last one: positions mostly
  // move on by at most an interval, so the search is rarely needed.
  std::size_t interval(double q, std::size_t k) const {
    if (x[k] <= q && q < x[k + 1]) return k;
    if (k + 2 < x.size() && x[k + 1] <= q && q < x[k + 2]) return k + 1;
    const auto upper = std::ranges::upper_bound(x, q) - x.begin();
    return std::min(static_cast<std::size_t>(std::max<std::ptrdiff_t>(upper, 1)) - 1, x.size() - 2);
  }
};

}  // namespace

void Integration_line::lag(const Multi_vector& channel, Multi_vector& output, double shift,
                           const Multi_vector* along, Interpolation method) {
  VORLITH_EXPECTS(shift != dummy && std::isfinite(shift), "lag: shift ", shift,
                  " is the dummy or not finite");
  const auto method_code = static_cast<std::int32_t>(method);
  VORLITH_EXPECTS(method_code == 0 || method_code == 1, "lag: interpolation ", method_code,
                  " is not linear (0) or akima (1)");
  const std::int64_t n = channel.get_length();
  if (along != nullptr) {
    VORLITH_EXPECTS(along->get_length() >= n, "lag: the along channel has ", along->get_length(),
                    " samples, the channel ", n);
  }
  std::vector<double> y(static_cast<std::size_t>(n));
  std::vector<double> p(static_cast<std::size_t>(n));
  if (n > 0) channel.get_range_double(0, n, y.data());
  if (along != nullptr && n > 0) {
    along->get_range_double(0, n, p.data());
  } else {
    for (std::int64_t i = 0; i < n; ++i) p[static_cast<std::size_t>(i)] = static_cast<double>(i);
  }

  Knots knots;
  for (std::int64_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (!is_data(p[k]) || !is_data(y[k])) continue;
    VORLITH_EXPECTS(knots.x.empty() || p[k] > knots.x.back(), "lag: positions ",
                    knots.x.empty() ? 0.0 : knots.x.back(), " then ", p[k], " at sample ", i,
                    " do not increase");
    knots.x.push_back(p[k]);
    knots.y.push_back(y[k]);
    knots.index.push_back(i);
  }

  std::vector<double> result(static_cast<std::size_t>(n), dummy);
  const std::size_t count = knots.x.size();
  if (count >= 1) {
    parallel::run_over_range(
        0, n, get_integration_min_thread_block(), [&](std::int64_t first, std::int64_t last) {
          signal::Akima_spline spline(knots.x.data(), knots.y.data(),
                                      static_cast<std::int64_t>(count), 0.0, 0.0);
          std::size_t k = 0;
          double previous = knots.x.front();
          for (std::int64_t i = first; i < last; ++i) {
            const double position = p[static_cast<std::size_t>(i)];
            if (!is_data(position)) continue;
            const double q = position + shift;
            if (!(q >= knots.x.front() && q <= knots.x.back())) continue;
            if (count == 1 || q == knots.x.back()) {
              result[static_cast<std::size_t>(i)] = knots.y.back();
              continue;
            }
            k = knots.interval(q, k);
            const double xl = knots.x[k];
            double& out = result[static_cast<std::size_t>(i)];
            if (q == xl) {
              out = knots.y[k];
            } else if (knots.index[k + 1] == knots.index[k] + 1) {
              if (method == Interpolation::akima) {
                // The spline steps forward only; a position behind the last starts it afresh.
                if (q < previous)
                  spline = signal::Akima_spline(knots.x.data(), knots.y.data(),
                                                static_cast<std::int64_t>(count), 0.0, 0.0);
                previous = q;
                spline.evaluate(&q, 1, &out);
              } else {
                const double slope = (knots.y[k + 1] - knots.y[k]) / (knots.x[k + 1] - xl);
                out = slope * (q - xl) + knots.y[k];
              }
            }
          }
        });
  }
  output.set_length(n);
  if (n > 0) output.set_range_double(0, n, result.data());
}

}  // namespace vorlith::integration
