#pragma once
// The value conversion rules written out independently of the library's own code: the
// valid ranges come from the standard limits, rounding and saturation use 128-bit integers.

#include <vorlith/dummy.h>
#include <vorlith/point.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace vorlith::testing_support::reference {

using common::dummy_value;

/// The valid range of an integer type: a signed type's lowest value and the one above it
/// (the dummy) are left out, an unsigned type's highest value (the dummy) too.
template <class I>
struct Range {
  static constexpr __int128 lo =
      std::is_signed_v<I> ? __int128{std::numeric_limits<I>::min()} + 2 : 0;
  static constexpr __int128 hi = std::is_signed_v<I> ? __int128{std::numeric_limits<I>::max()}
                                                     : __int128{std::numeric_limits<I>::max()} - 1;
};

/// A floating value after "add one half in the source's precision (subtract it for
/// negatives), truncate"; magnitudes of 2^64 and beyond are held as +-2^100, which
/// saturates every integer type the same way.
struct Rounded {
  bool dummy;
  __int128 value;
};

template <class F>
Rounded round_half_away(F v) {
  if (v != v || v == dummy_value<F>) return {true, 0};
  const F u = v < 0 ? v - F(0.5) : v + F(0.5);
  // The truncating conversions below are exact inside their ranges.
  constexpr F two_63 = F(9223372036854775808.0), two_64 = F(18446744073709551616.0);
  constexpr __int128 big = static_cast<__int128>(1) << 100;
  if (u >= two_64) return {false, big};
  if (u >= two_63) return {false, static_cast<__int128>(static_cast<std::uint64_t>(u))};
  if (u < -two_63) return {false, -big};
  return {false, static_cast<std::int64_t>(u)};
}

template <class I>
I saturate(Rounded r) {
  if (r.dummy) return dummy_value<I>;
  const __int128 v =
      r.value < Range<I>::lo ? Range<I>::lo : (r.value > Range<I>::hi ? Range<I>::hi : r.value);
  return static_cast<I>(v);
}

template <class I, class F>
I to_integer(F v) {
  return saturate<I>(round_half_away(v));
}

template <class T>
inline constexpr bool is_point = false;
template <class C>
inline constexpr bool is_point<common::Point_2d<C>> = true;
template <class C>
inline constexpr bool is_point<common::Point_3d<C>> = true;

template <class T>
bool is_dummy(const T& v) {
  if constexpr (is_point<T>)
    return v.is_dummy();
  else
    return v == dummy_value<T>;
}

/// The result of converting one scalar value v to To (any of the fourteen value types).
template <class To, class From>
To convert(From v) {
  if constexpr (is_point<To>) {
    if (is_dummy(v)) return To::dummy();
    To p{};
    p.x = convert<decltype(p.x)>(v);
    return p;
  } else if constexpr (std::is_same_v<To, From>) {
    return v;
  } else if (v == dummy_value<From>) {
    return dummy_value<To>;
  } else if constexpr (std::is_integral_v<To> && std::is_integral_v<From>) {
    return saturate<To>(Rounded{false, static_cast<__int128>(v)});
  } else if constexpr (std::is_integral_v<To>) {
    return to_integer<To>(v);
  } else if constexpr (std::is_same_v<To, float> && std::is_same_v<From, double>) {
    constexpr double limit = 3.4028234663852886e38;
    return static_cast<float>(v > limit ? limit : (v < -limit ? -limit : v));
  } else {
    return static_cast<To>(v);
  }
}

/// Equality for results: integers by value, floating values by bits (any NaN equals any
/// NaN), points component by component.
template <class T>
bool same(const T& a, const T& b) {
  if constexpr (is_point<T>) {
    bool equal = same(a.x, b.x) && same(a.y, b.y);
    if constexpr (requires { a.z; }) equal = equal && same(a.z, b.z);
    return equal;
  } else if constexpr (std::is_floating_point_v<T>) {
    return (a != a && b != b) || std::memcmp(&a, &b, sizeof(T)) == 0;
  } else {
    return a == b;
  }
}

}  // namespace vorlith::testing_support::reference
