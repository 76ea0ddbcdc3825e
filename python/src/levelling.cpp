// vorlith._core.level: crossovers and tie-line levelling of a survey, with the results
// as NumPy arrays for plotting (NaN where the library has a dummy).

#include <vorlith/survey/levelling.h>

#include "bindings.h"

namespace vorlith::python {

using namespace py::literals;

namespace {

using survey::Crossover;
using survey::Survey;

constexpr double dummy = common::dummy_value<double>;

double nan_for_dummy(double v) { return v == dummy ? std::numeric_limits<double>::quiet_NaN() : v; }

template <class T, class F>
py::array_t<T> column(std::size_t n, F&& get) {
  py::array_t<T> out(static_cast<py::ssize_t>(n));
  auto view = out.template mutable_unchecked<1>();
  for (std::size_t i = 0; i < n; ++i) view(static_cast<py::ssize_t>(i)) = get(i);
  return out;
}

py::dict crossover_arrays(const std::vector<Crossover>& c) {
  const std::size_t n = c.size();
  py::dict d;
  d["x"] = column<double>(n, [&](std::size_t i) { return c[i].x; });
  d["y"] = column<double>(n, [&](std::size_t i) { return c[i].y; });
  const std::pair<const char*, survey::Crossing_side Crossover::*> sides[] = {
      {"line", &Crossover::traverse}, {"tie", &Crossover::tie}};
  for (const auto& [prefix, side] : sides) {
    const std::string p = prefix;
    d[py::str(p)] = column<std::int64_t>(
        n, [&](std::size_t i) { return static_cast<std::int64_t>((c[i].*side).line); });
    d[py::str(p + "_row")] = column<double>(n, [&](std::size_t i) { return (c[i].*side).row; });
    d[py::str(p + "_distance")] =
        column<double>(n, [&](std::size_t i) { return (c[i].*side).distance; });
    d[py::str(p + "_time")] =
        column<double>(n, [&](std::size_t i) { return nan_for_dummy((c[i].*side).time); });
    d[py::str(p + "_heading")] =
        column<double>(n, [&](std::size_t i) { return (c[i].*side).heading; });
    d[py::str(p + "_value")] =
        column<double>(n, [&](std::size_t i) { return nan_for_dummy((c[i].*side).value); });
  }
  d["usable"] = column<bool>(
      n, [&](std::size_t i) { return c[i].status == survey::Crossing_status::usable; });
  d["difference"] = column<double>(n, [&](std::size_t i) {
    return c[i].status == survey::Crossing_status::usable
               ? c[i].traverse.value - c[i].tie.value
               : std::numeric_limits<double>::quiet_NaN();
  });
  return d;
}

py::dict stats_dict(const survey::Difference_stats& s) {
  return py::dict("count"_a = s.count, "mean"_a = nan_for_dummy(s.mean),
                  "rms"_a = nan_for_dummy(s.rms));
}

survey::Crossover_options crossover_options(const std::string& channel,
                                            const std::vector<std::size_t>& ties,
                                            const std::string& x, const std::string& y,
                                            const std::string& time,
                                            const std::string& interpolation) {
  if (interpolation != "linear" && interpolation != "akima")
    throw py::value_error("interpolation is 'linear' or 'akima', not '" + interpolation + "'");
  survey::Crossover_options options;
  options.channel = channel;
  options.ties = ties;
  options.x = x;
  options.y = y;
  options.time = time;
  options.interpolation = interpolation == "akima" ? survey::Crossing_interpolation::akima
                                                   : survey::Crossing_interpolation::linear;
  return options;
}

// A levelling result with the survey it belongs to (for the report's line labels).
struct Levelling {
  std::shared_ptr<Survey> survey;
  survey::Level_result result;
};

}  // namespace

void bind_level(py::module_ m) {
  m.def(
      "crossovers",
      [](const Survey& s, const std::string& channel, const std::vector<std::size_t>& ties,
         const std::string& x, const std::string& y, const std::string& time,
         const std::string& interpolation) {
        const auto options = crossover_options(channel, ties, x, y, time, interpolation);
        std::vector<Crossover> found;
        {
          py::gil_scoped_release released;
          found = survey::find_crossovers(s, options);
        }
        return crossover_arrays(found);
      },
      "survey"_a, "channel"_a, "ties"_a, py::kw_only(), "x"_a = "x", "y"_a = "y", "time"_a = "",
      "interpolation"_a = "linear");

  py::class_<Levelling>(m, "Levelling", "The corrections and crossover differences of a levelling.")
      .def_property_readonly(
          "crossovers",
          [](const Levelling& l) {
            py::dict d = crossover_arrays(l.result.crossovers);
            const std::size_t n = l.result.crossovers.size();
            d["after"] =
                column<double>(n, [&](std::size_t i) { return nan_for_dummy(l.result.after[i]); });
            d["weight"] = column<double>(n, [&](std::size_t i) { return l.result.weights[i]; });
            return d;
          },
          "Arrays per crossover, as crossovers() gives them plus 'after' (the difference after "
          "levelling) and 'weight' (the robust fit's final weight; 0: rejected).")
      .def_property_readonly(
          "corrections",
          [](const Levelling& l) {
            const auto& c = l.result.corrections;
            const std::size_t n = c.size();
            py::dict d;
            d["line"] = column<std::int64_t>(
                n, [&](std::size_t i) { return static_cast<std::int64_t>(i); });
            d["tie"] = column<bool>(n, [&](std::size_t i) { return c[i].tie; });
            d["order"] = column<std::int64_t>(
                n, [&](std::size_t i) { return static_cast<std::int64_t>(c[i].model); });
            d["crossings"] = column<std::int64_t>(n, [&](std::size_t i) { return c[i].crossings; });
            d["rejected"] = column<std::int64_t>(n, [&](std::size_t i) { return c[i].rejected; });
            d["origin"] = column<double>(n, [&](std::size_t i) { return c[i].origin; });
            d["scale"] = column<double>(n, [&](std::size_t i) { return c[i].scale; });
            py::array_t<double> coefficients({static_cast<py::ssize_t>(n), py::ssize_t{3}});
            auto view = coefficients.mutable_unchecked<2>();
            for (std::size_t i = 0; i < n; ++i) {
              for (std::size_t k = 0; k < 3; ++k)
                view(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(k)) =
                    k < c[i].coefficients.size() ? c[i].coefficients[k] : 0.0;
            }
            d["coefficients"] = coefficients;
            d["reference"] = column<std::int64_t>(n, [&](std::size_t i) {
              return c[i].tie ? static_cast<std::int64_t>(c[i].reference) : std::int64_t{-1};
            });
            return d;
          },
          "Arrays per survey line: tie, order (0 constant, 1 linear, 2 quadratic), crossings, "
          "rejected, origin, scale, coefficients (n x 3) and the reference tie (-1 for traverse "
          "lines). The correction is sum(coefficients[k] * ((s - origin) / scale)**k).")
      .def_property_readonly(
          "before", [](const Levelling& l) { return stats_dict(l.result.before_stats); },
          "count, mean and rms of the usable crossover differences before levelling.")
      .def_property_readonly("after",
                             [](const Levelling& l) { return stats_dict(l.result.after_stats); })
      .def_property_readonly(
          "lines",
          [](const Levelling& l) {
            const auto& r = l.result.lines;
            const std::size_t n = r.size();
            py::dict d;
            d["count"] = column<std::int64_t>(n, [&](std::size_t i) { return r[i].before.count; });
            d["mean"] =
                column<double>(n, [&](std::size_t i) { return nan_for_dummy(r[i].before.mean); });
            d["rms"] =
                column<double>(n, [&](std::size_t i) { return nan_for_dummy(r[i].before.rms); });
            d["mean_after"] =
                column<double>(n, [&](std::size_t i) { return nan_for_dummy(r[i].after.mean); });
            d["rms_after"] =
                column<double>(n, [&](std::size_t i) { return nan_for_dummy(r[i].after.rms); });
            return d;
          },
          "Per-line statistics of the crossings on each line (both as traverse and as tie).")
      .def(
          "report",
          [](const Levelling& l, std::size_t worst) {
            return survey::level_report(*l.survey, l.result, worst);
          },
          "worst"_a = 10, "The text report: survey and per-line statistics, worst crossings.");

  m.def(
      "level",
      [](const std::shared_ptr<Survey>& s, const std::string& channel,
         const std::vector<std::size_t>& ties, const std::string& x, const std::string& y,
         const std::string& time, const std::string& interpolation, const std::string& model,
         const std::string& along, const std::string& output, double rejection) {
        auto options = crossover_options(channel, ties, x, y, time, interpolation);
        survey::Level_options level;
        if (model == "linear")
          level.model = survey::Level_model::linear;
        else if (model == "poly2")
          level.model = survey::Level_model::poly2;
        else if (model != "constant")
          throw py::value_error("model is 'constant', 'linear' or 'poly2', not '" + model + "'");
        if (along != "distance" && along != "time")
          throw py::value_error("along is 'distance' or 'time', not '" + along + "'");
        level.along = along == "time" ? survey::Trend_axis::time : survey::Trend_axis::distance;
        level.output = output;
        level.rejection = rejection;
        Levelling result{s, {}};
        {
          py::gil_scoped_release released;
          result.result = survey::level(*s, options, level);
        }
        return result;
      },
      "survey"_a, "channel"_a, "ties"_a, py::kw_only(), "x"_a = "x", "y"_a = "y", "time"_a = "",
      "interpolation"_a = "linear", "model"_a = "constant", "along"_a = "distance", "output"_a = "",
      "rejection"_a = 4.685);
}

}  // namespace vorlith::python
