#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "support/contracts.h"
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

TEST(NaudyFilter, DocumentedExamplesAndStretchesBetweenDummies) {
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
  const auto ends = naudy({0, 1, 2, 3, 4}, 3, 0.5, 5);
  const double expected[] = {4.0 / 3, 43.0 / 27, 2, 2, 22.0 / 9};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(ends[i], expected[i], 1e-12) << i;
  EXPECT_EQ(naudy({D, 5, D}, 4, 0.1, 3), (std::vector<double>{D, 5, D}));
  // Gaps are not values: the small wiggles on both sides of this one stay as they are.
  const std::vector<double> gapped{10, 10.1, 10, 10.2, 10.1, D, D, D, 10, 10.1, 10, 10.1, 10.2};
  EXPECT_EQ(naudy(gapped, 5, 0.5, 5), gapped);
  EXPECT_EQ(naudy({}, 4, 0.1, 3), (std::vector<double>{}));
  EXPECT_EQ(naudy({0, 0, 10, 0, 0}, 0, 0.5, 10),
            (std::vector<double>{0, 0, 10, 0, 0}));  // width < 1

  Multi_vector floats = make_vector<float>({0, 0, 10, 0, 0}, false);
  EXPECT_TRUE(fails_contract([&] { Integration_filter::naudy_filter_workflow(floats, 1, 0.5, 1); },
                             "naudy_filter_workflow: the channel is float, not double"));
  // Each stretch between dummies is filtered as a channel of its own, its ends clamped;
  // no iteration limit stops the first cascade.
  const std::vector<double> x{10, 0, 0, 0, 0, D, 5, 5, 15, 5, 5, D, D, 1, 9, 1};
  EXPECT_EQ(naudy(x, 1, 0.5, 10),
            (std::vector<double>{5, 3.125, 1.875, 0, 0, D, 5, 5, 5, 5, 5, D, D, 1, 1, 1}));
  EXPECT_EQ(naudy({0, 0, 10, 0, 0}, 1, 0.5, 0), std::vector<double>(5, 0.0));
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

}  // namespace
