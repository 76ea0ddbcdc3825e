// Akima spline evaluation with a sliding six-knot window.

#include "signal/akima_core.h"

#include <vorlith/dummy.h>

#include <algorithm>
#include <cmath>

#include "runtime/contracts.h"

namespace vorlith::signal {

namespace {

constexpr double dummy = common::dummy_value<double>;

bool is_dummy(double v) { return v == dummy; }

bool usable_position(double p) { return std::isfinite(p) && !is_dummy(p); }

// The slope at the knot between intervals of slopes `left` and `right`, with `left2`
// and `right2` one interval farther out. The threshold is absolute on purpose.
double knot_slope(double left2, double left, double right, double right2) {
  const double w_left = std::fabs(left - left2);
  const double w_right = std::fabs(right2 - right);
  const double sum = w_left + w_right;
  if (!(sum > 0.01)) return (left + right) / 2.0;
  return (w_right * left + w_left * right) / sum;
}

}  // namespace

Akima_spline::Akima_spline(const double* x, const double* y, std::int64_t count, double max_gap,
                           double extension)
    : x_(x),
      y_(y),
      count_(std::max<std::int64_t>(count, 0)),
      max_gap_(max_gap),
      gap_extension_(is_dummy(extension) ? 0.0 : extension) {
  if (count_ > 0 && !is_dummy(extension) && extension >= 0.0) {
    limited_ = true;
    lo_ = x_[0] - extension;
    hi_ = x_[count_ - 1] + extension;
  }
  if (count_ > 0 && count_ < 3) {
    for (std::int64_t i = 0; i < count_; ++i) {
      VORLITH_EXPECTS(!is_dummy(x_[i]) && !is_dummy(y_[i]), "akima: knot ", i, " is a dummy");
    }
    VORLITH_EXPECTS(count_ == 1 || x_[1] > x_[0], "akima: knot x values ", x_[0], " then ", x_[1],
                    " do not increase");
  }
}

void Akima_spline::evaluate(const double* positions, std::int64_t count, double* out) {
  run([positions](std::int64_t i) { return positions[i]; }, count, out);
}

void Akima_spline::evaluate_grid(double start, double increment, std::int64_t first,
                                 std::int64_t count, double* out) {
  run([=](std::int64_t i) { return static_cast<double>(first + i) * increment + start; }, count,
      out);
}

template <class Position>
void Akima_spline::run(Position position, std::int64_t count, double* out) {
  if (count_ == 0) {
    std::fill(out, out + std::max<std::int64_t>(count, 0), dummy);
    return;
  }
  if (count_ < 3) {
    for (std::int64_t i = 0; i < count; ++i) out[i] = linear_value_at(position(i));
    return;
  }
  for (std::int64_t i = 0; i < count; ++i) out[i] = value_at(position(i));
}

bool Akima_spline::in_gap(double p, double xl, double xr) const {
  return max_gap_ > 0.0 && xr - xl > max_gap_ && p - xl > gap_extension_ && xr - p > gap_extension_;
}

double Akima_spline::linear_value_at(double p) const {
  if (!usable_position(p) || (limited_ && (p < lo_ || p > hi_))) return dummy;
  const std::int64_t right = count_ > 1 ? 1 : 0;
  const double xl = x_[0];
  const double xr = x_[right];
  if (in_gap(p, xl, xr)) return dummy;
  const double slope = xr == xl ? 0.0 : (y_[right] - y_[0]) / (xr - xl);
  return y_[0] + (p - xl) * slope;
}

namespace {

// The knot that continues the line from a to b with the same spacing and half the rise,
// and its mirror before a.
template <class Knot>
Knot forward_knot(const Knot& a, const Knot& b) {
  VORLITH_EXPECTS(!is_dummy(a.x) && !is_dummy(a.y) && !is_dummy(b.x) && !is_dummy(b.y),
                  "akima: a knot to extrapolate forward from is a dummy");
  VORLITH_EXPECTS(b.x - a.x != 0.0, "akima: two knots to extrapolate forward from share x ", a.x);
  return {b.x + (b.x - a.x), b.y + (b.y - a.y) / 2.0};
}

template <class Knot>
Knot backward_knot(const Knot& a, const Knot& b) {
  VORLITH_EXPECTS(!is_dummy(a.x) && !is_dummy(a.y) && !is_dummy(b.x) && !is_dummy(b.y),
                  "akima: a knot to extrapolate backward from is a dummy");
  VORLITH_EXPECTS(b.x - a.x != 0.0, "akima: two knots to extrapolate backward from share x ", a.x);
  return {a.x - (b.x - a.x), a.y - (b.y - a.y) / 2.0};
}

}  // namespace

void Akima_spline::start_window(double p) {
  // The first knot right of p by bisection (by hand: the knots are not yet known to be
  // sorted, which the standard search requires). Anchored on the last knot when p lies
  // at or beyond it, so no knot past the end is read.
  std::int64_t low = 0;
  std::int64_t high = count_;
  while (low < high) {
    const std::int64_t mid = low + (high - low) / 2;
    if (x_[mid] > p) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  const std::int64_t u = std::min(low, count_ - 1);
  std::array<bool, 6> present{};
  for (std::int64_t slot = 0; slot < 6; ++slot) {
    const std::int64_t k = u - 3 + slot;
    if (k < 0 || k >= count_ || is_dummy(x_[k]) || is_dummy(y_[k])) continue;
    knots_[slot] = {x_[k], y_[k]};
    present[slot] = true;
  }
  VORLITH_ENSURES(present[3], "akima: knot ", u, " at the start of the window is a dummy");
  auto& P = knots_;
  if (!present[4]) P[4] = forward_knot(P[2], P[3]);
  if (!present[2]) P[2] = backward_knot(P[3], P[4]);
  if (!present[5]) P[5] = forward_knot(P[3], P[4]);
  if (!present[1]) P[1] = backward_knot(P[2], P[3]);
  if (!present[0]) P[0] = backward_knot(P[1], P[2]);
  for (std::int64_t i = 0; i < 5; ++i) {
    // Checked for the whole window, not only the current interval: a non-increasing
    // neighbour would otherwise turn the knot slopes into NaN without a failure.
    VORLITH_ENSURES(P[i + 1].x - P[i].x > 0.0, "akima: knot x values ", P[i].x, " then ",
                    P[i + 1].x, " do not increase");
    slopes_[i] = (P[i + 1].y - P[i].y) / (P[i + 1].x - P[i].x);
  }
  for (std::int64_t i = 0; i < 4; ++i) weights_[i] = std::fabs(slopes_[i + 1] - slopes_[i]);
  right_slope_ =
      knot_slope(slopes_[0], slopes_[1], slopes_[2], slopes_[3]);  // becomes the left one
  make_cubic();
  next_ = u + 3;
  started_ = true;
}

void Akima_spline::push_knot(Knot k) {
  const double h = k.x - knots_[5].x;
  VORLITH_ENSURES(h > 0.0, "akima: knot x values ", knots_[5].x, " then ", k.x, " do not increase");
  for (std::int64_t i = 0; i < 5; ++i) knots_[i] = knots_[i + 1];
  knots_[5] = k;
  for (std::int64_t i = 0; i < 4; ++i) slopes_[i] = slopes_[i + 1];
  slopes_[4] = (k.y - knots_[4].y) / h;
  for (std::int64_t i = 0; i < 3; ++i) weights_[i] = weights_[i + 1];
  weights_[3] = std::fabs(slopes_[4] - slopes_[3]);
  make_cubic();
}

void Akima_spline::make_cubic() {
  // The slope at the left knot is the one computed as the right knot's slope of the
  // interval before: the same four interval slopes in the same order.
  const double t_left = right_slope_;
  const double m = slopes_[2];
  const double sum = weights_[1] + weights_[3];
  const double t_right = !(sum > 0.01)
                             ? (slopes_[2] + slopes_[3]) / 2.0
                             : (weights_[3] * slopes_[2] + weights_[1] * slopes_[3]) / sum;
  const double h = knots_[3].x - knots_[2].x;
  VORLITH_ENSURES(h > 0.0, "akima: knot x values ", knots_[2].x, " then ", knots_[3].x,
                  " do not increase");
  c0_ = knots_[2].y;
  c1_ = t_left;
  c2_ = (3.0 * m - 2.0 * t_left - t_right) / h;
  c3_ = (t_left + t_right - 2.0 * m) / (h * h);
  right_slope_ = t_right;
}

double Akima_spline::flat_tail_value(double p) const {
  // Past the knots with no rise left: every further interval has the width of the last
  // one and the same constant value, so only the gap test needs the position's interval.
  const double h = knots_[3].x - knots_[2].x;
  const double d = std::fmod(p - knots_[3].x, h);
  if (in_gap(p, p - d, p - d + h)) return dummy;
  return c0_;
}

double Akima_spline::value_at(double p) {
  if (!usable_position(p) || (limited_ && (p < lo_ || p > hi_))) return dummy;
  if (!started_) start_window(p);
  if (knots_[3].x < p) {
    if (flat_tail_) return flat_tail_value(p);
    do {
      if (next_ < count_) {
        const double kx = x_[next_];
        const double ky = y_[next_];
        VORLITH_EXPECTS(!is_dummy(kx) && !is_dummy(ky), "akima: knot ", next_, " is a dummy");
        push_knot({kx, ky});
        ++next_;
      } else {
        push_knot(forward_knot(knots_[4], knots_[5]));
        if (slopes_[0] == 0.0 && slopes_[1] == 0.0 && slopes_[2] == 0.0 && slopes_[3] == 0.0 &&
            slopes_[4] == 0.0) {
          flat_tail_ = true;
          if (knots_[3].x < p) return flat_tail_value(p);
        }
      }
    } while (knots_[3].x < p);
  }
  const double xl = knots_[2].x;
  if (in_gap(p, xl, knots_[3].x)) return dummy;
  const double d = p - xl;
  const double d2 = d * d;
  return c0_ + c1_ * d + c2_ * d2 + c3_ * (d2 * d);
}

}  // namespace vorlith::signal
