// vorlith.math: Integration_math.

#include "bindings.h"

namespace vorlith::python {

namespace {

using namespace py::literals;
using integration::Integration_math;
using M = Integration_math;
const Legacy_type double_type{integration::type_double};

using Binary = void (*)(const Multi_vector&, const Multi_vector&, Multi_vector&, std::int64_t,
                        std::int64_t);

// The length of an elementwise output over the range of `v`: start + count.
std::int64_t output_length(const Multi_vector& v, std::int64_t start, std::int64_t count) {
  return count == -1 ? v.get_length() : start + count;
}

template <Binary F>
py::object binary(py::handle a, py::handle b, py::handle out, std::int64_t start,
                  std::int64_t count) {
  if (Call::is_number(a) && Call::is_number(b))
    throw py::type_error("a and b are both numbers: pass at least one channel");
  Call call;
  call.nan_in_library({a, b, out});
  // A number stands for a constant channel as long as the other argument.
  const bool a_number = Call::is_number(a);
  const Multi_vector* vb = a_number ? &call.in(b, "b") : nullptr;
  const Multi_vector& va = call.in_or_constant(a, "a", a_number ? vb->get_length() : 0);
  if (!a_number) vb = &call.in_or_constant(b, "b", va.get_length());
  call.equal_lengths(count);
  Multi_vector& o = call.out(out, double_type, "out", output_length(va, start, count));
  call.run([&] { F(va, *vb, o, start, count); });
  return call.result(o);
}

template <Binary F>
void def_binary(py::module_& m, const char* name, const char* doc) {
  def_ranged(m, name, &binary<F>, doc, "a"_a, "b"_a, py::kw_only(), "out"_a = py::none());
}

// An output channel computed from x and y (and more): out, or a new float64 vector.
template <class F>
py::object from_xy(Call& call, py::handle x, py::handle y, py::handle out, std::int64_t start,
                   std::int64_t count, F&& f) {
  const Multi_vector& vx = call.in(x, "x");
  const Multi_vector& vy = call.in(y, "y");
  call.equal_lengths(count);
  Multi_vector& o = call.out(out, double_type, "out", output_length(vx, start, count));
  call.run([&] { f(vx, vy, o); });
  return call.result(o);
}

py::object statistics(const py::object& type, py::handle v, std::int64_t start,
                      std::int64_t count) {
  Call call;
  const Multi_vector& vector = call.in(v, "v");
  struct Result {
    std::int64_t values, dummies;
    double sum, mean, min, max;
  };
  const Result r = call.run([&] {
    Result result{};
    std::int64_t n = count;
    Multi_vector::validate_input_range(start, n, vector);
    result.dummies = vector.count_dummy(start, n);
    result.values = n - result.dummies;
    result.sum = M::sum(vector, start, n);
    result.mean = M::mean(vector, start, n);
    integration::Integration_range::compute_range(vector, result.min, result.max, start, n);
    return result;
  });
  return type(r.values, r.dummies, r.sum, missing(r.mean), missing(r.min), missing(r.max));
}

}  // namespace

void bind_math(py::module_ m) {
  py::object statistics_type =
      py::module_::import("collections")
          .attr("namedtuple")("Statistics", "count dummies sum mean minimum maximum",
                              "module"_a = "vorlith.math");
  def_binary<&M::add>(m, "add", "out = a + b; a dummy in either gives the dummy.");
  def_binary<&M::subtract>(m, "subtract", "out = a - b.");
  def_binary<&M::multiply>(m, "multiply", "out = a * b.");
  def_binary<&M::divide>(m, "divide",
                         "out = a / b; a zero divisor gives the dummy, a zero dividend +0.0.");
  def_binary<&M::mask_and>(m, "mask_and", "out = 1.0, or the dummy where a or b is a dummy.");
  def_binary<&M::mask_or>(m, "mask_or", "out = 1.0, or the dummy where both a and b are dummies.");
  def_binary<&M::mask_xor>(m, "mask_xor",
                           "out = 1.0 where exactly one of a and b is a dummy, else the dummy.");
  def_ranged(
      m, "add_weighted",
      [](py::handle a, double wa, py::handle b, double wb, py::handle out, std::int64_t start,
         std::int64_t count) {
        Call call;
        return from_xy(call, a, b, out, start, count, [&](auto& va, auto& vb, auto& o) {
          M::add_weighted(va, wa, vb, wb, o, start, count);
        });
      },
      "out = a * wa + b * wb.", "a"_a, "wa"_a, "b"_a, "wb"_a, py::kw_only(), "out"_a = py::none());
  def_ranged(
      m, "hypotenuse",
      [](py::handle x, py::handle y, py::handle z, py::handle out, std::int64_t start,
         std::int64_t count) {
        Call call;
        const Multi_vector& vz = call.in(z, "z");
        return from_xy(call, x, y, out, start, count, [&](auto& vx, auto& vy, auto& o) {
          M::hypotenuse(vx, vy, vz, o, start, count);
        });
      },
      "out = sqrt(x*x + y*y + z*z); the dummy where any input is a dummy.", "x"_a, "y"_a, "z"_a,
      py::kw_only(), "out"_a = py::none());

  def_ranged(m, "abs", &Ranged<void>::in_place<&M::abs>, "v = abs(v) in place.", "v"_a,
             py::kw_only());
  def_ranged(
      m, "add_base_multiplier", &Ranged<void, double, double>::in_place<&M::add_base_multiplier>,
      "v = (v + base) * multiplier in place.", "v"_a, "base"_a, "multiplier"_a, py::kw_only());
  def_ranged(m, "replace_if_dummy_or_less_than",
             &Ranged<void, double, double>::in_place<&M::replace_if_dummy_or_less_than>,
             "v becomes replacement where v is a dummy or below limit.", "v"_a, "limit"_a,
             "replacement"_a, py::kw_only());
  def_ranged(m, "log", &Ranged<void, double>::in_place<&M::log>,
             "v = ln(v), or the dummy where v <= minimum (a minimum <= 0 is taken as 1.0).", "v"_a,
             "minimum"_a, py::kw_only());
  def_ranged(m, "log10", &Ranged<void, double>::in_place<&M::log10>, "As log() with base 10.",
             "v"_a, "minimum"_a, py::kw_only());
  def_ranged(m, "log_scaled", &Ranged<void, double>::in_place<&M::log_scaled>,
             "Where abs(v) > scale, v = sign(v) * scale * (1 + ln(abs(v) / scale)).", "v"_a,
             "scale"_a, py::kw_only());
  def_ranged(m, "log10_scaled", &Ranged<void, double>::in_place<&M::log10_scaled>,
             "As log_scaled() with base 10.", "v"_a, "scale"_a, py::kw_only());
  def_ranged(m, "reduce_bits", &Ranged<void, int>::in_place<&M::reduce_bits>,
             "Keeps the top `bits` mantissa bits of float or double values.", "v"_a, "bits"_a,
             py::kw_only());
  def_ranged(m, "validate", &Ranged<void>::in_place<&M::validate>,
             "NaN, infinities and subnormal numbers of float and double vectors become dummies.",
             "v"_a, py::kw_only());
  def_ranged(m, "swap_bytes", &Ranged<void>::in_place<&M::swap>,
             "Reverses the bytes of every element of 2 to 8 bytes.", "v"_a, py::kw_only());
  def_ranged(m, "dummy_back_tracks", &Ranged<std::int64_t>::in_place<&M::dummy_back_tracks>,
             "Makes the range strictly increasing by setting dummies; returns how many.", "v"_a,
             py::kw_only());
  def_ranged(m, "uniform_distribution",
             &Ranged<void, double, double, unsigned>::output_range<&M::uniform_distribution>,
             "Fills the range with uniform values in [low, high) from `seed` (a range past the end "
             "lengthens v).",
             "v"_a, "low"_a, "high"_a, "seed"_a, py::kw_only());
  def_ranged(m, "normal_distribution",
             &Ranged<void, double, double, unsigned>::output_range<&M::normal_distribution>,
             "Fills the range with normal values from `seed`.", "v"_a, "mean"_a, "sigma"_a,
             "seed"_a, py::kw_only());
  def_ranged(m, "exp_distribution",
             &Ranged<void, double, unsigned>::output_range<&M::exp_distribution>,
             "Fills the range with exponential values of scale `mean` from `seed`.", "v"_a,
             "mean"_a, "seed"_a, py::kw_only());
  def_ranged(
      m, "polyfillx",
      [](py::handle v, const std::vector<double>& c, std::int64_t start, std::int64_t count) {
        if (c.empty()) throw py::value_error("coefficients must not be empty");
        Call call;
        Multi_vector& vector = call.inout(v, "v");
        call.run([&] {
          M::polyfillx(vector, static_cast<std::int64_t>(c.size()) - 1, c.data(), start, count);
        });
      },
      "v[i] = c[0] + c[1]*i + ... (at most 10 coefficients are used).", "v"_a, "coefficients"_a,
      py::kw_only());
  def_ranged(
      m, "polyfillxy",
      [](py::handle x, py::handle y, const std::vector<double>& c, std::int64_t start,
         std::int64_t count) {
        if (c.empty()) throw py::value_error("coefficients must not be empty");
        Call call;
        const Multi_vector& vx = call.in(x, "x");
        Multi_vector& vy = call.inout(y, "y");
        call.equal_lengths(count);
        call.run([&] {
          M::polyfillxy(vx, vy, static_cast<std::int64_t>(c.size()) - 1, c.data(), start, count);
        });
      },
      "y = c[0] + c[1]*x + ... in place; the dummy where x is a dummy.", "x"_a, "y"_a,
      "coefficients"_a, py::kw_only());
  def_ranged(
      m, "rotate",
      [](py::handle x, py::handle y, double angle, std::int64_t start, std::int64_t count) {
        Call call;
        Multi_vector& vx = call.inout(x, "x");
        Multi_vector& vy = call.inout(y, "y");
        call.equal_lengths(count);
        call.run([&] { M::rotate(vx, vy, angle, start, count); });
      },
      "Rotates (x, y) counter-clockwise by `angle` radians in place.", "x"_a, "y"_a, "angle"_a,
      py::kw_only());

  def_ranged(m, "sum", &Ranged<double>::reduce<&M::sum>,
             "Sum of the non-dummy values; 0.0 for none.", "v"_a, py::kw_only());
  def_ranged(m, "mean", &Ranged<double>::reduce<&M::mean>,
             "Mean of the non-dummy values; the dummy for none.", "v"_a, py::kw_only());
  def_ranged(
      m, "statistics",
      [statistics_type](py::handle v, std::int64_t start, std::int64_t count) {
        return statistics(statistics_type, v, start, count);
      },
      "Statistics(count, dummies, sum, mean, minimum, maximum) of the range (dummies skipped).",
      "v"_a, py::kw_only());
  m.attr("Statistics") = statistics_type;
  def_ranged(m, "weighted_mean", &Ranged<double>::read2<&M::weighted_mean>,
             "sum(v * w) / sum(w) over pairs without dummies; the dummy when the weights sum to 0.",
             "values"_a, "weights"_a, py::kw_only());
  def_ranged(m, "polygon_area", &Ranged<double>::read2<&M::polygon_area>,
             "Area of the polygon of the (x, y) vertices, never negative.", "x"_a, "y"_a,
             py::kw_only());
  def_ranged(m, "is_polygon_clockwise", &Ranged<bool>::read2<&M::is_polygon_clockwise>,
             "Whether the polygon's signed area is below zero.", "x"_a, "y"_a, py::kw_only());
  def_ranged(m, "inflection", &Ranged<std::int64_t, double>::read<&M::inflection>,
             "Index where a decreasing double curve first bends up by more than threshold.", "v"_a,
             "threshold"_a, py::kw_only());
  def_ranged(
      m, "duplicate_stats",
      [](py::handle values, py::handle codes, std::int64_t start, std::int64_t count) {
        Call call;
        const Multi_vector& v = call.in(values, "values");
        const Multi_vector& c = call.in(codes, "codes");
        call.equal_lengths(count);
        Multi_vector& mean = call.fresh(double_type);
        Multi_vector& difference = call.fresh(double_type);
        call.run([&] { M::duplicate_stats(v, c, mean, difference, start, count); });
        return py::make_tuple(call.result(mean), call.result(difference));
      },
      "(mean, difference) of primary (code 1) and duplicate (code 2) sample pairs.", "values"_a,
      "codes"_a, py::kw_only());

  def_ranged(
      m, "distance_cumulative",
      [](py::handle x, py::handle y, py::handle z, double start_distance, py::handle out,
         std::int64_t start, std::int64_t count) {
        Call call;
        const Multi_vector* vz = nullptr;
        if (!z.is_none()) vz = &call.in(z, "z");
        Multi_vector& flat = call.fresh(double_type);
        return from_xy(call, x, y, out, start, count, [&](auto& vx, auto& vy, auto& o) {
          if (!vz) flat.set_length(vx.get_length());  // zero bytes: z = 0.0
          M::distance_cumulative(vx, vy, vz ? *vz : flat, o, start_distance, start, count);
        });
      },
      "Running distance along the line from start_distance (z None: 2-D); dummy stations give "
      "dummies and "
      "are bridged.",
      "x"_a, "y"_a, "z"_a = py::none(), py::kw_only(), "start_distance"_a = 0.0,
      "out"_a = py::none());
  def_ranged(
      m, "distance_non_cumulative",
      [](py::handle x, py::handle y, py::handle out, std::int64_t start, std::int64_t count) {
        Call call;
        return from_xy(call, x, y, out, start, count, [&](auto& vx, auto& vy, auto& o) {
          M::distance_non_cumulative(vx, vy, o, start, count);
        });
      },
      "Length of the step from the previous station; the dummy at index 0.", "x"_a, "y"_a,
      py::kw_only(), "out"_a = py::none());
  def_ranged(
      m, "distance_from_line",
      [](py::handle x, py::handle y, std::pair<double, double> point, double angle, py::handle out,
         std::int64_t start, std::int64_t count) {
        Call call;
        return from_xy(call, x, y, out, start, count, [&](auto& vx, auto& vy, auto& o) {
          M::distance_from_line(vx, vy, o, common::Point_2d<double>{point.first, point.second},
                                angle, start, count);
        });
      },
      "Signed distance from the line through `point` at azimuth `angle` degrees (clockwise from "
      "north).",
      "x"_a, "y"_a, "point"_a, "angle"_a, py::kw_only(), "out"_a = py::none());
  def_ranged(
      m, "distance_from_segment",
      [](py::handle x, py::handle y, std::pair<double, double> first,
         std::pair<double, double> second, py::handle out, std::int64_t start, std::int64_t count) {
        const common::Segment_2d<double> segment{{first.first, first.second},
                                                 {second.first, second.second}};
        Call call;
        return from_xy(call, x, y, out, start, count, [&](auto& vx, auto& vy, auto& o) {
          M::distance_from_line(vx, vy, o, segment, start, count);
        });
      },
      "Signed distance from the line through two points.", "x"_a, "y"_a, "first"_a, "second"_a,
      py::kw_only(), "out"_a = py::none());
  def_ranged(
      m, "find_gaps",
      [](py::handle x, py::handle y, py::handle z, double threshold, py::handle out,
         std::int64_t start, std::int64_t count) {
        Call call;
        const Multi_vector& vz = call.in(z, "z");
        Multi_vector& gaps = call.out(out, Legacy_type(integration::type_int64), "out");
        from_xy(call, x, y, py::none(), start, count, [&](auto& vx, auto& vy, auto&) {
          M::find_gaps(vx, vy, vz, gaps, threshold, start, count);
        });
        return call.result(gaps);
      },
      "Indices whose 3-D step from the previous station is longer than threshold (appended to out, "
      "int64).",
      "x"_a, "y"_a, "z"_a, "threshold"_a, py::kw_only(), "out"_a = py::none());
  def_ranged(
      m, "line_mask",
      [](py::handle v, py::handle x, py::handle y, double x_min, double x_max, double y_min,
         double y_max, std::int64_t start, std::int64_t count) {
        Call call;
        Multi_vector& vector = call.inout(v, "v");
        const Multi_vector& vx = call.in(x, "x");
        const Multi_vector& vy = call.in(y, "y");
        call.equal_lengths(count);
        call.run([&] { M::line_mask(vector, vx, vy, x_min, x_max, y_min, y_max, start, count); });
      },
      "Keeps v on the vertical or horizontal segment of the box, else sets dummies.", "v"_a, "x"_a,
      "y"_a, "x_min"_a, "x_max"_a, "y_min"_a, "y_max"_a, py::kw_only());
}

}  // namespace vorlith::python
