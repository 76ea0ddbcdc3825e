// vorlith.convert: Integration_convert.

#include <string>

#include "bindings.h"

namespace vorlith::python {

namespace {

using namespace py::literals;
using C = integration::Integration_convert;
using integration::legacy_data_type;

// The library takes its input channels by non-const reference but only reads them.
Multi_vector& input(Call& call, py::handle obj, const char* name) {
  return const_cast<Multi_vector&>(call.points(obj, name));
}

py::object doubles_to_points(py::handle x, py::handle y, py::handle z, py::handle dtype,
                             std::int64_t start, std::int64_t count) {
  const py::dtype component = py::dtype::from_args(py::reinterpret_borrow<py::object>(dtype));
  const bool single = component.equal(py::dtype::of<float>());
  if (!single && !component.equal(py::dtype::of<double>())) {
    throw py::type_error("dtype must be float32 or float64, got " +
                         py::repr(component).cast<std::string>());
  }
  Call call;
  Multi_vector& vx = input(call, x, "x");
  Multi_vector& vy = input(call, y, "y");
  if (z.is_none()) {
    Multi_vector& p =
        call.fresh(single ? integration::type_float_point_2d : integration::type_double_point_2d);
    call.run([&] {
      if (single)
        C::convert_doubles_to_floatpoint2d(vx, vy, p, start, count);
      else
        C::convert_doubles_to_doublepoint2d(vx, vy, p, start, count);
    });
    return call.result(p);
  }
  Multi_vector& vz = input(call, z, "z");
  Multi_vector& p =
      call.fresh(single ? integration::type_float_point_3d : integration::type_double_point_3d);
  call.run([&] {
    if (single)
      C::convert_doubles_to_floatpoint3d(vx, vy, vz, p, start, count);
    else
      C::convert_doubles_to_doublepoint3d(vx, vy, vz, p, start, count);
  });
  return call.result(p);
}

py::tuple points_to_doubles(py::handle p, std::int64_t start, std::int64_t count) {
  Call call;
  Multi_vector& points = input(call, p, "p");
  const legacy_data_type code = points.get_type().get_data_type();
  if (!points.is_point_type()) {
    throw py::type_error("points_to_doubles needs a point vector, got " +
                         points.get_type().get_name());
  }
  const Legacy_type double_type(integration::type_double);
  Multi_vector& x = call.fresh(double_type);
  Multi_vector& y = call.fresh(double_type);
  if (code == integration::type_float_point_2d || code == integration::type_double_point_2d) {
    call.run([&] {
      if (code == integration::type_float_point_2d)
        C::convert_floatpoint2d_to_doubles(points, x, y, start, count);
      else
        C::convert_doublepoint2d_to_doubles(points, x, y, start, count);
    });
    return py::make_tuple(call.result(x), call.result(y));
  }
  Multi_vector& z = call.fresh(double_type);
  call.run([&] {
    if (code == integration::type_float_point_3d)
      C::convert_floatpoint3d_to_doubles(points, x, y, z, start, count);
    else
      C::convert_doublepoint3d_to_doubles(points, x, y, z, start, count);
  });
  return py::make_tuple(call.result(x), call.result(y), call.result(z));
}

// Three channels converted in place by f(x, y, z, start, count).
using Triple = void (*)(Multi_vector&, Multi_vector&, Multi_vector&, std::int64_t, std::int64_t);
template <Triple F>
void in_place_triple(py::handle x, py::handle y, py::handle z, std::int64_t start,
                     std::int64_t count) {
  Call call;
  Multi_vector& vx = call.inout(x, "x");
  Multi_vector& vy = call.inout(y, "y");
  Multi_vector& vz = call.inout(z, "z");
  call.run([&] { F(vx, vy, vz, start, count); });
}

}  // namespace

void bind_convert(py::module_ m) {
  const Legacy_type int32_type(integration::type_int32);
  const Legacy_type double_type(integration::type_double);
  def_ranged(m, "doubles_to_points", &doubles_to_points,
             "A point vector (components of `dtype`, float32 or float64) from float64 x, y (and z) "
             "channels.",
             "x"_a, "y"_a, "z"_a = py::none(), py::kw_only(), "dtype"_a = py::dtype::of<double>());
  def_ranged(m, "points_to_doubles", &points_to_doubles,
             "The float64 component channels (x, y) or (x, y, z) of a point vector; dummy points "
             "give dummies.",
             "p"_a, py::kw_only());
  def_ranged(
      m, "int32_to_int32_points",
      [](py::handle x, py::handle y, py::handle z, std::int64_t start, std::int64_t count) {
        Call call;
        Multi_vector& vx = input(call, x, "x");
        Multi_vector& vy = input(call, y, "y");
        Multi_vector& vz = input(call, z, "z");
        Multi_vector& p = call.fresh(Legacy_type(std::int64_t{12}));
        call.run([&] { C::convert_int32_to_int32point(vx, vy, vz, p, start, count); });
        return call.result(p);
      },
      "Packs three int32 channels into int32 points (opaque elements of 12 bytes).", "x"_a, "y"_a,
      "z"_a, py::kw_only());
  def_ranged(
      m, "int32_points_to_int32",
      [int32_type](py::handle p, std::int64_t start, std::int64_t count) {
        Call call;
        Multi_vector& points = input(call, p, "p");
        Multi_vector& x = call.fresh(int32_type);
        Multi_vector& y = call.fresh(int32_type);
        Multi_vector& z = call.fresh(int32_type);
        call.run([&] { C::convert_int32point_to_int32(points, x, y, z, start, count); });
        return py::make_tuple(call.result(x), call.result(y), call.result(z));
      },
      "The int32 channels (x, y, z) of int32 points (opaque elements of 12 bytes).", "p"_a,
      py::kw_only());
  def_ranged(
      m, "segments_to_doubles",
      [double_type](py::handle s, std::int64_t start, std::int64_t count) {
        Call call;
        Multi_vector& segments = input(call, s, "s");
        Multi_vector& x = call.fresh(double_type);
        Multi_vector& y = call.fresh(double_type);
        call.run([&] { C::convert_doublesegment_to_doubles(segments, x, y, start, count); });
        return py::make_tuple(call.result(x), call.result(y));
      },
      "x and y of both points of every segment (opaque elements of 32 bytes), two entries per "
      "segment.",
      "s"_a, py::kw_only());
  def_ranged(
      m, "xyz_to_amp_inc_dec", &in_place_triple<&C::convert_xyz_to_amp_inc_dec>,
      "(x east, y north, z up) becomes (amplitude, inclination, declination) in degrees, in place.",
      "x"_a, "y"_a, "z"_a, py::kw_only());
  def_ranged(m, "amp_inc_dec_to_xyz", &in_place_triple<&C::convert_amp_inc_dec_to_xyz>,
             "(amplitude, inclination, declination) becomes (x, y, z), in place.", "amplitude"_a,
             "inclination"_a, "declination"_a, py::kw_only());
}

}  // namespace vorlith::python
