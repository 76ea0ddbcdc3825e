// vorlith.spline: Integration_spline.

#include "bindings.h"

namespace vorlith::python {

namespace {

using namespace py::literals;
using integration::Integration_spline;

// None means no limit, which the library spells as the dummy.
double extension_of(py::handle extension) {
  return extension.is_none() ? common::dummy_value<double> : extension.cast<double>();
}

// Knots (x, y), a result vector, and f(x, y, result) run without the GIL.
template <class F>
py::object on_knots(Call& call, py::handle x, py::handle y, py::handle out, F&& f) {
  const Multi_vector& vx = call.in(x, "x");
  const Multi_vector& vy = call.in(y, "y");
  Multi_vector& result = call.out(out, Legacy_type(integration::type_double), "out");
  call.run([&] { f(vx, vy, result); });
  return call.result(result);
}

}  // namespace

void bind_spline(py::module_ m) {
  m.def(
      "akima",
      [](py::handle x, py::handle y, py::handle positions, double max_gap, py::handle extension, py::handle out) {
        Call call;
        const Multi_vector& xi = call.in(positions, "positions");
        const double e = extension_of(extension);
        return on_knots(call, x, y, out, [&](auto& vx, auto& vy, auto& r) {
          Integration_spline::akima(vx, vy, xi, r, max_gap, e);
        });
      },
      "x"_a, "y"_a, "positions"_a, py::kw_only(), "max_gap"_a = 0.0, "extension"_a = 0.0, "out"_a = py::none(),
      R"doc(
Akima spline through the knots (x[i], y[i]) (x strictly increasing, no dummies) evaluated at
`positions` (meant to be non-decreasing). Results are dummies farther than `extension` beyond
the knots (None: no limit), inside intervals wider than `max_gap` (0: no limit) except within
`extension` of a knot, and at dummy or NaN positions. float64 unless `out` is given.
)doc");
  m.def(
      "akima_regular",
      [](py::handle x, py::handle y, double first, double increment, std::int64_t samples, double max_gap,
         py::handle extension, py::handle out) {
        Call call;
        const double e = extension_of(extension);
        return on_knots(call, x, y, out, [&](auto& vx, auto& vy, auto& r) {
          Integration_spline::akima(vx, vy, r, first, increment, samples, max_gap, e);
        });
      },
      "x"_a, "y"_a, "first"_a, "increment"_a, "samples"_a, py::kw_only(), "max_gap"_a = 0.0, "extension"_a = 0.0,
      "out"_a = py::none(),
      "The Akima spline at first + k * increment for k < samples (resampling to a regular spacing); the other "
      "rules as akima().");
}

}  // namespace vorlith::python
