// vorlith.range: Integration_range.

#include "bindings.h"
#include "types/type_list.h"

namespace vorlith::python {

namespace {

using namespace py::literals;
using R = integration::Integration_range;

py::tuple components(const common::Point_2d<double>& p) { return py::make_tuple(p.x, p.y); }
py::tuple components(const common::Point_3d<double>& p) { return py::make_tuple(p.x, p.y, p.z); }
py::tuple components(const common::Point_2d<float>& p) { return py::make_tuple(p.x, p.y); }
py::tuple components(const common::Point_3d<float>& p) { return py::make_tuple(p.x, p.y, p.z); }

template <class P>
void point_range(const Multi_vector& v, P& min, P& max, std::int64_t start, std::int64_t count) {
  if constexpr (std::is_same_v<P, common::Point_2d<double>>)
    R::compute_range_double_point2d(v, min, max, start, count);
  if constexpr (std::is_same_v<P, common::Point_2d<float>>)
    R::compute_range_float_point2d(v, min, max, start, count);
  if constexpr (std::is_same_v<P, common::Point_3d<double>>)
    R::compute_range_double_point3d(v, min, max, start, count);
  if constexpr (std::is_same_v<P, common::Point_3d<float>>)
    R::compute_range_float_point3d(v, min, max, start, count);
}

py::tuple compute_point_range(py::handle v, std::int64_t start, std::int64_t count) {
  Call call;
  const Multi_vector& vector = call.in(v, "v");
  return types::visit_type(vector.get_type(), [&](auto tag) -> py::tuple {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      throw py::type_error("compute_point_range needs a point vector, got " +
                           vector.get_type().get_name());
    } else if constexpr (!types::is_point_v<typename decltype(tag)::type>) {
      throw py::type_error("compute_point_range needs a point vector, got " +
                           vector.get_type().get_name());
    } else {
      using P = typename decltype(tag)::type;
      P min{}, max{};
      call.run([&] { point_range(vector, min, max, start, count); });
      return py::make_tuple(components(min), components(max));
    }
  });
}

}  // namespace

void bind_range(py::module_ m) {
  py::enum_<R::Order> order(m, "Order", "Order of a channel's values.");
  order.value("UNORDERED", R::unordered)
      .value("INCREASING", R::increasing)
      .value("DECREASING", R::decreasing);
  accept_names(order);

  def_ranged(m, "compute_min", &Ranged<double>::read<&R::compute_min>,
             "Smallest value; the dummy for none.", "v"_a, py::kw_only());
  def_ranged(m, "compute_max", &Ranged<double>::read<&R::compute_max>,
             "Largest value; the dummy for none.", "v"_a, py::kw_only());
  def_ranged(m, "compute_positive_min", &Ranged<double>::read<&R::compute_positive_min>,
             "Smallest value above zero; the dummy for none.", "v"_a, py::kw_only());
  def_ranged(
      m, "compute_max_and_index",
      [](py::handle v, std::int64_t start, std::int64_t count) {
        double max = 0;
        std::int64_t index = 0;
        reading(v, [&](const Multi_vector& vector) {
          R::compute_max_and_index(vector, max, index, start, count);
        });
        return py::make_tuple(max, index);
      },
      "(largest value, index of its first occurrence); (dummy, DUMMY_INT64) for none.", "v"_a,
      py::kw_only());
  def_ranged(
      m, "compute_range",
      [](py::handle v, std::int64_t start, std::int64_t count) {
        double min = 0, max = 0;
        reading(v, [&](const Multi_vector& vector) {
          R::compute_range(vector, min, max, start, count);
        });
        return py::make_tuple(min, max);
      },
      "(minimum, maximum) skipping dummies and NaN; dummies for none. Opaque text reads as "
      "numbers.",
      "v"_a, py::kw_only());
  def_ranged(m, "compute_point_range", &compute_point_range,
             "Component-wise (minimum, maximum) points of a float/double point vector.", "v"_a,
             py::kw_only());
  def_ranged(
      m, "compute_range_hypot",
      [](py::handle x, py::handle y, std::int64_t start, std::int64_t count) {
        Call call;
        const Multi_vector& vx = call.in(x, "x");
        const Multi_vector& vy = call.in(y, "y");
        double min = 0, max = 0;
        call.run([&] { R::compute_range_hypot(vx, vy, min, max, start, count); });
        return py::make_tuple(min, max);
      },
      "(minimum, maximum) of hypot(x, y) where neither is a dummy.", "x"_a, "y"_a, py::kw_only());
  def_ranged(
      m, "order",
      [](py::handle v, std::int64_t start, std::int64_t count) {
        bool equal = false;
        R::Order order = R::unordered;
        reading(v,
                [&](const Multi_vector& vector) { R::order(vector, equal, order, start, count); });
        return py::make_tuple(equal, order);
      },
      "(has_equal_neighbours, Order) of the range.", "v"_a, py::kw_only());
  def_ranged(m, "clamp_to_range", &Ranged<void, double, double>::in_place<&R::clamp_to_range>,
             "Values below minimum become minimum, above maximum become maximum (in place).", "v"_a,
             "minimum"_a, "maximum"_a, py::kw_only());
  def_ranged(m, "clip_range_to_dummy",
             &Ranged<void, double, double, bool, bool, bool>::in_place<&R::clip_range_to_dummy>,
             "Sets dummies outside [minimum, maximum] (inside=True: in it), each end closed when "
             "included.",
             "v"_a, "minimum"_a, "maximum"_a, py::kw_only(), "inside"_a = false,
             "include_min"_a = true, "include_max"_a = true);
  def_ranged(m, "clip_to_detection_limit",
             &Ranged<void, double, bool>::in_place<&R::clip_to_detection_limit>,
             "Values below limit become limit / 2 (negatives x * -0.5 with halve_negatives).",
             "v"_a, "limit"_a, py::kw_only(), "halve_negatives"_a = false);
  def_ranged(m, "set_detection_limit", &Ranged<void, double>::in_place<&R::set_detection_limit>,
             "Values below limit, and dummies, become limit / 2.", "v"_a, "limit"_a, py::kw_only());
  def_ranged(m, "set_factor_limit", &Ranged<void, double>::in_place<&R::set_factor_limit>,
             "Values above limit become limit.", "v"_a, "limit"_a, py::kw_only());
  def_ranged(m, "convert_negatives", &Ranged<bool, double>::in_place<&R::convert_negatives>,
             "Negative values become x * factor; returns whether there was any.", "v"_a,
             "factor"_a = -0.5, py::kw_only());
}

}  // namespace vorlith::python
