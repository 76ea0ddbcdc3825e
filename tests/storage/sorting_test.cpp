#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/contracts.h"
#include "support/typed_lists.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

// Reference order, written independently of the library: values, points by x then y then z.
template <class T>
bool reference_less(const T& a, const T& b) {
  if constexpr (vorlith::types::is_point_v<T>) {
    if constexpr (requires { a.z; })
      return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
    else
      return std::tie(a.x, a.y) < std::tie(b.x, b.y);
  } else {
    return a < b;
  }
}

template <class T>
class SortEveryType : public ::testing::Test {};
TYPED_TEST_SUITE(SortEveryType, all_value_types);

// Both sorts in both directions and modes agree with a reference sort over several
// blocks; the dummies land where their stored value puts them.
TYPED_TEST(SortEveryType, MatchesReferenceOrderInBothDirectionsAndModes) {
  using T = TypeParam;
  // Past the length where the unstable sort of numbers sorts by bits.
  const std::int64_t n = 8192 + 2 * (4096 / static_cast<std::int64_t>(sizeof(T))) + 7;
  const auto values = pattern_with_dummies<T>(n);
  for (bool block : {false, true}) {
    for (bool desc : {false, true}) {
      auto expected = values;
      std::stable_sort(expected.begin(), expected.end(), [&](const T& a, const T& b) {
        return desc ? reference_less(b, a) : reference_less(a, b);
      });
      for (bool stable : {false, true}) {
        Multi_vector v = make_vector(values, block);
        EXPECT_FALSE(v.is_sorted(desc, false));
        stable ? v.stable_sort(desc, false) : v.sort(desc, false);
        EXPECT_TRUE(same_elements(values_of<T>(v), expected)) << block << desc << stable;
        EXPECT_TRUE(v.is_sorted(desc, false));
        EXPECT_EQ(v.is_block_vector(), block);
      }
    }
  }
}

// The tolerant rule calls near-equal values equal, so the stable sort keeps their
// input order in both directions; the exact rule of sort and is_sorted does not.
TEST(Sort, StableSortKeepsTolerantTiesInInputOrder) {
  const double a = 1.0, b = 1.0 + 1e-15;
  for (bool block : {false, true}) {
    for (bool desc : {false, true}) {
      Multi_vector v = make_doubles({b, 3.0, a, 0.5}, block);
      v.stable_sort(desc, false);
      EXPECT_EQ(values_of<double>(v), desc ? (std::vector<double>{3.0, b, a, 0.5})
                                           : (std::vector<double>{0.5, b, a, 3.0}));
    }
    Multi_vector exact = make_doubles({a, b}, block);
    EXPECT_TRUE(exact.is_sorted(false, false));
    EXPECT_FALSE(exact.is_sorted(true, false));
    exact.sort(true, false);
    EXPECT_EQ(values_of<double>(exact), (std::vector<double>{b, a}));

    const float f1 = std::nextafter(2.0f, 0.0f), f2 = 2.0f;  // within 1e-7 relative
    Multi_vector floats = make_vector<float>({f2, f1}, block);
    floats.stable_sort(false, false);
    EXPECT_EQ(values_of<float>(floats), (std::vector<float>{f2, f1}));
    floats.sort(false, false);
    EXPECT_EQ(values_of<float>(floats), (std::vector<float>{f1, f2}));

    using P = vorlith::common::Point_2d<double>;
    Multi_vector points = make_vector<P>({{2, 1}, {1, 2}, {1 + 1e-15, 1}}, block);
    points.stable_sort(false, false);  // x ties tolerantly, so y decides
    const auto p = values_of<P>(points);
    EXPECT_TRUE(p[0].x == 1 + 1e-15 && p[1].y == 2 && p[2].x == 2);
  }
}

// NaN orders after every number (before them descending) and never breaks a sort.
TEST(Sort, NanOrdersAfterNumbersWithoutBreakingTheSorts) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> values, numbers;  // long enough for the sorts' partitioning paths
  for (int i = 0; i < 9000; ++i) values.push_back(i % 4 == 0 ? nan : (i * 37) % 101 - 50);
  for (double x : values)
    if (!std::isnan(x)) numbers.push_back(x);
  std::sort(numbers.begin(), numbers.end());
  for (bool block : {false, true}) {
    for (bool stable : {false, true}) {
      for (bool desc : {false, true}) {
        Multi_vector v = make_doubles(values, block);
        stable ? v.stable_sort(desc, false) : v.sort(desc, false);
        auto got = values_of<double>(v);
        EXPECT_TRUE(v.is_sorted(desc, false));
        if (desc) std::reverse(got.begin(), got.end());
        EXPECT_TRUE(
            std::all_of(got.begin() + 6750, got.end(), [](double x) { return std::isnan(x); }));
        EXPECT_TRUE(std::equal(numbers.begin(), numbers.end(), got.begin()));
      }
    }
  }
  using P = vorlith::common::Point_2d<float>;
  const float fnan = std::numeric_limits<float>::quiet_NaN();
  Multi_vector points = make_vector<P>({{fnan, 1}, {1, fnan}, {1, 0}, {0, 5}}, true);
  points.sort(false, false);
  const auto p = values_of<P>(points);
  EXPECT_TRUE(p[0].x == 0 && p[1].y == 0 && std::isnan(p[2].y) && std::isnan(p[3].x));
}

// The record paths (8, 12, 16, 24, 4096) and the general path (5, 100) give the
// order of a reference stable sort under either case rule, in both modes. (Empty
// vectors: tests/hardening.)
TEST(Sort, OpaqueWidthsGiveOneOrder) {
  const std::string alphabet = "aAbB zZ*\xE9";
  std::mt19937 random(3);
  std::vector<std::string> texts(600);
  for (auto& t : texts)
    for (std::size_t k = random() % 5; k > 0; --k) t += alphabet[random() % alphabet.size()];
  for (bool insensitive : {false, true}) {
    const auto compare =
        insensitive ? compare_opaque_case_insensitive : compare_opaque_case_sensitive;
    const auto rule = [&](const std::string& a, const std::string& b) {
      char fa[8] = {}, fb[8] = {};
      std::memcpy(fa, a.data(), a.size());
      std::memcpy(fb, b.data(), b.size());
      return compare(fa, fb, 8);
    };
    for (bool desc : {false, true}) {
      auto expected = texts;
      std::stable_sort(expected.begin(), expected.end(), [&](const auto& a, const auto& b) {
        return desc ? rule(a, b) > 0 : rule(a, b) < 0;
      });
      for (std::int64_t width : {5, 8, 12, 16, 24, 100, 4096}) {
        for (bool block : {false, true}) {
          Multi_vector stable = make_opaque(texts, width, block);
          stable.stable_sort(desc, insensitive);
          Multi_vector unstable = make_opaque(texts, width, block);
          unstable.sort(desc, insensitive);
          EXPECT_TRUE(unstable.is_sorted(desc, insensitive));
          EXPECT_FALSE(unstable.is_sorted(desc, !insensitive));  // the rules differ here
          std::vector<std::string> from_stable, from_unstable;
          for (std::int64_t i = 0; i < stable.get_length(); ++i) {
            from_stable.push_back(opaque_text(stable, i));
            from_unstable.push_back(opaque_text(unstable, i));
            // The unstable sort may order equal texts either way, but no further.
            ASSERT_EQ(rule(from_unstable.back(), expected[static_cast<std::size_t>(i)]), 0)
                << width << " " << i;
          }
          ASSERT_EQ(from_stable, expected) << "width " << width << " block " << block;
          std::sort(from_unstable.begin(), from_unstable.end());
          auto all = texts;
          std::sort(all.begin(), all.end());
          ASSERT_EQ(from_unstable, all) << "width " << width;  // a permutation of the input
        }
      }
    }
  }
}

}  // namespace
