#pragma once
// Integration_spline: Akima spline interpolation of a channel given as knots.

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>

#include <cstdint>

namespace vorlith::integration {

/// The knots are the pairs (x[i], y[i]) for i < length of x; y must be at least as long
/// (a contract failure otherwise) and further y values are ignored. Knots need strictly
/// increasing x and no dummies; both are checked as the evaluation reaches them
/// (contract failures). Any element types work: values are read as doubles and the
/// result is converted to its own type (dummies become its dummy).
///
/// Results are the dummy
/// - outside [x_first - extension, x_last + extension] (no limit when extension is the
///   dummy or negative);
/// - when max_gap > 0, inside an interval wider than max_gap except within `extension`
///   of one of its two knots (a dummy extension counts as 0 there);
/// - at dummy, NaN or infinite positions, and everywhere when there are no knots.
/// Beyond the knots the spline continues through extrapolated knots of the same spacing
/// and half the rise. With one knot the result is constant, with two it is the line
/// through them.
class VORLITH_API Integration_spline {
 public:
  /// result gets the length of xi and the spline value at each position of xi. The
  /// positions are meant to be non-decreasing; a position smaller than an earlier one
  /// is evaluated on the cubic of the interval reached so far.
  static void akima(const Multi_vector& x, const Multi_vector& y, const Multi_vector& xi,
                    Multi_vector& result, double max_gap, double extension);

  /// result gets length `count` and the value at k * increment + start, k < count.
  /// increment must be > 0 and not the dummy, start not the dummy, count >= 0
  /// (contract failures).
  static void akima(const Multi_vector& x, const Multi_vector& y, Multi_vector& result,
                    double start, double increment, std::int64_t count, double max_gap,
                    double extension);
};

}  // namespace vorlith::integration
