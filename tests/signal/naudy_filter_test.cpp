#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "support/contracts.h"
#include "support/small_blocks.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

constexpr double D = -1.0e32;

std::vector<double> naudy(const std::vector<double>& x, std::int64_t width, double tolerance,
                          std::int64_t iterations, bool block = false) {
  Multi_vector v = make_doubles(x, block);
  Integration_filter::naudy_filter_workflow(v, width, tolerance, iterations);
  return values_of<double>(v);
}

// Serial transcription of the filter with whole-array copies after every offset; the
// library's parallel form must give the same bits. Returns the cascades run.
int reference(std::vector<double>& x, std::int64_t width, double tolerance,
              std::int64_t max_iterations) {
  const auto n = static_cast<std::int64_t>(x.size());
  const auto tol = static_cast<float>(tolerance);
  std::vector<double> working = x;
  std::vector<float> ratios(x.size(), 0.0f);
  auto at = [&](std::int64_t i) {
    return x[static_cast<std::size_t>(std::clamp<std::int64_t>(i, 0, n - 1))];
  };
  auto ratio = [&](std::int64_t c, std::int64_t w) {
    const double a = at(c - 2 * w), b = at(c - w), s = at(c), d = at(c + w), e = at(c + 2 * w);
    const float dev = static_cast<float>(s - (b + d) / 2);
    return std::fabs(dev) >= tol ? static_cast<float>(s + b + d - 1.5 * (a + e)) / dev : 1000.0f;
  };
  int cascades = 0;
  for (std::int64_t t = 0; !(t > std::min(width, max_iterations) || width < 1); ++t) {
    ++cascades;
    bool any = false;
    std::int64_t w = width;
    while (w != 0) {
      bool changed_a = false, changed_b = false;
      working = x;
      for (std::int64_t k = 0; k < w; ++k) {
        for (std::int64_t c = k; c < n; c += w) {
          const float r = ratios[c] = ratio(c, w);
          if (0.0 <= r && r <= 2.0) {
            working[c] = (4 * (at(c - w) + at(c + w)) - at(c - 2 * w) - at(c + 2 * w)) / 6;
            changed_a = true;
          }
        }
        if (changed_a) x = working;
      }
      working = x;
      for (std::int64_t k = 0; k < w; ++k) {
        for (std::int64_t c = k; c < n; c += w) {
          const float r = changed_a ? ratio(c, w) : ratios[c];
          if (-2.0 <= r && r < 0.0) {
            working[c] = at(c) / 2 + (at(c - w) + at(c + w)) / 4;
            changed_b = true;
          }
        }
        if (changed_b) x = working;
      }
      any = any || changed_a || changed_b;
      w = w > 2 ? w / 2 + 1 : w / 2;
    }
    if (!any) break;
  }
  return cascades;
}

// The reference run on each stretch between dummies as a channel of its own.
int reference_by_stretch(std::vector<double>& x, std::int64_t width, double tolerance,
                         std::int64_t max_iterations) {
  int cascades = 0;
  for (auto first = x.begin(); first != x.end();) {
    const auto end = std::find(first, x.end(), D);
    std::vector<double> stretch(first, end);
    if (!stretch.empty())
      cascades = std::max(cascades, reference(stretch, width, tolerance, max_iterations));
    std::copy(stretch.begin(), stretch.end(), first);
    first = end == x.end() ? end : end + 1;
  }
  return cascades;
}

TEST(NaudyFilter, DocumentedExamples) {
  EXPECT_EQ(naudy({0, 0, 10, 0, 0}, 1, 0.5, 10), (std::vector<double>(5, 0.0)));
  std::vector<double> long_ramp(200);
  for (int i = 0; i < 200; ++i) long_ramp[i] = 0.5 * i - 7;
  for (const std::vector<double>& ramp :
       {std::vector<double>{0, 1, 2, 3, 4}, std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
        long_ramp}) {
    for (std::int64_t width : {1, 2, 16}) {
      if (width > 2 && ramp.size() < 100) continue;
      for (double tolerance : {1e-6, 0.5, 3.0})
        EXPECT_EQ(naudy(ramp, width, tolerance, 5, width % 2), ramp);
    }
  }
  // Once the spacing reaches a third of a short ramp, the clamped ends look like spikes.
  std::vector<double> short_ramp{0, 1, 2, 3, 4};
  const std::vector<double> filtered = naudy(short_ramp, 3, 0.5, 5);
  reference(short_ramp, 3, 0.5, 5);
  EXPECT_EQ(filtered, short_ramp);
  EXPECT_NE(filtered, (std::vector<double>{0, 1, 2, 3, 4}));
  EXPECT_EQ(naudy({D, 5, D}, 4, 0.1, 3), (std::vector<double>{D, 5, D}));
  // Gaps are not values: the small wiggles on both sides of this one stay as they are.
  const std::vector<double> gapped{10, 10.1, 10, 10.2, 10.1, D, D, D, 10, 10.1, 10, 10.1, 10.2};
  EXPECT_EQ(naudy(gapped, 5, 0.5, 5), gapped);
  EXPECT_EQ(naudy({}, 4, 0.1, 3), (std::vector<double>{}));
  EXPECT_EQ(naudy({0, 0, 10, 0, 0}, 0, 0.5, 10),
            (std::vector<double>{0, 0, 10, 0, 0}));  // width < 1

  Multi_vector floats = make_vector<float>({0, 0, 10, 0, 0}, false);
  EXPECT_TRUE(
      fails_contract_in([&] { Integration_filter::naudy_filter_workflow(floats, 1, 0.5, 1); },
                        "src/signal/naudy_filter.cpp"));
}

TEST(NaudyFilter, RemovesSpikesAndKeepsSmoothSignals) {
  const int n = 20000;
  std::vector<double> clean(n), spiky(n);
  for (int i = 0; i < n; ++i) clean[i] = 50.0 * std::sin(i / 40.0) + 0.01 * i;
  spiky = clean;
  std::mt19937 engine(11);
  std::uniform_int_distribution<int> where(5, n - 6);
  std::vector<int> spikes;
  for (int s = 0; s < 60; ++s) spikes.push_back(where(engine));
  for (int i : spikes) spiky[i] += (i % 2 ? 400.0 : -300.0);

  const std::vector<double> filtered = naudy(spiky, 4, 1.0, 3);
  double worst = 0;
  for (int i = 0; i < n; ++i) worst = std::max(worst, std::abs(filtered[i] - clean[i]));
  EXPECT_LT(worst, 1.0);
  const std::vector<double> untouched = naudy(clean, 4, 1.0, 3);
  for (int i = 0; i < n; ++i) ASSERT_NEAR(untouched[i], clean[i], 1.0) << i;
}

// Lines with gaps of 1 to 60 samples at the ends and inside give, in both storage modes,
// the serial transcription run on each stretch as a channel of its own. The longest line
// has many short stretches, shared among threads through small thread blocks.
TEST(NaudyFilter, ParallelPassesOnEachStretchMatchASerialTranscription) {
  const Small_blocks small_blocks(1000, 3);
  std::mt19937 engine(3);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> gap_length(1, 60);
  struct Line {
    int n, inner_gaps;
    bool leading_gap, trailing_gap;
  };
  for (const Line line : {Line{1201, 0, false, false}, Line{301, 3, true, true},
                          Line{5007, 2, true, false}, Line{6000, 50, false, true}}) {
    const int n = line.n;
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) {
      x[i] = 10 * std::sin(i / 7.0) + noise(engine);
      if (unit(engine) < 0.05) x[i] += 80 * noise(engine);
    }
    const auto gap = [&](int first) {
      std::fill(x.begin() + first, x.begin() + std::min(n, first + gap_length(engine)), D);
    };
    for (int g = 0; g < line.inner_gaps; ++g) gap(static_cast<int>(unit(engine) * n));
    if (line.leading_gap) gap(0);
    if (line.trailing_gap) std::fill(x.end() - gap_length(engine), x.end(), D);
    for (std::int64_t width : {1, 3, 16}) {
      for (std::int64_t iterations : {0, 2, 100}) {
        std::vector<double> expected = x;
        const int cascades = reference_by_stretch(expected, width, 0.8, iterations);
        if (iterations == 0) {
          EXPECT_EQ(cascades, 1);
        }
        for (bool block : {false, true}) {
          const std::vector<double> got = naudy(x, width, 0.8, iterations, block);
          ASSERT_EQ(got, expected)
              << "n " << n << " width " << width << " iterations " << iterations;
        }
      }
    }
  }
}

}  // namespace
