#pragma once
// Integration_convert: between separate coordinate channels and point channels, and
// between field-vector components and amplitude, inclination and declination.

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>

#include <cstdint>

namespace vorlith::integration {

/// Static operations only; start and count come last, count -1 meaning to the end of
/// the shortest input. Type preconditions are checked first, in argument order, then
/// the range against the inputs; each output's length becomes exactly start + count.
/// A point channel may also be an opaque vector of the point's width (8 bytes for a
/// float 2-D point, 16 double 2-D, 12 float 3-D, 24 double 3-D), read and written as
/// that point. A point is a dummy point when any component is its type's dummy.
/// Work is split over threads above 16384 elements, whatever the configured block.
class VORLITH_API Integration_convert {
 public:
  Integration_convert() = delete;

  // --- double channels to points -----------------------------------------------
  // x, y (and z) must be double. To double points the values are copied bit for bit;
  // to float points each component converts on its own: D becomes the float dummy,
  // other values are clamped to +-3.4028234663852886e38 and rounded to the nearest
  // float (NaN stays NaN).

  static void convert_doubles_to_floatpoint2d(Multi_vector& x, Multi_vector& y, Multi_vector& p,
                                              std::int64_t start, std::int64_t count);
  static void convert_doubles_to_doublepoint2d(Multi_vector& x, Multi_vector& y, Multi_vector& p,
                                               std::int64_t start, std::int64_t count);
  static void convert_doubles_to_floatpoint3d(Multi_vector& x, Multi_vector& y, Multi_vector& z,
                                              Multi_vector& p, std::int64_t start,
                                              std::int64_t count);
  static void convert_doubles_to_doublepoint3d(Multi_vector& x, Multi_vector& y, Multi_vector& z,
                                               Multi_vector& p, std::int64_t start,
                                               std::int64_t count);

  // --- points to double channels -----------------------------------------------
  // A dummy point writes D to every output; other points write their components
  // (float components widened exactly).

  static void convert_floatpoint2d_to_doubles(Multi_vector& p, Multi_vector& x, Multi_vector& y,
                                              std::int64_t start, std::int64_t count);
  static void convert_doublepoint2d_to_doubles(Multi_vector& p, Multi_vector& x, Multi_vector& y,
                                               std::int64_t start, std::int64_t count);
  static void convert_floatpoint3d_to_doubles(Multi_vector& p, Multi_vector& x, Multi_vector& y,
                                              Multi_vector& z, std::int64_t start,
                                              std::int64_t count);
  static void convert_doublepoint3d_to_doubles(Multi_vector& p, Multi_vector& x, Multi_vector& y,
                                               Multi_vector& z, std::int64_t start,
                                               std::int64_t count);

  // --- int32 triples ------------------------------------------------------------
  // An int32 point is x, y, z packed in an opaque element of width 12.

  /// Copies the three int32 channels into p as they are, dummies included.
  static void convert_int32_to_int32point(Multi_vector& x, Multi_vector& y, Multi_vector& z,
                                          Multi_vector& p, std::int64_t start, std::int64_t count);
  /// A point with any component equal to the int32 dummy writes the dummy to all three
  /// channels; other points write their components.
  static void convert_int32point_to_int32(Multi_vector& p, Multi_vector& x, Multi_vector& y,
                                          Multi_vector& z, std::int64_t start, std::int64_t count);

  // --- segments -----------------------------------------------------------------
  /// s is opaque of width 32 holding first.x, first.y, second.x, second.y as doubles;
  /// x and y (double) get length 2 * (start + count), and segment i writes its first
  /// point to index 2i and its second to 2i + 1, bit for bit.
  static void convert_doublesegment_to_doubles(Multi_vector& s, Multi_vector& x, Multi_vector& y,
                                               std::int64_t start, std::int64_t count);

  // --- field vectors ------------------------------------------------------------
  // In place on three channels of any type (values handled as double); when any of an
  // element's three values is D all three become D. Axes: x east, y north, z up.
  // Angles in degrees; inclination is positive below the horizontal, declination is
  // measured from north towards east, in -180..180.

  /// (x, y, z) becomes (A, I, D): A = sqrt(x*x + y*y + z*z), I = atan2(-z, hypot(x, y)),
  /// D = atan2(x, y) (0.0 when x and y are both zero); a zero vector gives (0, 0, 0).
  static void convert_xyz_to_amp_inc_dec(Multi_vector& x, Multi_vector& y, Multi_vector& z,
                                         std::int64_t start, std::int64_t count);
  /// (A, I, D) becomes x = sin(D) * A * cos(I), y = cos(D) * A * cos(I), z = sin(-I) * A.
  static void convert_amp_inc_dec_to_xyz(Multi_vector& amplitude, Multi_vector& inclination,
                                         Multi_vector& declination, std::int64_t start,
                                         std::int64_t count);
};

}  // namespace vorlith::integration
