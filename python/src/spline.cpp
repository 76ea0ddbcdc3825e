// vorlith.spline: Integration_spline.

#include <vector>

#include "bindings.h"

namespace vorlith::python {

namespace {

using namespace py::literals;
using integration::Integration_spline;

// None means no limit, which the library spells as the dummy.
double extension_of(py::handle extension) {
  return extension.is_none() ? common::dummy_value<double> : extension.cast<double>();
}

// Knots (x, y) of one length, more(call) for further arguments, a result vector, and
// f(x, y, result) run without the GIL.
template <class More, class F>
py::object on_knots(Call& call, py::handle x, py::handle y, py::handle out, More&& more, F&& f) {
  const Multi_vector& vx = call.in(x, "x");
  const Multi_vector& vy = call.in(y, "y");
  call.equal_lengths(-1);
  more(call);
  Multi_vector& result = call.out(out, Legacy_type(integration::type_double), "out");
  call.run([&] { f(vx, vy, result); });
  return call.result(result);
}

// The library walks the positions in order; positions in another order are evaluated
// sorted and the values put back in the caller's order.
void akima_any_order(const Multi_vector& x, const Multi_vector& y, const Multi_vector& positions,
                     Multi_vector& result, double max_gap, double extension) {
  if (positions.is_sorted(false, false)) {
    Integration_spline::akima(x, y, positions, result, max_gap, extension);
    return;
  }
  const std::int64_t n = positions.get_length();
  Multi_vector index(integration::type_int64, false, 0);
  Multi_vector::sort_index_1(index, positions, false, true);
  Multi_vector sorted(positions.get_type(), false, 0);
  sorted.insert_index(positions, index, 0, -1);
  Multi_vector values(integration::type_double, false, 0);
  Integration_spline::akima(x, y, sorted, values, max_gap, extension);
  std::vector<std::int64_t> order(static_cast<std::size_t>(n));
  std::vector<double> in_order(static_cast<std::size_t>(n)), back(static_cast<std::size_t>(n));
  index.get_range_int64(0, n, order.data());
  values.get_range_double(0, n, in_order.data());
  for (std::int64_t k = 0; k < n; ++k)
    back[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])] =
        in_order[static_cast<std::size_t>(k)];
  Multi_vector unsorted(integration::type_double, false, n);
  unsorted.set_range_double(0, n, back.data());
  result.copy(unsorted);
}

}  // namespace

void bind_spline(py::module_ m) {
  def_channels(
      m, "akima",
      [](py::handle x, py::handle y, py::handle positions, double max_gap, py::handle extension,
         py::handle out) {
        Call call;
        const double e = extension_of(extension);
        const Multi_vector* xi = nullptr;
        const auto take_positions = [&](Call& c) { xi = &c.in(positions, "positions"); };
        return on_knots(call, x, y, out, take_positions, [&](auto& vx, auto& vy, auto& r) {
          akima_any_order(vx, vy, *xi, r, max_gap, e);
        });
      },
      "x"_a, "y"_a, "positions"_a, py::kw_only(), "max_gap"_a = 0.0, "extension"_a = 0.0,
      "out"_a = py::none(),
      R"doc(
Akima spline through the knots (x[i], y[i]) (x strictly increasing, no dummies) evaluated at
`positions`, in any order. Results are dummies farther than `extension` beyond
the knots (None: no limit), inside intervals wider than `max_gap` (0: no limit) except within
`extension` of a knot, and at dummy or NaN positions. float64 unless `out` is given.
)doc");
  def_channels(
      m, "akima_regular",
      [](py::handle x, py::handle y, double first, double increment, std::int64_t samples,
         double max_gap, py::handle extension, py::handle out) {
        Call call;
        const double e = extension_of(extension);
        return on_knots(
            call, x, y, out, [](Call&) {},
            [&](auto& vx, auto& vy, auto& r) {
              Integration_spline::akima(vx, vy, r, first, increment, samples, max_gap, e);
            });
      },
      "x"_a, "y"_a, "first"_a, "increment"_a, "samples"_a, py::kw_only(), "max_gap"_a = 0.0,
      "extension"_a = 0.0, "out"_a = py::none(),
      "The Akima spline at first + k * increment for k < samples (resampling to a regular "
      "spacing); the other "
      "rules as akima().");
}

}  // namespace vorlith::python
