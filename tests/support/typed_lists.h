#pragma once
// Type lists for typed tests, from the library's one type list.

#include <gtest/gtest.h>

#include "types/type_list.h"

namespace vorlith::testing_support {

template <class... T>
struct type_pack {
  using gtest_types = ::testing::Types<T...>;
  /// Calls f(type_tag<T>{}) for every type of the pack.
  template <class F>
  static void for_each(F&& f) {
    (f(vorlith::types::type_tag<T>{}), ...);
  }
};

template <class Ignored, class... T>
struct drop_first {
  using pack = type_pack<T...>;
};

#define VORLITH_TYPE_ENTRY(code, T) , T
/// The fourteen value types, in code order.
using value_types = drop_first<void VORLITH_FOR_EACH_NUMERIC_TYPE(VORLITH_TYPE_ENTRY)>::pack;
#undef VORLITH_TYPE_ENTRY

using all_value_types = value_types::gtest_types;

/// The eight integer types.
using integer_types = type_pack<std::int8_t, std::uint8_t, std::int16_t, std::uint16_t,
                                std::int32_t, std::uint32_t, std::int64_t, std::uint64_t>;

}  // namespace vorlith::testing_support
