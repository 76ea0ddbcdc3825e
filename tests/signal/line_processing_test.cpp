// Integration_line: gap-limited fills, the Hampel despiker, lag correction and
// decimation, against brute-force or closed-form references.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "support/contracts.h"
#include "support/small_blocks.h"
#include "support/vectors.h"

namespace vorlith::integration {
namespace {

using namespace testing_support;
using Bits = boost::dynamic_bitset<unsigned long>;
using Edge = Integration_predict::Edge_type;
using algorithm::Rollweight_type;
constexpr double D = common::dummy_value<double>;

// A smooth line with gaps of 1 to 6 samples between stretches of 12, and `ends` dummies
// at each end.
std::vector<double> gapped_line(std::int64_t ends) {
  std::vector<double> x;
  for (std::int64_t i = 0; i < ends; ++i) x.push_back(D);
  for (std::int64_t gap = 1; gap <= 6; ++gap) {
    for (int k = 0; k < 12; ++k) x.push_back(std::sin(0.3 * static_cast<double>(x.size())) + 5.0);
    for (std::int64_t k = 0; k < gap; ++k) x.push_back(D);
  }
  for (int k = 0; k < 12; ++k) x.push_back(std::sin(0.3 * static_cast<double>(x.size())) + 5.0);
  for (std::int64_t i = 0; i < ends; ++i) x.push_back(D);
  return x;
}

// The lengths of the gaps of x, each with whether it holds no dummy after the fill.
std::vector<std::pair<std::int64_t, bool>> gap_outcomes(const std::vector<double>& before,
                                                        const std::vector<double>& after) {
  std::vector<std::pair<std::int64_t, bool>> out;
  for (std::size_t i = 0; i < before.size();) {
    if (before[i] != D) {
      ++i;
      continue;
    }
    std::size_t end = i;
    bool all_filled = true, none_filled = true;
    for (; end < before.size() && before[end] == D; ++end) {
      all_filled = all_filled && after[end] != D;
      none_filled = none_filled && after[end] == D;
    }
    EXPECT_TRUE(all_filled || none_filled) << "gap at " << i << " is filled in part";
    out.emplace_back(static_cast<std::int64_t>(end - i), all_filled);
    i = end;
  }
  return out;
}

Bits filled_bits(const std::vector<double>& before, const std::vector<double>& after) {
  Bits bits(before.size());
  for (std::size_t i = 0; i < before.size(); ++i) bits[i] = before[i] == D && after[i] != D;
  return bits;
}

TEST(GapLimit, PredictFillsWholeGapsUpToTheLimitInBothModes) {
  struct Case {
    Edge edges;
    std::int64_t ends;
    std::int64_t limit;
    std::vector<bool> filled;  // per gap, in order (end gaps included)
  };
  const std::vector<Case> cases{
      {Edge::none, 2, 3, {false, true, true, true, false, false, false, false}},
      {Edge::extrapolate, 2, 3, {true, true, true, true, false, false, false, true}},
      {Edge::extrapolate, 4, 3, {false, true, true, true, false, false, false, false}},
      {Edge::extrapolate, 0, 0, {false, false, false, false, false, false}},
      {Edge::wrap, 2, 3, {false, true, true, true, false, false, false, false}},  // 4 across
      {Edge::wrap, 2, 4, {true, true, true, true, true, false, false, true}},
      {Edge::wrap, 1, 1, {false, true, false, false, false, false, false, false}},
  };
  for (bool block : {false, true}) {
    for (const Case& c : cases) {
      const std::vector<double> before = gapped_line(c.ends);
      Multi_vector v = make_doubles(before, block);
      Bits bits;
      const std::int64_t count = Integration_line::predict(v, c.edges, Rollweight_type::linear, D,
                                                           0, 0, 0, {c.limit}, &bits);
      const std::vector<double> after = values_of<double>(v);
      std::vector<bool> filled;
      for (const auto& [length, all] : gap_outcomes(before, after)) filled.push_back(all);
      EXPECT_EQ(filled, c.filled) << "edges " << static_cast<int>(c.edges) << " limit " << c.limit;
      EXPECT_EQ(bits, filled_bits(before, after));
      EXPECT_EQ(count, static_cast<std::int64_t>(bits.count()));
    }
  }
}

TEST(GapLimit, PredictIsUnchangedWithinTheLimitAndFillsStretchesOnTheirOwn) {
  for (Edge edges : {Edge::none, Edge::extrapolate, Edge::wrap}) {
    const std::vector<double> line = gapped_line(2);
    Multi_vector limited = make_doubles(line), plain = make_doubles(line);
    Integration_line::predict(limited, edges, Rollweight_type::squared, D, 0, 0, 0, {}, nullptr);
    Integration_predict::predict(plain, edges, Rollweight_type::squared, D, 0, 0, 0);
    EXPECT_EQ(values_of<double>(limited), values_of<double>(plain));
  }
  // With the 5- and 6-sample gaps left, the stretch before them is filled as a channel
  // of its own (same level: the whole line's mean).
  const std::vector<double> line = gapped_line(0);
  Multi_vector v = make_doubles(line);
  Integration_line::predict(v, Edge::none, Rollweight_type::linear, 5.0, 0, 0, 0, {4}, nullptr);
  const std::int64_t first_long = 5 * 12 + 1 + 2 + 3 + 4;
  Multi_vector stretch = make_doubles({line.begin(), line.begin() + first_long});
  Integration_predict::predict(stretch, Edge::none, Rollweight_type::linear, 5.0, 0, 0, 0);
  const std::vector<double> after = values_of<double>(v);
  EXPECT_EQ(std::vector<double>(after.begin(), after.begin() + first_long),
            values_of<double>(stretch));
}

TEST(GapLimit, DistanceAlongAPositionChannel) {
  // Gaps of 1, 2 and 1 samples whose spans are 2, 6 and 9 (a wide step before the last).
  const std::vector<double> values{1, D, 3, 4, D, D, 7, 8, D, 10};
  const std::vector<double> position{0, 1, 2, 3, 5, 7, 9, 10, 11, 19};
  for (bool block : {false, true}) {
    const Multi_vector pos = make_doubles(position, block);
    for (const auto& [distance, expect] : std::vector<std::pair<double, std::vector<bool>>>{
             {2, {true, false, false}}, {6, {true, true, false}}, {9, {true, true, true}}}) {
      Multi_vector v = make_doubles(values, block);
      Integration_line::predict(v, Edge::none, Rollweight_type::linear, D, 0, 0, 0,
                                {-1, distance, &pos}, nullptr);
      std::vector<bool> filled;
      for (const auto& [length, all] : gap_outcomes(values, values_of<double>(v)))
        filled.push_back(all);
      EXPECT_EQ(filled, expect) << distance;
    }
  }
  // A span that cannot be measured (a dummy position beside the gap) stays a gap.
  const Multi_vector pos = make_doubles({0, 1, D, 3});
  Multi_vector v = make_doubles({1, 2, D, 4}), w = make_doubles({1, D, 3, 4});
  EXPECT_EQ(Integration_line::predict(v, Edge::none, Rollweight_type::linear, D, 0, 0, 0,
                                      {-1, 100, &pos}, nullptr),
            1);
  EXPECT_EQ(Integration_line::predict(w, Edge::none, Rollweight_type::linear, D, 0, 0, 0,
                                      {-1, 100, &pos}, nullptr),
            0);
}

TEST(GapLimit, AkimaFillAndResampleReproduceALineWithinTheLimit) {
  // Data on the line y = 2p + 1 at uneven positions: Akima reproduces it exactly.
  const std::vector<double> position{0, 1, 3, 4, 6, 7, 8, 12, 13, 15, 16};
  std::vector<double> values;
  for (double p : position) values.push_back(2 * p + 1);
  for (std::size_t i : {0u, 2u, 5u, 6u, 8u, 10u}) values[i] = D;  // gaps of 1, 2, 1 and the ends
  for (bool block : {false, true}) {
    const Multi_vector pos = make_doubles(position, block);
    for (const auto& [limit, expect] : std::vector<std::pair<Gap_limit, std::vector<bool>>>{
             {{1}, {false, true, false, true, false}},
             {{}, {false, true, true, true, false}},
             {{-1, 4.0, &pos}, {false, true, false, true, false}}}) {
      Multi_vector v = make_doubles(values, block);
      Bits bits;
      Integration_line::akima_fill(v, &pos, limit, &bits);
      const std::vector<double> after = values_of<double>(v);
      std::vector<bool> filled;
      for (const auto& [length, all] : gap_outcomes(values, after)) filled.push_back(all);
      EXPECT_EQ(filled, expect);
      EXPECT_EQ(bits, filled_bits(values, after));
      for (std::size_t i = 0; i < after.size(); ++i)
        if (after[i] != D) {
          EXPECT_NEAR(after[i], 2 * position[i] + 1, 1e-12) << i;
        }
    }
  }
  // Resampling: positions between the knots, limited by left-out pairs or by width.
  const Multi_vector x = make_doubles(position), y = make_doubles(values);
  const Multi_vector xi = make_doubles({0.5, 1.5, 2.5, 5.5, 7.5, 9.0, 13.5, 16.5, D});
  Multi_vector out = make_doubles({});
  Bits bits;
  Integration_line::akima_resample(x, y, xi, out, {1}, &bits);
  EXPECT_EQ(values_of<double>(out), (std::vector<double>{D, 4, 6, 12, D, D, 28, D, D}));
  EXPECT_EQ(bits, Bits(std::string("001000110")));  // bit 0 is the rightmost
  Integration_line::akima_resample(x, y, xi, out, {-1, 4.0}, nullptr);
  EXPECT_EQ(values_of<double>(out), (std::vector<double>{D, 4, 6, 12, D, D, 28, D, D}));
}

// The Hampel rule written out: sort each window's data, take the middle values.
std::vector<double> brute_hampel(const std::vector<double>& x, std::int64_t k, double t,
                                 std::vector<bool>& flagged) {
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  };
  const auto n = static_cast<std::int64_t>(x.size());
  std::vector<double> out = x;
  flagged.assign(x.size(), false);
  for (std::int64_t i = 0; i < n; ++i) {
    std::vector<double> window;
    for (std::int64_t j = std::max<std::int64_t>(0, i - k); j <= std::min(n - 1, i + k); ++j)
      if (x[j] != D) window.push_back(x[j]);
    if (x[i] == D || static_cast<std::int64_t>(window.size()) < k + 1) continue;
    const double m = median(window);
    for (double& v : window) v = std::fabs(v - m);
    if (std::fabs(x[i] - m) > t * 1.4826 * median(window)) {
      out[i] = m;
      flagged[i] = true;
    }
  }
  return out;
}

TEST(Hampel, MatchesABruteForceWindowInBothModesAcrossChunks) {
  std::mt19937_64 random(7);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<double> x(3000);
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = std::round(4 * noise(random)) / 4;  // ties, so even windows and MAD 0 occur
    if (i % 37 == 0) x[i] += 25;
    if (i % 101 == 3 || i < 3 || i + 2 >= x.size() || (i > 1500 && i < 1540)) x[i] = D;
  }
  Small_blocks small;  // several chunks, each starting its own window
  for (bool block : {false, true}) {
    for (const auto& [k, t] :
         std::vector<std::pair<std::int64_t, double>>{{1, 0}, {2, 3}, {5, 2}, {50, 3}}) {
      std::vector<bool> expect_flags;
      const std::vector<double> expect = brute_hampel(x, k, t, expect_flags);
      for (bool replace : {true, false}) {
        Multi_vector v = make_doubles(x, block);
        Bits bits;
        const std::int64_t count = Integration_line::hampel(v, k, t, replace, &bits);
        EXPECT_EQ(values_of<double>(v), replace ? expect : x) << k << " " << t;
        for (std::size_t i = 0; i < x.size(); ++i) ASSERT_EQ(bits[i], expect_flags[i]) << i;
        EXPECT_EQ(count, std::count(expect_flags.begin(), expect_flags.end(), true));
      }
    }
  }
}

TEST(Lag, ShiftsBySamplesOrAlongAChannelWithinNeighbouringData) {
  struct Case {
    std::vector<double> values;
    std::vector<double> along;  // empty: by samples
    double shift;
    Integration_line::Interpolation method;
    std::vector<double> expect;
  };
  using I = Integration_line::Interpolation;
  const std::vector<Case> cases{
      {{1, 2, 4, 8, 16}, {}, 2, I::linear, {4, 8, 16, D, D}},
      {{1, 2, 4, 8, 16}, {}, -1.5, I::linear, {D, D, 1.5, 3, 6}},
      {{1, 2, D, 8, 16}, {}, 0.5, I::linear, {1.5, D, D, 12, D}},
      {{0, 10, 20, 30, 40}, {0, 1, 2, 4, 5}, 1.5, I::linear, {15, 22.5, 27.5, D, D}},
      {{0, 10, 20, 30, 40},
       {0, 1, 2, D, 3},
       0.5,
       I::akima,
       {5, 15, D, D, D}},  // 20 to 40 are not neighbours
      {{3, 5, 7, 9, 11, 13}, {}, 0.25, I::akima, {3.5, 5.5, 7.5, 9.5, 11.5, D}},
  };
  for (bool block : {false, true}) {
    for (const Case& c : cases) {
      const Multi_vector v = make_doubles(c.values, block);
      const Multi_vector along = make_doubles(c.along, block);
      Multi_vector out = make_doubles({}, block);
      Integration_line::lag(v, out, c.shift, c.along.empty() ? nullptr : &along, c.method);
      const std::vector<double> got = values_of<double>(out);
      ASSERT_EQ(got.size(), c.expect.size());
      for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], c.expect[i], 1e-12) << "shift " << c.shift << " at " << i;
    }
  }
  // In place, on a whole-number channel.
  Multi_vector ints = make_vector<std::int32_t>({10, 20, 30}, true);
  Integration_line::lag(ints, ints, 1, nullptr, I::linear);
  EXPECT_EQ(values_of<std::int32_t>(ints),
            (std::vector<std::int32_t>{20, 30, types::typed_dummy<std::int32_t>()}));
}

// The decimated cosine of frequency f (cycles per sample) and its largest deviation from
// `gain` times the cosine sampled at the kept samples, over the samples not dummies.
double deviation(std::int64_t factor, double attenuation, double f, double gain, bool block) {
  const std::int64_t n = 12000;
  const auto wave = [f](std::int64_t i) {
    return std::cos(2 * std::numbers::pi * f * static_cast<double>(i) + 0.3);
  };
  std::vector<double> x(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = wave(i);
  Multi_vector out = make_doubles({}, block);
  Integration_line::decimate(make_doubles(x, block), out, factor, attenuation);
  const std::vector<double> y = values_of<double>(out);
  EXPECT_EQ(static_cast<std::int64_t>(y.size()), (n + factor - 1) / factor);
  double largest = 0;
  std::int64_t data = 0;
  for (std::size_t j = 0; j < y.size(); ++j) {
    if (y[j] == D) continue;
    ++data;
    largest =
        std::max(largest, std::fabs(y[j] - gain * wave(static_cast<std::int64_t>(j) * factor)));
  }
  EXPECT_GT(data, static_cast<std::int64_t>(y.size()) / 2);
  return largest;
}

TEST(Decimate, MeasuredResponseMeetsTheStatedAttenuationAndPassesTheBand) {
  Small_blocks small;  // the phases of a stage shared among threads
  for (const auto& [factor, attenuation] : std::vector<std::pair<std::int64_t, double>>{
           {2, 60}, {3, 80}, {10, 60}, {12, 100}, {31, 60}, {96, 60}}) {
    const double nyquist = 0.5 / static_cast<double>(factor);
    const double bound = std::pow(10.0, -attenuation / 20);
    for (double f : {nyquist, 1.05 * nyquist, 1.5 * nyquist, 0.37, 0.5})
      EXPECT_LE(deviation(factor, attenuation, f, 0.0, factor == 3), bound) << factor << " f " << f;
    for (double f : {0.0, 0.3 * nyquist, 0.6 * nyquist})
      EXPECT_LE(deviation(factor, attenuation, f, 1.0, false), 4 * bound) << factor << " f " << f;
  }
}

TEST(Decimate, KeepsAlignmentAndMakesDummiesAroundDummies) {
  // A constant passes unchanged at samples 0, m, 2m, ... whose windows hold no dummy.
  std::vector<double> x(600, 7.0);
  x[300] = D;
  Multi_vector out = make_doubles({});
  Integration_line::decimate(make_doubles(x, true), out, 4, 60);
  const std::vector<double> y = values_of<double>(out);
  ASSERT_EQ(y.size(), 150u);
  EXPECT_EQ(y.front(), D);
  EXPECT_EQ(y.back(), D);
  EXPECT_EQ(y[75], D);
  EXPECT_NEAR(y[40], 7.0, 1e-12);
  EXPECT_NEAR(y[110], 7.0, 1e-12);
  Multi_vector same = make_doubles({1, 2, 3});
  Integration_line::decimate(same, same, 1, 60);
  EXPECT_EQ(values_of<double>(same), (std::vector<double>{1, 2, 3}));
}

TEST(LineProcessing, ContractFailuresNameTheArgument) {
  Multi_vector v = make_doubles({1, D, 3}), out = make_doubles({});
  const Multi_vector down = make_doubles({2, 1, 0}), shortish = make_doubles({0});
  Multi_vector points(Legacy_type(type_double_point_2d), false, 3);
  const auto none = Edge::none;
  const auto linear = Rollweight_type::linear;
  EXPECT_TRUE(fails_contract(
      [&] {
        Integration_line::predict(v, none, linear, D, 0, 0, 0, {-1, -1.0, &down}, nullptr);
      },
      "predict: gap distance limit -1"));
  EXPECT_TRUE(fails_contract(
      [&] {
        Integration_line::predict(v, none, linear, D, 0, 0, 0, {-1, 5.0}, nullptr);
      },
      "predict: a gap distance limit needs"));
  EXPECT_TRUE(fails_contract(
      [&] {
        Integration_line::predict(v, none, linear, D, 0, 0, 0, {-1, 5.0, &shortish}, nullptr);
      },
      "predict: the position channel has 1"));
  EXPECT_TRUE(fails_contract([&] { Integration_line::akima_fill(points, nullptr, {}, nullptr); },
                             "akima_fill: a channel of type"));
  EXPECT_TRUE(fails_contract([&] { Integration_line::akima_fill(v, &down, {}, nullptr); },
                             "akima_fill: positions 2 at 0"));
  EXPECT_TRUE(fails_contract([&] { Integration_line::hampel(v, 0, 3, true, nullptr); },
                             "hampel: half_width 0"));
  EXPECT_TRUE(fails_contract([&] { Integration_line::hampel(v, 1, -1, true, nullptr); },
                             "hampel: threshold -1"));
  EXPECT_TRUE(fails_contract(
      [&] {
        Integration_line::lag(down, out, D, nullptr, Integration_line::Interpolation::linear);
      },
      "lag: shift"));
  EXPECT_TRUE(fails_contract(
      [&] { Integration_line::lag(v, out, 1, &down, Integration_line::Interpolation::linear); },
      "lag: positions 2 then 0"));
  EXPECT_TRUE(fails_contract(
      [&] { Integration_line::lag(v, out, 1, &shortish, Integration_line::Interpolation::linear); },
      "lag: the along channel has 1"));
  EXPECT_TRUE(
      fails_contract([&] { Integration_line::decimate(v, out, 0, 60); }, "decimate: factor 0"));
  EXPECT_TRUE(
      fails_contract([&] { Integration_line::decimate(v, out, 2, 5); }, "decimate: attenuation 5"));
}

}  // namespace
}  // namespace vorlith::integration
