#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/parallel.h"
#include "support/contracts.h"
#include "support/small_blocks.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

constexpr double D = vorlith::common::dummy_value<double>;

TEST(Statistics, SumsAndMeansSkipDummies) {
  for (bool block : {false, true}) {
    SCOPED_TRACE(block ? "block" : "contiguous");
    const Multi_vector v = make_doubles({1, D, 2}, block);
    EXPECT_EQ(Integration_math::sum(v, 0, -1), 3.0);
    EXPECT_EQ(Integration_math::sum(v, 1, 0), 0.0);
    EXPECT_EQ(Integration_math::mean(v, 0, -1), 1.5);
    EXPECT_EQ(Integration_math::mean(make_doubles({D, D}, block), 0, -1), D);
    EXPECT_EQ(Integration_math::mean(v, 3, 0), D);
    EXPECT_EQ(Integration_math::weighted_mean(make_doubles({10, 20, D, 5}, block),
                                              make_doubles({1, 3, 2, D}, block), 0, -1),
              17.5);
    EXPECT_EQ(Integration_math::weighted_mean(make_doubles({10, 20}, block),
                                              make_doubles({1, -1}, block), 0, -1),
              D);
  }
  // Other types are read as doubles, their own dummy included.
  const Multi_vector shorts = make_vector<std::int16_t>({4, -32767, 7, 1}, true);
  EXPECT_EQ(Integration_math::sum(shorts, 0, -1), 12.0);
  EXPECT_EQ(Integration_math::mean(shorts, 1, 2), 7.0);
  EXPECT_TRUE(fails_contract_in([&] { Integration_math::sum(shorts, 2, 3); },
                                "src/storage/multi_vector.cpp"));
}

// Chunk partial states, each summed in index order and combined in chunk order.
struct Reference {
  double sum = 0, mean = 0, weighted = 0;
};

Reference chunked_reference(const std::vector<double>& v, const std::vector<double>& w,
                            std::int64_t start, std::int64_t count, std::int64_t min_block,
                            int processors) {
  const auto plan = vorlith::parallel::plan_chunks(count, min_block, processors);
  double sum = 0, vw = 0, ws = 0;
  std::int64_t valid = 0;
  for (int t = 0; t < plan.threads; ++t) {
    const std::int64_t first = start + t * plan.chunk;
    const std::int64_t last = t == plan.threads - 1 ? start + count : first + plan.chunk;
    double s = 0, svw = 0, sw = 0;
    for (std::int64_t i = first; i < last; ++i) {
      const auto k = static_cast<std::size_t>(i);
      if (v[k] != D) {
        s += v[k];
        ++valid;
      }
      if (v[k] != D && w[k] != D) {
        svw += v[k] * w[k];
        sw += w[k];
      }
    }
    sum += s;
    vw += svw;
    ws += sw;
  }
  return {sum, sum / static_cast<double>(valid), vw / ws};
}

TEST(Statistics, ReductionsAcrossChunksAndBlocksMatchTheChunkOrder) {
  const std::int64_t n = 10000;
  std::vector<double> v(n), w(n);
  for (std::int64_t i = 0; i < n; ++i) {
    v[static_cast<std::size_t>(i)] = i % 37 == 5 ? D : 0.1 * static_cast<double>(i % 1013) - 3.7;
    w[static_cast<std::size_t>(i)] = i % 41 == 3 ? D : 1.0 + 0.01 * static_cast<double>(i % 89);
  }
  Small_blocks small(1000, 3);
  for (bool block : {false, true}) {
    SCOPED_TRACE(block ? "block" : "contiguous");
    const Multi_vector values = make_doubles(v, block);
    const Multi_vector weights = make_doubles(w, block);
    for (std::int64_t start : {0, 511}) {
      const std::int64_t count = n - start - 7;
      const Reference r = chunked_reference(v, w, start, count, 1000, 3);
      EXPECT_EQ(Integration_math::sum(values, start, count), r.sum);
      EXPECT_EQ(Integration_math::mean(values, start, count), r.mean);
      EXPECT_EQ(Integration_math::weighted_mean(values, weights, start, count), r.weighted);
    }
  }
  // The converted path (a float vector, a double weight) reads the same values.
  std::vector<float> f(v.begin(), v.end());
  std::vector<double> widened;
  for (float x : f) widened.push_back(x == -1.0e32f ? D : x);
  const Reference r = chunked_reference(widened, w, 0, n, 1000, 3);
  EXPECT_EQ(Integration_math::weighted_mean(make_vector<float>(f, true), make_doubles(w), 0, n),
            r.weighted);
}

TEST(DuplicateStats, PairsPrimariesWithTheirDuplicates) {
  for (bool block : {false, true}) {
    SCOPED_TRACE(block ? "block" : "contiguous");
    Multi_vector mean(type_double, block, 0);
    Multi_vector difference(type_double, block, 9);
    // A later primary replaces a pending one; dummies and other codes are skipped.
    Integration_math::duplicate_stats(make_doubles({10, 12, 5, 1, 3, D, 9, 0, 4}, block),
                                      make_doubles({1, 2, 1, 1, 3, 2, 2, 2, 2}, block), mean,
                                      difference, 0, -1);
    EXPECT_EQ(values_of<double>(mean), (std::vector<double>{11, 11, D, 5, D, D, 5, D, D}));
    EXPECT_EQ(values_of<double>(difference), (std::vector<double>{1, -1, D, 4, D, D, -4, D, D}));
  }
}

TEST(DuplicateStats, PairsAcrossBlockAndPieceBordersAndConvertsOtherTypes) {
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
      Integration_math::duplicate_stats(
          make_doubles(values, block),
          make_vector<std::int32_t>({codes.begin(), codes.end()}, block), mean, difference, 0, -1);
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
  Multi_vector mean(type_double, false, 0), difference(type_double, false, 0);
  Integration_math::duplicate_stats(make_vector<std::int16_t>({100, 300}, false),
                                    make_doubles({1, 2}), mean, difference, 0, -1);
  EXPECT_EQ(values_of<double>(mean), (std::vector<double>{200, 200}));
  EXPECT_EQ(values_of<double>(difference), (std::vector<double>{100, -100}));
  EXPECT_TRUE(fails_contract_in(
      [&] {
        Integration_math::duplicate_stats(make_opaque({"a"}, 4, false), make_doubles({1}), mean,
                                          difference, 0, -1);
      },
      "src/math/statistics.cpp"));
}

}  // namespace
