#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

constexpr double D = -1e32;
using V = Multi_vector&;
using E = Export_direct_methods;
const double x = 1.0;
const Legacy_type float_type(type_float);

// Every member that takes a caller's pointer refuses null with a positive count, and every
// refused call fails before anything changes (the output ranges would otherwise grow the
// vector, and erase_dummies_n would erase from the first vector).
TEST(RefusedCalls, FailBeforeAnyChange) {
  const std::vector<std::pair<const char*, void (*)(V)>> calls = {
      {"get: out is null with count 1", [](V v) { v.get(0, nullptr); }},
      {"set: in is null with count 1", [](V v) { v.set(0, nullptr); }},
      {"get_range: out is null with count 2", [](V v) { v.get_range(0, 2, nullptr); }},
      {"get_range: out is null with count 4", [](V v) { v.get_range(float_type, 0, -1, nullptr); }},
      {"set_range: in is null with count 3", [](V v) { v.set_range(3, 3, nullptr); }},
      {"set_range: in is null with count 1", [](V v) { v.set_range(float_type, 5, 1, nullptr); }},
      {"get_range_double: out is null with count 4",
       [](V v) { v.get_range_double(0, -1, nullptr); }},
      {"set_range_double: in is null with count 2", [](V v) { v.set_range_double(3, 2, nullptr); }},
      {"get_range_int64: out is null with count 1", [](V v) { v.get_range_int64(1, 1, nullptr); }},
      {"get_expanded_range_double: out is null with count 2",
       [](V v) { v.get_expanded_range_double(0, 0, 1, 1, nullptr); }},
      {"fill_value: value is null with count 2", [](V v) { v.fill_value(nullptr, 4, 2); }},
      {"find: value is null with count 4", [](V v) { v.find(nullptr, 0, -1); }},
      {"find_not: value is null with count 1", [](V v) { v.find_not(nullptr, 3, 1); }},
      {"reverse_find: value is null with count 4", [](V v) { v.reverse_find(nullptr, 3, -1); }},
      {"reverse_find_not: value is null with count 1",
       [](V v) { v.reverse_find_not(nullptr, 0, -1); }},
      {"replace: old_value is null with count 4", [](V v) { v.replace(nullptr, &x, 0, -1); }},
      {"replace: new_value is null with count 4", [](V v) { v.replace(&x, nullptr, 0, -1); }},
      {"apply_mask_value: value is null with count 4",
       [](V v) { v.apply_mask_value(v, nullptr, 0, -1); }},
      {"erase_dummies_n: vectors is null with count 2",
       [](V) { Multi_vector::erase_dummies_n(nullptr, 2, 0, -1); }},
      {"erase_dummies_n: vectors[1] is null",
       [](V v) {
         Multi_vector* list[] = {&v, nullptr};
         Multi_vector::erase_dummies_n(list, 2, 0, -1);
       }},
      {"validate_input_range: start 0 and count 4 pass the length 1",
       [](V v) {
         Multi_vector short_one(type_double, false, 1);
         Multi_vector* list[] = {&v, &short_one};
         Multi_vector::erase_dummies_n(list, 2, 0, 4);
       }},
      {"set_range_double: in is null with count 1",
       [](V v) { E::set_range_double(v, 0, 1, nullptr); }},
      {"validate_input_range: count -1 is negative at start 5 (length 4)",
       [](V v) { v.finddummy(5, -1); }},
      {"decimate: n 0 is below 1", [](V v) { v.decimate(0); }},
      {"strupr: the vector is not opaque", [](V v) { v.strupr(0, -1); }},
      {"extend_mask_pos: step 0 is not positive",
       [](V v) { Multi_vector::extend_mask_pos(v, v, 0.0, 1); }},
      {"replace: old_value is null with count 1", [](V v) { E::replace(v, nullptr, &x, 0, 1); }},
      {"get_block: block 1 is outside the 1 blocks", [](V v) { v.get_block(1); }},
      {"ensure_output_range: count -1 is negative", [](V v) { v.ensure_output_range(0, -1); }},
      {"ensure_output_range: start -1 is negative", [](V v) { v.ensure_output_range(-1, 1); }},
      {"ensure_output_range: start 2 plus count 9223372036854775807 overflows",
       [](V v) { v.ensure_output_range(2, INT64_MAX); }},
      {"copy_stride: stride 0 is below 1", [](V v) { v.copy_stride(0, v, 0, 1, 0); }},
      {"insert_dummies: position 5 is outside 0..4", [](V v) { v.insert_dummies(5, 1); }},
      {"reverse: start -1 and count 2 do not fit the length 4", [](V v) { v.reverse(-1, 2); }},
      {"apply_bitmask: the bitset has 2 bits, the range needs 4",
       [](V v) { v.apply_bitmask(boost::dynamic_bitset<unsigned long>(2), 1, 3); }},
      {"extend_mask_pos: extension -1 is negative",
       [](V v) { Multi_vector::extend_mask_pos(v, v, 1, -1); }},
  };
  for (bool block : {false, true}) {
    for (const auto& [reason, refused] : calls) {
      Multi_vector v = make_doubles({1, D, 3, 4}, block);
      const auto call = refused;  // clang 14 cannot capture a structured binding
      EXPECT_TRUE(fails_contract([&] { call(v); }, reason));
      EXPECT_EQ(doubles_of(v), (std::vector<double>{1, D, 3, 4})) << reason;
    }
  }
}

// Null is fine where the resolved range is empty.
TEST(NullPointers, AcceptedForEmptyRanges) {
  Multi_vector v = make_doubles({1, 2});
  v.get_range(2, -1, nullptr);
  v.set_range(2, -1, nullptr);
  v.set_range_double(0, 0, nullptr);
  v.fill_value(nullptr, 1, 0);
  v.get_expanded_range_double(1, 0, 0, 0, nullptr);
  EXPECT_EQ(v.find(nullptr, 2, 0), -1);
  EXPECT_EQ(doubles_of(v), (std::vector<double>{1, 2}));
}

}  // namespace
