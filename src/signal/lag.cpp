// Lag correction: a channel read at shifted positions, interpolated between neighbouring
// data samples only.

#include <vorlith/dummy.h>
#include <vorlith/host_hooks.h>
#include <vorlith/integration_line.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "signal/akima_core.h"
#include "storage/multi_vector_access.h"

namespace vorlith::integration {

namespace {

constexpr double dummy = common::dummy_value<double>;

bool is_data(double v) { return v != dummy && std::isfinite(v); }

// The data samples as knots: position, value and sample number (no numbers when every
// sample is data: knot k is sample k).
struct Knots {
  const double* x = nullptr;
  const double* y = nullptr;
  const std::int64_t* index = nullptr;
  std::int64_t count = 0;

  // The knot interval [k, k + 1] holding q, found from the last one: positions mostly
  // move on by at most an interval, so the search is rarely needed.
  std::int64_t interval(double q, std::int64_t k) const {
    if (x[k] <= q && q < x[k + 1]) return k;
    if (k + 2 < count && x[k + 1] <= q && q < x[k + 2]) return k + 1;
    const std::int64_t upper = std::upper_bound(x, x + count, q) - x;
    return std::min(std::max<std::int64_t>(upper, 1) - 1, count - 2);
  }
  bool neighbours(std::int64_t k) const { return index == nullptr || index[k + 1] == index[k] + 1; }
};

// The first n values of v as doubles: its own memory when it holds them in one run,
// else a copy.
const double* doubles_of(const Multi_vector& v, std::int64_t n, std::vector<double>& copy) {
  if (const double* stored = storage::stored_doubles(v, 0, n)) return stored;
  copy.resize(static_cast<std::size_t>(n));
  if (n > 0) v.get_range_double(0, n, copy.data());
  return copy.data();
}

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
  std::vector<double> y_copy, p_copy;
  const double* y = doubles_of(channel, n, y_copy);
  const double* p = nullptr;
  if (along != nullptr) {
    p = doubles_of(*along, n, p_copy);
  } else {
    p_copy.resize(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i)
      p_copy[static_cast<std::size_t>(i)] = static_cast<double>(i);
    p = p_copy.data();
  }

  bool all_data = true;
  for (std::int64_t i = 0; i < n; ++i) all_data &= is_data(p[i]) & is_data(y[i]);
  Knots knots;
  std::vector<double> knot_x, knot_y;
  std::vector<std::int64_t> knot_index;
  if (all_data) {
    knots = {p, y, nullptr, n};
  } else {
    for (std::int64_t i = 0; i < n; ++i) {
      if (!is_data(p[i]) || !is_data(y[i])) continue;
      knot_x.push_back(p[i]);
      knot_y.push_back(y[i]);
      knot_index.push_back(i);
    }
    knots = {knot_x.data(), knot_y.data(), knot_index.data(),
             static_cast<std::int64_t>(knot_x.size())};
  }
  for (std::int64_t k = 1; k < knots.count; ++k) {
    VORLITH_EXPECTS(knots.x[k] > knots.x[k - 1], "lag: positions ", knots.x[k - 1], " then ",
                    knots.x[k], " at sample ", knots.index != nullptr ? knots.index[k] : k,
                    " do not increase");
  }

  // Written straight into the output where it holds doubles in one run and is neither
  // input; else into a buffer stored at the end.
  std::vector<double> buffer;
  double* result = nullptr;
  if (&output != &channel && &output != along) {
    output.set_length(n);
    result = storage::stored_doubles(output, 0, n);
  }
  if (result == nullptr) {
    buffer.resize(static_cast<std::size_t>(n));
    result = buffer.data();
  }
  const std::int64_t count = knots.count;
  parallel::run_over_range(
      0, n, get_integration_min_thread_block(), [&](std::int64_t first, std::int64_t last) {
        std::optional<signal::Akima_spline> spline;
        std::int64_t k = 0;
        double previous = 0.0;
        for (std::int64_t i = first; i < last; ++i) {
          double& out = result[i];
          out = dummy;
          const double position = p[i];
          if (count == 0 || !is_data(position)) continue;
          const double q = position + shift;
          if (!(q >= knots.x[0] && q <= knots.x[count - 1])) continue;
          if (count == 1 || q == knots.x[count - 1]) {
            out = knots.y[count - 1];
            continue;
          }
          k = knots.interval(q, k);
          const double xl = knots.x[k];
          if (q == xl) {
            out = knots.y[k];
          } else if (knots.neighbours(k)) {
            if (method == Interpolation::akima) {
              // The spline steps forward only; a position behind the last starts it afresh.
              if (!spline || q < previous) spline.emplace(knots.x, knots.y, count, 0.0, 0.0);
              previous = q;
              spline->evaluate(&q, 1, &out);
            } else {
              const double slope = (knots.y[k + 1] - knots.y[k]) / (knots.x[k + 1] - xl);
              out = slope * (q - xl) + knots.y[k];
            }
          }
        }
      });
  if (!buffer.empty()) {
    output.set_length(n);
    output.set_range_double(0, n, buffer.data());
  } else if (n == 0) {
    output.set_length(0);
  }
}

}  // namespace vorlith::integration
