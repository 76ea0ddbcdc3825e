#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <numeric>
#include <vector>

#include "storage/window_reader.h"
#include "support/contracts.h"
#include "support/small_blocks.h"
#include "support/typed_lists.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

template <class T>
class TransferEveryType : public ::testing::Test {};
TYPED_TEST_SUITE(TransferEveryType, all_value_types);

// Reads and writes through every typed path agree with element-by-element conversion,
// for ranges that start and end inside blocks, in both modes.
TYPED_TEST(TransferEveryType, TypedReadsAndWritesMatchElementConversion) {
  using T = TypeParam;
  const Legacy_type type(vorlith::types::type_traits<T>::code);
  const std::int64_t per_block = 4096 / static_cast<std::int64_t>(sizeof(T));
  const std::int64_t n = 2 * per_block + 7;
  const auto values = pattern_with_dummies<T>(n);
  for (bool block : {false, true}) {
    const Multi_vector v = make_vector(values, block);
    const std::int64_t start = per_block - 3, count = per_block + 5;

    std::vector<double> doubles(static_cast<std::size_t>(count));
    v.get_range_double(start, count, doubles.data());
    std::vector<std::int64_t> ints(static_cast<std::size_t>(count));
    v.get_range_int64(start, count, ints.data());
    std::vector<float> floats(static_cast<std::size_t>(count));
    v.get_range(Legacy_type(type_float), start, count, floats.data());
    for (std::int64_t k = 0; k < count; ++k) {
      const T& source = values[static_cast<std::size_t>(start + k)];
      double expected;
      type.convert_to_double(&source, &expected, 1);
      ASSERT_TRUE(same_bytes(doubles[static_cast<std::size_t>(k)], expected)) << k;
      std::int64_t expected_int;
      type.convert_to_int64(&source, &expected_int, 1);
      ASSERT_EQ(ints[static_cast<std::size_t>(k)], expected_int);
      float expected_float;
      type.convert_to(&source, &expected_float, Legacy_type(type_float), 1);
      ASSERT_TRUE(same_bytes(floats[static_cast<std::size_t>(k)], expected_float));
    }

    Multi_vector w(type, block, 0);
    w.set_range_double(start, count, doubles.data());
    EXPECT_EQ(w.get_length(), start + count);
    for (std::int64_t k = 0; k < count; ++k) {
      T expected;
      type.convert_from_double(&doubles[static_cast<std::size_t>(k)], &expected, 1);
      T stored;
      w.get(start + k, &stored);
      ASSERT_TRUE(same_bytes(stored, expected));
    }
    std::vector<T> raw(static_cast<std::size_t>(count));
    v.get_range(type, start, count, raw.data());
    Multi_vector copy(type, !block, 0);
    copy.set_range(start, count, raw.data());
    for (std::int64_t k = 0; k < count; ++k) {
      T stored;
      copy.get(start + k, &stored);
      ASSERT_TRUE(same_bytes(stored, values[static_cast<std::size_t>(start + k)]));
    }
  }
}

TEST(RangeTransfer, OutputRangesLengthenWithZeros) {
  for (bool block : {false, true}) {
    Multi_vector f(type_float, block, 5);
    const double in[4] = {1.5, -1e32, 3, 1e39};
    f.set_range_double(8, 4, in);
    EXPECT_EQ(f.get_length(), 12);
    for (int i = 5; i < 8; ++i) EXPECT_EQ(f.get_double(i), 0.0);
    EXPECT_EQ(f.get_double(8), 1.5);
    EXPECT_TRUE(f.is_element_dummy(9));
    EXPECT_EQ(f.get_double(11), 3.4028234663852886e38);
    double none = 7;
    Multi_vector empty(type_int16, block, 0);
    empty.get_range_double(0, -1, &none);
    EXPECT_EQ(none, 7);
    EXPECT_TRUE(fails_contract_in([&] { empty.get_range_double(0, 1, &none); },
                                  "src/storage/multi_vector.cpp"));
  }
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

// Above 16384 elements typed transfers split over threads; the split must not change
// a single element.
TEST(RangeTransfer, ParallelTypedTransfersAtTheThreshold) {
  const Small_blocks processors(16384, 3);
  for (bool block : {false, true}) {
    for (std::int64_t n : {16384, 16385, 50001}) {
      std::vector<double> source(static_cast<std::size_t>(n));
      for (std::int64_t i = 0; i < n; ++i)
        source[static_cast<std::size_t>(i)] = (i % 1000) * 0.5 - 200;
      source[16383 % source.size()] = -1e32;
      Multi_vector v(type_int16, block, 0);
      v.set_range(Legacy_type(type_double), 3, n, source.data());
      std::vector<std::int32_t> out(static_cast<std::size_t>(n));
      v.get_range(Legacy_type(type_int32), 3, n, out.data());
      for (std::int64_t i = 0; i < n; ++i) {
        const double x = source[static_cast<std::size_t>(i)];
        const std::int32_t expected =
            x == -1e32 ? -2147483647 : static_cast<std::int32_t>(x < 0 ? x - 0.5 : x + 0.5);
        ASSERT_EQ(out[static_cast<std::size_t>(i)], expected) << i;
      }
    }
  }
}

TEST(RangeTransfer, ExpandedReadFillsOutsideWithDummies) {
  for (bool block : {false, true}) {
    const Multi_vector v = make_doubles({1, 2, 3}, block);
    std::vector<double> out(7);
    v.get_expanded_range_double(0, 3, 2, 2, out.data());
    EXPECT_EQ(out, (std::vector<double>{-1e32, -1e32, 1, 2, 3, -1e32, -1e32}));
    out.assign(6, 0);
    v.get_expanded_range_double(1, 1, 5, 0, out.data());
    EXPECT_EQ(out, (std::vector<double>{-1e32, -1e32, -1e32, -1e32, 1, 2}));
    EXPECT_TRUE(fails_contract_in([&] { v.get_expanded_range_double(0, 1, -1, 0, out.data()); },
                                  "src/storage/range_transfer.cpp"));
  }
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
