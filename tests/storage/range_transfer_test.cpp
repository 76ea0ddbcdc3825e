#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <numeric>
#include <vector>

#include "storage/window_reader.h"
#include "support/contracts.h"
#include "support/typed_lists.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

template <class T>
class TransferEveryType : public ::testing::Test {};
TYPED_TEST_SUITE(TransferEveryType, all_value_types);

// Ranges that start and end inside blocks, in both modes: raw copies keep every byte,
// reads as double and int64 give the value or the dummy, and writing the doubles back
// restores the elements.
TYPED_TEST(TransferEveryType, RangesKeepBytesAndConvertValues) {
  using T = TypeParam;
  const Legacy_type type(vorlith::types::type_traits<T>::code);
  const std::int64_t per_block = 4096 / static_cast<std::int64_t>(sizeof(T));
  const std::int64_t n = 2 * per_block + 7, start = per_block - 3, count = per_block + 5;
  const auto values = pattern_with_dummies<T>(n);
  const auto at = [&](std::int64_t k) { return values[static_cast<std::size_t>(start + k)]; };
  for (bool block : {false, true}) {
    const Multi_vector v = make_vector(values, block);
    std::vector<T> raw(static_cast<std::size_t>(count));
    v.get_range(type, start, count, raw.data());
    Multi_vector copy(type, !block, 0);
    copy.set_range(start, count, raw.data());
    const auto copied = values_of<T>(copy);
    EXPECT_TRUE(
        same_elements(std::vector<T>(copied.begin() + start, copied.end()),
                      std::vector<T>(values.begin() + start, values.begin() + start + count)));
    if constexpr (!vorlith::types::is_point_v<T>) {
      std::vector<double> doubles(static_cast<std::size_t>(count));
      std::vector<std::int64_t> ints(static_cast<std::size_t>(count));
      v.get_range_double(start, count, doubles.data());
      v.get_range_int64(start, count, ints.data());
      Multi_vector w(type, block, 0);
      w.set_range_double(start, count, doubles.data());
      const auto written = values_of<T>(w);
      for (std::int64_t k = 0; k < count; ++k) {
        const bool dummy = same_bytes(at(k), vorlith::types::typed_dummy<T>());
        const auto i = static_cast<std::size_t>(k);
        ASSERT_EQ(doubles[i], dummy ? -1e32 : static_cast<double>(at(k))) << k;
        ASSERT_EQ(ints[i], dummy ? vorlith::types::typed_dummy<std::int64_t>()
                                 : static_cast<std::int64_t>(at(k)))
            << k;
        ASSERT_TRUE(same_bytes(written[static_cast<std::size_t>(start + k)], at(k))) << k;
      }
    }
  }
}

TEST(RangeTransfer, OutputRangesLengthenWithZeros) {
  Multi_vector f(type_float, false, 5);
  const double in[4] = {1.5, -1e32, 3, 1e39};
  f.set_range_double(8, 4, in);
  EXPECT_EQ(doubles_of(f),
            (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 0, 1.5, -1e32, 3, 3.4028234663852886e38}));
  double none = 7;
  Multi_vector empty(type_int16, false, 0);
  empty.get_range_double(0, -1, &none);
  EXPECT_EQ(none, 7);
  EXPECT_TRUE(fails_contract([&] { empty.get_range_double(0, 1, &none); },
                             "validate_input_range: start 0 and count 1 pass the length 0"));
}

TEST(RangeTransfer, OpaqueRawCopiesKeepBytes) {
  for (bool block : {false, true}) {
    Multi_vector v(Legacy_type(std::int64_t{5}), block, 0);
    const char bytes[10] = {' ', 'a', 0, 'z', 'z', '*', 0, 0, 0, 'q'};
    v.set_range(0, 2, bytes);
    char back[10];
    v.get_range(Legacy_type(std::int64_t{5}), 0, 2, back);
    EXPECT_EQ(std::memcmp(bytes, back, 10), 0);
    double d[2];
    v.get_range_double(0, 2, d);
    EXPECT_EQ(d[1], -1e32);
  }
}

TEST(RangeTransfer, ExpandedReadFillsOutsideWithDummies) {
  const Multi_vector v = make_doubles({1, 2, 3});
  std::vector<double> out(7);
  v.get_expanded_range_double(0, 3, 2, 2, out.data());
  EXPECT_EQ(out, (std::vector<double>{-1e32, -1e32, 1, 2, 3, -1e32, -1e32}));
  out.assign(6, 0);
  v.get_expanded_range_double(1, 1, 5, 0, out.data());
  EXPECT_EQ(out, (std::vector<double>{-1e32, -1e32, -1e32, -1e32, 1, 2}));
  EXPECT_TRUE(fails_contract([&] { v.get_expanded_range_double(0, 1, -1, 0, out.data()); },
                             "get_expanded_range_double: before -1 is negative"));
}

TEST(WindowReader, WindowsAtBothEndsAndAcrossPieces) {
  const std::int64_t n = 20000;
  std::vector<double> values(static_cast<std::size_t>(n));
  std::iota(values.begin(), values.end(), 0.0);
  for (bool block : {false, true}) {
    const Multi_vector a = make_doubles(values, block);
    const Multi_vector b = make_doubles(values, !block);
    vorlith::storage::Window_reader<2> reader({&a, &b}, 2, 1);
    std::int64_t expected_index = 0;
    reader.for_each_window(0, n, [&](std::int64_t index, const auto& windows) {
      ASSERT_EQ(index, expected_index++);
      for (std::int64_t j = 0; j < 4; ++j) {
        const std::int64_t element = index - 2 + j;
        const double expected = element < 0 || element >= n ? -1e32 : static_cast<double>(element);
        ASSERT_EQ(windows[0][j], expected);
        ASSERT_EQ(windows[1][j], expected);
      }
    });
    EXPECT_EQ(expected_index, n);
  }
}

}  // namespace
