// Integration_line: gap-limited fills, the Hampel despiker, lag correction and
// decimation, against brute-force or closed-form references.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <tuple>
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

// A smooth line: `ends` dummies, then stretches of 12 samples with gaps of 1 to 6 between
// them, then `ends` dummies.
std::vector<double> gapped_line(std::int64_t ends) {
  std::vector<double> x(static_cast<std::size_t>(ends), D);
  for (std::int64_t gap = 1; gap <= 7; ++gap) {
    for (int k = 0; k < 12; ++k) x.push_back(std::sin(0.3 * static_cast<double>(x.size())) + 5.0);
    x.insert(x.end(), static_cast<std::size_t>(gap < 7 ? gap : ends), D);
  }
  return x;
}

// Per gap of `before`, whether the fill filled it (a gap filled in part fails), with the
// mask checked against the samples that changed from dummies.
std::vector<bool> filled_gaps(const std::vector<double>& before, const Multi_vector& v,
                              const Bits& mask) {
  const std::vector<double> after = values_of<double>(v);
  std::vector<bool> gaps;
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(mask[i], before[i] == D && after[i] != D) << i;
    if (before[i] != D) continue;
    if (i == 0 || before[i - 1] != D) gaps.push_back(after[i] != D);
    EXPECT_EQ(gaps.back(), after[i] != D) << "gap filled in part at " << i;
  }
  return gaps;
}

TEST(GapLimit, PredictFillsWholeGapsUpToTheLimit) {
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
      {Edge::none, 2, -1, {false, true, true, true, true, true, true, false}},
      {Edge::extrapolate, 2, -1, std::vector<bool>(8, true)},
      {Edge::wrap, 2, -1, std::vector<bool>(8, true)},
  };
  for (const Case& c : cases) {
    const std::vector<double> before = gapped_line(c.ends);
    Multi_vector v = make_doubles(before);
    Bits bits;
    const std::int64_t count = Integration_line::predict(v, c.edges, Rollweight_type::linear, D, 0,
                                                         0, 0, {c.limit}, &bits);
    EXPECT_EQ(filled_gaps(before, v, bits), c.filled) << static_cast<int>(c.edges) << c.limit;
    EXPECT_EQ(count, static_cast<std::int64_t>(bits.count()));
    if (c.limit >= 0) continue;  // without a limit, as Integration_predict::predict fills
    Multi_vector plain = make_doubles(before);
    Integration_predict::predict(plain, c.edges, Rollweight_type::linear, D, 0, 0, 0);
    EXPECT_EQ(values_of<double>(v), values_of<double>(plain));
  }
}

TEST(GapLimit, PredictFillsTheStretchesBetweenLongGapsOnTheirOwn) {
  // The stretch before the 5- and 6-sample gaps is filled as a channel of its own.
  const std::vector<double> line = gapped_line(0);
  const auto first_long = static_cast<std::ptrdiff_t>(5 * 12 + 1 + 2 + 3 + 4);
  Multi_vector v = make_doubles(line),
               stretch = make_doubles({line.begin(), line.begin() + first_long});
  Integration_line::predict(v, Edge::none, Rollweight_type::linear, 5.0, 0, 0, 0, {4}, nullptr);
  Integration_predict::predict(stretch, Edge::none, Rollweight_type::linear, 5.0, 0, 0, 0);
  const std::vector<double> after = values_of<double>(v);
  EXPECT_EQ(std::vector<double>(after.begin(), after.begin() + first_long),
            values_of<double>(stretch));
}

TEST(GapLimit, DistanceAlongAPositionChannel) {
  // Gaps of 1, 2 and 1 samples whose spans are 2, 6 and 9 (a wide step before the last).
  const std::vector<double> values{1, D, 3, 4, D, D, 7, 8, D, 10};
  const std::vector<double> position{0, 1, 2, 3, 5, 7, 9, 10, 11, 19};
  const Multi_vector pos = make_doubles(position);
  for (const auto& [distance, expect] : std::vector<std::pair<double, std::vector<bool>>>{
           {2, {true, false, false}}, {6, {true, true, false}}, {9, {true, true, true}}}) {
    Multi_vector v = make_doubles(values);
    Bits bits;
    Integration_line::predict(v, Edge::none, Rollweight_type::linear, D, 0, 0, 0,
                              {-1, distance, &pos}, &bits);
    EXPECT_EQ(filled_gaps(values, v, bits), expect) << distance;
  }
  // A gap whose span cannot be measured (a dummy position beside it) stays.
  const Multi_vector unmeasured = make_doubles({0, 1, D, 3});
  Multi_vector v = make_doubles({1, D, 3, 4});
  EXPECT_EQ(Integration_line::predict(v, Edge::none, Rollweight_type::linear, D, 0, 0, 0,
                                      {-1, 100, &unmeasured}, nullptr),
            0);
}

TEST(GapLimit, AkimaFillAndResampleReproduceALineWithinTheLimit) {
  // Data on the line y = 2p + 1 at uneven positions: Akima reproduces it exactly.
  const std::vector<double> position{0, 1, 3, 4, 6, 7, 8, 12, 13, 15, 16};
  std::vector<double> values;
  for (double p : position) values.push_back(2 * p + 1);
  for (std::size_t i : {0u, 2u, 5u, 6u, 8u, 10u}) values[i] = D;  // gaps of 1, 2, 1 and the ends
  const Multi_vector pos = make_doubles(position);
  for (const auto& [limit, expect] : std::vector<std::pair<Gap_limit, std::vector<bool>>>{
           {{1}, {false, true, false, true, false}},
           {{}, {false, true, true, true, false}},
           {{-1, 4.0, &pos}, {false, true, false, true, false}}}) {
    Multi_vector v = make_doubles(values);
    Bits bits;
    Integration_line::akima_fill(v, &pos, limit, &bits);
    EXPECT_EQ(filled_gaps(values, v, bits), expect);
    const std::vector<double> after = values_of<double>(v);
    for (std::size_t i = 0; i < after.size(); ++i)
      EXPECT_NEAR(after[i], after[i] == D ? D : 2 * position[i] + 1, 1e-12) << i;
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
                                 Bits& flagged) {
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  };
  const auto n = static_cast<std::int64_t>(x.size());
  std::vector<double> out = x;
  flagged.resize(x.size());
  for (std::int64_t i = 0; i < n; ++i) {
    std::vector<double> window;
    for (std::int64_t j = std::max<std::int64_t>(0, i - k); j <= std::min(n - 1, i + k); ++j)
      if (x[j] != D) window.push_back(x[j]);
    if (x[i] == D || static_cast<std::int64_t>(window.size()) < k + 1) continue;
    const double m = median(window);
    for (double& v : window) v = std::fabs(v - m);
    flagged[i] = std::fabs(x[i] - m) > t * 1.4826 * median(window);
    if (flagged[i]) out[i] = m;
  }
  return out;
}

TEST(Hampel, MatchesABruteForceWindowAcrossChunks) {
  std::mt19937_64 random(7);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<double> x(3000);
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = std::round(4 * noise(random)) / 4 + (i % 37 == 0 ? 25 : 0);  // ties: MAD 0 occurs
    if (i % 101 == 3 || i < 3 || i + 2 >= x.size() || (i > 1500 && i < 1540)) x[i] = D;
  }
  Small_blocks small;  // several chunks, each starting its own window
  for (const auto& [k, t] :
       std::vector<std::pair<std::int64_t, double>>{{1, 0}, {2, 3}, {5, 2}, {50, 3}}) {
    Bits expect_flags, bits;
    const std::vector<double> expect = brute_hampel(x, k, t, expect_flags);
    for (bool replace : {true, false}) {
      Multi_vector v = make_doubles(x);
      const std::int64_t count = Integration_line::hampel(v, k, t, replace, &bits);
      EXPECT_EQ(values_of<double>(v), replace ? expect : x) << k << " " << t;
      EXPECT_EQ(bits, expect_flags);
      EXPECT_EQ(count, static_cast<std::int64_t>(expect_flags.count()));
    }
  }
}

TEST(Lag, ShiftsBySamplesOrAlongAChannelWithinNeighbouringData) {
  using I = Integration_line::Interpolation;
  using V = std::vector<double>;
  // values, along (empty: by samples), shift, method, result. Shifted positions between data
  // samples that are not neighbours give dummies.
  const std::vector<std::tuple<V, V, double, I, V>> cases{
      {{1, 2, 4, 8, 16}, {}, 2, I::linear, {4, 8, 16, D, D}},
      {{1, 2, 4, 8, 16}, {}, -1.5, I::linear, {D, D, 1.5, 3, 6}},
      {{1, 2, 4, 8, 16}, {}, 3.5, I::linear, {12, D, D, D, D}},  // searched to the last interval
      {{1, 2, D, 8, 16}, {}, 0.5, I::linear, {1.5, D, D, 12, D}},
      {{0, 10, 20, 30, 40}, {0, 1, 2, 4, 5}, 1.5, I::linear, {15, 22.5, 27.5, D, D}},
      {{0, 10, 20, 30, 40}, {0, 1, 2, D, 3}, 0.5, I::akima, {5, 15, D, D, D}},
      {{3, 5, 7, 9, 11, 13}, {}, 0.25, I::akima, {3.5, 5.5, 7.5, 9.5, 11.5, D}}};
  for (const auto& [values, along, shift, method, expect] : cases) {
    const Multi_vector a = make_doubles(along);
    Multi_vector out = make_doubles({});
    Integration_line::lag(make_doubles(values), out, shift, along.empty() ? nullptr : &a, method);
    const V got = values_of<double>(out);
    ASSERT_EQ(got.size(), expect.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expect[i], 1e-12) << i;
  }
  Multi_vector in_place = make_doubles({1, 2, 4, 8, 16});  // reads behind what it writes
  Integration_line::lag(in_place, in_place, -1.5, nullptr, I::linear);
  EXPECT_EQ(values_of<double>(in_place), (V{D, D, 1.5, 3, 6}));
  Multi_vector ints = make_vector<std::int32_t>({10, 20, 30}, true);  // in place, converted
  Integration_line::lag(ints, ints, 1, nullptr, I::linear);
  EXPECT_EQ(values_of<std::int32_t>(ints),
            (std::vector<std::int32_t>{20, 30, types::typed_dummy<std::int32_t>()}));
}

// The decimated cosine of frequency f (cycles per sample) and its largest deviation from
// `gain` times the cosine sampled at the kept samples, over the samples not dummies. A
// dummy at sample 6000 makes dummies of the kept samples near it.
double deviation(std::int64_t factor, double attenuation, double f, double gain) {
  const std::int64_t n = 12000;
  const auto wave = [f](auto i) { return std::cos(2 * std::numbers::pi * f * double(i) + 0.3); };
  std::vector<double> x(static_cast<std::size_t>(n));
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = wave(i);
  x[6000] = D;
  Multi_vector out = make_doubles({});
  Integration_line::decimate(make_doubles(x), out, factor, attenuation);
  const std::vector<double> y = values_of<double>(out);
  EXPECT_EQ(static_cast<std::int64_t>(y.size()), (n + factor - 1) / factor);
  EXPECT_TRUE(y.front() == D && y.back() == D && y[static_cast<std::size_t>(6000 / factor)] == D);
  double largest = 0;
  for (std::size_t j = 0; j < y.size(); ++j)
    if (y[j] != D) largest = std::max(largest, std::fabs(y[j] - gain * wave(j * factor)));
  EXPECT_LT(std::count(y.begin(), y.end(), D), static_cast<std::ptrdiff_t>(y.size() / 2));
  return largest;
}

TEST(Decimate, MeasuredResponseMeetsTheStatedAttenuationAndPassesTheBand) {
  Small_blocks small;  // the phases of a stage shared among threads
  for (const auto& [factor, attenuation] : std::vector<std::pair<std::int64_t, double>>{
           {2, 60}, {3, 80}, {10, 60}, {12, 100}, {31, 60}, {96, 60}, {4, 40}, {2, 15}}) {
    const double nyquist = 0.5 / static_cast<double>(factor);
    const double bound = std::pow(10.0, -attenuation / 20);
    for (double f : {nyquist, 1.05 * nyquist, 1.5 * nyquist, 0.37, 0.5})
      EXPECT_LE(deviation(factor, attenuation, f, 0.0), bound) << factor << " f " << f;
    for (double f : {0.0, 0.3 * nyquist, 0.6 * nyquist})
      EXPECT_LE(deviation(factor, attenuation, f, 1.0), 4 * bound) << factor << " f " << f;
  }
  Multi_vector same = make_doubles({1, 2, 3});
  Integration_line::decimate(same, same, 1, 60);
  EXPECT_EQ(values_of<double>(same), (std::vector<double>{1, 2, 3}));
}

TEST(LineProcessing, ContractFailuresNameTheArgument) {
  Multi_vector v = make_doubles({1, D, 3}), out = make_doubles({});
  const Multi_vector down = make_doubles({2, 1, 0}), one = make_doubles({0});
  const auto predict = [&](Gap_limit limit) {
    Integration_line::predict(v, Edge::none, Rollweight_type::linear, D, 0, 0, 0, limit, nullptr);
  };
  const auto lag = [&](double shift, const Multi_vector* along) {
    Integration_line::lag(v, out, shift, along, Integration_line::Interpolation::linear);
  };
  const Gap_limit negative{-1, -1.0, &down}, no_channel{-1, 5.0}, short_channel{-1, 5.0, &one};
  const std::vector<std::pair<std::function<void()>, const char*>> cases{
      {[&] { predict(negative); }, "predict: gap distance limit -1"},
      {[&] { predict(no_channel); }, "predict: a gap distance limit needs"},
      {[&] { predict(short_channel); }, "predict: the position channel has 1"},
      {[&] { Integration_line::akima_fill(v, &down, {}, nullptr); }, "akima_fill: positions 2"},
      {[&] { Integration_line::hampel(v, 0, 3, true, nullptr); }, "hampel: half_width 0"},
      {[&] { lag(D, nullptr); }, "lag: shift"},
      {[&] { lag(1, &down); }, "lag: positions 2 then 0"},
      {[&] { Integration_line::decimate(v, out, 0, 60); }, "decimate: factor 0"},
      {[&] { Integration_line::decimate(v, out, 2, 5); }, "decimate: attenuation 5"}};
  for (const auto& [call, reason] : cases) EXPECT_TRUE(fails_contract(call, reason));
}

}  // namespace
}  // namespace vorlith::integration
