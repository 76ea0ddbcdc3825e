// Integration_range point members: the range of each coordinate of 2-D and 3-D point
// channels, dummy points left out.

#include <vorlith/integration_range.h>

#include <cstdint>
#include <cstring>

#include "math/min_max.h"
#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "storage/multi_vector_access.h"

namespace vorlith::integration {

using math::fold_max;
using math::fold_min;

namespace {

template <class P>
struct Point_range {
  P min = P::dummy();
  P max = P::dummy();
  void fold(const P& p) {
    if (p.is_dummy()) return;
    fold_min(min.x, p.x);
    fold_max(max.x, p.x);
    fold_min(min.y, p.y);
    fold_max(max.y, p.y);
    if constexpr (requires { p.z; }) {
      fold_min(min.z, p.z);
      fold_max(max.z, p.z);
    }
  }
};

template <class P>
void point_range(const char* operation, const Multi_vector& v, P& min, P& max, std::int64_t start,
                 std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  VORLITH_EXPECTS(v.get_element_size() == static_cast<std::int64_t>(sizeof(P)), operation,
                  ": the channel is ", v.get_type().get_name(), ", whose elements are not ",
                  sizeof(P), " bytes");
  const std::int64_t min_block = get_integration_min_thread_block();
  Point_range<P> result;
  if (count > 0) {
    result = parallel::run_and_reduce(
        start, start + count, min_block, Point_range<P>{},
        [&](std::int64_t first, std::int64_t last, Point_range<P>& state) {
          storage::for_each_run(
              last - first,
              [&](std::int64_t n, const void* p) {
                const char* bytes = static_cast<const char*>(p);
                for (std::int64_t i = 0; i < n; ++i) {
                  P point;
                  std::memcpy(&point, bytes + i * static_cast<std::int64_t>(sizeof(P)), sizeof(P));
                  state.fold(point);
                }
              },
              storage::cursor(v, first));
        },
        [](Point_range<P>& into, const Point_range<P>& from) {
          if (!from.min.is_dummy()) into.fold(from.min);
          if (!from.max.is_dummy()) into.fold(from.max);
        });
  }
  min = result.min;
  max = result.max;
}

}  // namespace

// One template serves the six point members; the macro writes their signatures.
#define VORLITH_POINT_RANGE(name, P)                                                      \
  void Integration_range::name(const Multi_vector& v, P& min, P& max, std::int64_t start, \
                               std::int64_t count) {                                      \
    point_range(#name, v, min, max, start, count);                                        \
  }
VORLITH_POINT_RANGE(compute_range_double_point2d, common::Point_2d<double>)
VORLITH_POINT_RANGE(compute_range_float_point2d, common::Point_2d<float>)
VORLITH_POINT_RANGE(compute_range_int32_point2d, common::Point_2d<std::int32_t>)
VORLITH_POINT_RANGE(compute_range_double_point3d, common::Point_3d<double>)
VORLITH_POINT_RANGE(compute_range_float_point3d, common::Point_3d<float>)
VORLITH_POINT_RANGE(compute_range_int32_point3d, common::Point_3d<std::int32_t>)
#undef VORLITH_POINT_RANGE

}  // namespace vorlith::integration
