#pragma once
// The two element comparison rules of the sorts: exact and tolerant. Both place NaN
// after every number (and NaN equal to NaN), so a comparison involving NaN is still
// consistent; without NaN they are the plain rules.

#include <vorlith/multi_vector.h>
#include <vorlith/opaque.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "types/type_list.h"

namespace vorlith::storage {

using integration::compare_direction;

template <class T>
bool is_nan_value(const T& v) {
  if constexpr (types::is_floating_v<T>)
    return std::isnan(v);
  else
    return false;
}

/// Exact rule: integers and floating values by value, points lexicographically.
template <class T>
bool exact_less(const T& a, const T& b) {
  if constexpr (types::is_point_v<T>) {
    if (exact_less(a.x, b.x)) return true;
    if (exact_less(b.x, a.x)) return false;
    if constexpr (requires { a.z; }) {
      if (exact_less(a.y, b.y)) return true;
      if (exact_less(b.y, a.y)) return false;
      return exact_less(a.z, b.z);
    } else {
      return exact_less(a.y, b.y);
    }
  } else if constexpr (types::is_floating_v<T>) {
    return a < b || (std::isnan(b) && !std::isnan(a));
  } else {
    return a < b;
  }
}

/// Relative tolerance of the tolerant rule and the type its product is taken in.
template <class F>
inline constexpr double tolerance = sizeof(F) == sizeof(float) ? 1e-7 : 1e-14;

/// Tolerant rule for numbers known not to be NaN: whether a < b by more than the
/// tolerance. Differences and magnitudes are taken in the value's own precision,
/// the product and its comparison in double.
template <class F>
bool tolerant_less_number(F a, F b) {
  const F difference = b - a;
  const F magnitude = std::max(std::abs(a), std::abs(b));
  return (a < b) &
         (static_cast<double>(magnitude) * tolerance<F> <= static_cast<double>(difference));
}

/// Tolerant rule: integers exact; float and double equal within the relative
/// tolerance; points component by component with their component's rule.
template <class T>
compare_direction tolerant_compare(const T& a, const T& b) {
  if constexpr (types::is_point_v<T>) {
    const compare_direction x = tolerant_compare(a.x, b.x);
    if (x != compare_direction::equal) return x;
    const compare_direction y = tolerant_compare(a.y, b.y);
    if constexpr (requires { a.z; }) {
      if (y != compare_direction::equal) return y;
      return tolerant_compare(a.z, b.z);
    } else {
      return y;
    }
  } else if constexpr (types::is_floating_v<T>) {
    const bool nan_a = std::isnan(a), nan_b = std::isnan(b);
    if (nan_a || nan_b) {
      if (nan_a == nan_b) return compare_direction::equal;
      return nan_a ? compare_direction::greater : compare_direction::less;
    }
    if (tolerant_less_number(a, b)) return compare_direction::less;
    if (tolerant_less_number(b, a)) return compare_direction::greater;
    return compare_direction::equal;
  } else {
    if (a < b) return compare_direction::less;
    if (b < a) return compare_direction::greater;
    return compare_direction::equal;
  }
}

/// An opaque comparison result as a direction.
inline compare_direction direction_of(int comparison) {
  if (comparison < 0) return compare_direction::less;
  if (comparison > 0) return compare_direction::greater;
  return compare_direction::equal;
}

/// The opaque comparison for a case flag.
using Opaque_comparison = int (*)(const void*, const void*, std::int64_t);
inline Opaque_comparison opaque_comparison(bool case_insensitive) {
  return case_insensitive ? &integration::compare_opaque_case_insensitive
                          : &integration::compare_opaque_case_sensitive;
}

}  // namespace vorlith::storage
