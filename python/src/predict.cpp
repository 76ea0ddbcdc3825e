// vorlith.predict: Integration_predict.

#include "bindings.h"

namespace vorlith::python {

using namespace py::literals;
using algorithm::Rollweight_type;
using integration::Integration_predict;

void bind_predict(py::module_ m) {
  py::enum_<Integration_predict::Edge_type> edge_type(
      m, "EdgeType", "What happens to gaps at the ends of a channel.");
  edge_type.value("NONE", Integration_predict::Edge_type::none)
      .value("EXTRAPOLATE", Integration_predict::Edge_type::extrapolate)
      .value("WRAP", Integration_predict::Edge_type::wrap);
  accept_names(edge_type);
  py::enum_<Rollweight_type> roll_weight(
      m, "RollWeight", "How the predictions from both sides of a gap are blended.");
  roll_weight.value("LINEAR", Rollweight_type::linear).value("SQUARED", Rollweight_type::squared);
  accept_names(roll_weight);

  def_channels(
      m, "fill_gaps",
      [](py::handle channel, Integration_predict::Edge_type edges, Rollweight_type roll,
         py::object level, std::int64_t prediction_length, std::int64_t filter_length,
         std::int64_t fit_length) {
        const double level_value =
            level.is_none() ? common::dummy_value<double> : level.cast<double>();
        Call call;
        Multi_vector& v = call.inout(channel, "channel");
        return call.run([&] {
          const std::int64_t before = v.count_dummy(0, -1);
          Integration_predict::predict(v, edges, roll, level_value, prediction_length,
                                       filter_length, fit_length);
          return before - v.count_dummy(0, -1);
        });
      },
      "channel"_a, py::kw_only(), "edges"_a = Integration_predict::Edge_type::none,
      "roll"_a = Rollweight_type::linear, "level"_a = py::none(), "prediction_length"_a = 0,
      "filter_length"_a = 0, "fit_length"_a = 0, R"doc(
Fills the dummy gaps of `channel` in place by linear prediction from both sides and returns
how many samples were filled.

level: the value predictions relax to (None: the mean of the channel). prediction_length: 0
predicts across whole gaps, p > 0 relaxes each side to `level` over p samples.
filter_length: the longest prediction filter (0: 32, at most 256). fit_length: the most samples
one fit reads (0: twice the filter length, at most 256).
)doc");
}

}  // namespace vorlith::python
