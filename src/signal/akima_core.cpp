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
      limits_{max_gap, is_dummy(extension) ? 0.0 : extension} {
  if (count_ > 0 && !is_dummy(extension) && extension >= 0.0) {
    limits_.limited = true;
    limits_.lo = x_[0] - extension;
    limits_.hi = x_[count_ - 1] + extension;
  }
  if (count_ > 0 && count_ < 3) {
    for (std::int64_t i = 0; i < count_; ++i) {
      VORLITH_EXPECTS(!is_dummy(x_[i]) && !is_dummy(y_[i]), "akima: knot ", i, " is a dummy");
    }
    VORLITH_EXPECTS(count_ == 1 || x_[1] > x_[0], "akima: knot x values ", x_[0], " then ", x_[1],
                    " do not increase");
  }
}

bool Akima_spline::Limits::unanswered(double p) const {
  return !usable_position(p) || (limited && (p < lo || p > hi));
}

bool Akima_spline::Limits::in_gap(double p, double xl, double xr) const {
  return max_gap > 0.0 && xr - xl > max_gap && p - xl > extension && xr - p > extension;
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
  for (std::int64_t i = 0; i < count;) {
    if (interior_) {
      i = run_interior(position, i, count, out);
      if (i == count) break;
    }
    out[i] = value_at(position(i));
    ++i;
  }
}

// Positions from i on while they stay in interior intervals; returns the first one that
// needs the sliding window (or count).
template <class Position>
std::int64_t Akima_spline::run_interior(Position position, std::int64_t i, std::int64_t count,
                                        double* out) {
  // Locals, which the stores to out cannot change.
  const Limits limits = limits_;
  const double* x = x_;
  const double* y = y_;
  std::int64_t j = interval_;
  std::int64_t first = block_first_;
  std::int64_t end = block_end_;
  const double* t = block_.data() + (end - first) + 4;
  const double* c2 = t + (end - first) + 1;
  const double* c3 = c2 + (end - first);
  for (; i < count; ++i) {
    const double p = position(i);
    if (limits.unanswered(p)) {
      out[i] = dummy;
      continue;
    }
    // The knots are increasing here, so counting the next four below p steps as far
    // as the loop would, without a branch that random positions mispredict.
    if (j + 4 < end) j += (x[j + 1] < p) + (x[j + 2] < p) + (x[j + 3] < p) + (x[j + 4] < p);
    while (x[j + 1] < p) {
      if (j + 1 == end) {
        interval_ = j;
        if (!load_block(j + 1)) {
          leave_interior();
          return i;
        }
        first = block_first_;
        end = block_end_;
        t = block_.data() + (end - first) + 4;
        c2 = t + (end - first) + 1;
        c3 = c2 + (end - first);
      }
      ++j;
    }
    const double xl = x[j];
    if (limits.in_gap(p, xl, x[j + 1])) {
      out[i] = dummy;
      continue;
    }
    const double d = p - xl;
    const double d2 = d * d;
    const std::int64_t k = j - first;
    out[i] = y[j] + t[k] * d + c2[k] * d2 + c3[k] * (d2 * d);
  }
  interval_ = j;
  return count;
}

Akima_spline::Cubic Akima_spline::block_cubic(std::int64_t j) const {
  const std::int64_t n = block_end_ - block_first_;
  const std::int64_t i = j - block_first_;
  const double* t = block_.data() + n + 4;
  return {y_[j], t[i], t[n + 1 + i], t[2 * n + 1 + i], t[i + 1]};
}

bool Akima_spline::load_block(std::int64_t first) {
  constexpr std::int64_t block_intervals = 256;
  // Interval j's window holds knots j-2 .. j+3; the block ends before the first window
  // that would hold a dummy, a non-increasing step or no knot at all, and the sliding
  // window (which reports the first two) takes over there.
  const std::int64_t last = count_ - 4;
  if (first < 2 || first > last) return false;
  std::int64_t end = std::min(first + block_intervals, last + 1);
  // Knot k is bad when it is a dummy or not above knot k-1 (first-2 has no check against
  // its left neighbour, which no window of the block holds). Tested with `|` so that the
  // scan of the whole block vectorises; the first bad knot is searched only when there is one.
  const double* x = x_ + first - 2;
  const double* y = y_ + first - 2;
  const std::int64_t knots = end - first + 5;
  const auto bad = [x, y](std::int64_t k) {
    return is_dummy(x[k]) | is_dummy(y[k]) | (k > 0 && !(x[k] - x[k - 1] > 0.0));
  };
  std::int64_t bad_count = 0;
  for (std::int64_t k = 1; k < knots; ++k)
    bad_count +=
        static_cast<std::int64_t>(x[k] == dummy) + (y[k] == dummy) + !(x[k] - x[k - 1] > 0.0);
  if (bad_count != 0 || is_dummy(x[0]) || is_dummy(y[0])) {
    std::int64_t k = 0;
    while (!bad(k)) ++k;
    end = std::min(end, first - 2 + k - 3);
    if (end <= first) return false;
  }
  const std::int64_t n = end - first;
  // Slopes of intervals first-2 .. end+1, knot slopes of knots first .. end, and the
  // cubic terms of intervals first .. end-1, as push_knot and make_cubic compute them.
  block_.resize(static_cast<std::size_t>(4 * n + 5));
  double* s = block_.data();
  double* t = s + n + 4;
  double* c2 = t + n + 1;
  double* c3 = c2 + n;
  for (std::int64_t i = 0; i < n + 4; ++i) s[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]);
  for (std::int64_t i = 0; i <= n; ++i) t[i] = knot_slope(s[i], s[i + 1], s[i + 2], s[i + 3]);
  for (std::int64_t i = 0; i < n; ++i) {
    const double m = s[i + 2];
    const double h = x[i + 3] - x[i + 2];
    c2[i] = (3.0 * m - 2.0 * t[i] - t[i + 1]) / h;
    c3[i] = (t[i] + t[i + 1] - 2.0 * m) / (h * h);
  }
  block_first_ = first;
  block_end_ = end;
  return true;
}

void Akima_spline::enter_interior() {
  // Below count_, next_ is four knots past the current interval and no knot has been
  // extrapolated at the end.
  if (flat_tail_ || next_ >= count_) return;
  const std::int64_t j = next_ - 4;
  if ((j < block_first_ || j >= block_end_) && !load_block(j)) return;
  interior_ = true;
  interval_ = j;
}

void Akima_spline::leave_interior() {
  const std::int64_t j = interval_;
  for (std::int64_t i = 0; i < 6; ++i) knots_[i] = {x_[j - 2 + i], y_[j - 2 + i]};
  for (std::int64_t i = 0; i < 5; ++i)
    slopes_[i] = (knots_[i + 1].y - knots_[i].y) / (knots_[i + 1].x - knots_[i].x);
  for (std::int64_t i = 0; i < 4; ++i) weights_[i] = std::fabs(slopes_[i + 1] - slopes_[i]);
  const Cubic c = block_cubic(j);
  c0_ = c.c0;
  c1_ = c.c1;
  c2_ = c.c2;
  c3_ = c.c3;
  right_slope_ = c.right_slope;
  next_ = j + 4;
  interior_ = false;
}

double Akima_spline::linear_value_at(double p) const {
  if (limits_.unanswered(p)) return dummy;
  const std::int64_t right = count_ > 1 ? 1 : 0;
  const double xl = x_[0];
  const double xr = x_[right];
  if (limits_.in_gap(p, xl, xr)) return dummy;
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
  if (limits_.in_gap(p, p - d, p - d + h)) return dummy;
  return c0_;
}

double Akima_spline::value_at(double p) {
  if (limits_.unanswered(p)) return dummy;
  if (!started_) {
    start_window(p);
    enter_interior();
  }
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
    enter_interior();
  }
  const double xl = knots_[2].x;
  if (limits_.in_gap(p, xl, knots_[3].x)) return dummy;
  const double d = p - xl;
  const double d2 = d * d;
  return c0_ + c1_ * d + c2_ * d2 + c3_ * (d2 * d);
}

}  // namespace vorlith::signal
