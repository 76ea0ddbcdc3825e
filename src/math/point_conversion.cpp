// Integration_convert: coordinate channels to and from point channels on the stored
// values, and the field-vector conversions on the elementwise frame.

#include <vorlith/integration_convert.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "math/elementwise_frame.h"
#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "storage/multi_vector_access.h"
#include "types/convert.h"

namespace vorlith::integration {

namespace {

using common::Point_2d;
using common::Point_3d;
using math::dummy;

// Fixed, whatever the configured minimum thread block.
constexpr double degrees_to_radians = 0.017453292519943295;
constexpr double radians_to_degrees = 57.29577951308232;
constexpr std::int32_t int32_dummy = common::dummy_value<std::int32_t>;

struct Int32_point {
  std::int32_t x, y, z;
};
static_assert(sizeof(Int32_point) == 12);
static_assert(sizeof(Point_2d<float>) == 8 && sizeof(Point_2d<double>) == 16);
static_assert(sizeof(Point_3d<float>) == 12 && sizeof(Point_3d<double>) == 24);

bool is_type(const Multi_vector& v, legacy_data_type code) {
  return v.get_type().get_data_type() == code;
}

// A point channel: the point type itself, or opaque bytes of the point's width.
bool is_point_channel(const Multi_vector& v, legacy_data_type code, std::int64_t width) {
  return is_type(v, code) || (v.is_opaque_type() && v.get_element_size() == width);
}

bool is_opaque_of(const Multi_vector& v, std::int64_t width) {
  return v.is_opaque_type() && v.get_element_size() == width;
}

template <class... V>
std::int64_t shortest(const V&... v) {
  return std::min({v.get_length()...});
}

// The range checks every point member shares, then kernel(n, p...) over runs that lie
// contiguous in every vector, on the fixed minimum block.
template <std::size_t Inputs, class Kernel, class... V>
void run_points(std::int64_t start, std::int64_t count, Kernel&& kernel, V&... vectors) {
  const std::array<Multi_vector*, sizeof...(V)> all{&vectors...};
  std::int64_t inputs_length = all[0]->get_length();
  for (std::size_t k = 1; k < Inputs; ++k)
    inputs_length = std::min(inputs_length, all[k]->get_length());
  Multi_vector::validate_input_range(start, count, inputs_length);
  for (std::size_t k = Inputs; k < all.size(); ++k) all[k]->ensure_output_range(start, count);
  Multi_vector::validate_input_range(start, count, shortest(vectors...));
  parallel::run_over_range(start, start + count, sizes::min_chunk,
                           [&](std::int64_t first, std::int64_t last) {
                             std::int64_t n = last - first;
                             Multi_vector::validate_input_range(first, n, shortest(vectors...));
                             storage::for_each_run(n, kernel, storage::cursor(vectors, first)...);
                           });
}

// A double converted to a point component: copied for double, the library's one
// double-to-float rule for float (D to the float dummy, clamped, NaN kept).
template <class C>
C component(double v) {
  if constexpr (std::is_same_v<C, double>)
    return v;
  else
    return types::convert_value<float>(v);
}

template <class C>
void doubles_to_points_2d(Multi_vector& x, Multi_vector& y, Multi_vector& p, std::int64_t start,
                          std::int64_t count) {
  run_points<2>(
      start, count,
      [](std::int64_t n, void* vx, void* vy, void* vp) {
        const double* xs = static_cast<const double*>(vx);
        const double* ys = static_cast<const double*>(vy);
        auto* ps = static_cast<Point_2d<C>*>(vp);
        for (std::int64_t i = 0; i < n; ++i) ps[i] = {component<C>(xs[i]), component<C>(ys[i])};
      },
      x, y, p);
}

template <class C>
void doubles_to_points_3d(Multi_vector& x, Multi_vector& y, Multi_vector& z, Multi_vector& p,
                          std::int64_t start, std::int64_t count) {
  run_points<3>(
      start, count,
      [](std::int64_t n, void* vx, void* vy, void* vz, void* vp) {
        const double* xs = static_cast<const double*>(vx);
        const double* ys = static_cast<const double*>(vy);
        const double* zs = static_cast<const double*>(vz);
        auto* ps = static_cast<Point_3d<C>*>(vp);
        for (std::int64_t i = 0; i < n; ++i)
          ps[i] = {component<C>(xs[i]), component<C>(ys[i]), component<C>(zs[i])};
      },
      x, y, z, p);
}

template <class C>
void points_to_doubles_2d(Multi_vector& p, Multi_vector& x, Multi_vector& y, std::int64_t start,
                          std::int64_t count) {
  run_points<1>(
      start, count,
      [](std::int64_t n, void* vp, void* vx, void* vy) {
        const auto* ps = static_cast<const Point_2d<C>*>(vp);
        double* xs = static_cast<double*>(vx);
        double* ys = static_cast<double*>(vy);
        for (std::int64_t i = 0; i < n; ++i) {
          const bool is_dummy = ps[i].is_dummy();
          xs[i] = is_dummy ? dummy : static_cast<double>(ps[i].x);
          ys[i] = is_dummy ? dummy : static_cast<double>(ps[i].y);
        }
      },
      p, x, y);
}

template <class C>
void points_to_doubles_3d(Multi_vector& p, Multi_vector& x, Multi_vector& y, Multi_vector& z,
                          std::int64_t start, std::int64_t count) {
  run_points<1>(
      start, count,
      [](std::int64_t n, void* vp, void* vx, void* vy, void* vz) {
        const auto* ps = static_cast<const Point_3d<C>*>(vp);
        double* xs = static_cast<double*>(vx);
        double* ys = static_cast<double*>(vy);
        double* zs = static_cast<double*>(vz);
        for (std::int64_t i = 0; i < n; ++i) {
          const bool is_dummy = ps[i].is_dummy();
          xs[i] = is_dummy ? dummy : static_cast<double>(ps[i].x);
          ys[i] = is_dummy ? dummy : static_cast<double>(ps[i].y);
          zs[i] = is_dummy ? dummy : static_cast<double>(ps[i].z);
        }
      },
      p, x, y, z);
}

struct Xyz_to_amp_inc_dec {
  std::array<double, 3> apply(double x, double y, double z) const {
    const double amplitude = std::sqrt(x * x + y * y + z * z);
    if (amplitude == 0.0) return {0.0, 0.0, 0.0};
    const double inclination = std::atan2(-z, std::hypot(x, y)) * radians_to_degrees;
    const double declination = (x != 0.0 || y != 0.0) ? std::atan2(x, y) * radians_to_degrees : 0.0;
    return {amplitude, inclination, declination};
  }
};

struct Amp_inc_dec_to_xyz {
  std::array<double, 3> apply(double amplitude, double inclination, double declination) const {
    const double i = inclination * degrees_to_radians;
    const double d = declination * degrees_to_radians;
    const double horizontal = std::cos(i);
    return {std::sin(d) * amplitude * horizontal, std::cos(d) * amplitude * horizontal,
            std::sin(-i) * amplitude};
  }
};

template <class Rule>
void field_vector(const Rule& rule, Multi_vector& a, Multi_vector& b, Multi_vector& c,
                  std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, a, b, c);
  math::run_elementwise(rule, math::Operands<3, 3>{{&a, &b, &c}, {&a, &b, &c}}, start, count,
                        sizes::min_chunk);
}

}  // namespace

void Integration_convert::convert_doubles_to_floatpoint2d(Multi_vector& x, Multi_vector& y,
                                                          Multi_vector& p, std::int64_t start,
                                                          std::int64_t count) {
  VORLITH_EXPECTS(is_type(x, type_double), "convert_doubles_to_floatpoint2d: x is ",
                  x.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(y, type_double), "convert_doubles_to_floatpoint2d: y is ",
                  y.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_point_channel(p, type_float_point_2d, 8),
                  "convert_doubles_to_floatpoint2d: p is ", p.get_type().get_name(),
                  ", not float_point_2d or opaque(8)");
  doubles_to_points_2d<float>(x, y, p, start, count);
}

void Integration_convert::convert_doubles_to_doublepoint2d(Multi_vector& x, Multi_vector& y,
                                                           Multi_vector& p, std::int64_t start,
                                                           std::int64_t count) {
  VORLITH_EXPECTS(is_type(x, type_double), "convert_doubles_to_doublepoint2d: x is ",
                  x.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(y, type_double), "convert_doubles_to_doublepoint2d: y is ",
                  y.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_point_channel(p, type_double_point_2d, 16),
                  "convert_doubles_to_doublepoint2d: p is ", p.get_type().get_name(),
                  ", not double_point_2d or opaque(16)");
  doubles_to_points_2d<double>(x, y, p, start, count);
}

void Integration_convert::convert_floatpoint2d_to_doubles(Multi_vector& p, Multi_vector& x,
                                                          Multi_vector& y, std::int64_t start,
                                                          std::int64_t count) {
  VORLITH_EXPECTS(is_point_channel(p, type_float_point_2d, 8),
                  "convert_floatpoint2d_to_doubles: p is ", p.get_type().get_name(),
                  ", not float_point_2d or opaque(8)");
  VORLITH_EXPECTS(is_type(x, type_double), "convert_floatpoint2d_to_doubles: x is ",
                  x.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(y, type_double), "convert_floatpoint2d_to_doubles: y is ",
                  y.get_type().get_name(), ", not double");
  points_to_doubles_2d<float>(p, x, y, start, count);
}

void Integration_convert::convert_doublepoint2d_to_doubles(Multi_vector& p, Multi_vector& x,
                                                           Multi_vector& y, std::int64_t start,
                                                           std::int64_t count) {
  VORLITH_EXPECTS(is_point_channel(p, type_double_point_2d, 16),
                  "convert_doublepoint2d_to_doubles: p is ", p.get_type().get_name(),
                  ", not double_point_2d or opaque(16)");
  VORLITH_EXPECTS(is_type(x, type_double), "convert_doublepoint2d_to_doubles: x is ",
                  x.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(y, type_double), "convert_doublepoint2d_to_doubles: y is ",
                  y.get_type().get_name(), ", not double");
  points_to_doubles_2d<double>(p, x, y, start, count);
}

void Integration_convert::convert_doubles_to_floatpoint3d(Multi_vector& x, Multi_vector& y,
                                                          Multi_vector& z, Multi_vector& p,
                                                          std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(is_type(x, type_double), "convert_doubles_to_floatpoint3d: x is ",
                  x.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(y, type_double), "convert_doubles_to_floatpoint3d: y is ",
                  y.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(z, type_double), "convert_doubles_to_floatpoint3d: z is ",
                  z.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_point_channel(p, type_float_point_3d, 12),
                  "convert_doubles_to_floatpoint3d: p is ", p.get_type().get_name(),
                  ", not float_point_3d or opaque(12)");
  doubles_to_points_3d<float>(x, y, z, p, start, count);
}

void Integration_convert::convert_doubles_to_doublepoint3d(Multi_vector& x, Multi_vector& y,
                                                           Multi_vector& z, Multi_vector& p,
                                                           std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(is_type(x, type_double), "convert_doubles_to_doublepoint3d: x is ",
                  x.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(y, type_double), "convert_doubles_to_doublepoint3d: y is ",
                  y.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(z, type_double), "convert_doubles_to_doublepoint3d: z is ",
                  z.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_point_channel(p, type_double_point_3d, 24),
                  "convert_doubles_to_doublepoint3d: p is ", p.get_type().get_name(),
                  ", not double_point_3d or opaque(24)");
  doubles_to_points_3d<double>(x, y, z, p, start, count);
}

void Integration_convert::convert_floatpoint3d_to_doubles(Multi_vector& p, Multi_vector& x,
                                                          Multi_vector& y, Multi_vector& z,
                                                          std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(is_point_channel(p, type_float_point_3d, 12),
                  "convert_floatpoint3d_to_doubles: p is ", p.get_type().get_name(),
                  ", not float_point_3d or opaque(12)");
  VORLITH_EXPECTS(is_type(x, type_double), "convert_floatpoint3d_to_doubles: x is ",
                  x.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(y, type_double), "convert_floatpoint3d_to_doubles: y is ",
                  y.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(z, type_double), "convert_floatpoint3d_to_doubles: z is ",
                  z.get_type().get_name(), ", not double");
  points_to_doubles_3d<float>(p, x, y, z, start, count);
}

void Integration_convert::convert_doublepoint3d_to_doubles(Multi_vector& p, Multi_vector& x,
                                                           Multi_vector& y, Multi_vector& z,
                                                           std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(is_point_channel(p, type_double_point_3d, 24),
                  "convert_doublepoint3d_to_doubles: p is ", p.get_type().get_name(),
                  ", not double_point_3d or opaque(24)");
  VORLITH_EXPECTS(is_type(x, type_double), "convert_doublepoint3d_to_doubles: x is ",
                  x.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(y, type_double), "convert_doublepoint3d_to_doubles: y is ",
                  y.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(z, type_double), "convert_doublepoint3d_to_doubles: z is ",
                  z.get_type().get_name(), ", not double");
  points_to_doubles_3d<double>(p, x, y, z, start, count);
}

void Integration_convert::convert_int32_to_int32point(Multi_vector& x, Multi_vector& y,
                                                      Multi_vector& z, Multi_vector& p,
                                                      std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(is_type(x, type_int32), "convert_int32_to_int32point: x is ",
                  x.get_type().get_name(), ", not int32");
  VORLITH_EXPECTS(is_type(y, type_int32), "convert_int32_to_int32point: y is ",
                  y.get_type().get_name(), ", not int32");
  VORLITH_EXPECTS(is_type(z, type_int32), "convert_int32_to_int32point: z is ",
                  z.get_type().get_name(), ", not int32");
  VORLITH_EXPECTS(is_opaque_of(p, 12), "convert_int32_to_int32point: p is ",
                  p.get_type().get_name(), ", not opaque(12)");
  run_points<3>(
      start, count,
      [](std::int64_t n, void* vx, void* vy, void* vz, void* vp) {
        const auto* xs = static_cast<const std::int32_t*>(vx);
        const auto* ys = static_cast<const std::int32_t*>(vy);
        const auto* zs = static_cast<const std::int32_t*>(vz);
        auto* ps = static_cast<Int32_point*>(vp);
        for (std::int64_t i = 0; i < n; ++i) ps[i] = {xs[i], ys[i], zs[i]};
      },
      x, y, z, p);
}

void Integration_convert::convert_int32point_to_int32(Multi_vector& p, Multi_vector& x,
                                                      Multi_vector& y, Multi_vector& z,
                                                      std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(is_opaque_of(p, 12), "convert_int32point_to_int32: p is ",
                  p.get_type().get_name(), ", not opaque(12)");
  VORLITH_EXPECTS(is_type(x, type_int32), "convert_int32point_to_int32: x is ",
                  x.get_type().get_name(), ", not int32");
  VORLITH_EXPECTS(is_type(y, type_int32), "convert_int32point_to_int32: y is ",
                  y.get_type().get_name(), ", not int32");
  VORLITH_EXPECTS(is_type(z, type_int32), "convert_int32point_to_int32: z is ",
                  z.get_type().get_name(), ", not int32");
  run_points<1>(
      start, count,
      [](std::int64_t n, void* vp, void* vx, void* vy, void* vz) {
        const auto* ps = static_cast<const Int32_point*>(vp);
        auto* xs = static_cast<std::int32_t*>(vx);
        auto* ys = static_cast<std::int32_t*>(vy);
        auto* zs = static_cast<std::int32_t*>(vz);
        for (std::int64_t i = 0; i < n; ++i) {
          const Int32_point q = ps[i];
          const bool is_dummy = q.x == int32_dummy || q.y == int32_dummy || q.z == int32_dummy;
          xs[i] = is_dummy ? int32_dummy : q.x;
          ys[i] = is_dummy ? int32_dummy : q.y;
          zs[i] = is_dummy ? int32_dummy : q.z;
        }
      },
      p, x, y, z);
}

void Integration_convert::convert_doublesegment_to_doubles(Multi_vector& s, Multi_vector& x,
                                                           Multi_vector& y, std::int64_t start,
                                                           std::int64_t count) {
  VORLITH_EXPECTS(is_opaque_of(s, 32), "convert_doublesegment_to_doubles: s is ",
                  s.get_type().get_name(), ", not opaque(32)");
  VORLITH_EXPECTS(is_type(x, type_double), "convert_doublesegment_to_doubles: x is ",
                  x.get_type().get_name(), ", not double");
  VORLITH_EXPECTS(is_type(y, type_double), "convert_doublesegment_to_doubles: y is ",
                  y.get_type().get_name(), ", not double");
  Multi_vector::validate_input_range(start, count, s);
  x.ensure_output_range(2 * start, 2 * count);
  y.ensure_output_range(2 * start, 2 * count);
  parallel::run_over_range(
      start, start + count, sizes::min_chunk, [&](std::int64_t first, std::int64_t last) {
        std::int64_t n = last - first;
        Multi_vector::validate_input_range(first, n, s);
        std::int64_t outputs = 2 * n;
        Multi_vector::validate_input_range(2 * first, outputs,
                                           std::min(x.get_length(), y.get_length()));
        std::int64_t position = first;
        storage::for_each_run(
            n,
            [&](std::int64_t segments, void* vs) {
              // The run's segments are contiguous doubles x1 y1 x2 y2 ...: output k of the
              // run takes double 2k as x and 2k + 1 as y, wherever x and y break.
              const double* values = static_cast<const double*>(vs);
              storage::for_each_run(
                  2 * segments,
                  [&](std::int64_t m, void* vx, void* vy) {
                    double* xs = static_cast<double*>(vx);
                    double* ys = static_cast<double*>(vy);
                    for (std::int64_t k = 0; k < m; ++k) {
                      xs[k] = values[2 * k];
                      ys[k] = values[2 * k + 1];
                    }
                    values += 2 * m;
                  },
                  storage::cursor(x, 2 * position), storage::cursor(y, 2 * position));
              position += segments;
            },
            storage::cursor(s, first));
      });
}

void Integration_convert::convert_xyz_to_amp_inc_dec(Multi_vector& x, Multi_vector& y,
                                                     Multi_vector& z, std::int64_t start,
                                                     std::int64_t count) {
  field_vector(Xyz_to_amp_inc_dec{}, x, y, z, start, count);
}

void Integration_convert::convert_amp_inc_dec_to_xyz(Multi_vector& amplitude,
                                                     Multi_vector& inclination,
                                                     Multi_vector& declination, std::int64_t start,
                                                     std::int64_t count) {
  field_vector(Amp_inc_dec_to_xyz{}, amplitude, inclination, declination, start, count);
}

}  // namespace vorlith::integration
