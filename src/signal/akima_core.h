#pragma once
// Akima spline evaluation on plain double arrays, in one pass over the knots for
// positions in non-decreasing order. Nothing here knows about Multi_vector.

#include <array>
#include <cstdint>
#include <vector>

namespace vorlith::signal {

/// An Akima spline through the knots (x[i], y[i]), i < count, evaluated at positions
/// handed over in order, in one call or in several (the window carries over).
///
/// - Knots need strictly increasing x and no dummies; both are checked as the window
///   reaches them (contract failures).
/// - Results are the double dummy outside [x_first - extension, x_last + extension]
///   (no limit when extension is the dummy or negative), inside intervals wider than a
///   positive max_gap except within the extension of one of their knots (a dummy
///   extension counts as 0 there), and at dummy, NaN or infinite positions.
/// - Beyond the knots the spline runs through extrapolated knots of the same spacing
///   and half the rise; once their rise has vanished the curve is flat and far positions
///   are answered without stepping out to them.
/// - A position left of the current interval is evaluated on its cubic.
/// - Fewer than three knots interpolate linearly (one knot: a constant); no knots at all
///   give only dummies.
/// The arrays must outlive the object.
class Akima_spline {
 public:
  Akima_spline(const double* x, const double* y, std::int64_t count, double max_gap,
               double extension);

  /// out[i] = spline at positions[i].
  void evaluate(const double* positions, std::int64_t count, double* out);
  /// out[i] = spline at (first + i) * increment + start.
  void evaluate_grid(double start, double increment, std::int64_t first, std::int64_t count,
                     double* out);

 private:
  struct Knot {
    double x;
    double y;
  };

  // An interval's cubic in powers of the distance from its left knot, and the knot
  // slope at its right end.
  struct Cubic {
    double c0, c1, c2, c3, right_slope;
  };

  template <class Position>
  void run(Position position, std::int64_t count, double* out);
  template <class Position>
  std::int64_t run_interior(Position position, std::int64_t i, std::int64_t count, double* out);
  bool load_block(std::int64_t first);
  Cubic block_cubic(std::int64_t j) const;
  void enter_interior();
  void leave_interior();
  double value_at(double p);
  double linear_value_at(double p) const;
  void start_window(double p);
  void push_knot(Knot k);
  void make_cubic();
  double flat_tail_value(double p) const;

  const double* x_;
  const double* y_;
  std::int64_t count_;
  // Where positions get no value: outside [lo, hi] when limited, and inside intervals
  // wider than max_gap beyond `extension` of their knots.
  struct Limits {
    double max_gap;
    double extension;
    bool limited = false;
    double lo = 0.0;
    double hi = 0.0;
    bool unanswered(double p) const;
    bool in_gap(double p, double xl, double xr) const;
  };
  Limits limits_;

  bool started_ = false;
  bool flat_tail_ = false;
  std::int64_t next_ = 0;
  std::array<Knot, 6> knots_{};
  std::array<double, 5> slopes_{};
  std::array<double, 4> weights_{};
  double right_slope_ = 0.0;  // knot slope at the current interval's right end
  double c0_ = 0.0, c1_ = 0.0, c2_ = 0.0, c3_ = 0.0;

  // Interior intervals, whose six-knot window holds only present knots, take their cubics
  // from a block computed ahead (independent knots, so the divisions overlap) instead of
  // sliding the window knot by knot; the same operations in the same order give the
  // same values. While `interior_` the window above is stale and interval_ is current.
  bool interior_ = false;
  std::int64_t interval_ = 0;
  std::int64_t block_first_ = 0;
  std::int64_t block_end_ = 0;
  std::vector<double> block_;  // interval slopes, knot slopes, c2 and c3 of a block
};

}  // namespace vorlith::signal
