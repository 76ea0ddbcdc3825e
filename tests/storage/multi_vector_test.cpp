#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <limits>
#include <stdexcept>

#include "support/contracts.h"
#include "support/typed_lists.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
constexpr const char* core_file = "src/storage/multi_vector.cpp";

template <class T>
class EveryTypeBothModes : public ::testing::Test {};
TYPED_TEST_SUITE(EveryTypeBothModes, all_value_types);

TYPED_TEST(EveryTypeBothModes, ElementsSurviveSwitchesAndBlockViewAgrees) {
  using T = TypeParam;
  for (bool block : {false, true}) {
    const std::int64_t per_block = 4096 / static_cast<std::int64_t>(sizeof(T));
    const std::int64_t n = 3 * per_block + 5;
    const auto values = pattern_with_dummies<T>(n);
    Multi_vector v = make_vector(values, block);
    EXPECT_EQ(v.get_block_elements(), per_block);
    EXPECT_EQ(v.get_block_count(), 4);
    EXPECT_EQ(v.get_block_size(), per_block * static_cast<std::int64_t>(sizeof(T)));
    EXPECT_EQ(v.get_elements_remaining_in_block(per_block - 2), 2);
    EXPECT_EQ(v.get_elements_remaining_in_block(3 * per_block), 5);
    EXPECT_EQ(v.get_block(1), v.get_data(per_block));
    EXPECT_EQ(v.get_block_for_element(per_block - 1), 0);
    EXPECT_EQ(v.get_block_for_element(per_block), 1);
    EXPECT_TRUE(v.is_element_dummy(0));
    EXPECT_TRUE(v.is_element_dummy(n - 1));
    EXPECT_FALSE(v.is_element_dummy(1));
    if (block)
      v.switch_to_vector();
    else
      v.switch_to_block_vector();
    EXPECT_EQ(v.is_block_vector(), !block);
    if (block)
      v.switch_to_block_vector();
    else
      v.switch_to_vector();
    const auto back = values_of<T>(v);
    ASSERT_EQ(back.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
      ASSERT_TRUE(same_bytes(back[i], values[i])) << i;
  }
}

TYPED_TEST(EveryTypeBothModes, NewElementsAreZeroBytesNotDummies) {
  using T = TypeParam;
  for (bool block : {false, true}) {
    Multi_vector v(Legacy_type(vorlith::types::type_traits<T>::code), block, 3);
    T zero{};
    for (const T& value : values_of<T>(v)) EXPECT_TRUE(same_bytes(value, zero));
    EXPECT_FALSE(v.is_element_dummy(0));
    v.set_element_dummy(2);
    v.set_length(1000);
    v.set_length(2);
    v.set_length(5);
    // Elements exposed again after shrinking read as zero, not as their old values.
    for (const T& value : values_of<T>(v)) EXPECT_TRUE(same_bytes(value, zero));
  }
}

TEST(MultiVector, BlockAndModeContracts) {
  for (bool block : {false, true}) {
    Multi_vector d(type_double, block, 1000);
    EXPECT_TRUE(fails_contract_in([&] { d.get_block(d.get_block_count()); }, core_file));
    Multi_vector empty(type_double, block, 0);
    EXPECT_TRUE(fails_contract_in([&] { empty.get_block(0); }, core_file));
  }
  Multi_vector contiguous(type_double, false, 2);
  EXPECT_TRUE(fails_contract_in([&] { contiguous.switch_to_vector(); }, core_file));
  Multi_vector blocks(type_double, true, 2);
  EXPECT_TRUE(fails_contract_in([&] { blocks.switch_to_block_vector(); }, core_file));
  EXPECT_TRUE(fails_contract_in([&] { blocks.get_vector_memory(); }, core_file));
  Multi_vector empty(type_double, false, 0);
  EXPECT_TRUE(fails_contract_in([&] { empty.get_vector_memory(); }, core_file));
}

TEST(MultiVector, OpaqueWidthsAndQueries) {
  for (std::int64_t width : {1, 4, 5, 8, 12, 100, 4095, 4096}) {
    for (bool block : {false, true}) {
      const std::int64_t per_block = 4096 / width;
      Multi_vector v(Legacy_type(width), block, per_block + 1);
      EXPECT_TRUE(v.is_opaque_type());
      EXPECT_EQ(v.get_block_elements(), per_block);
      EXPECT_EQ(v.get_block_size(), per_block * width);
      EXPECT_EQ(v.get_block_for_element(per_block - 1), 0);
      EXPECT_EQ(v.get_block_for_element(per_block), 1);
      EXPECT_EQ(v.is_optimized_opaque_type(), width == 8 || width == 12 || width == 4096);
    }
  }
  EXPECT_THROW(Multi_vector(Legacy_type(std::int64_t{0}), false, 1), gsl::fail_fast);
  EXPECT_THROW(Multi_vector(Legacy_type(std::int64_t{4097}), true, 1), gsl::fail_fast);
  EXPECT_FALSE(Multi_vector(type_double, false, 0).is_optimized_opaque_type());
  Multi_vector a(type_double, false, 1), b(type_double, true, 1);
  EXPECT_TRUE(a.is_same_type(b));
  EXPECT_FALSE(a.is_same_storage(b));
}

TEST(MultiVector, SingleElementAccess) {
  for (bool block : {false, true}) {
    Multi_vector v(type_int16, block, 3);
    v.set_double(0, 2.5);
    v.set_double(1, -1e32);
    EXPECT_EQ(v.get_double(0), 3.0);
    EXPECT_EQ(v.get_double(1), -1e32);
    EXPECT_TRUE(v.is_element_dummy(1));
    EXPECT_THROW(v.get_double(3), std::out_of_range);
    EXPECT_THROW(v.set_double(-1, 1.0), std::out_of_range);
    std::int16_t x = 0;
    EXPECT_TRUE(fails_contract_in([&] { v.get(3, &x); }, core_file));
    EXPECT_TRUE(fails_contract_in([&] { v.set(-1, &x); }, core_file));
    EXPECT_TRUE(fails_contract_in([&] { v.is_element_dummy(3); }, core_file));
    Multi_vector d(type_double, block, 1);
    EXPECT_TRUE(fails_contract_in([&] { d.get_double(1); }, core_file));
    Multi_vector text = make_opaque({"12.5", "*"}, 6, block);
    EXPECT_EQ(text.get_double(0), 12.5);
    EXPECT_EQ(text.get_double(1), -1e32);
    const char* opaque_store =
        block ? "src/storage/opaque_block_vector.cpp" : "src/storage/opaque_vector.cpp";
    EXPECT_TRUE(fails_contract_in([&] { text.get_double(2); }, opaque_store));
    EXPECT_TRUE(fails_contract_in([&] { text.set_double(-1, 1.0); }, opaque_store));
  }
  EXPECT_TRUE(fails_contract_in([] { Multi_vector(type_double, false, -1); }, core_file));
}

TEST(MultiVector, MoveTakesTheStore) {
  Multi_vector a = make_doubles({1, 2, 3}, true);
  const void* data = a.get_data(0);
  Multi_vector b(std::move(a));
  EXPECT_EQ(b.get_length(), 3);
  EXPECT_EQ(b.get_data(0), data);
  Multi_vector c(type_int8, false, 0);
  c = std::move(b);
  EXPECT_EQ(c.get_double(2), 3.0);
  EXPECT_TRUE(c.is_block_vector());
}

TEST(RangeRules, InputOutputReverseAndExact) {
  // start, count, length -> the count it becomes, or -9 for a contract failure
  const std::int64_t input_cases[][4] = {{0, -1, 0, 0}, {1, -1, 0, -9}, {5, 0, 5, 0},
                                         {6, 0, 5, -9}, {-1, 1, 5, -9}, {0, -2, 5, -9}};
  for (const auto& c : input_cases) {
    std::int64_t count = c[1];
    if (c[3] == -9) {
      EXPECT_TRUE(fails_contract_in([&] { Multi_vector::validate_input_range(c[0], count, c[2]); },
                                    core_file))
          << c[0] << " " << c[1] << " " << c[2];
    } else {
      Multi_vector::validate_input_range(c[0], count, c[2]);
      EXPECT_EQ(count, c[3]);
    }
  }
  std::int64_t count = -1;
  Multi_vector a(type_double, false, 10), b(type_double, true, 7);
  Multi_vector::validate_input_range(2, count, a, b);
  EXPECT_EQ(count, 5);
  // Every vector counts: the shortest of four sets the default count.
  Multi_vector shortest(type_int8, false, 4);
  count = -1;
  Multi_vector::validate_input_range(1, count, a, b, a, shortest);
  EXPECT_EQ(count, 3);

  Multi_vector out = make_doubles({1, 2, 3, 4, 5}, true);
  count = 3;
  out.validate_output_range(10, count);
  EXPECT_EQ(out.get_length(), 13);
  for (std::int64_t i = 5; i < 13; ++i) EXPECT_EQ(out.get_double(i), 0.0);
  count = -1;
  out.validate_output_range(4, count);
  EXPECT_EQ(count, 9);
  count = -2;
  EXPECT_TRUE(fails_contract_in([&] { out.validate_output_range(0, count); }, core_file));

  std::int64_t start = 4;
  count = -1;
  Multi_vector::validate_reverse_input_range(start, count, 10);
  EXPECT_EQ(start, 5);
  EXPECT_EQ(count, 5);
  start = 10;
  count = 1;
  EXPECT_TRUE(fails_contract_in(
      [&] { Multi_vector::validate_reverse_input_range(start, count, 10); }, core_file));
  start = 0;
  count = -1;
  EXPECT_TRUE(fails_contract_in(
      [&] { Multi_vector::validate_reverse_input_range(start, count, 0); }, core_file));

  Multi_vector exact(type_float, false, 10);
  exact.ensure_output_range(0, 3);
  EXPECT_EQ(exact.get_length(), 3);
  EXPECT_TRUE(fails_contract_in([&] { exact.ensure_output_range(0, -1); }, core_file));
  EXPECT_TRUE(fails_contract_in([&] { exact.ensure_output_range(-1, 1); }, core_file));

  // Counts so large that start + count leaves the int64 range fail like any other
  // range that passes the end, instead of wrapping round to a small sum.
  constexpr std::int64_t huge = std::numeric_limits<std::int64_t>::max();
  count = huge;
  EXPECT_TRUE(fails_contract_in([&] { Multi_vector::validate_input_range(1, count, 5); }, core_file));
  count = huge - 2;
  EXPECT_TRUE(fails_contract_in([&] { out.validate_output_range(4, count); }, core_file));
  EXPECT_EQ(out.get_length(), 13);
  EXPECT_TRUE(fails_contract_in([&] { exact.ensure_output_range(2, huge); }, core_file));
  EXPECT_EQ(exact.get_length(), 3);
}

}  // namespace
