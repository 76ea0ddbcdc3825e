#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <limits>
#include <stdexcept>
#include <string>

#include "support/contracts.h"
#include "support/element_cases.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

// Every value type and opaque widths on and off the optimised paths.
TEST(MultiVector, ElementsSurviveSwitchesAndBlockViewAgrees) {
  for (const Legacy_type& type : every_element_type()) {
    const std::int64_t size = type.get_element_size(), per_block = 4096 / size;
    const std::int64_t n = three_blocks(type);
    const auto elements = sample_elements(type, n);
    for (bool block : {false, true}) {
      SCOPED_TRACE(type.get_name() + (block ? " block" : " contiguous"));
      Multi_vector v = vector_of(type, elements, block);
      EXPECT_EQ(v.get_block_elements(), per_block);
      EXPECT_EQ(v.get_block_count(), (n + per_block - 1) / per_block);
      EXPECT_EQ(v.get_block_size(), per_block * size);
      for (std::int64_t i : {std::int64_t{0}, per_block - 1, n - 3})
        EXPECT_EQ(v.get_elements_remaining_in_block(i), std::min(per_block - i % per_block, n - i));
      EXPECT_EQ(v.get_block(1), v.get_data(per_block));
      EXPECT_EQ(v.get_block_for_element(per_block - 1), 0);
      EXPECT_EQ(v.get_block_for_element(per_block), 1);
      EXPECT_TRUE(v.is_element_dummy(n - 1) && !v.is_element_dummy(1));
      const bool optimized = size == 8 || size == 12 || size == 16 || size == 24 || size == 4096;
      EXPECT_EQ(v.is_optimized_opaque_type(), type.is_opaque() && optimized);
      block ? v.switch_to_vector() : v.switch_to_block_vector();
      EXPECT_EQ(v.is_block_vector(), !block);
      block ? v.switch_to_block_vector() : v.switch_to_vector();
      EXPECT_EQ(elements_of(v), elements);
    }
  }
}

TEST(MultiVector, BlockModeAndElementContracts) {
  for (bool block : {false, true}) {
    Multi_vector v(type_int16, block, 1000), empty(type_double, block, 0);
    EXPECT_TRUE(
        fails_contract([&] { empty.get_block(0); }, "get_block: block 0 is outside the 0 blocks"));
    v.set_length(3);
    v.set_double(0, 2.5);
    v.set_double(1, -1e32);
    EXPECT_EQ(v.get_double(0), 3.0);
    EXPECT_TRUE(v.is_element_dummy(1));
    EXPECT_THROW(v.get_double(3), std::out_of_range);
    EXPECT_THROW(v.set_double(-1, 1.0), std::out_of_range);
    std::int16_t x = 0;
    EXPECT_TRUE(fails_contract([&] { v.get(3, &x); }, "get: index 3 is outside the length 3"));
    EXPECT_TRUE(fails_contract([&] { v.set(-1, &x); }, "set: index -1 is outside the length 3"));
    EXPECT_TRUE(fails_contract([&] { v.is_element_dummy(3); }, "is_element_dummy: index 3 is"));
    Multi_vector text = make_opaque({"12.5", "*"}, 6, block);
    EXPECT_TRUE(text.get_double(0) == 12.5 && text.get_double(1) == -1e32);
    const std::string store = block ? "opaque block store: element " : "opaque store: element ";
    EXPECT_TRUE(fails_contract([&] { text.get_double(2); }, store + "2 is outside the length 2"));
    EXPECT_TRUE(fails_contract([&] { text.set_double(-1, 1.0); }, store + "-1 is outside"));
  }
  Multi_vector contiguous(type_double, false, 2), blocks(type_double, true, 2);
  EXPECT_TRUE(fails_contract([&] { contiguous.switch_to_vector(); },
                             "switch_to_vector: the vector is already contiguous"));
  EXPECT_TRUE(fails_contract([&] { blocks.switch_to_block_vector(); },
                             "switch_to_block_vector: the vector is already in block mode"));
  EXPECT_TRUE(fails_contract([&] { blocks.get_vector_memory(); },
                             "get_vector_memory: the vector is in block mode"));
  contiguous.set_length(0);
  EXPECT_TRUE(fails_contract([&] { contiguous.get_vector_memory(); },
                             "get_vector_memory: the vector is empty"));
  EXPECT_TRUE(
      fails_contract([] { Multi_vector(type_double, false, -1); }, "set_length: length -1"));
}

TEST(MultiVector, OpaqueWidthsAndQueries) {
  for (std::int64_t width : {0, 4097}) {
    EXPECT_TRUE(fails_contract(
        [&] { Multi_vector(Legacy_type(width), width > 0, 1); },
        "Multi_vector: element size " + std::to_string(width) + " is outside 1..4096"));
  }
  Multi_vector a(type_double, false, 1), b(type_double, true, 1);
  EXPECT_TRUE(a.is_same_type(b));
  EXPECT_FALSE(a.is_same_storage(b));
  // A move takes the store.
  Multi_vector c = make_doubles({1, 2, 3}, true);
  const void* data = c.get_data(0);
  Multi_vector d(std::move(c));
  EXPECT_EQ(d.get_data(0), data);
  a = std::move(d);
  EXPECT_EQ(a.get_double(2), 3.0);
  EXPECT_TRUE(a.is_block_vector());
  EXPECT_EQ(c.get_length() + d.get_length(), 0);  // NOLINT(bugprone-use-after-move): left empty
}

// Counts so large that start + count leaves the int64 range fail like any other range
// that passes the end, instead of wrapping round to a small sum.
// A vector over lent memory reads and writes it in place, shrinks and grows back within
// it, refuses to grow past it without a change, and copies out on a switch to blocks.
TEST(MultiVector, OverLentMemory) {
  double lent[4] = {1, 2, 3, 4};
  Multi_vector v = Multi_vector::over_memory(Legacy_type(type_double), lent, 4);
  EXPECT_TRUE(v.uses_outside_memory());
  EXPECT_EQ(v.get_vector_memory(), lent);
  v.set_double(1, 20);
  EXPECT_EQ(lent[1], 20);
  v.erase(0, 1);
  EXPECT_EQ(values_of<double>(v), (std::vector<double>{20, 3, 4}));
  v.set_length(4);
  EXPECT_EQ(lent[3], 0);  // grown back: a new element is zero
  EXPECT_THROW(v.set_length(5), std::length_error);
  EXPECT_THROW(v.insert_dummies(0, 1), std::length_error);
  EXPECT_EQ(values_of<double>(v), (std::vector<double>{20, 3, 4, 0}));
  v.switch_to_block_vector();
  v.switch_to_vector();
  EXPECT_FALSE(v.uses_outside_memory());
  v.set_length(6);
  EXPECT_EQ(values_of<double>(v), (std::vector<double>{20, 3, 4, 0, 0, 0}));
  EXPECT_FALSE(Multi_vector(Legacy_type(type_double), false, 1).uses_outside_memory());

  Multi_vector owned(Legacy_type(type_int16), false, 2);
  owned.set_double(1, 7);
  owned.set_length_for_overwrite(100000);  // past a huge page: the kept values stay
  EXPECT_EQ(owned.get_double(1), 7);
  EXPECT_EQ(owned.get_length(), 100000);
}

TEST(RangeRules, InputOutputReverseAndExact) {
  constexpr std::int64_t huge = std::numeric_limits<std::int64_t>::max(), fails = -9;
  // start, count, length -> the count it becomes
  const std::int64_t input_cases[][4] = {{0, -1, 0, 0},      {1, -1, 0, fails}, {5, 0, 5, 0},
                                         {6, 0, 5, fails},   {-1, 1, 5, fails}, {0, -2, 5, fails},
                                         {1, huge, 5, fails}};
  for (const auto& c : input_cases) {
    std::int64_t count = c[1];
    const auto check = [&] { Multi_vector::validate_input_range(c[0], count, c[2]); };
    if (c[3] == fails) {
      EXPECT_TRUE(fails_contract(check, "validate_input_range: ")) << c[0] << " " << c[1];
    } else {
      check();
      EXPECT_EQ(count, c[3]);
    }
  }
  // Every vector counts: the shortest sets the default count.
  std::int64_t count = -1;
  Multi_vector a(type_double, false, 10), b(type_double, true, 7), shortest(type_int8, false, 4);
  Multi_vector::validate_input_range(2, count, a, b);
  EXPECT_EQ(count, 5);
  count = -1;
  Multi_vector::validate_input_range(1, count, a, b, a, shortest);
  EXPECT_EQ(count, 3);

  Multi_vector out = make_doubles({1, 2, 3, 4, 5}, true);
  count = 3;
  out.validate_output_range(10, count);
  EXPECT_EQ(doubles_of(out), (std::vector<double>{1, 2, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0, 0}));
  count = -1;
  out.validate_output_range(4, count);
  EXPECT_EQ(count, 9);
  count = -2;
  EXPECT_TRUE(fails_contract([&] { out.validate_output_range(0, count); },
                             "validate_output_range: count -2 is negative at start 0 (length 13)"));
  count = huge - 2;
  EXPECT_TRUE(
      fails_contract([&] { out.validate_output_range(4, count); },
                     "validate_output_range: start 4 plus count 9223372036854775805 overflows"));
  EXPECT_EQ(out.get_length(), 13);

  std::int64_t start = 4;
  count = -1;
  Multi_vector::validate_reverse_input_range(start, count, 10);
  EXPECT_TRUE(start == 5 && count == 5);
  for (std::int64_t length : {10, 0}) {
    start = length, count = length ? 1 : -1;
    EXPECT_TRUE(
        fails_contract([&] { Multi_vector::validate_reverse_input_range(start, count, length); },
                       "validate_reverse_input_range: start " + std::to_string(length) +
                           " is outside the length " + std::to_string(length)));
  }

  Multi_vector exact(type_float, false, 10);
  exact.ensure_output_range(0, 3);
  EXPECT_EQ(exact.get_length(), 3);
}

}  // namespace
