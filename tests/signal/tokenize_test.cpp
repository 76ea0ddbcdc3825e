#include <gtest/gtest.h>
#include <vorlith/integration.h>

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

// Delimiters are a set and a run of them separates once; a piece must be a whole number.
TEST(Tokenize, DelimitersAndPieceSpellings) {
  EXPECT_EQ(tokenize("1,,2", ","), (std::vector<double>{1, 2}));
  EXPECT_EQ(tokenize(",1,", ","), (std::vector<double>{D, 1, D}));
  EXPECT_EQ(tokenize("1 2\t3", " \t"), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(tokenize("1, 2", ","), (std::vector<double>{1, D}));
  EXPECT_EQ(tokenize("1, 2", ", "), (std::vector<double>{1, 2}));
  EXPECT_EQ(tokenize("4;,;5", ",;"), (std::vector<double>{4, 5}));
  EXPECT_EQ(tokenize("1.5", ""), (std::vector<double>{1.5}));
  EXPECT_EQ(tokenize("1.5 2", ""), (std::vector<double>{D}));
  EXPECT_EQ(tokenize("", ","), (std::vector<double>{D}));
  EXPECT_EQ(tokenize("", ""), (std::vector<double>{D}));
  EXPECT_EQ(tokenize(",", ","), (std::vector<double>{D, D}));
  EXPECT_EQ(tokenize("7|8", "|", true), (std::vector<double>{7, 8}));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(same_doubles(tokenize("1e3;-2.5;+4;.5;6.;1E-2;-0;abc; 1;1 ;1e;1E;1+;1-;1e+;-", ";"),
                           {1000, -2.5, 4, 0.5, 6, 0.01, -0.0, D, D, D, D, D, D, D, D, D}));
  EXPECT_TRUE(same_doubles(tokenize("-inf;NaN;INF;+Infinity;-infinity;nan;-NAN;infx", ";"),
                           {-inf, nan, inf, inf, -inf, nan, nan, D}));
  // Earlier contents are replaced.
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
