#pragma once
// Folding values into a minimum and maximum, shared by the range members: a dummy or
// NaN never enters a state, and a state without values holds the dummy.

#include <vorlith/dummy.h>
#include <vorlith/multi_vector.h>

#include <array>
#include <cstdint>

#include "math/elementwise_frame.h"

namespace vorlith::math {

// A NaN taken in as the first value would stick (nothing compares below it), so the
// result would depend on where chunks begin.
template <class T>
bool takes_part(T x) {
  return x != common::dummy_value<T> && x == x;
}

template <class T>
void fold_min(T& state, T x) {
  if (takes_part(x) && (state == common::dummy_value<T> || x < state)) state = x;
}

template <class T>
void fold_max(T& state, T x) {
  if (takes_part(x) && (state == common::dummy_value<T> || x > state)) state = x;
}

template <class T>
struct Range_state {
  T min = common::dummy_value<T>;
  T max = common::dummy_value<T>;
  void fold(T x) {
    fold_min(min, x);
    fold_max(max, x);
  }
  void combine(const Range_state& from) {
    fold_min(min, from.min);
    fold_max(max, from.max);
  }
};

/// The vector read as doubles by a reduction.
inline Operands<1, 0> reading(const Multi_vector& v) { return {{&v}, {}}; }

/// The range of [start, start + count) of v read as doubles.
inline Range_state<double> double_range(const Multi_vector& v, std::int64_t start,
                                        std::int64_t count) {
  return reduce_elementwise(
      reading(v), start, count, Range_state<double>{},
      [](Range_state<double>& s, std::int64_t, std::int64_t n,
         const std::array<const double*, 1>& in) {
        for (std::int64_t i = 0; i < n; ++i) s.fold(in[0][i]);
      },
      [](Range_state<double>& into, const Range_state<double>& from) { into.combine(from); });
}

}  // namespace vorlith::math
