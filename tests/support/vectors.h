#pragma once
// Builders for test vectors of any type in either storage mode.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "types/type_list.h"

namespace vorlith::testing_support {

using integration::Legacy_type;
using integration::Multi_vector;

/// A vector of T holding `values` (raw bytes, dummies included).
template <class T>
Multi_vector make_vector(const std::vector<T>& values, bool block) {
  Multi_vector v(Legacy_type(types::type_traits<T>::code), block,
                 static_cast<std::int64_t>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) v.set(static_cast<std::int64_t>(i), &values[i]);
  return v;
}

/// A double vector of the given values.
inline Multi_vector make_doubles(const std::vector<double>& values, bool block = false) {
  return make_vector<double>(values, block);
}

/// All elements of a vector of T.
template <class T>
std::vector<T> values_of(const Multi_vector& v) {
  std::vector<T> out(static_cast<std::size_t>(v.get_length()));
  for (std::int64_t i = 0; i < v.get_length(); ++i) v.get(i, &out[static_cast<std::size_t>(i)]);
  return out;
}

/// All elements of a vector of any value type, through its conversion to double.
inline std::vector<double> doubles_of(const Multi_vector& v) {
  std::vector<double> out(static_cast<std::size_t>(v.get_length()));
  v.get_range_double(0, v.get_length(), out.data());
  return out;
}

/// An opaque vector of the given width holding the texts (zero-padded, cut at width).
Multi_vector make_opaque(const std::vector<std::string>& texts, std::int64_t width, bool block);

/// The element's bytes up to the first zero (at most the width).
std::string opaque_text(const Multi_vector& v, std::int64_t i);

/// Value k of a deterministic pattern in type T: small, distinct along runs and never a dummy.
template <class T>
T pattern_value(std::int64_t k) {
  const double x = static_cast<double>(k % 97) - 40.0;
  if constexpr (types::is_point_v<T>) {
    using C = typename types::point_component<T>::type;
    T p{};
    p.x = static_cast<C>(x);
    p.y = static_cast<C>(x + 1);
    if constexpr (requires { p.z; }) p.z = static_cast<C>(x + 2);
    return p;
  } else if constexpr (std::is_unsigned_v<T>) {
    return static_cast<T>(k % 97);
  } else {
    return static_cast<T>(x);
  }
}

/// n pattern values with dummies at the first, middle and last position.
template <class T>
std::vector<T> pattern_with_dummies(std::int64_t n) {
  std::vector<T> values(static_cast<std::size_t>(n));
  for (std::int64_t k = 0; k < n; ++k) values[static_cast<std::size_t>(k)] = pattern_value<T>(k);
  if (n > 0) {
    values.front() = types::typed_dummy<T>();
    values[static_cast<std::size_t>(n / 2)] = types::typed_dummy<T>();
    values.back() = types::typed_dummy<T>();
  }
  return values;
}

template <class T>
bool same_bytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

/// The same elements, byte for byte (NaN patterns and the sign of zero count).
template <class T>
::testing::AssertionResult same_elements(const std::vector<T>& got,
                                         const std::vector<T>& expected) {
  if (got.size() != expected.size())
    return ::testing::AssertionFailure() << got.size() << " elements, not " << expected.size();
  for (std::size_t i = 0; i < got.size(); ++i)
    if (!same_bytes(got[i], expected[i])) return ::testing::AssertionFailure() << "element " << i;
  return ::testing::AssertionSuccess();
}

/// Equal doubles: any NaN matches any NaN, other values by their bits (the sign of zero counts).
inline ::testing::AssertionResult same_doubles(const std::vector<double>& got,
                                               const std::vector<double>& expected) {
  if (got.size() != expected.size())
    return ::testing::AssertionFailure() << got.size() << " values, not " << expected.size();
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (!(got[i] != got[i] && expected[i] != expected[i]) && !same_bytes(got[i], expected[i]))
      return ::testing::AssertionFailure()
             << "value " << i << ": " << got[i] << ", not " << expected[i];
  }
  return ::testing::AssertionSuccess();
}

}  // namespace vorlith::testing_support
