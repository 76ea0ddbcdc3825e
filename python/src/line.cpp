// vorlith.line: Integration_line (gap-limited fills, Hampel despiking, lag, decimation).

#include <string>

#include "bindings.h"

namespace vorlith::python {

namespace {

using namespace py::literals;
using algorithm::Rollweight_type;
using Bits = boost::dynamic_bitset<unsigned long>;
using integration::Gap_limit;
using integration::Integration_line;
using integration::Integration_predict;

py::array_t<bool> bool_array(const Bits& bits) {
  py::array_t<bool> out(static_cast<py::ssize_t>(bits.size()));
  bool* p = out.mutable_data();
  for (std::size_t i = 0; i < bits.size(); ++i) p[i] = bits[i];
  return out;
}

Gap_limit limit_of(py::object max_gap, py::object max_distance) {
  Gap_limit limit;
  if (!max_gap.is_none()) {
    limit.samples = max_gap.cast<std::int64_t>();
    if (limit.samples < 0) throw py::value_error("max_gap must be 0 or more (None: no limit)");
  }
  if (!max_distance.is_none()) limit.distance = max_distance.cast<double>();
  return limit;
}

Integration_line::Interpolation interpolation_of(const std::string& method) {
  if (method == "linear") return Integration_line::Interpolation::linear;
  if (method == "akima") return Integration_line::Interpolation::akima;
  throw py::value_error("method must be 'linear' or 'akima', not '" + method + "'");
}

}  // namespace

void bind_line(py::module_ m) {
  def_channels(
      m, "fill_gaps",
      [](py::handle channel, const std::string& method, py::object max_gap, py::object max_distance,
         py::handle position, Integration_predict::Edge_type edges, Rollweight_type roll,
         py::object level, std::int64_t prediction_length, std::int64_t filter_length,
         std::int64_t fit_length) {
        if (method != "prediction" && method != "akima")
          throw py::value_error("method must be 'prediction' or 'akima', not '" + method + "'");
        Gap_limit limit = limit_of(max_gap, max_distance);
        const double level_value =
            level.is_none() ? common::dummy_value<double> : level.cast<double>();
        Call call;
        Multi_vector& v = call.inout(channel, "channel");
        const Multi_vector* along = position.is_none() ? nullptr : &call.in(position, "position");
        limit.position = along;
        Bits filled;
        call.run([&] {
          if (method == "akima") {
            Integration_line::akima_fill(v, along, limit, &filled);
          } else {
            Integration_line::predict(v, edges, roll, level_value, prediction_length, filter_length,
                                      fit_length, limit, &filled);
          }
        });
        return bool_array(filled);
      },
      "channel"_a, py::kw_only(), "method"_a = "prediction", "max_gap"_a = py::none(),
      "max_distance"_a = py::none(), "position"_a = py::none(),
      "edges"_a = Integration_predict::Edge_type::none, "roll"_a = Rollweight_type::linear,
      "level"_a = py::none(), "prediction_length"_a = 0, "filter_length"_a = 0, "fit_length"_a = 0,
      R"doc(
Fills the dummy gaps of `channel` in place and returns a boolean array marking the filled
samples. Gaps longer than `max_gap` samples, or spanning more than `max_distance` along
`position` (the distance between the data on the gap's two sides), stay dummies as a whole.
method 'prediction' fills as vorlith.predict.fill_gaps does (edges, roll, level and the
lengths apply), each stretch between long gaps on its own; 'akima' fills gaps between data by
an Akima spline through the data at their `position` values (sample numbers when None).
)doc");

  def_channels(
      m, "akima_resample",
      [](py::handle x, py::handle y, py::handle xi, py::object max_gap, py::object max_distance) {
        const Gap_limit limit = limit_of(max_gap, max_distance);
        Call call;
        const Multi_vector& vx = call.in(x, "x");
        const Multi_vector& vy = call.in(y, "y");
        call.equal_lengths(-1);
        const Multi_vector& positions = call.in(xi, "xi");
        Multi_vector& result = call.fresh(Legacy_type(integration::type_double));
        Bits filled;
        call.run(
            [&] { Integration_line::akima_resample(vx, vy, positions, result, limit, &filled); });
        return py::make_tuple(call.result(result), bool_array(filled));
      },
      "x"_a, "y"_a, "xi"_a, py::kw_only(), "max_gap"_a = py::none(), "max_distance"_a = py::none(),
      R"doc(
Akima values of the samples (x, y) at the positions xi, and a boolean array marking the
positions that lie in a gap of the samples. Pairs with a dummy are left out; x must increase
over the others. Positions outside the samples, and inside an interval with more than max_gap
left-out pairs or wider than max_distance, are dummies.
)doc");

  def_channels(
      m, "hampel",
      [](py::handle channel, std::int64_t half_width, double threshold, bool replace) {
        Call call;
        Multi_vector& v = call.inout(channel, "channel");
        Bits flagged;
        call.run([&] { Integration_line::hampel(v, half_width, threshold, replace, &flagged); });
        return bool_array(flagged);
      },
      "channel"_a, "half_width"_a, "threshold"_a = 3.0, py::kw_only(), "replace"_a = true, R"doc(
Hampel despiker in place: a sample farther than threshold * 1.4826 * MAD from the median of
the window of 2 * half_width + 1 samples around it is replaced by that median (only flagged
when replace is False). Dummies are skipped and kept; windows with fewer than half_width + 1
data samples leave their sample alone. Returns a boolean array of the outliers.
)doc");

  def_channels(
      m, "lag",
      [](py::handle channel, double shift, py::handle along, const std::string& method,
         py::handle out) {
        const auto interpolation = interpolation_of(method);
        Call call;
        const Multi_vector& input = call.in(channel, "channel");
        const Multi_vector* a = along.is_none() ? nullptr : &call.in(along, "along");
        Multi_vector& output = call.out(out, Legacy_type(integration::type_double), "out");
        call.run([&] { Integration_line::lag(input, output, shift, a, interpolation); });
        return call.result(output);
      },
      "channel"_a, "shift"_a, py::kw_only(), "along"_a = py::none(), "method"_a = "linear",
      "out"_a = py::none(), R"doc(
Lag correction: sample i of the result is the channel at p[i] + shift, p being `along` (a time
or distance channel) or the sample number when None, interpolated ('linear' or 'akima')
between neighbouring data samples. Ends without a source and dummy gaps give dummies.
numpy.interp(p + shift, p, channel) computes the same linear values where the data allow.
)doc");

  def_channels(
      m, "decimate",
      [](py::handle channel, std::int64_t factor, double attenuation, py::handle out) {
        Call call;
        const Multi_vector& input = call.in(channel, "channel");
        Multi_vector& output = call.out(out, Legacy_type(integration::type_double), "out");
        call.run([&] { Integration_line::decimate(input, output, factor, attenuation); });
        return call.result(output);
      },
      "channel"_a, "factor"_a, py::kw_only(), "attenuation"_a = 60.0, "out"_a = py::none(), R"doc(
Keeps samples 0, factor, 2 * factor, ... after a zero-phase low-pass attenuating at least
`attenuation` dB from the new Nyquist frequency up (passband up to 0.6 of it), in stages of
at most 32 for larger factors. Samples whose filter window holds a dummy or passes an end are dummies.
)doc");
}

}  // namespace vorlith::python
