#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <functional>
#include <string>
#include <vector>

#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

constexpr double D = -1e32;
using Call = std::function<void(Multi_vector&)>;

// The reason of the contract failure that call raises on v (marked when the check is a
// postcondition), or "no failure".
std::string reason_of(const Call& call, Multi_vector& v) {
  try {
    call(v);
  } catch (const Contract_failure& failure) {
    const bool post = std::string(failure.what()).rfind("GSL: Postcondition", 0) == 0;
    return (post ? "postcondition " : "") + std::string(failure.reason());
  }
  return "no failure";
}

// Every member that takes a caller's pointer refuses null with a positive count, before
// anything changes (the output ranges would otherwise grow the vector, and
// erase_dummies_n would erase from the first vector).
TEST(NullPointers, FailBeforeAnyChange) {
  using E = Export_direct_methods;
  const double x = 1.0;
  const Legacy_type float_type(type_float);
  const std::vector<std::pair<const char*, Call>> calls = {
      {"get: out is null with count 1", [](Multi_vector& v) { v.get(0, nullptr); }},
      {"set: in is null with count 1", [](Multi_vector& v) { v.set(0, nullptr); }},
      {"get_range: out is null with count 2", [](Multi_vector& v) { v.get_range(0, 2, nullptr); }},
      {"get_range: out is null with count 4",
       [&](Multi_vector& v) { v.get_range(float_type, 0, -1, nullptr); }},
      {"set_range: in is null with count 3", [](Multi_vector& v) { v.set_range(3, 3, nullptr); }},
      {"set_range: in is null with count 1",
       [&](Multi_vector& v) { v.set_range(float_type, 5, 1, nullptr); }},
      {"get_range_double: out is null with count 4",
       [](Multi_vector& v) { v.get_range_double(0, -1, nullptr); }},
      {"set_range_double: in is null with count 2",
       [](Multi_vector& v) { v.set_range_double(3, 2, nullptr); }},
      {"get_range_int64: out is null with count 1",
       [](Multi_vector& v) { v.get_range_int64(1, 1, nullptr); }},
      {"get_expanded_range_double: out is null with count 2",
       [](Multi_vector& v) { v.get_expanded_range_double(0, 0, 1, 1, nullptr); }},
      {"fill_value: value is null with count 2",
       [](Multi_vector& v) { v.fill_value(nullptr, 4, 2); }},
      {"find: value is null with count 4", [](Multi_vector& v) { v.find(nullptr, 0, -1); }},
      {"find_not: value is null with count 1", [](Multi_vector& v) { v.find_not(nullptr, 3, 1); }},
      {"reverse_find: value is null with count 4",
       [](Multi_vector& v) { v.reverse_find(nullptr, 3, -1); }},
      {"reverse_find_not: value is null with count 1",
       [](Multi_vector& v) { v.reverse_find_not(nullptr, 0, -1); }},
      {"replace: old_value is null with count 4",
       [&](Multi_vector& v) { v.replace(nullptr, &x, 0, -1); }},
      {"replace: new_value is null with count 4",
       [&](Multi_vector& v) { v.replace(&x, nullptr, 0, -1); }},
      {"apply_mask_value: value is null with count 4",
       [](Multi_vector& v) { v.apply_mask_value(v, nullptr, 0, -1); }},
      {"erase_dummies_n: vectors is null with count 2",
       [](Multi_vector&) { Multi_vector::erase_dummies_n(nullptr, 2, 0, -1); }},
      {"erase_dummies_n: vectors[1] is null",
       [](Multi_vector& v) {
         Multi_vector* list[] = {&v, nullptr};
         Multi_vector::erase_dummies_n(list, 2, 0, -1);
       }},
      {"validate_input_range: start 0 and count 4 pass the length 1",
       [](Multi_vector& v) {
         Multi_vector short_one(type_double, false, 1);
         Multi_vector* list[] = {&v, &short_one};
         Multi_vector::erase_dummies_n(list, 2, 0, 4);
       }},
      {"set_range_double: in is null with count 1",
       [](Multi_vector& v) { E::set_range_double(v, 0, 1, nullptr); }},
      {"replace: old_value is null with count 1",
       [&](Multi_vector& v) { E::replace(v, nullptr, &x, 0, 1); }},
  };
  for (bool block : {false, true}) {
    for (const auto& [reason, call] : calls) {
      Multi_vector v = make_doubles({1, D, 3, 4}, block);
      EXPECT_EQ(reason_of(call, v), reason);
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

// Representative checks of each storage family say what failed, with the values.
TEST(ContractReasons, NameTheOperationAndTheValues) {
  const std::vector<std::pair<const char*, Call>> calls = {
      {"validate_input_range: start 2 and count 3 pass the length 4",
       [](Multi_vector& v) { v.erase(2, 3); }},
      {"validate_input_range: count -1 is negative at start 5 (length 4)",
       [](Multi_vector& v) { v.finddummy(5, -1); }},
      {"validate_reverse_input_range: count 5 from start 3 passes element 0",
       [](Multi_vector& v) { v.reverse_finddummy(3, 5); }},
      {"reverse: start 3 and count 2 do not fit the length 4",
       [](Multi_vector& v) { v.reverse(3, 2); }},
      {"decimate: n 0 is below 1", [](Multi_vector& v) { v.decimate(0); }},
      {"strupr: the vector is not opaque", [](Multi_vector& v) { v.strupr(0, -1); }},
      {"sort_index_2: key2 length 1 differs from key1 length 4",
       [](Multi_vector& v) {
         Multi_vector index(type_int32, false, 0), key2(type_double, false, 1);
         Multi_vector::sort_index_2(index, v, false, key2, false);
       }},
      {"index sort: the index vector has type code 9, not int32 or int64",
       [](Multi_vector& v) {
         Multi_vector index(type_double, false, 0);
         Multi_vector::sort_index_1(index, v, false, true);
       }},
      {"extend_mask_pos: step 0 is not positive",
       [](Multi_vector& v) { Multi_vector::extend_mask_pos(v, v, 0.0, 1); }},
      {"postcondition debug_write_to_file: type code 2 is not int64, uint64, float or double",
       [](Multi_vector&) { Multi_vector(type_int16, false, 1).debug_write_to_file("unused"); }},
      {"opaque store: element 2 is outside the length 2",
       [](Multi_vector&) {
         make_opaque({"a", "b"}, 5, false).get_double(2);
       }},
  };
  for (const auto& [reason, call] : calls) {
    Multi_vector v = make_doubles({1, D, 3, 4});
    EXPECT_EQ(reason_of(call, v), reason);
  }
}

}  // namespace
