#pragma once
// Typed dummies: the reserved no-data value of every scalar element type.

#include <cstdint>

namespace vorlith::common {

/// The dummy of a scalar element type, as a value of that type. Signed 8-, 16- and
/// 32-bit integers use the minimum plus one, int64 its minimum, unsigned types all
/// ones, float and double -1.0e32 in their own precision.
template <class T>
inline constexpr T dummy_value = T::undefined_dummy;

template <>
inline constexpr std::int8_t dummy_value<std::int8_t> = -127;
template <>
inline constexpr std::uint8_t dummy_value<std::uint8_t> = 0xFF;
template <>
inline constexpr std::int16_t dummy_value<std::int16_t> = -32767;
template <>
inline constexpr std::uint16_t dummy_value<std::uint16_t> = 0xFFFF;
template <>
inline constexpr std::int32_t dummy_value<std::int32_t> = -2147483647;
template <>
inline constexpr std::uint32_t dummy_value<std::uint32_t> = 0xFFFFFFFFu;
template <>
inline constexpr std::int64_t dummy_value<std::int64_t> = INT64_MIN;
template <>
inline constexpr std::uint64_t dummy_value<std::uint64_t> = UINT64_MAX;
template <>
inline constexpr float dummy_value<float> = -1.0e32f;
template <>
inline constexpr double dummy_value<double> = -1.0e32;

}  // namespace vorlith::common
