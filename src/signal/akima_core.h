#pragma once
// Akima spline evaluation on plain double arrays, in one pass over the knots for
// positions in non-decreasing order. Nothing here knows about Multi_vector.

#include <array>
#include <cstdint>

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

  template <class Position>
  void run(Position position, std::int64_t count, double* out);
  double value_at(double p);
  double linear_value_at(double p) const;
  void start_window(double p);
  void push_knot(Knot k);
  void make_cubic();
  bool in_gap(double p, double xl, double xr) const;
  double flat_tail_value(double p) const;

  const double* x_;
  const double* y_;
  std::int64_t count_;
  double max_gap_;
  double gap_extension_;
  bool limited_ = false;
  double lo_ = 0.0;
  double hi_ = 0.0;

  bool started_ = false;
  bool flat_tail_ = false;
  std::int64_t next_ = 0;
  std::array<Knot, 6> knots_{};
  std::array<double, 5> slopes_{};
  std::array<double, 4> weights_{};
  double right_slope_ = 0.0;  // knot slope at the current interval's right end
  double c0_ = 0.0, c1_ = 0.0, c2_ = 0.0, c3_ = 0.0;
};

}  // namespace vorlith::signal
