#pragma once
// Least-significant-digit radix sort of integer and floating values by their bits,
// the unstable sort of the numeric types: it orders as `<` does (NaN excepted, which
// the callers set aside) and puts -0.0 before 0.0, which `<` leaves in either order.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

namespace vorlith::storage {

namespace detail {

template <class T>
using Radix_key = std::conditional_t<
    sizeof(T) == 1, std::uint8_t,
    std::conditional_t<sizeof(T) == 2, std::uint16_t,
                       std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;

// The value's bits as an unsigned key that orders as the value: the sign bit of an
// integer flipped; a negative float's bits all flipped, a positive float's sign bit.
template <class T>
Radix_key<T> radix_key(T x) {
  using K = Radix_key<T>;
  constexpr K sign = K{1} << (8 * sizeof(T) - 1);
  K bits;
  std::memcpy(&bits, &x, sizeof(T));
  if constexpr (std::is_floating_point_v<T>) {
    return (bits & sign) ? static_cast<K>(~bits) : static_cast<K>(bits | sign);
  } else if constexpr (std::is_signed_v<T>) {
    return static_cast<K>(bits ^ sign);
  } else {
    return bits;
  }
}

}  // namespace detail

/// Below this length std::sort is faster than the counting passes.
inline constexpr std::int64_t radix_sort_minimum = 8192;

/// Sorts n values of an integer or floating type at `values` in ascending order, one
/// pass per byte of the type, skipping bytes that all values share. Uses a buffer of
/// n values, released on every exit.
template <class T>
void radix_sort(T* values, std::int64_t n) {
  constexpr int digits = sizeof(T);
  std::array<std::array<std::int64_t, 256>, digits> counts{};
  for (std::int64_t i = 0; i < n; ++i) {
    const auto key = detail::radix_key(values[i]);
    for (int d = 0; d < digits; ++d) ++counts[d][(key >> (8 * d)) & 0xff];
  }
  const auto buffer = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(n));
  T* from = values;
  T* to = buffer.get();
  for (int d = 0; d < digits; ++d) {
    auto& count = counts[d];
    if (std::find(count.begin(), count.end(), n) != count.end()) continue;
    std::int64_t offset = 0;
    for (auto& c : count) offset += std::exchange(c, offset);
    for (std::int64_t i = 0; i < n; ++i) {
      const auto digit = (detail::radix_key(from[i]) >> (8 * d)) & 0xff;
      to[count[digit]++] = from[i];
    }
    std::swap(from, to);
  }
  if (from != values) std::copy(from, from + n, values);
}

}  // namespace vorlith::storage
