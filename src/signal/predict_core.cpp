// Prediction fill on a plain double array.

#include "signal/predict_core.h"

#include <vorlith/dummy.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "runtime/contracts.h"

namespace vorlith::signal {

namespace {

using algorithm::Rollweight_type;

constexpr double dummy = common::dummy_value<double>;
constexpr std::int64_t default_filter_length = 32;

bool is_dummy(double v) { return v == dummy; }

}  // namespace

double roll_weight(Rollweight_type roll, std::int64_t steps, std::int64_t k) {
  const double kd = static_cast<double>(k);
  if (roll == Rollweight_type::linear) return kd / static_cast<double>(steps);
  const double rest = static_cast<double>(steps - k);
  const double kk = kd * kd;
  return kk / (kk + rest * rest);
}

Prediction_settings make_prediction_settings(std::int64_t length, Edge_fill edges,
                                             Rollweight_type roll, double level,
                                             std::int64_t prediction_length,
                                             std::int64_t filter_length, std::int64_t fit_length) {
  Prediction_settings s;
  s.edges = edges;
  s.roll = roll;
  s.level = level;
  s.prediction_length =
      std::clamp<std::int64_t>(prediction_length, 0, std::max<std::int64_t>(length, 0));
  // Anything above 256 ends at 256 either way, so capping before the doubling below
  // only keeps the product from overflowing.
  const std::int64_t filter = filter_length <= 0
                                  ? default_filter_length
                                  : std::min(filter_length, 4 * max_prediction_order);
  s.order = std::min(filter, max_prediction_order);
  s.fit_length = std::min(fit_length <= 0 ? 2 * filter : fit_length, max_prediction_order);
  if (s.prediction_length > 0 && s.prediction_length < s.order) s.order = s.prediction_length;
  return s;
}

void burg_filter(const double* r, std::int64_t n, std::int64_t order, double* a) {
  VORLITH_EXPECTS(order >= 1 && order <= max_prediction_order, "predict: Burg filter order ", order,
                  " is outside 1 to ", max_prediction_order);
  VORLITH_EXPECTS(n >= 0 && n <= max_prediction_order, "predict: Burg filter input of ", n,
                  " samples is outside 0 to ", max_prediction_order);
  std::array<double, max_prediction_order> f{};
  std::array<double, max_prediction_order> b{};
  std::array<double, max_prediction_order + 1> rho{};
  std::copy(r, r + n, f.begin());
  std::copy(r, r + n, b.begin());

  for (std::int64_t k = 2; k <= order; ++k) {
    const std::int64_t lag = k - 1;
    double num = 0.0;
    double den = 0.0;
    for (std::int64_t j = 0; j + lag < n; ++j) {
      num += f[j] * b[j + lag];
      den += f[j] * f[j] + b[j + lag] * b[j + lag];
    }
    // An empty sum leaves num at 0, so a zero denominator only has to become 1.
    if (den == 0.0) den = 1.0;
    const double reflection = 2.0 * num / den;
    rho[k] = reflection;
    for (std::int64_t j = 0; j + lag < n; ++j) {
      const double fj = f[j];
      const double bj = b[j + lag];
      f[j] = fj - reflection * bj;
      b[j + lag] = bj - reflection * fj;
    }
  }

  a[0] = 1.0;
  for (std::int64_t i = 1; i < order; ++i) {
    a[i] = 0.0;
    const double reflection = rho[i + 1];
    // For even i the last pair is one coefficient; taking both old values first
    // handles it like any other pair.
    for (std::int64_t j = 0; j <= (i + 2) / 2 - 1; ++j) {
      const double low = a[j];
      const double high = a[i - j];
      a[j] = low - reflection * high;
      a[i - j] = high - reflection * low;
    }
  }
}

void extrapolate_series(const double* y, std::int64_t n, std::int64_t order, std::int64_t count,
                        double* out) {
  VORLITH_EXPECTS(n >= 1 && n <= max_prediction_order, "predict: extrapolation from ", n,
                  " samples is outside 1 to ", max_prediction_order);
  VORLITH_EXPECTS(order >= 1 && order <= max_prediction_order, "predict: extrapolation order ",
                  order, " is outside 1 to ", max_prediction_order);
  if (count <= 0) return;
  if (n == 1) {
    std::fill(out, out + count, y[0]);
    return;
  }
  VORLITH_EXPECTS(order - 1 <= n, "predict: extrapolation order ", order, " needs more than ", n,
                  " samples");

  const double last = y[n - 1];
  const double slope = (last - y[0]) / static_cast<double>(n - 1);
  std::array<double, max_prediction_order> residual{};
  for (std::int64_t i = 0; i < n; ++i) {
    residual[i] = y[i] - (last + static_cast<double>(i - (n - 1)) * slope);
  }

  std::array<double, max_prediction_order> a{};
  burg_filter(residual.data(), n, order, a.data());

  // The history is a ring stored twice over, so the newest `taps` values always sit
  // contiguously at history[head .. head + taps). Only the first copy starts filled:
  // history[taps + k] is read once head has passed k, and by then it holds the value
  // written at head k.
  const std::int64_t taps = order - 1;
  std::array<double, 2 * max_prediction_order> history{};
  for (std::int64_t j = 0; j < taps; ++j) history[j] = residual[n - taps + j];
  std::int64_t head = 0;

  double weight = 1.0;
  double trend = last;
  double running_slope = slope;
  const double slope_step = 2.0 * slope / static_cast<double>(count);
  for (std::int64_t t = 1; t <= count; ++t) {
    double damped = 0.0;
    if (weight > 0.0 && taps > 0) {
      const double* window = history.data() + head;
      double sum = 0.0;
      for (std::int64_t j = 1; j <= taps; ++j) sum += a[j] * window[taps - j];
      double e = -sum;
      if (e != 0.0 && std::fabs(e) < 1e-32) e = 0.0;
      weight = 1.0 - static_cast<double>(t - 1) / static_cast<double>(5 * taps);
      damped = weight * e;
      history[head] = history[head + taps] = e;
      head = head + 1 == taps ? 0 : head + 1;
    }
    if (running_slope * slope >= 0.0) {
      trend += running_slope;
      running_slope -= slope_step;
    }
    out[t - 1] = trend + damped;
  }
}

namespace {

// One fill over the whole array. L and R series are kept 1-based (index 0 unused) so
// the code reads like the blending rule.
class Gap_filler {
 public:
  Gap_filler(double* x, std::int64_t n, const Prediction_settings& s) : x_(x), n_(n), s_(s) {}

  void run() {
    // Dummies only ever become data, so neither the first dummy nor, after an ordinary
    // interior fill, the first gap and the run after it can move backwards: each scan
    // resumes where the last one stopped and the whole loop reads the array about twice.
    std::int64_t i0 = 0;
    std::int64_t s1 = 0;
    std::int64_t next_gap = -1;
    for (;;) {
      std::int64_t g = 0;
      if (next_gap < 0) {
        i0 = find_linear_dummy(i0);
        if (i0 < 0) return;
        s1 = find(i0, n_, false);
        if (s1 < 0) return;  // no data at all
        g = find(s1 + 1, n_ - 1, true);
      } else {
        g = next_gap;
      }
      std::int64_t s2 = find(g + 1, n_ - 1, false);
      std::int64_t e2 = s2 == s1 ? g : find(s2 + 1, n_ - 1, true);
      const bool single_run = s2 == s1;

      if (single_run && (s1 < g || g == 0)) {
        if (s_.edges == Edge_fill::none) return;
        if (s_.edges == Edge_fill::extrapolate) {
          const std::int64_t e = g == 0 ? n_ : g;
          if (s1 > 0) fill_edge(s1, e, true);
          if (e < n_) fill_edge(s1, e, false);
          return;
        }
      }
      bool renamed = false;
      if (s2 < s1) {
        std::swap(s1, s2);
        std::swap(g, e2);
        renamed = true;
      }
      fill_interior(s1, g, s2, e2);
      if (single_run) return;  // the one gap left was everything that was not data
      next_gap = renamed ? -1 : e2;
    }
  }

 private:
  std::int64_t wrap(std::int64_t i) const {
    i %= n_;
    return i < 0 ? i + n_ : i;
  }
  double at(std::int64_t i) const { return x_[wrap(i)]; }

  std::int64_t find_linear_dummy(std::int64_t from) const {
    for (std::int64_t i = from; i < n_; ++i) {
      if (is_dummy(x_[i])) return i;
    }
    return -1;
  }

  // The first index among `steps` cyclic positions from `from` whose dummy state is
  // `dummy_wanted`, or -1.
  std::int64_t find(std::int64_t from, std::int64_t steps, bool dummy_wanted) const {
    std::int64_t i = wrap(from);
    while (steps > 0) {
      const std::int64_t end = std::min(n_, i + steps);
      for (std::int64_t k = i; k < end; ++k) {
        if (is_dummy(x_[k]) == dummy_wanted) return k;
      }
      steps -= end - i;
      i = 0;
    }
    return -1;
  }

  double weight(std::int64_t steps, std::int64_t k) const { return roll_weight(s_.roll, steps, k); }

  std::int64_t fit_order(std::int64_t c) const {
    return std::min(s_.order, std::max<std::int64_t>(3, c * 6 / 10));
  }

  // P values continuing the c samples that end next to the gap; `towards_gap(i)` is
  // the array index of the i-th of them counted from the farthest.
  template <class Index>
  void predict_side(std::int64_t run_length, std::int64_t count, Index towards_gap, double* out) {
    const std::int64_t c = std::min({count, s_.fit_length, run_length});
    for (std::int64_t i = 0; i < c; ++i) series_[i] = x_[towards_gap(i, c)];
    extrapolate_series(series_.data(), c, fit_order(c), count, out);
  }

  void relax(std::vector<double>& v, std::int64_t predicted, std::int64_t m) const {
    const std::int64_t a = s_.prediction_length;
    if (a < 1) return;
    for (std::int64_t k = 1; k <= predicted; ++k)
      v[k] = v[k] + (s_.level - v[k]) * weight(a + 1, k);
    for (std::int64_t k = predicted + 1; k <= m; ++k) v[k] = s_.level;
  }

  void relax_short(std::vector<double>& v, double base, std::int64_t m) const {
    const std::int64_t a = s_.prediction_length;
    for (std::int64_t k = 1; k <= m; ++k)
      v[k] = k <= a ? base + (s_.level - base) * weight(a, k) : s_.level;
  }

  void fill_interior(std::int64_t s1, std::int64_t g, std::int64_t s2, std::int64_t e2) {
    const std::int64_t m = wrap(s2 - g);
    const std::int64_t n_left = wrap(g - s1);
    const std::int64_t n_right = wrap(e2 - s2);
    const double x_left = at(g - 1);
    const double x_right = at(s2);
    const std::int64_t a = s_.prediction_length;
    left_.assign(static_cast<std::size_t>(m + 1), 0.0);
    right_.assign(static_cast<std::size_t>(m + 1), 0.0);

    if (m < 3 || s_.order < 3) {
      if (a == 0) {
        std::fill(left_.begin(), left_.end(), x_left);
        std::fill(right_.begin(), right_.end(), x_right);
      } else {
        relax_short(left_, x_left, m);
        relax_short(right_, x_right, m);
      }
    } else {
      const std::int64_t count = a == 0 ? m : std::min(a, m);
      if (n_left < 3) {
        const double step = n_left == 2 ? x_left - at(g - 2) : 0.0;
        for (std::int64_t k = 1; k <= count; ++k) left_[k] = x_left + static_cast<double>(k) * step;
      } else {
        predict_side(
            n_left, count, [&](std::int64_t i, std::int64_t c) { return wrap(g - c + i); },
            left_.data() + 1);
      }
      if (n_right < 3) {
        const double step = n_right == 2 ? at(s2 + 1) - x_right : 0.0;
        for (std::int64_t k = 1; k <= count; ++k)
          right_[k] = x_right - static_cast<double>(k) * step;
      } else {
        predict_side(
            n_right, count, [&](std::int64_t i, std::int64_t c) { return wrap(s2 + c - 1 - i); },
            right_.data() + 1);
      }
      relax(left_, count, m);
      relax(right_, count, m);
    }

    for (std::int64_t k = 1; k <= m; ++k) {
      const double l = left_[k];
      x_[wrap(g + k - 1)] = l + (right_[m + 1 - k] - l) * weight(m + 1, k);
    }
  }

  // Extends the data run [s, e) over the leading gap [0, s) (backward) or over the
  // trailing gap [e, n).
  void fill_edge(std::int64_t s, std::int64_t e, bool backward) {
    VORLITH_EXPECTS(e >= 1, "predict: an edge gap is filled from a data run ending at ", e);
    const std::int64_t run = e - s;
    const std::int64_t m = backward ? s : n_ - e;
    const double base = backward ? x_[s] : x_[e - 1];
    double second = base;
    if (run > 1) second = backward ? x_[s + 1] : x_[e - 2];
    const double step = is_dummy(second) ? 0.0 : base - second;
    const std::int64_t a = s_.prediction_length;
    left_.assign(static_cast<std::size_t>(m + 1), 0.0);

    if (m < 3 || s_.order < 3) {
      if (a == 0) {
        for (std::int64_t k = 1; k <= m; ++k) left_[k] = base + static_cast<double>(k) * step;
      } else {
        relax_short(left_, base, m);
      }
    } else {
      const std::int64_t count = a == 0 ? m : std::min(a, m);
      if (run < 3) {
        for (std::int64_t k = 1; k <= count; ++k) left_[k] = base + static_cast<double>(k) * step;
      } else if (backward) {
        predict_side(
            run, count, [&](std::int64_t i, std::int64_t c) { return s + c - 1 - i; },
            left_.data() + 1);
      } else {
        predict_side(
            run, count, [&](std::int64_t i, std::int64_t c) { return e - c + i; },
            left_.data() + 1);
      }
      relax(left_, count, m);
    }

    for (std::int64_t k = 1; k <= m; ++k) {
      x_[backward ? s - k : e - 1 + k] = left_[k];
    }
  }

  double* x_;
  std::int64_t n_;
  Prediction_settings s_;
  std::vector<double> left_;
  std::vector<double> right_;
  std::array<double, max_prediction_order> series_{};
};

}  // namespace

void fill_gaps(double* x, std::int64_t n, const Prediction_settings& settings) {
  if (n <= 0) return;
  Gap_filler(x, n, settings).run();
}

void check_prediction_arguments(std::int32_t edge_code, std::int32_t roll_code,
                                std::int64_t prediction_length) {
  VORLITH_EXPECTS(edge_code >= 0 && edge_code <= 2, "predict: edge type ", edge_code,
                  " is not none (0), extrapolate (1) or wrap (2)");
  VORLITH_EXPECTS(roll_code == 1 || roll_code == 2, "predict: roll weight ", roll_code,
                  " is not linear (1) or squared (2)");
  VORLITH_EXPECTS(prediction_length >= 0, "predict: prediction_length ", prediction_length,
                  " is below 0");
}

}  // namespace vorlith::signal
