#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <random>
#include <vector>

#include "support/contracts.h"
#include "support/small_blocks.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

constexpr double D = -1.0e32;

std::vector<double> convolve(const std::vector<double>& input, const std::vector<double>& kernel,
                             bool keep) {
  Multi_vector in = make_doubles(input);
  Multi_vector out = make_doubles({42, 42});
  Integration_filter::convolution(in, out, kernel, keep);
  return values_of<double>(out);
}

TEST(Convolution, DocumentedExamplesAndInputsShorterThanTheKernel) {
  EXPECT_EQ(convolve({1, D, 3}, {1}, false), (std::vector<double>{1, D, 3}));
  EXPECT_EQ(convolve({1, 2, 3, 4, 5}, {1, 1, 1}, true), (std::vector<double>{D, 6, 9, 12, D}));
  EXPECT_EQ(convolve({0, 1, 0, 0}, {1, 2, 3}, true),
            (std::vector<double>{D, 2, 1, D}));  // not reversed
  EXPECT_EQ(convolve({1, 2, 3}, {1, 1}, true), (std::vector<double>{3, 5}));
  EXPECT_EQ(convolve({1, 2, 3, 4, 5, 6}, {1, 0, 0, 10}, true),
            (std::vector<double>{D, 41, 52, 63, D}));
  EXPECT_EQ(convolve({1, 2, D, 4, 5, 6, 7}, {1, 1, 1}, true),
            (std::vector<double>{D, D, D, D, 15, 18, D}));
  EXPECT_EQ(convolve({1, 2}, {1, 1, 1}, false), (std::vector<double>{}));
  EXPECT_EQ(convolve({1, 2}, {1, 1, 1}, true), (std::vector<double>{D, D}));
  EXPECT_EQ(convolve({1, 2, 3}, {1, 1, 1, 1, 1}, true), (std::vector<double>{D, D, D}));
  EXPECT_EQ(convolve({1, 2, 3}, {1, 1, 1, 1}, true), (std::vector<double>{D, D}));
  EXPECT_EQ(convolve({}, {1, 1}, true), (std::vector<double>{}));
  EXPECT_EQ(convolve({}, {1}, false), (std::vector<double>{}));
  EXPECT_EQ(convolve({1, 2, 3}, {}, true), (std::vector<double>{42, 42}));  // untouched

  Multi_vector same = make_doubles({1, 2, 3, 4});
  const std::vector<double> pair = {1, 1};
  EXPECT_TRUE(fails_contract([&] { Integration_filter::convolution(same, same, pair, false); },
                             "convolution: the output is the input vector itself"));
}

TEST(Convolution, MatchesDirectSumAcrossPieceAndThreadBorders) {
  const Small_blocks chunks(1000, 3);
  const std::int64_t n = 40011;  // three chunks of 13337, each crossing a piece border
  std::mt19937 engine(5);
  std::uniform_int_distribution<int> small(-200, 200);
  std::vector<double> input(n);
  for (double& v : input) v = small(engine) / 4.0;  // exact in every output type below
  for (std::int64_t i : {0L, 8190L, 8192L, 13336L, 13337L, 16390L, 26674L, 40010L}) input[i] = D;

  for (const std::vector<double>& kernel :
       {std::vector<double>{0.25, -1, 2, 0.5, 1}, std::vector<double>{1, -0.5, 3, 2},
        std::vector<double>{2}}) {
    const std::int64_t taps = static_cast<std::int64_t>(kernel.size());
    const std::int64_t h = (taps - 1) / 2;
    const std::int64_t computed = n - taps + 1;
    std::vector<double> expected(static_cast<std::size_t>(computed));
    for (std::int64_t i = 0; i < computed; ++i) {
      double sum = 0;
      bool dummy = false;
      for (std::int64_t t = 0; t < taps; ++t) {
        dummy = dummy || input[i + t] == D;
        sum += kernel[t] * input[i + t];
      }
      expected[i] = dummy ? D : sum;
    }
    for (bool keep : {false, true}) {
      Multi_vector out = make_doubles({}, true);  // a block output of a contiguous input
      Integration_filter::convolution(make_doubles(input), out, kernel, keep);
      const std::int64_t offset = keep ? h : 0;
      ASSERT_EQ(out.get_length(), computed + 2 * offset);
      for (std::int64_t i = 0; i < offset; ++i)
        EXPECT_TRUE(out.get_double(i) == D && out.get_double(offset + computed + i) == D) << i;
      for (std::int64_t i = 0; i < computed; ++i)
        ASSERT_NEAR(out.get_double(offset + i), expected[i], 1e-9) << "taps " << taps << " i " << i;
    }
    // Other element types in and out: int16 input, float output in block storage.
    std::vector<std::int16_t> shorts(input.size());
    for (std::size_t i = 0; i < input.size(); ++i)
      shorts[i] = input[i] == D ? std::int16_t{-32767} : static_cast<std::int16_t>(input[i] * 4);
    Multi_vector out(Legacy_type(type_float), true, 0);
    Integration_filter::convolution(make_vector<std::int16_t>(shorts, true), out, kernel, false);
    ASSERT_EQ(out.get_length(), computed);
    for (std::int64_t i = 0; i < computed; ++i) {
      const double want =
          expected[i] == D ? D : static_cast<double>(static_cast<float>(expected[i] * 4));
      ASSERT_EQ(out.get_double(i), want) << "taps " << taps << " i " << i;
    }
  }
}

}  // namespace
