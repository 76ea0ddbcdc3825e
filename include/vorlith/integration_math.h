#pragma once
// Integration_math: numeric operations on ranges of Multi_vector channels.

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>

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
};

}  // namespace vorlith::integration
