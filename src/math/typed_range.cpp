// Integration_range::compute_range, compute_min and compute_max: the minimum and maximum
// of a channel, found on the stored values of the scalar types (exact for 64-bit integers) and on
// doubles read from opaque text.

#include <vorlith/integration_range.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "math/min_max.h"
#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "storage/multi_vector_access.h"
#include "types/convert.h"
#include "types/type_list.h"

namespace vorlith::integration {

using math::double_range;
using math::fold_max;
using math::fold_min;
using math::Range_state;

namespace {

// The range of one run, found branch-free: values that do not take part are replaced
// by the neutral bound, and "nothing found" shows as min > max.
template <class T>
void scan_range(std::int64_t n, const T* p, Range_state<T>& state) {
  constexpr T highest = std::numeric_limits<T>::has_infinity ? std::numeric_limits<T>::infinity()
                                                             : std::numeric_limits<T>::max();
  constexpr T lowest = std::numeric_limits<T>::has_infinity ? -std::numeric_limits<T>::infinity()
                                                            : std::numeric_limits<T>::lowest();
  constexpr T d = common::dummy_value<T>;
  T lo = highest;
  T hi = lowest;
#pragma omp simd reduction(min : lo) reduction(max : hi)
  for (std::int64_t i = 0; i < n; ++i) {
    const T x = p[i];
    const bool valid = (x != d) & (x == x);
    const T low_candidate = valid ? x : highest;
    const T high_candidate = valid ? x : lowest;
    lo = low_candidate < lo ? low_candidate : lo;
    hi = high_candidate > hi ? high_candidate : hi;
  }
  if (lo <= hi) {
    fold_min(state.min, lo);
    fold_max(state.max, hi);
  }
}

template <class T>
Range_state<T> native_range(const Multi_vector& v, std::int64_t start, std::int64_t count) {
  const std::int64_t min_block = get_integration_min_thread_block();
  if (count == 0) return {};
  return parallel::run_and_reduce(
      start, start + count, min_block, Range_state<T>{},
      [&](std::int64_t first, std::int64_t last, Range_state<T>& state) {
        storage::for_each_typed_run<T>(
            v, first, last - first, [&](std::int64_t n, const T* p) { scan_range(n, p, state); });
      },
      [](Range_state<T>& into, const Range_state<T>& from) { into.combine(from); });
}

// The range read as doubles. On a scalar channel it is found on the stored values:
// the conversion to double never reverses an order and maps only the dummy to the
// dummy, so the converted extremes are the extremes of the converted values.
// Other channels give other()'s range.
template <class Other>
Range_state<double> range_as_doubles(const Multi_vector& v, std::int64_t start, std::int64_t count,
                                     Other&& other) {
  Range_state<double> result;
  types::visit_scalar_type(
      v.get_type(),
      [&]<class T>(types::type_tag<T>) {
        const Range_state<T> r = native_range<T>(v, start, count);
        result.min = types::convert_value<double>(r.min);
        result.max = types::convert_value<double>(r.max);
      },
      [&] { result = other(); });
  return result;
}

}  // namespace

double Integration_range::compute_min(const Multi_vector& v, std::int64_t start,
                                      std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  return range_as_doubles(v, start, count, [&] { return double_range(v, start, count); }).min;
}

double Integration_range::compute_max(const Multi_vector& v, std::int64_t start,
                                      std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  return range_as_doubles(v, start, count, [&] { return double_range(v, start, count); }).max;
}

void Integration_range::compute_range(const Multi_vector& v, double& min, double& max,
                                      std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  const Range_state<double> r = range_as_doubles(v, start, count, [&] {
    VORLITH_EXPECTS(v.is_opaque_type(), "compute_range: a ", v.get_type().get_name(),
                    " channel has no scalar range");
    return double_range(v, start, count);
  });
  min = r.min;
  max = r.max;
}

void Integration_range::compute_range(const Multi_vector& v, void* min, void* max,
                                      std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  VORLITH_EXPECTS(min != nullptr, "compute_range: min is a null pointer");
  VORLITH_EXPECTS(max != nullptr, "compute_range: max is a null pointer");
  if (v.is_opaque_type()) {
    const Range_state<double> r = double_range(v, start, count);
    types::convert(Legacy_type(type_double), &r.min, min, v.get_type(), 1);
    types::convert(Legacy_type(type_double), &r.max, max, v.get_type(), 1);
    return;
  }
  types::visit_scalar_type(
      v.get_type(),
      [&]<class T>(types::type_tag<T>) {
        const Range_state<T> r = native_range<T>(v, start, count);
        std::memcpy(min, &r.min, sizeof(T));
        std::memcpy(max, &r.max, sizeof(T));
      },
      [&] {
        VORLITH_EXPECTS(false, "compute_range: a ", v.get_type().get_name(),
                        " channel has no scalar range");
      });
}

}  // namespace vorlith::integration
