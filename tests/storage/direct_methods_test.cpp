#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <string>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
using X = Export_direct_methods;

constexpr double D = -1e32;

TEST(DirectMethods, CopyRunsItsThreeCallsInOrder) {
  Multi_vector b = make_vector<std::int32_t>({10, 20, 30, 40}, true);
  Multi_vector a = make_doubles({});
  X::copy(a, b, 1, 2);
  EXPECT_EQ(values_of<double>(a), (std::vector<double>{20, 30, 30, 40}));
  Multi_vector whole = make_doubles({7});
  X::copy(whole, b, 0, -1);
  EXPECT_EQ(values_of<double>(whole), (std::vector<double>{10, 20, 30, 40}));
  Multi_vector c = make_doubles({});
  EXPECT_TRUE(fails_contract([&] { X::copy(c, b, 3, 2); },
                             "validate_input_range: start 3 and count 2 pass the length 4"));
}

TEST(DirectMethods, SearchesReportOnlyTheirRangeChecks) {
  Multi_vector empty = make_doubles({});
  X::finddummy(empty, 0, -1);
  X::findnondummy(empty, 0, -1);
  X::countdummy(empty, 0, -1);
  for (auto* search : {X::reverse_finddummy, X::reverse_findnondummy})
    EXPECT_TRUE(fails_contract([&] { search(empty, 0, -1); },
                               "validate_reverse_input_range: start 0 is outside the length 0"));
  Multi_vector v = make_doubles({1, D});
  EXPECT_TRUE(fails_contract([&] { X::countdummy(v, 1, 2); },
                             "validate_input_range: start 1 and count 2 pass the length 2"));
}

TEST(DirectMethods, MaskSortDecimateAndSelfErase) {
  Multi_vector a = make_doubles({D, 2, D});
  X::mask(a);
  EXPECT_EQ(values_of<double>(a), (std::vector<double>{D, 2, D}));
  X::erase_mask(a, 0, -1);
  EXPECT_EQ(values_of<double>(a), (std::vector<double>{2}));

  Multi_vector r = make_doubles({1, 2, 3, 4, 5});
  X::replace(r, 2);
  EXPECT_EQ(values_of<double>(r), (std::vector<double>{1, 3, 5}));
  X::sort(r, true);
  EXPECT_EQ(values_of<double>(r), (std::vector<double>{5, 3, 1}));
  const double three = 3, nine = 9;
  X::replace(r, &three, &nine, 0, -1);
  X::reverse(r);
  EXPECT_EQ(values_of<double>(r), (std::vector<double>{1, 9, 5}));

  Multi_vector text = make_opaque({"b", "B", "a"}, 4, false);
  X::sort(text, false);  // case-sensitive
  EXPECT_EQ(opaque_text(text, 0) + opaque_text(text, 1) + opaque_text(text, 2), "Bab");
  X::strupr(text, 1, 2);
  EXPECT_EQ(opaque_text(text, 1) + opaque_text(text, 2), "AB");
}

TEST(DirectMethods, EditingAndTransferForwards) {
  Multi_vector a = make_doubles({1, 2, 3});
  Multi_vector b = make_vector<std::int16_t>({7, 8, 9}, true);
  X::append(a, b, 1, 2);
  X::insert_dummies(a, 1, 1);
  X::erase(a, 0, 1);
  EXPECT_EQ(values_of<double>(a), (std::vector<double>{D, 2, 3, 8, 9}));

  const double in[2] = {4.5, 5.5};
  X::set_range_double(a, 0, 2, in);
  X::set_range(a, Legacy_type(type_int16), 2, 1, b.get_data(0));  // b[0] = 7
  double out[5];
  X::get_range_double(a, 0, -1, out);
  EXPECT_EQ(std::vector<double>(out, out + 5), (std::vector<double>{4.5, 5.5, 7, 8, 9}));
  std::int16_t small[2];
  X::get_range(a, Legacy_type(type_int16), 3, 2, small);
  EXPECT_EQ(small[1], 9);
  double raw[1];
  X::get_range(a, 1, 1, raw);
  X::set_range(a, 4, 1, raw);
  EXPECT_EQ(a.get_double(4), 5.5);
}

}  // namespace
