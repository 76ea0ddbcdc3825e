#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

std::vector<std::int64_t> index_values(const Multi_vector& index) {
  std::vector<std::int64_t> out(static_cast<std::size_t>(index.get_length()));
  index.get_range_int64(0, -1, out.data());
  return out;
}

TEST(SortIndex, EqualKeysGiveTheIdentityAndShortKeysTheTrivialIndex) {
  for (bool desc : {false, true}) {
    Multi_vector index(Legacy_type(type_int64), false, 0);
    Multi_vector::sort_index_1(index, make_doubles({2, 2, 2 + 1e-15, 2}), desc, true);
    EXPECT_EQ(index_values(index), (std::vector<std::int64_t>{0, 1, 2, 3}));
    Multi_vector::sort_index_1(index, make_doubles({7}), desc, true);
    EXPECT_EQ(index_values(index), (std::vector<std::int64_t>{0}));
    Multi_vector::sort_index_1(index, make_doubles({}), desc, true);
    EXPECT_EQ(index.get_length(), 0);
  }
}

// One numeric key over several blocks, with ties, dummies and NaN: a stable order by
// value, NaN last ascending and first descending, ties in increasing position.
TEST(SortIndex, OneKeyMatchesAReferenceStableOrder) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::mt19937 random(11);
  std::vector<double> keys(3000);
  for (auto& k : keys) {
    const unsigned r = random() % 40;
    k = r == 0 ? nan : r == 1 ? -1e32 : static_cast<double>(r % 13);
  }
  const auto rank = [](double x) {
    return std::isnan(x) ? std::numeric_limits<double>::infinity() : x;
  };
  for (bool desc : {false, true}) {
    std::vector<std::int64_t> expected(keys.size());
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](std::int64_t p, std::int64_t q) {
      return desc ? rank(keys[q]) < rank(keys[p]) : rank(keys[p]) < rank(keys[q]);
    });
    const Multi_vector key = make_doubles(keys);
    Multi_vector index32(Legacy_type(type_int32), false, 0);
    Multi_vector::sort_index_1(index32, key, desc, true);
    EXPECT_EQ(index_values(index32), expected);
    // The same order with sort_index_on_data's reversed flag sense.
    Multi_vector index64(Legacy_type(type_int64), true, 9);
    index64.sort_index_on_data(key, false, !desc);
    EXPECT_EQ(index_values(index64), expected);
    // An integer key of the same order (NaN highest, the dummy lowest) sorts alike.
    std::vector<std::int16_t> small(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
      small[i] = std::isnan(keys[i]) ? 32000
                 : keys[i] < -1      ? -32000
                                     : static_cast<std::int16_t>(keys[i]);
    Multi_vector::sort_index_1(index32, make_vector<std::int16_t>(small, false), desc, true);
    EXPECT_EQ(index_values(index32), expected);
  }
}

// Four keys of different types, directions alternating, against a reference order. Text
// keys ignore case and spaces; NaN float keys order above every number, so first in the
// descending key.
TEST(SortIndex, FourKeysOfMixedTypes) {
  using P = vorlith::common::Point_2d<float>;
  std::mt19937 random(5);
  const std::size_t n = 900;
  std::vector<std::string> texts(n);
  std::vector<float> floats(n);
  std::vector<P> points(n);
  std::vector<std::uint8_t> bytes(n);
  const std::string letters[] = {"a", " A", "b  ", " B"};  // equal in pairs: case and spaces
  for (std::size_t i = 0; i < n; ++i) {
    texts[i] = letters[random() % 4];
    const unsigned f = random() % 4;
    floats[i] = f == 3 ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(f) * 0.5f;
    points[i] = {static_cast<float>(random() % 2), static_cast<float>(random() % 3)};
    bytes[i] = static_cast<std::uint8_t>(random() % 4);
  }
  const auto up = [](const std::string& s) {
    return static_cast<char>(std::toupper(s[s.find_first_not_of(' ')]));
  };
  const auto rank = [&](std::int64_t p) {
    return std::isnan(floats[p]) ? std::numeric_limits<float>::infinity() : floats[p];
  };
  std::vector<std::int64_t> expected(n);
  std::iota(expected.begin(), expected.end(), 0);
  std::stable_sort(expected.begin(), expected.end(), [&](std::int64_t p, std::int64_t q) {
    if (up(texts[p]) != up(texts[q])) return up(texts[p]) < up(texts[q]);  // ascending
    if (rank(p) != rank(q)) return rank(p) > rank(q);                      // descending
    if (points[p].x != points[q].x) return points[p].x < points[q].x;      // ascending
    if (points[p].y != points[q].y) return points[p].y < points[q].y;
    return bytes[p] > bytes[q];  // descending
  });
  std::vector<std::int64_t> two(n);  // the order of the first two keys alone
  std::iota(two.begin(), two.end(), 0);
  std::stable_sort(two.begin(), two.end(), [&](std::int64_t p, std::int64_t q) {
    return up(texts[p]) != up(texts[q]) ? up(texts[p]) < up(texts[q]) : rank(p) > rank(q);
  });
  const Multi_vector k1 = make_opaque(texts, 3, false), k2 = make_vector(floats, true),
                     k3 = make_vector(points, false), k4 = make_vector(bytes, false);
  Multi_vector index(Legacy_type(type_int64), false, 0);
  Multi_vector::sort_index_4(index, k1, false, k2, true, k3, false, k4, true);
  EXPECT_EQ(index_values(index), expected);
  Multi_vector::sort_index_2(index, k1, false, k2, true);
  EXPECT_EQ(index_values(index), two);
  // Three keys: the fourth no longer breaks ties, which then stay in position order.
  Multi_vector::sort_index_3(index, k1, false, k2, true, k3, false);
  const auto three = index_values(index);
  for (std::size_t i = 1; i < n; ++i) {
    const auto p = three[i - 1], q = three[i];
    if (up(texts[p]) == up(texts[q]) && rank(p) == rank(q) && points[p] == points[q]) {
      EXPECT_LT(p, q);
    }
  }
}

TEST(SortIndex, OpaqueCaseFlagsOfTheOneKeySorts) {
  const Multi_vector key = make_opaque({"b", "B", "a"}, 4, false);
  Multi_vector index(Legacy_type(type_int32), false, 0);
  Multi_vector::sort_index_1(index, key, false, true);  // case-sensitive: 'B' < 'a' < 'b'
  EXPECT_EQ(index_values(index), (std::vector<std::int64_t>{1, 2, 0}));
  Multi_vector::sort_index_1(index, key, false, false);
  EXPECT_EQ(index_values(index), (std::vector<std::int64_t>{2, 0, 1}));
  index.sort_index_on_data(key, true, true);
  EXPECT_EQ(index_values(index), (std::vector<std::int64_t>{2, 0, 1}));
}

TEST(SortIndex, BadIndexTypeAndKeyLengthsAreContractFailures) {
  const Multi_vector key = make_doubles({3, 1, 2});
  Multi_vector bad(Legacy_type(type_double), false, 0);
  EXPECT_TRUE(fails_contract([&] { Multi_vector::sort_index_1(bad, key, false, true); },
                             "index sort: the index vector has type code 9, not int32 or int64"));
  EXPECT_EQ(bad.get_length(), 3);  // resized before the type is checked
  Multi_vector index(Legacy_type(type_int32), false, 1);
  const Multi_vector shorter = make_doubles({1, 2});
  const auto four = [&] { Multi_vector::sort_index_4(index, key, 0, key, 0, key, 0, shorter, 0); };
  EXPECT_TRUE(fails_contract(four, "sort_index_4: key4 length 2 differs from key1 length 3"));
  EXPECT_EQ(index.get_length(), 1);
}

TEST(InsertIndex, GathersAndWritesDummiesForPositionsOutsideTheSource) {
  const double d = vorlith::types::typed_dummy<double>();
  const Multi_vector source = make_doubles({10, 20, 30});
  const Multi_vector index = make_doubles({2, -1, 3, d, 0.5, 1.49});  // 0.5 rounds away from zero
  Multi_vector out = make_doubles({});
  out.insert_index(source, index, 0, -1);
  EXPECT_EQ(values_of<double>(out), (std::vector<double>{30, d, d, d, 20, 20}));
  Multi_vector part = make_doubles({1, 1, 1, 1});
  part.insert_index(source, index, 1, 2);
  EXPECT_EQ(values_of<double>(part), (std::vector<double>{1, d, d, 1}));
  Multi_vector text = make_opaque({"x"}, 5, false);
  const Multi_vector words = make_opaque({"ab", "cd"}, 5, true);
  text.insert_index(words, make_vector<std::int32_t>({1, 2, 0}, false), 0, -1);
  EXPECT_TRUE(opaque_text(text, 0) == "cd" && text.is_element_dummy(1) &&
              opaque_text(text, 2) == "ab");
  Multi_vector floats(Legacy_type(type_float), false, 0);
  EXPECT_TRUE(fails_contract([&] { floats.insert_index(source, index, 0, -1); },
                             "insert_index: the source type differs from this vector's"));
  // The vector may gather from itself: here reversed, over several blocks.
  std::vector<std::int32_t> values(700), reversed(700);
  for (std::int32_t i = 0; i < 700; ++i) values[i] = 3 * i, reversed[i] = 699 - i;
  for (bool block : {false, true}) {
    Multi_vector v = make_vector(values, block);
    v.insert_index(v, make_vector<std::int32_t>(reversed, !block), 0, -1);
    EXPECT_TRUE(std::equal(values.rbegin(), values.rend(), values_of<std::int32_t>(v).begin()));
  }
}

}  // namespace
