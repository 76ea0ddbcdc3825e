#pragma once
// Integration_range: the range of a channel (minimum, maximum, order) and limits.

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>
#include <vorlith/point.h>

#include <cstdint>

namespace vorlith::integration {

/// Static operations only. Every member takes start and count last (count -1: to the
/// end); a range outside the vector is a contract failure. D is the double dummy
/// -1.0e32. Dummies never take part in a minimum, maximum or order, and neither do NaN
/// values (they would otherwise make a result depend on where the range is split over
/// threads). Reductions combine per-thread results in thread order, so results do not
/// depend on the number of threads.
class VORLITH_API Integration_range {
 public:
  /// Stored as a 32-bit value.
  enum Order : std::int32_t { unordered = 0, increasing = 1, decreasing = 2 };

  Integration_range() = delete;

  // --- reductions ---------------------------------------------------------------

  /// Smallest value read as double; D for an empty or all-dummy range.
  static double compute_min(const Multi_vector& v, std::int64_t start, std::int64_t count);
  /// Largest value read as double; D for an empty or all-dummy range.
  static double compute_max(const Multi_vector& v, std::int64_t start, std::int64_t count);
  /// Smallest value above zero; D when there is none.
  static double compute_positive_min(const Multi_vector& v, std::int64_t start, std::int64_t count);
  /// The largest value and the index (in the vector) of its first occurrence; D and
  /// INT64_MIN when the range holds no value.
  static void compute_max_and_index(const Multi_vector& v, double& max, std::int64_t& index,
                                    std::int64_t start, std::int64_t count);
  /// Minimum and maximum, found in the element type and then converted to double (D
  /// for none). Opaque vectors: their texts read as numbers. Point vectors are a
  /// contract failure (use the point members).
  static void compute_range(const Multi_vector& v, double& min, double& max, std::int64_t start,
                            std::int64_t count);
  /// As above, writing one element of v's type to each of min and max (the type's
  /// dummy for none); for opaque vectors the double results are written as text of
  /// v's width. Null pointers are a contract failure.
  static void compute_range(const Multi_vector& v, void* min, void* max, std::int64_t start,
                            std::int64_t count);

  /// Component-wise minimum and maximum points of the stored points (so neither need
  /// be a point of the data); dummy points are skipped, and none gives dummy points.
  /// The vector's element size must be the point's (16 or 8 bytes for 2-D, 24 or 12
  /// for 3-D), else a contract failure.
  static void compute_range_double_point2d(const Multi_vector& v, common::Point_2d<double>& min,
                                           common::Point_2d<double>& max, std::int64_t start,
                                           std::int64_t count);
  static void compute_range_float_point2d(const Multi_vector& v, common::Point_2d<float>& min,
                                          common::Point_2d<float>& max, std::int64_t start,
                                          std::int64_t count);
  static void compute_range_int32_point2d(const Multi_vector& v,
                                          common::Point_2d<std::int32_t>& min,
                                          common::Point_2d<std::int32_t>& max, std::int64_t start,
                                          std::int64_t count);
  static void compute_range_double_point3d(const Multi_vector& v, common::Point_3d<double>& min,
                                           common::Point_3d<double>& max, std::int64_t start,
                                           std::int64_t count);
  static void compute_range_float_point3d(const Multi_vector& v, common::Point_3d<float>& min,
                                          common::Point_3d<float>& max, std::int64_t start,
                                          std::int64_t count);
  static void compute_range_int32_point3d(const Multi_vector& v,
                                          common::Point_3d<std::int32_t>& min,
                                          common::Point_3d<std::int32_t>& max, std::int64_t start,
                                          std::int64_t count);

  /// Minimum and maximum of hypot(x, y) where both are not D; D for none. The range is
  /// checked against the shorter of x and y.
  static void compute_range_hypot(const Multi_vector& x, const Multi_vector& y, double& min,
                                  double& max, std::int64_t start, std::int64_t count);

  /// Compares every element of the range with the one before it in the vector (the
  /// first with the element before start, if any), skipping pairs with a D.
  /// has_equal_neighbours: some pair neither rises nor falls (equal, or NaN). order:
  /// increasing or decreasing when every rising/falling pair goes that way, unordered
  /// when there is no such pair or both directions occur.
  static void order(const Multi_vector& v, bool& has_equal_neighbours, Order& order,
                    std::int64_t start, std::int64_t count);

  // --- limits on the stored values ------------------------------------------------

  /// min and max are converted to v's type, then every non-dummy value below min
  /// becomes min and above max becomes max. min > max, opaque and point vectors are
  /// contract failures.
  static void clamp_to_range(Multi_vector& v, double min, double max, std::int64_t start,
                             std::int64_t count);
  /// Makes values dummies by position against [min, max], each end closed when its
  /// include flag is set: with inside false the values outside the interval, with
  /// inside true the values in it. NaN and dummies are left alone. Numeric vectors
  /// compare in their own type (min and max converted); opaque vectors compare their
  /// texts read as numbers and receive the opaque dummy (zero bytes). min > max and
  /// point vectors are contract failures.
  static void clip_range_to_dummy(Multi_vector& v, double min, double max, bool inside,
                                  bool include_min, bool include_max, std::int64_t start,
                                  std::int64_t count);

  // --- detection limits (values read and written as double) -------------------------

  /// Non-dummy values below limit become limit * 0.5. With halve_negatives, negative
  /// values become x * -0.5 instead. A D limit: nothing happens, or with
  /// halve_negatives the call is convert_negatives(v, -0.5).
  static void clip_to_detection_limit(Multi_vector& v, double limit, bool halve_negatives,
                                      std::int64_t start, std::int64_t count);
  /// Values below limit, and dummies, become limit * 0.5. A D limit is replaced by
  /// compute_positive_min of the range; a limit that is then not above zero is a
  /// contract failure.
  static void set_detection_limit(Multi_vector& v, double limit, std::int64_t start,
                                  std::int64_t count);
  /// Non-dummy values above limit become limit. A D limit is a contract failure.
  static void set_factor_limit(Multi_vector& v, double limit, std::int64_t start,
                               std::int64_t count);
  /// Non-dummy negative values become x * factor (a D factor is taken as -0.5).
  /// Returns whether there was any.
  static bool convert_negatives(Multi_vector& v, double factor, std::int64_t start,
                                std::int64_t count);
};

}  // namespace vorlith::integration
