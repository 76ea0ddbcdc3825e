#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cstdint>
#include <vector>

#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
using M = Integration_math;

constexpr double D = vorlith::common::dummy_value<double>;

TEST(Statistics, SumsAndMeansSkipDummies) {
  const Multi_vector v = make_doubles({1, D, 2});
  EXPECT_EQ(M::sum(v, 0, -1), 3.0);
  EXPECT_EQ(M::sum(v, 1, 0), 0.0);
  EXPECT_EQ(M::mean(v, 0, -1), 1.5);
  EXPECT_EQ(M::mean(make_doubles({D, D}), 0, -1), D);
  EXPECT_EQ(M::mean(v, 3, 0), D);
  EXPECT_EQ(M::weighted_mean(make_doubles({10, 20, D, 5}), make_doubles({1, 3, 2, D}), 0, -1),
            17.5);
  EXPECT_EQ(M::weighted_mean(make_doubles({10, 20}), make_doubles({1, -1}), 0, -1), D);
  // Other types are read as doubles, their own dummy included.
  const Multi_vector shorts = make_vector<std::int16_t>({4, -32767, 7, 1}, true);
  EXPECT_EQ(M::sum(shorts, 0, -1), 12.0);
  EXPECT_EQ(M::mean(shorts, 1, 2), 7.0);
  EXPECT_EQ(M::weighted_mean(make_vector<float>({1.5f, -1.0e32f, 2.5f}, true),
                             make_doubles({1, 2, 3}), 0, -1),
            2.25);
}

TEST(DuplicateStats, PairsPrimariesWithTheirDuplicatesAcrossBordersInAnyType) {
  Multi_vector mean(type_double, false, 0), difference(type_double, false, 9);
  // A later primary replaces a pending one; dummies and other codes are skipped.
  M::duplicate_stats(make_doubles({10, 12, 5, 1, 3, D, 9, 0, 4}),
                     make_doubles({1, 2, 1, 1, 3, 2, 2, 2, 2}), mean, difference, 0, -1);
  EXPECT_EQ(values_of<double>(mean), (std::vector<double>{11, 11, D, 5, D, D, 5, D, D}));
  EXPECT_EQ(values_of<double>(difference), (std::vector<double>{1, -1, D, 4, D, D, -4, D, D}));

  // A block of doubles holds 512 elements; a converted piece (in either mode) 8192.
  for (const auto& [primary, block] : {std::pair<std::int64_t, bool>{511, true}, {8191, false}}) {
    SCOPED_TRACE(primary);
    const std::int64_t n = primary + 10;
    std::vector<double> values(n, 7.0), codes(n, 0.0);
    values[primary] = 10, codes[primary] = 1;
    values[primary + 3] = 14, codes[primary + 3] = 2;
    Multi_vector means(type_double, block, 0), differences(type_float, block, 0);
    M::duplicate_stats(make_doubles(values, block),
                       make_vector<std::int32_t>({codes.begin(), codes.end()}, block), means,
                       differences, 0, -1);
    const auto m = values_of<double>(means);
    const auto d = values_of<float>(differences);
    EXPECT_TRUE(m[primary] == 12 && m[primary + 3] == 12 && m[primary + 1] == D);
    EXPECT_TRUE(d[primary] == 2.0f && d[primary + 3] == -2.0f && d[0] == -1.0e32f);
  }
  // An int16 channel is read as its values, never as the bytes of doubles.
  M::duplicate_stats(make_vector<std::int16_t>({100, 300}, false), make_doubles({1, 2}), mean,
                     difference, 0, -1);
  EXPECT_EQ(values_of<double>(mean), (std::vector<double>{200, 200}));
  EXPECT_EQ(values_of<double>(difference), (std::vector<double>{100, -100}));
}

}  // namespace
