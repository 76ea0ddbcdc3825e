// Integration_range limits on the stored values: clamping to a range and clipping a
// band of values to the dummy, on the stored elements of each scalar type (opaque text
// is clipped on its values read as double).

#include <vorlith/integration_range.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "math/elementwise_frame.h"
#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "storage/multi_vector_access.h"
#include "types/convert.h"
#include "types/type_list.h"

namespace vorlith::integration {

using math::dummy;

namespace {

template <class T>
T to_element_type(double value, const Multi_vector& v) {
  T result;
  types::convert(Legacy_type(type_double), &value, &result, v.get_type(), 1);
  return result;
}

// Which values a clip turns into dummies; NaN compares false everywhere, so it is in
// no band.
struct Clip_band {
  bool inside, include_min, include_max;
  template <class T>
  bool clips(T x, T lo, T hi) const {
    const bool above_min = include_min ? x >= lo : x > lo;
    const bool below_max = include_max ? x <= hi : x < hi;
    const bool under = include_min ? x < lo : x <= lo;
    const bool over = include_max ? x > hi : x >= hi;
    return inside ? (above_min & below_max) : (under | over);
  }
};

void clip_opaque(Multi_vector& v, double min, double max, const Clip_band& band, std::int64_t start,
                 std::int64_t count) {
  const std::int64_t min_block = get_integration_min_thread_block();
  if (count == 0) return;
  const std::int64_t width = v.get_element_size();
  const Legacy_type as_double(type_double);
  parallel::run_over_range(
      start, start + count, min_block, [&](std::int64_t first, std::int64_t last) {
        std::vector<double> values(
            static_cast<std::size_t>(std::min(last - first, sizes::piece_elements)));
        storage::for_each_run(
            last - first,
            [&](std::int64_t n, void* p) {
              char* texts = static_cast<char*>(p);
              for (std::int64_t done = 0; done < n;) {
                const std::int64_t m = std::min(n - done, static_cast<std::int64_t>(values.size()));
                types::convert(v.get_type(), texts + done * width, values.data(), as_double, m);
                for (std::int64_t i = 0; i < m; ++i) {
                  const double x = values[static_cast<std::size_t>(i)];
                  if (x != dummy && band.clips(x, min, max))
                    std::memset(texts + (done + i) * width, 0, width);
                }
                done += m;
              }
            },
            storage::cursor(v, first));
      });
}

}  // namespace

void Integration_range::clamp_to_range(Multi_vector& v, double min, double max, std::int64_t start,
                                       std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  VORLITH_EXPECTS(min <= max, "clamp_to_range: minimum ", min, " is above maximum ", max);
  VORLITH_EXPECTS(!v.is_opaque_type(), "clamp_to_range: a text channel cannot be clamped");
  types::visit_scalar_type(
      v.get_type(),
      [&]<class T>(types::type_tag<T>) {
        const T lo = to_element_type<T>(min, v);
        const T hi = to_element_type<T>(max, v);
        math::for_each_stored_run<T>(v, start, count, [lo, hi](std::int64_t n, T* p) {
          constexpr T d = common::dummy_value<T>;
#pragma omp simd
          for (std::int64_t i = 0; i < n; ++i) {
            const T x = p[i];
            const T clamped = x < lo ? lo : (x > hi ? hi : x);
            p[i] = x == d ? x : clamped;
          }
        });
      },
      [&] {
        VORLITH_EXPECTS(false, "clamp_to_range: a ", v.get_type().get_name(),
                        " channel cannot be clamped");
      });
}

void Integration_range::clip_range_to_dummy(Multi_vector& v, double min, double max, bool inside,
                                            bool include_min, bool include_max, std::int64_t start,
                                            std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  VORLITH_EXPECTS(min <= max, "clip_range_to_dummy: minimum ", min, " is above maximum ", max);
  const Clip_band band{inside, include_min, include_max};
  if (v.is_opaque_type()) {
    clip_opaque(v, min, max, band, start, count);
    return;
  }
  types::visit_scalar_type(
      v.get_type(),
      [&]<class T>(types::type_tag<T>) {
        const T lo = to_element_type<T>(min, v);
        const T hi = to_element_type<T>(max, v);
        math::for_each_stored_run<T>(v, start, count, [lo, hi, band](std::int64_t n, T* p) {
          constexpr T d = common::dummy_value<T>;
#pragma omp simd
          for (std::int64_t i = 0; i < n; ++i) {
            const T x = p[i];
            p[i] = (x != d && band.clips(x, lo, hi)) ? d : x;
          }
        });
      },
      [&] {
        VORLITH_EXPECTS(false, "clip_range_to_dummy: a ", v.get_type().get_name(),
                        " channel cannot be clipped");
      });
}

}  // namespace vorlith::integration
