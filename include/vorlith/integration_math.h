#pragma once
// Integration_math: numeric operations on ranges of Multi_vector channels.

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>
#include <vorlith/point.h>

#include <cstdint>

namespace vorlith::integration {

/// Static operations only. Every member takes start and count last; count -1 means to
/// the end of the shortest vector read. A range outside a vector is a contract failure
/// (gsl::fail_fast by default) before any element changes. D below is the double dummy
/// -1.0e32; values of every type are read as double (a typed dummy reads as D) and
/// written back with the vector's own conversion rules (Legacy_type).
class VORLITH_API Integration_math {
 public:
  Integration_math() = delete;

  // --- elementwise arithmetic -------------------------------------------------
  // Two-input members: the range is checked against a and b, then out's length becomes
  // exactly start + count. out may be a or b. A D in either input gives D unless the
  // member says otherwise. Work is split over threads above the minimum thread block.

  /// out = a + b.
  static void add(const Multi_vector& a, const Multi_vector& b, Multi_vector& out,
                  std::int64_t start, std::int64_t count);
  /// out = a - b.
  static void subtract(const Multi_vector& a, const Multi_vector& b, Multi_vector& out,
                       std::int64_t start, std::int64_t count);
  /// out = a * b.
  static void multiply(const Multi_vector& a, const Multi_vector& b, Multi_vector& out,
                       std::int64_t start, std::int64_t count);
  /// out = a / b; a zero divisor gives D (also for 0 / 0), a zero dividend gives +0.0.
  static void divide(const Multi_vector& a, const Multi_vector& b, Multi_vector& out,
                     std::int64_t start, std::int64_t count);
  /// out = a * wa + b * wb, in that order.
  static void add_weighted(const Multi_vector& a, double wa, const Multi_vector& b, double wb,
                           Multi_vector& out, std::int64_t start, std::int64_t count);
  /// out = 1.0, or D when a or b is D.
  static void mask_and(const Multi_vector& a, const Multi_vector& b, Multi_vector& out,
                       std::int64_t start, std::int64_t count);
  /// out = 1.0, or D only when both a and b are D.
  static void mask_or(const Multi_vector& a, const Multi_vector& b, Multi_vector& out,
                      std::int64_t start, std::int64_t count);
  /// out = 1.0 when exactly one of a and b is D, else D.
  static void mask_xor(const Multi_vector& a, const Multi_vector& b, Multi_vector& out,
                       std::int64_t start, std::int64_t count);
  /// out = sqrt(x*x + y*y + z*z), summed in that order without scaling (overflow gives
  /// infinity); D when any input is D. The range is checked against x, y and z.
  static void hypotenuse(const Multi_vector& x, const Multi_vector& y, const Multi_vector& z,
                         Multi_vector& out, std::int64_t start, std::int64_t count);

  // In-place members: the range is checked against v; D stays D unless said otherwise.

  /// v = |v| (sign bit cleared, NaN included).
  static void abs(Multi_vector& v, std::int64_t start, std::int64_t count);
  /// v = (v + base) * multiplier.
  static void add_base_multiplier(Multi_vector& v, double base, double multiplier,
                                  std::int64_t start, std::int64_t count);
  /// v becomes replacement where v is D or v < limit.
  static void replace_if_dummy_or_less_than(Multi_vector& v, double limit, double replacement,
                                            std::int64_t start, std::int64_t count);
  /// v = ln(v), or D where v <= min. A min <= 0 is taken as 1.0. NaN stays NaN.
  static void log(Multi_vector& v, double min, std::int64_t start, std::int64_t count);
  /// v = log10(v), or D where v <= min. A min <= 0 is taken as 1.0. NaN stays NaN.
  static void log10(Multi_vector& v, double min, std::int64_t start, std::int64_t count);
  /// v stays where |v| <= scale, else becomes scale * (1 + ln(|v| / scale)) with v's
  /// sign. A scale <= 0 is taken as 1.0.
  static void log_scaled(Multi_vector& v, double scale, std::int64_t start, std::int64_t count);
  /// As log_scaled with the base-10 logarithm.
  static void log10_scaled(Multi_vector& v, double scale, std::int64_t start, std::int64_t count);
  /// Every element i of the range, dummies included, becomes P(i) = c[0] + c[1]*i + ...
  /// + c[k]*i^k (Horner's rule), k = min(order, 9). A negative order or a null
  /// coefficient pointer is a contract failure.
  static void polyfillx(Multi_vector& v, std::int64_t order, const double* coefficients,
                        std::int64_t start, std::int64_t count);
  /// y = P(x) as for polyfillx; D where x is D. The range is checked against x and y (y
  /// is not lengthened).
  static void polyfillxy(const Multi_vector& x, Multi_vector& y, std::int64_t order,
                         const double* coefficients, std::int64_t start, std::int64_t count);
  /// Rotates (x, y) counter-clockwise by angle radians, in place; when either is D
  /// both become D. A dummy angle is a contract failure.
  static void rotate(Multi_vector& x, Multi_vector& y, double angle, std::int64_t start,
                     std::int64_t count);

  // Native members: they work on the stored values, without conversion.

  /// Float or double vectors only (bits 1..22 for float, 1..51 for double; anything
  /// else is a contract failure). Keeps the top `bits` mantissa bits of every non-dummy
  /// value; if a cleared bit was set, the highest cleared bit is set instead, which
  /// puts the value in the middle of the interval its kept bits describe.
  static void reduce_bits(Multi_vector& v, int bits, std::int64_t start, std::int64_t count);
  /// On float and double vectors, NaN, infinities and subnormal numbers become the
  /// type's dummy. Any other type is left alone (and its range is not checked).
  static void validate(Multi_vector& v, std::int64_t start, std::int64_t count);
  /// Reverses the bytes of every element of 2 to 8 bytes (dummies included); opaque
  /// vectors and other sizes are left alone. A float_point_2d vector is a contract
  /// failure.
  static void swap(Multi_vector& v, std::int64_t start, std::int64_t count);

  // --- statistics -------------------------------------------------------------
  // Reductions skip D and keep one partial state per thread chunk, combined in chunk
  // order, so a result is reproducible for a given thread count but may differ in the
  // last bits from a single serial sum.

  /// Sum of the non-D values of the range; 0.0 when there are none.
  static double sum(const Multi_vector& v, std::int64_t start, std::int64_t count);
  /// Mean of the non-D values of the range; D when there are none.
  static double mean(const Multi_vector& v, std::int64_t start, std::int64_t count);
  /// sum(v * w) / sum(w) over the indices where neither value nor weight is D; D when
  /// the weight sum is exactly 0.0 (no pairs, or weights that cancel). The range is
  /// checked against both vectors.
  static double weighted_mean(const Multi_vector& values, const Multi_vector& weights,
                              std::int64_t start, std::int64_t count);
  /// Pairs each primary sample (code 1) with the next duplicate (code 2) that follows
  /// it, skipping D values and other codes; a later primary replaces a pending one.
  /// Both outputs get length start + count and D over the range; for each pair with
  /// primary a and duplicate b, out_mean = (a + b) * 0.5 at both positions, and
  /// out_difference = mean - a at the primary and a - mean at the duplicate. Vectors of
  /// any non-opaque type are read and written with conversion (opaque is a contract
  /// failure). A pair is matched wherever it lies in the range, also across storage
  /// block borders.
  static void duplicate_stats(const Multi_vector& values, const Multi_vector& codes,
                              Multi_vector& out_mean, Multi_vector& out_difference,
                              std::int64_t start, std::int64_t count);

  // --- line geometry ----------------------------------------------------------
  // The range is checked against every input; outputs of the distance members are
  // lengthened to start + count when shorter (never shortened). Members that depend on
  // earlier elements run on the calling thread in index order.

  /// Area of the polygon whose vertices are the range of (x, y): never negative, 0.0
  /// for fewer than two vertices. An edge with a D coordinate is left out, and the
  /// closing edge (last to first vertex) likewise.
  static double polygon_area(const Multi_vector& x, const Multi_vector& y, std::int64_t start,
                             std::int64_t count);
  /// True when the signed area is below zero (x to the right, y up); false for 0.0.
  static bool is_polygon_clockwise(const Multi_vector& x, const Multi_vector& y, std::int64_t start,
                                   std::int64_t count);
  /// Running 3-D distance along the line, starting at start_distance at the first valid
  /// station; D stations write D and are bridged (measured from the last valid one).
  static void distance_cumulative(const Multi_vector& x, const Multi_vector& y,
                                  const Multi_vector& z, Multi_vector& out, double start_distance,
                                  std::int64_t start, std::int64_t count);
  /// hypot of the step from the previous station (the element before, also before the
  /// range); D when either station has a D coordinate, and at index 0.
  static void distance_non_cumulative(const Multi_vector& x, const Multi_vector& y,
                                      Multi_vector& out, std::int64_t start, std::int64_t count);
  /// Signed distance from the line through `point` at azimuth `angle` degrees (clockwise
  /// from north): positive on the side of greater y, or east of the line for angle
  /// exactly 0.0. D where x or y is D. Opaque vectors are a contract failure.
  static void distance_from_line(const Multi_vector& x, const Multi_vector& y, Multi_vector& out,
                                 const common::Point_2d<double>& point, double angle,
                                 std::int64_t start, std::int64_t count);
  /// Signed distance from the line through the segment's points: x - first.x for a
  /// vertical segment, y - first.y for a horizontal one, otherwise positive on the side
  /// of greater y. Equal points (or two points holding a D) and opaque vectors are
  /// contract failures.
  static void distance_from_line(const Multi_vector& x, const Multi_vector& y, Multi_vector& out,
                                 const common::Segment_2d<double>& segment, std::int64_t start,
                                 std::int64_t count);
  /// The index where a decreasing double curve first bends up by more than threshold
  /// (-1 <= threshold < 1, else a contract failure): scanning i from start + 2, the
  /// result is i - 1 at the first i where v[i] is D or where v[i-2] > v[i-1] and
  /// (v[i] + v[i-2]) * 0.5 > (threshold + 1) * v[i-1]; without one, the range's last
  /// index. INT64_MIN (the int64 dummy) when the range has fewer than three elements
  /// (no neighbourhood to judge) or starts with a D in its first two elements. A
  /// non-double vector is a contract failure.
  static std::int64_t inflection(const Multi_vector& v, double threshold, std::int64_t start,
                                 std::int64_t count);
  /// Appends to out (int64 or int32, else a contract failure) every index i whose 3-D
  /// step from station i - 1 is longer than threshold (> 0, else a contract failure);
  /// steps touching a D station are not measured. Existing elements of out stay.
  static void find_gaps(const Multi_vector& x, const Multi_vector& y, const Multi_vector& z,
                        Multi_vector& out, double threshold, std::int64_t start,
                        std::int64_t count);
  /// Keeps v where the station lies on the vertical segment x == x_min == x_max,
  /// y_min <= y <= y_max (or the horizontal one when y_min == y_max), else sets D; D
  /// where v, x or y is D. A box that is neither is a contract failure. The bounds are
  /// not reordered.
  static void line_mask(Multi_vector& v, const Multi_vector& x, const Multi_vector& y, double x_min,
                        double x_max, double y_min, double y_max, std::int64_t start,
                        std::int64_t count);
  /// Makes the range strictly increasing by setting D on every value not above the
  /// largest value before it; D values are skipped. Returns how many became D. Only
  /// the values made D are written, so other elements keep their exact bits. Opaque
  /// vectors are a contract failure.
  static std::int64_t dummy_back_tracks(Multi_vector& v, std::int64_t start, std::int64_t count);

  // --- random fills -------------------------------------------------------------
  // A fresh 32-bit Mersenne Twister (standard seeding) per call; each unit value u in
  // [0, 1) is (r1 + r2 * 2^32) / 2^64 from two consecutive words. The range is an output
  // range (count -1 to the end; v is lengthened, never shortened) filled in index order,
  // so the same seed gives the same values for any thread count and element type.

  /// v = u * (high - low) + low.
  static void uniform_distribution(Multi_vector& v, double low, double high, unsigned int seed,
                                   std::int64_t start, std::int64_t count);
  /// v = z * sigma + mean, z standard normal by the polar method: elements 0, 2, 4...
  /// draw a pair (u1 then u2, redrawn until u1*u1 + u2*u2 < 1) and use its first value,
  /// the next element uses the second.
  static void normal_distribution(Multi_vector& v, double mean, double sigma, unsigned int seed,
                                  std::int64_t start, std::int64_t count);
  /// v = -ln(1 - u) * mean (mean is the scale); the second factor is applied in a
  /// second pass, to the already stored values. The double division can round u up to
  /// 1.0; that draw is taken as the largest double below 1.0, so no value is infinite.
  static void exp_distribution(Multi_vector& v, double mean, unsigned int seed, std::int64_t start,
                               std::int64_t count);

 private:
  /// Signed shoelace area of polygon_area.
  static double polygon_area_no_abs(const Multi_vector& x, const Multi_vector& y,
                                    std::int64_t start, std::int64_t count);
};

}  // namespace vorlith::integration
