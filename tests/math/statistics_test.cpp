#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
using M = Integration_math;

constexpr double D = vorlith::common::dummy_value<double>;

TEST(Statistics, SumsAndMeansSkipDummies) {
  for (bool block : {false, true}) {
    SCOPED_TRACE(block ? "block" : "contiguous");
    const Multi_vector v = make_doubles({1, D, 2}, block);
    EXPECT_EQ(M::sum(v, 0, -1), 3.0);
    EXPECT_EQ(M::sum(v, 1, 0), 0.0);
    EXPECT_EQ(M::mean(v, 0, -1), 1.5);
    EXPECT_EQ(M::mean(make_doubles({D, D}, block), 0, -1), D);
    EXPECT_EQ(M::mean(v, 3, 0), D);
    EXPECT_EQ(M::weighted_mean(make_doubles({10, 20, D, 5}, block),
                               make_doubles({1, 3, 2, D}, block), 0, -1),
              17.5);
    EXPECT_EQ(M::weighted_mean(make_doubles({10, 20}, block), make_doubles({1, -1}, block), 0, -1),
              D);
  }
  // Other types are read as doubles, their own dummy included.
  const Multi_vector shorts = make_vector<std::int16_t>({4, -32767, 7, 1}, true);
  EXPECT_EQ(M::sum(shorts, 0, -1), 12.0);
  EXPECT_EQ(M::mean(shorts, 1, 2), 7.0);
  EXPECT_EQ(M::weighted_mean(make_vector<float>({1.5f, -1.0e32f, 2.5f}, true),
                             make_doubles({1, 2, 3}), 0, -1),
            2.25);
  EXPECT_TRUE(fails_contract([&] { M::sum(shorts, 2, 3); },
                             "validate_input_range: start 2 and count 3 pass the length 4"));
}

TEST(DuplicateStats, PairsPrimariesWithTheirDuplicatesAcrossBordersInAnyType) {
  Multi_vector mean(type_double, false, 0), difference(type_double, false, 9);
  // A later primary replaces a pending one; dummies and other codes are skipped.
  M::duplicate_stats(make_doubles({10, 12, 5, 1, 3, D, 9, 0, 4}),
                     make_doubles({1, 2, 1, 1, 3, 2, 2, 2, 2}), mean, difference, 0, -1);
  EXPECT_EQ(values_of<double>(mean), (std::vector<double>{11, 11, D, 5, D, D, 5, D, D}));
  EXPECT_EQ(values_of<double>(difference), (std::vector<double>{1, -1, D, 4, D, D, -4, D, D}));

  // A block of doubles holds 512 elements; a converted piece 8192.
  for (std::int64_t primary : {511, 8191}) {
    SCOPED_TRACE(primary);
    const std::int64_t n = primary + 10;
    std::vector<double> values(n, 7.0), codes(n, 0.0);
    values[primary] = 10;
    codes[primary] = 1;
    values[primary + 3] = 14;
    codes[primary + 3] = 2;
    for (bool block : {false, true}) {
      Multi_vector mean(type_double, block, 0), difference(type_float, block, 0);
      M::duplicate_stats(make_doubles(values, block),
                         make_vector<std::int32_t>({codes.begin(), codes.end()}, block), mean,
                         difference, 0, -1);
      const auto m = values_of<double>(mean);
      const auto d = values_of<float>(difference);
      EXPECT_EQ(m[primary], 12);
      EXPECT_EQ(m[primary + 3], 12);
      EXPECT_EQ(d[primary], 2.0f);
      EXPECT_EQ(d[primary + 3], -2.0f);
      EXPECT_EQ(m[primary + 1], D);
      EXPECT_EQ(d[0], -1.0e32f);
    }
  }
  // An int16 channel is read as its values, never as the bytes of doubles.
  Multi_vector means(type_double, false, 0), differences(type_double, false, 0);
  M::duplicate_stats(make_vector<std::int16_t>({100, 300}, false), make_doubles({1, 2}), means,
                     differences, 0, -1);
  EXPECT_EQ(values_of<double>(means), (std::vector<double>{200, 200}));
  EXPECT_EQ(values_of<double>(differences), (std::vector<double>{100, -100}));
  const Multi_vector text = make_opaque({"a"}, 4, false), one = make_doubles({1});
  EXPECT_TRUE(fails_contract([&] { M::duplicate_stats(text, one, means, differences, 0, -1); },
                             "duplicate_stats: values is a text channel"));
}

}  // namespace
