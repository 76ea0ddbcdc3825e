// Gap filling by linear prediction: the Burg fit, autoregressive extrapolation and gap
// filling on plain double arrays, then Integration_predict::predict (worked examples, long
// gaps, other types and bad arguments).

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "signal/predict_core.h"
#include "support/contracts.h"
#include "support/vectors.h"

namespace vorlith::signal {
namespace {

using algorithm::Rollweight_type;
using integration::Integration_predict;
using integration::Legacy_type;
using integration::Multi_vector;
using Edge = Integration_predict::Edge_type;
using namespace testing_support;

constexpr double D = common::dummy_value<double>;

Prediction_settings settings(Edge_fill edges, Rollweight_type roll = Rollweight_type::linear,
                             std::int64_t prediction_length = 0, double level = 0.0,
                             std::int64_t filter_length = 0, std::int64_t fit_length = 0,
                             std::int64_t length = 1000) {
  return make_prediction_settings(length, edges, roll, level, prediction_length, filter_length,
                                  fit_length);
}

std::vector<double> filled(std::vector<double> x, const Prediction_settings& s) {
  fill_gaps(x.data(), static_cast<std::int64_t>(x.size()), s);
  return x;
}

TEST(PredictCore, RollWeights) {
  EXPECT_DOUBLE_EQ(roll_weight(Rollweight_type::linear, 4, 1), 0.25);
  EXPECT_DOUBLE_EQ(roll_weight(Rollweight_type::squared, 3, 1), 0.2);
  EXPECT_DOUBLE_EQ(roll_weight(Rollweight_type::squared, 3, 2), 0.8);
  EXPECT_DOUBLE_EQ(roll_weight(Rollweight_type::squared, 5, 0), 0.0);
  EXPECT_DOUBLE_EQ(roll_weight(Rollweight_type::squared, 5, 5), 1.0);
}

TEST(PredictCore, SettingsClampLengths) {
  // prediction, filter and fit lengths, channel length -> prediction length, order, fit length
  const std::int64_t cases[][7] = {
      {0, 0, 0, 1000, 0, 32, 64},    // defaults
      {0, -4, -9, 1000, 0, 32, 64},  // negative lengths take the defaults
      // At most the channel's length; a prediction shorter than the order lowers it.
      {5000, 1000, 1000, 100, 100, 100, 256},
      {0, 100, 0, 1000, 0, 100, 200},  // the fit twice the filter
      {5, 20, 7, 1000, 5, 5, 7},
  };
  for (const auto& c : cases) {
    const auto s = make_prediction_settings(c[3], Edge_fill::none, Rollweight_type::linear, 0.0,
                                            c[0], c[1], c[2]);
    EXPECT_TRUE(s.prediction_length == c[4] && s.order == c[5] && s.fit_length == c[6])
        << c[0] << " " << c[1] << " " << c[2] << ": " << s.order << " " << s.fit_length;
  }
}

TEST(PredictCore, BurgFilterOfASineIsItsRecurrence) {
  // sin(w i) = 2 cos(w) sin(w (i - 1)) - sin(w (i - 2)): the error filter is 1, -2 cos w, 1.
  const double w = 0.3;
  std::vector<double> r(100);
  for (std::size_t i = 0; i < r.size(); ++i) r[i] = std::sin(w * static_cast<double>(i));
  double a[3];
  burg_filter(r.data(), 100, 3, a);
  EXPECT_EQ(a[0], 1.0);
  EXPECT_NEAR(a[1], -2.0 * std::cos(w), 1e-3);
  EXPECT_NEAR(a[2], 1.0, 1e-3);
}

TEST(PredictCore, StraightLineContinuesWithShrinkingSlopeAndShortSeriesSafely) {
  // No residual, so only the trend is left: slopes 2, 1, 0, then the slope would turn.
  std::vector<double> y(10);
  for (std::size_t i = 0; i < y.size(); ++i) y[i] = 2.0 * static_cast<double>(i);
  std::vector<double> out(5);
  extrapolate_series(y.data(), 10, 6, 5, out.data());
  const double expected5[] = {20, 21.2, 21.6, 21.6, 21.6};
  for (int t = 0; t < 5; ++t) EXPECT_DOUBLE_EQ(out[t], expected5[t]);
  extrapolate_series(y.data(), 10, 6, 4, out.data());
  out.resize(4);
  EXPECT_EQ(out, (std::vector<double>{20, 21, 21, 21}));
  const double one[] = {7.0}, two[] = {1.0, 3.0};
  extrapolate_series(one, 1, 3, 4, out.data());
  EXPECT_EQ(out, (std::vector<double>{7, 7, 7, 7}));
  extrapolate_series(two, 2, 3, 4, out.data());
  EXPECT_EQ(out, (std::vector<double>{5, 6, 6, 6}));
}

TEST(PredictCore, PeriodicSeriesContinuesExactlyWhileTheFilterFades) {
  // Two whole periods: no trend, and the residual obeys a short recurrence exactly.
  const double w = 2.0 * M_PI / 20.0;
  const std::int64_t n = 41;
  const std::int64_t order = 24;
  std::vector<double> y(n);
  for (std::int64_t i = 0; i < n; ++i) y[i] = std::sin(w * static_cast<double>(i));
  std::vector<double> out(10);
  extrapolate_series(y.data(), n, order, 10, out.data());
  for (std::int64_t t = 1; t <= 10; ++t) {
    const double fade = 1.0 - static_cast<double>(t - 1) / static_cast<double>(5 * (order - 1));
    EXPECT_NEAR(out[t - 1], fade * std::sin(w * static_cast<double>(n - 1 + t)), 1e-12) << t;
  }
}

TEST(PredictCore, OneSampleRunsAndInteriorGapsWithoutEdgeFill) {
  // A long gap between one-sample runs blends two constants.
  EXPECT_EQ(filled({D, 10, D, D, D, 40, D}, settings(Edge_fill::none)),
            (std::vector<double>{D, 10, 17.5, 25, 32.5, 40, D}));
  // Interior gaps are filled in every mode; only the ends depend on it.
  EXPECT_EQ(filled({D, 1, 2, D, 4, 5, D}, settings(Edge_fill::none)),
            (std::vector<double>{D, 1, 2, 3, 4, 5, D}));
  // A run of three is fitted, so its trend flattens (4, 4.5, 4.5, 4.5; from the right
  // 6, 5.5, 5.5, 5.5), instead of going on straight; the sides blend by k / 5.
  const auto three = filled({D, 1, 2, 3, D, D, D, D, 7, 8, 9, 10, D}, settings(Edge_fill::none));
  const double blended[] = {4.3, 4.9, 5.1, 5.7};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(three[4 + k], blended[k], 1e-12) << k;
}

TEST(PredictCore, PredictionLengthRelaxesToLevel) {
  std::vector<double> x(200);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.2 * static_cast<double>(i)) + 3.0;
  for (std::size_t i = 60; i < 140; ++i) x[i] = D;
  const auto out = filled(x, settings(Edge_fill::none, Rollweight_type::squared, 10, -5.0));
  for (std::size_t i = 60; i < 140; ++i) {
    ASSERT_NE(out[i], D);
    EXPECT_TRUE(i < 70 || i >= 130 || out[i] == -5.0) << i << ": " << out[i];
  }
  // The first filled sample is still close to the data.
  EXPECT_LT(std::fabs(out[60] - (std::sin(12.0) + 3.0)), 1.0);
}

TEST(PredictCore, ShortGapsRelaxTowardsTheLevel) {
  // Interior gap of two with a = 2 (which lowers the order below three): each side relaxes
  // from its edge sample to the level, L = {5, 0} from 10 and R = {10, 0} from 20, and
  // the two are blended with w_3.
  const auto inner =
      filled({0, 10, D, D, 20, 30}, settings(Edge_fill::none, Rollweight_type::linear, 2, 0.0));
  EXPECT_DOUBLE_EQ(inner[2], 5.0 - 5.0 / 3.0);
  EXPECT_DOUBLE_EQ(inner[3], 20.0 / 3.0);
  // A leading gap of two relaxes from the first sample, ignoring the slope.
  EXPECT_EQ(
      filled({D, D, 4, 6, 8}, settings(Edge_fill::extrapolate, Rollweight_type::linear, 2, 0.0)),
      (std::vector<double>{0, 2, 4, 6, 8}));
  // A long leading gap before a run of two continues the run's slope.
  EXPECT_EQ(filled({D, D, D, D, 5, 7}, settings(Edge_fill::extrapolate)),
            (std::vector<double>{-3, -1, 1, 3, 5, 7}));
}

TEST(PredictCore, LeadingGapMirrorsTheTrailingGap) {
  // The backward edge extrapolates the first samples reversed: the same numbers as the
  // forward edge of the reversed channel.
  std::vector<double> x(60);
  for (std::size_t i = 0; i < x.size(); ++i)
    x[i] = std::sin(0.25 * static_cast<double>(i)) + 0.01 * i * i;
  for (std::size_t i = 0; i < 7; ++i) x[i] = D;
  std::vector<double> reversed(x.rbegin(), x.rend());
  for (std::int64_t a : {0, 4}) {
    const auto s = settings(Edge_fill::extrapolate, Rollweight_type::squared, a, 1.5, 5, 20);
    const auto forward = filled(reversed, s);
    const auto backward = filled(x, s);
    EXPECT_EQ(std::vector<double>(backward.rbegin(), backward.rend()), forward) << a;
    for (std::size_t i = 0; i < 7; ++i) EXPECT_NE(backward[i], D);
  }
}

TEST(PredictCore, SumOfSinesIsFilledCloseToTheTruth) {
  // The detrended fit over no more samples than the gap is long is rough; blending both
  // sides still keeps a gap of ten within a few percent of the amplitude.
  auto truth = [](double i) { return std::sin(0.03 * i) + 0.5 * std::sin(0.07 * i + 1.0); };
  std::vector<double> x(3000);
  const auto in_gap = [](std::size_t i) { return i >= 100 && (i - 100) % 300 < 10; };
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = in_gap(i) ? D : truth(static_cast<double>(i));
  for (auto edges : {Edge_fill::none, Edge_fill::wrap}) {
    const auto out = filled(x, settings(edges));
    for (std::size_t i = 0; i < x.size(); ++i)
      EXPECT_NEAR(out[i], truth(static_cast<double>(i)), in_gap(i) ? 0.08 : 0.0) << i;
  }
}

TEST(PredictCore, OneSampleFitsAndWrappingRunsStayInside) {
  // A fit length of one extends each side as a constant.
  const auto out = filled({0, 1, 2, D, D, D, 9, 8, 7},
                          settings(Edge_fill::none, Rollweight_type::linear, 0, 0, 0, 1));
  EXPECT_EQ(out, (std::vector<double>{0, 1, 2, 3.75, 5.5, 7.25, 9, 8, 7}));
  // Data at both ends: the runs next to the first gap continue through the array end.
  std::vector<double> x{1, 2, 3, D, D, D, D, 4, 5, D, D, D, 6, 7, 8};
  for (auto edges : {Edge_fill::none, Edge_fill::extrapolate, Edge_fill::wrap}) {
    const auto y = filled(x, settings(edges, Rollweight_type::linear, 0, 0, 4, 200));
    for (double v : y) EXPECT_TRUE(v != D && std::isfinite(v));
  }
}

std::vector<double> predicted(const std::vector<double>& values, Edge edges,
                              Rollweight_type roll = Rollweight_type::linear, double level = 0.0,
                              std::int64_t prediction_length = 0) {
  Multi_vector v = make_doubles(values);
  Integration_predict::predict(v, edges, roll, level, prediction_length, 0, 0);
  return values_of<double>(v);
}

TEST(Predict, WorkedExamples) {
  EXPECT_EQ(predicted({10, D, D, 40}, Edge::none), (std::vector<double>{10, 20, 30, 40}));
  EXPECT_EQ(predicted({10, D, D, 40}, Edge::none, Rollweight_type::squared),
            (std::vector<double>{10, 16, 34, 40}));
  EXPECT_EQ(predicted({D, D, 5, 7, D}, Edge::none), (std::vector<double>{D, D, 5, 7, D}));
  EXPECT_EQ(predicted({D, D, 5, 7, D}, Edge::extrapolate), (std::vector<double>{1, 3, 5, 7, 9}));
  EXPECT_EQ(predicted({D, D, 5, 7, D}, Edge::wrap), (std::vector<double>{6, 5.5, 5, 7, 6.5}));
  for (Edge edges : {Edge::none, Edge::extrapolate, Edge::wrap}) {  // nothing to fill
    EXPECT_EQ(predicted({1, 2, 3}, edges), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(predicted({D, D, D}, edges), (std::vector<double>{D, D, D}));
  }
  // An int16 channel is filled through doubles.
  auto v = make_vector<std::int16_t>({10, -32767, -32767, 40, 41}, false);
  Integration_predict::predict(v, Edge::none, Rollweight_type::linear, 0.0, 0, 0, 0);
  EXPECT_EQ(values_of<std::int16_t>(v), (std::vector<std::int16_t>{10, 20, 30, 40, 41}));
}

TEST(Predict, LongGapsWithAndWithoutPredictionLength) {
  std::vector<double> x(3000);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = 5.0 + std::sin(0.02 * static_cast<double>(i));
  for (std::size_t i = 1000; i < 1600; ++i) x[i] = D;
  for (std::size_t i = 2990; i < 3000; ++i) x[i] = D;

  for (double v : predicted(x, Edge::extrapolate)) EXPECT_TRUE(v != D && std::isfinite(v));

  // A dummy level is the mean of the data; 50 samples in, both sides have relaxed to it.
  std::vector<double> data;
  std::copy_if(x.begin(), x.end(), std::back_inserter(data), [](double v) { return v != D; });
  const double mean = std::accumulate(data.begin(), data.end(), 0.0) / double(data.size());
  const auto relaxed = predicted(x, Edge::wrap, Rollweight_type::squared, D, 50);
  for (std::size_t i = 1050; i < 1550; ++i) EXPECT_DOUBLE_EQ(relaxed[i], mean) << i;
  EXPECT_NE(relaxed[1000], relaxed[1100]);
  EXPECT_NE(relaxed[2990], D);
}

TEST(Predict, BadArgumentsFailBeforeAnythingChanges) {
  const std::vector<double> values{1, D, 3};
  Multi_vector v = make_doubles(values),
               points(Legacy_type(integration::type_double_point_2d), false, 3);
  const auto refuses = [&](Multi_vector& w, int edge, int roll, std::int64_t length,
                           const char* reason) {
    return fails_contract(
        [&] {
          Integration_predict::predict(w, static_cast<Edge>(edge),
                                       static_cast<Rollweight_type>(roll), 0, length, 0, 0);
        },
        std::string("predict: ") + reason);
  };
  EXPECT_TRUE(refuses(v, 3, 1, 0, "edge type 3 is not none (0), extrapolate (1) or wrap (2)"));
  EXPECT_TRUE(refuses(v, 0, 0, 0, "roll weight 0 is not linear (1) or squared (2)"));
  EXPECT_TRUE(refuses(v, 0, 1, -1, "prediction_length -1 is below 0"));
  EXPECT_TRUE(refuses(points, 0, 1, 0, "a channel of type double_point_2d cannot be predicted"));
  EXPECT_EQ(values_of<double>(v), values);
  Multi_vector empty = make_doubles({});
  Integration_predict::predict(empty, Edge::wrap, Rollweight_type::linear, D, 0, 0, 0);
  EXPECT_EQ(empty.get_length(), 0);
}

}  // namespace
}  // namespace vorlith::signal
