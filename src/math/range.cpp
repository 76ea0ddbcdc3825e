// Integration_range: reductions over the driver's per-chunk states, limits on the
// stored values, and the detection-limit rules on the elementwise frame.

#include <vorlith/integration_range.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "math/elementwise_frame.h"
#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "storage/multi_vector_access.h"
#include "storage/window_reader.h"
#include "types/convert.h"
#include "types/type_list.h"

namespace vorlith::integration {

using math::dummy;
using math::Operands;

namespace {

// --- folding one value into a minimum or maximum ----------------------------------

// A dummy or NaN never enters a state: a NaN taken in as the first value would stick
// (nothing compares below it), so the result would depend on where chunks begin.
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

// --- reductions over values read as double ------------------------------------------

template <class State, std::size_t In, class Fold, class Combine>
State reduce_doubles(const Operands<In, 0>& ops, std::int64_t start, std::int64_t count,
                     const State& initial, Fold&& fold, Combine&& combine) {
  const std::int64_t min_block = get_integration_min_thread_block();
  if (count == 0) return initial;
  const bool direct = ops.direct();
  return parallel::run_and_reduce(
      start, start + count, min_block, initial,
      [&](std::int64_t first, std::int64_t last, State& state) {
        math::for_each_double_piece(
            ops, direct, first, last - first,
            [&](std::int64_t index, std::int64_t n, const std::array<const double*, In>& in,
                const std::array<double*, 0>&) { fold(state, index, n, in); });
      },
      combine);
}

Operands<1, 0> reading(const Multi_vector& v) { return {{&v}, {}}; }

Range_state<double> double_range(const Multi_vector& v, std::int64_t start, std::int64_t count) {
  return reduce_doubles(
      reading(v), start, count, Range_state<double>{},
      [](Range_state<double>& s, std::int64_t, std::int64_t n,
         const std::array<const double*, 1>& in) {
        for (std::int64_t i = 0; i < n; ++i) s.fold(in[0][i]);
      },
      [](Range_state<double>& into, const Range_state<double>& from) { into.combine(from); });
}

// --- native reductions and limits -----------------------------------------------------

// Runs fn(n, p) over the stored elements of a validated range, p typed T* (const T*
// for a const vector), one run at a time on the configured minimum thread block.
template <class T, class V, class Fn>
void for_each_stored_run(V& v, std::int64_t first, std::int64_t count, Fn&& fn) {
  using Pointer = std::conditional_t<std::is_const_v<V>, const T*, T*>;
  storage::for_each_run(
      count, [&](std::int64_t n, auto p) { fn(n, static_cast<Pointer>(p)); },
      storage::cursor(v, first));
}

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
        for_each_stored_run<T>(v, first, last - first,
                               [&](std::int64_t n, const T* p) { scan_range(n, p, state); });
      },
      [](Range_state<T>& into, const Range_state<T>& from) { into.combine(from); });
}

template <class T>
T to_element_type(double value, const Multi_vector& v) {
  T result;
  types::convert(Legacy_type(type_double), &value, &result, v.get_type(), 1);
  return result;
}

// Calls f(type_tag<T>) for the ten scalar types; opaque and point vectors go to
// `other` (which decides whether they are an error).
template <class F, class Other>
void visit_scalar(const Multi_vector& v, F&& f, Other&& other) {
  types::visit_type(v.get_type(), [&](auto tag) {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      other();
    } else if constexpr (types::is_point_v<typename decltype(tag)::type>) {
      other();
    } else {
      f(tag);
    }
  });
}

template <class T>
void run_stored(Multi_vector& v, std::int64_t start, std::int64_t count, auto&& fn) {
  const std::int64_t min_block = get_integration_min_thread_block();
  if (count == 0) return;
  parallel::run_over_range(start, start + count, min_block,
                           [&](std::int64_t first, std::int64_t last) {
                             std::int64_t n = last - first;
                             Multi_vector::validate_input_range(first, n, v);
                             for_each_stored_run<T>(v, first, n, fn);
                           });
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

constexpr std::int64_t opaque_piece = 4096;

void clip_opaque(Multi_vector& v, double min, double max, const Clip_band& band, std::int64_t start,
                 std::int64_t count) {
  const std::int64_t min_block = get_integration_min_thread_block();
  if (count == 0) return;
  const std::int64_t width = v.get_element_size();
  const Legacy_type as_double(type_double);
  parallel::run_over_range(
      start, start + count, min_block, [&](std::int64_t first, std::int64_t last) {
        std::vector<double> values(static_cast<std::size_t>(std::min(last - first, opaque_piece)));
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

// --- point ranges ---------------------------------------------------------------------

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

// --- detection-limit rules ------------------------------------------------------------

struct Raise_below {
  double limit;
  double apply(double x) const { return x < limit ? limit * 0.5 : x; }
};
struct Halve_negatives_raise_below {
  double limit;
  double apply(double x) const { return x < 0.0 ? x * -0.5 : (x < limit ? limit * 0.5 : x); }
};
struct Detection_limit {
  static constexpr bool propagates_dummy = false;
  double limit;
  double apply(double x) const { return (x == dummy || x < limit) ? limit * 0.5 : x; }
};
struct Factor_limit {
  double limit;
  double apply(double x) const { return x > limit ? limit : x; }
};
struct Scale_negatives {
  double factor;
  double apply(double x) const { return x < 0.0 ? x * factor : x; }
};

}  // namespace

// --- reductions -------------------------------------------------------------------------

double Integration_range::compute_min(const Multi_vector& v, std::int64_t start,
                                      std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  return double_range(v, start, count).min;
}

double Integration_range::compute_max(const Multi_vector& v, std::int64_t start,
                                      std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  return double_range(v, start, count).max;
}

double Integration_range::compute_positive_min(const Multi_vector& v, std::int64_t start,
                                               std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  return reduce_doubles(
      reading(v), start, count, dummy,
      [](double& m, std::int64_t, std::int64_t n, const std::array<const double*, 1>& in) {
        for (std::int64_t i = 0; i < n; ++i) {
          if (in[0][i] > 0.0) fold_min(m, in[0][i]);
        }
      },
      [](double& into, double from) { fold_min(into, from); });
}

void Integration_range::compute_max_and_index(const Multi_vector& v, double& max,
                                              std::int64_t& index, std::int64_t start,
                                              std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  struct State {
    double max = dummy;
    std::int64_t index = common::dummy_value<std::int64_t>;
    // Strictly greater: the first occurrence keeps the index, also across chunks,
    // which are combined in order.
    void fold(double x, std::int64_t i) {
      if (takes_part(x) && (max == dummy || x > max)) {
        max = x;
        index = i;
      }
    }
  };
  const State result = reduce_doubles(
      reading(v), start, count, State{},
      [](State& s, std::int64_t first, std::int64_t n, const std::array<const double*, 1>& in) {
        for (std::int64_t i = 0; i < n; ++i) s.fold(in[0][i], first + i);
      },
      [](State& into, const State& from) { into.fold(from.max, from.index); });
  max = result.max;
  index = result.index;
}

void Integration_range::compute_range(const Multi_vector& v, double& min, double& max,
                                      std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  if (v.is_opaque_type()) {
    const Range_state<double> r = double_range(v, start, count);
    min = r.min;
    max = r.max;
    return;
  }
  visit_scalar(
      v,
      [&]<class T>(types::type_tag<T>) {
        const Range_state<T> r = native_range<T>(v, start, count);
        min = types::convert_value<double>(r.min);
        max = types::convert_value<double>(r.max);
      },
      [&] {
        VORLITH_EXPECTS(false, "compute_range: a ", v.get_type().get_name(),
                        " channel has no scalar range");
      });
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
  visit_scalar(
      v,
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

void Integration_range::compute_range_double_point2d(const Multi_vector& v,
                                                     common::Point_2d<double>& min,
                                                     common::Point_2d<double>& max,
                                                     std::int64_t start, std::int64_t count) {
  point_range("compute_range_double_point2d", v, min, max, start, count);
}
void Integration_range::compute_range_float_point2d(const Multi_vector& v,
                                                    common::Point_2d<float>& min,
                                                    common::Point_2d<float>& max,
                                                    std::int64_t start, std::int64_t count) {
  point_range("compute_range_float_point2d", v, min, max, start, count);
}
void Integration_range::compute_range_int32_point2d(const Multi_vector& v,
                                                    common::Point_2d<std::int32_t>& min,
                                                    common::Point_2d<std::int32_t>& max,
                                                    std::int64_t start, std::int64_t count) {
  point_range("compute_range_int32_point2d", v, min, max, start, count);
}
void Integration_range::compute_range_double_point3d(const Multi_vector& v,
                                                     common::Point_3d<double>& min,
                                                     common::Point_3d<double>& max,
                                                     std::int64_t start, std::int64_t count) {
  point_range("compute_range_double_point3d", v, min, max, start, count);
}
void Integration_range::compute_range_float_point3d(const Multi_vector& v,
                                                    common::Point_3d<float>& min,
                                                    common::Point_3d<float>& max,
                                                    std::int64_t start, std::int64_t count) {
  point_range("compute_range_float_point3d", v, min, max, start, count);
}
void Integration_range::compute_range_int32_point3d(const Multi_vector& v,
                                                    common::Point_3d<std::int32_t>& min,
                                                    common::Point_3d<std::int32_t>& max,
                                                    std::int64_t start, std::int64_t count) {
  point_range("compute_range_int32_point3d", v, min, max, start, count);
}

void Integration_range::compute_range_hypot(const Multi_vector& x, const Multi_vector& y,
                                            double& min, double& max, std::int64_t start,
                                            std::int64_t count) {
  Multi_vector::validate_input_range(start, count, x, y);
  const Range_state<double> r = reduce_doubles(
      Operands<2, 0>{{&x, &y}, {}}, start, count, Range_state<double>{},
      [](Range_state<double>& s, std::int64_t, std::int64_t n,
         const std::array<const double*, 2>& in) {
        for (std::int64_t i = 0; i < n; ++i) {
          if (in[0][i] != dummy && in[1][i] != dummy) s.fold(std::hypot(in[0][i], in[1][i]));
        }
      },
      [](Range_state<double>& into, const Range_state<double>& from) { into.combine(from); });
  min = r.min;
  max = r.max;
}

void Integration_range::order(const Multi_vector& v, bool& has_equal_neighbours, Order& order,
                              std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  struct State {
    bool equal = false;
    bool mixed = false;
    Order direction = unordered;
    void see(Order d) {
      if (mixed || d == unordered) return;
      if (direction == unordered)
        direction = d;
      else if (direction != d)
        mixed = true;
    }
  };
  const std::int64_t min_block = get_integration_min_thread_block();
  State result;
  if (count > 0) {
    result = parallel::run_and_reduce(
        start, start + count, min_block, State{},
        [&](std::int64_t first, std::int64_t last, State& s) {
          // One element before each chunk, so pairs across chunk borders are seen.
          storage::Window_reader<1> reader({&v}, 1, 0);
          reader.for_each_piece(
              first, last - first,
              [&](std::int64_t, std::int64_t n, const std::array<const double*, 1>& b) {
                const double* values = b[0];
                for (std::int64_t j = 0; j < n; ++j) {
                  const double p = values[j], c = values[j + 1];
                  if (p == dummy || c == dummy) continue;
                  if (!(c > p) && !(p > c)) s.equal = true;
                  s.see(c > p ? increasing : (p > c ? decreasing : unordered));
                }
              });
        },
        [](State& into, const State& from) {
          into.equal = into.equal || from.equal;
          into.mixed = into.mixed || from.mixed;
          into.see(from.direction);
        });
  }
  has_equal_neighbours = result.equal;
  order = result.mixed ? unordered : result.direction;
}

// --- limits on the stored values --------------------------------------------------------

void Integration_range::clamp_to_range(Multi_vector& v, double min, double max, std::int64_t start,
                                       std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  VORLITH_EXPECTS(min <= max, "clamp_to_range: minimum ", min, " is above maximum ", max);
  VORLITH_EXPECTS(!v.is_opaque_type(), "clamp_to_range: a text channel cannot be clamped");
  visit_scalar(
      v,
      [&]<class T>(types::type_tag<T>) {
        const T lo = to_element_type<T>(min, v);
        const T hi = to_element_type<T>(max, v);
        run_stored<T>(v, start, count, [lo, hi](std::int64_t n, T* p) {
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
  visit_scalar(
      v,
      [&]<class T>(types::type_tag<T>) {
        const T lo = to_element_type<T>(min, v);
        const T hi = to_element_type<T>(max, v);
        run_stored<T>(v, start, count, [lo, hi, band](std::int64_t n, T* p) {
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

// --- detection limits -------------------------------------------------------------------

void Integration_range::clip_to_detection_limit(Multi_vector& v, double limit, bool halve_negatives,
                                                std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  if (limit == dummy) {
    if (halve_negatives) convert_negatives(v, -0.5, start, count);
    return;
  }
  if (halve_negatives)
    math::run_in_place(Halve_negatives_raise_below{limit}, v, start, count);
  else
    math::run_in_place(Raise_below{limit}, v, start, count);
}

void Integration_range::set_detection_limit(Multi_vector& v, double limit, std::int64_t start,
                                            std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  if (limit == dummy) limit = compute_positive_min(v, start, count);
  VORLITH_EXPECTS(limit > 0.0, "set_detection_limit: limit ", limit, " is not above 0");
  math::run_in_place(Detection_limit{limit}, v, start, count);
}

void Integration_range::set_factor_limit(Multi_vector& v, double limit, std::int64_t start,
                                         std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  VORLITH_EXPECTS(limit != dummy, "set_factor_limit: limit is the dummy");
  math::run_in_place(Factor_limit{limit}, v, start, count);
}

bool Integration_range::convert_negatives(Multi_vector& v, double factor, std::int64_t start,
                                          std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  if (factor == dummy) factor = -0.5;
  // A separate scan rather than a flag written from every thread: the rule itself
  // stays a pure function of the value.
  struct Found {
    bool any = false;
  };
  const bool found =
      reduce_doubles(
          reading(v), start, count, Found{},
          [](Found& f, std::int64_t, std::int64_t n, const std::array<const double*, 1>& in) {
            for (std::int64_t i = 0; i < n && !f.any; ++i)
              f.any = in[0][i] < 0.0 && in[0][i] != dummy;
          },
          [](Found& into, const Found& from) { into.any = into.any || from.any; })
          .any;
  if (found) math::run_in_place(Scale_negatives{factor}, v, start, count);
  return found;
}

}  // namespace vorlith::integration
