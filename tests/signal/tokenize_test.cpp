#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

constexpr double D = -1.0e32;
constexpr double inf = std::numeric_limits<double>::infinity();

std::vector<double> tokenize(const std::string& text, const std::string& delimiters,
                             bool block = false) {
  Multi_vector out(Legacy_type(type_double), block, 0);
  Integration_string::tokenize_to_doubles(text, delimiters, out);
  return values_of<double>(out);
}

TEST(Tokenize, DelimitersAreASetAndRunsSeparateOnce) {
  EXPECT_EQ(tokenize("1,2,3", ","), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(tokenize("1,,2", ","), (std::vector<double>{1, 2}));
  EXPECT_EQ(tokenize(",1,", ","), (std::vector<double>{D, 1, D}));
  EXPECT_EQ(tokenize("1 2\t3", " \t"), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(tokenize("1  2", " "), (std::vector<double>{1, 2}));
  EXPECT_EQ(tokenize("1, 2", ","), (std::vector<double>{1, D}));
  EXPECT_EQ(tokenize("1, 2", ", "), (std::vector<double>{1, 2}));
  EXPECT_EQ(tokenize("4;,;5", ",;"), (std::vector<double>{4, 5}));
  EXPECT_EQ(tokenize("1.5", ""), (std::vector<double>{1.5}));
  EXPECT_EQ(tokenize("1.5 2", ""), (std::vector<double>{D}));
  EXPECT_EQ(tokenize("", ","), (std::vector<double>{D}));
  EXPECT_EQ(tokenize("", ""), (std::vector<double>{D}));
  EXPECT_EQ(tokenize(",", ","), (std::vector<double>{D, D}));
  EXPECT_EQ(tokenize("7|8", "|", true), (std::vector<double>{7, 8}));
}

TEST(Tokenize, PieceSpellings) {
  const std::vector<double> numbers =
      tokenize("1e3;-2.5;+4;.5;6.;1E-2;-0;abc; 1;1 ;1e;1E;1+;1-;1e+;-", ";");
  const std::vector<double> expected{1000, -2.5, 4, 0.5, 6, 0.01, -0.0, D, D, D, D, D, D, D, D, D};
  ASSERT_EQ(numbers.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(numbers[i], expected[i]) << "piece " << i;
  EXPECT_TRUE(std::signbit(numbers[6]));

  const std::vector<double> special =
      tokenize("1e3;-inf;NaN;INF;+Infinity;-infinity;nan;-NAN;infx", ";");
  ASSERT_EQ(special.size(), 9u);
  EXPECT_EQ(special[0], 1000);
  EXPECT_EQ(special[1], -inf);
  EXPECT_TRUE(std::isnan(special[2]));
  EXPECT_EQ(special[3], inf);
  EXPECT_EQ(special[4], inf);
  EXPECT_EQ(special[5], -inf);
  EXPECT_TRUE(std::isnan(special[6]));
  EXPECT_TRUE(std::isnan(special[7]));
  EXPECT_EQ(special[8], D);
}

TEST(Tokenize, ReplacesPreviousContents) {
  Multi_vector out = make_doubles(std::vector<double>(10, 42.0));
  Integration_string::tokenize_to_doubles("3 4", " ", out);
  EXPECT_EQ(values_of<double>(out), (std::vector<double>{3, 4}));
}

TEST(Tokenize, NonDoubleOutputFailsBeforeItChanges) {
  Multi_vector ints = make_vector<std::int32_t>({5, 6, 7}, false);
  EXPECT_TRUE(fails_contract([&] { Integration_string::tokenize_to_doubles("1,2", ",", ints); },
                             "tokenize_to_doubles: the output is int32, not double"));
  EXPECT_EQ(values_of<std::int32_t>(ints), (std::vector<std::int32_t>{5, 6, 7}));

  Multi_vector text = make_opaque({"ab"}, 8, false);
  EXPECT_TRUE(fails_contract([&] { Integration_string::tokenize_to_doubles("1", ",", text); },
                             "tokenize_to_doubles: the output is opaque(8), not double"));
  EXPECT_EQ(text.get_length(), 1);
}

}  // namespace
