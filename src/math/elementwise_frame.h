#pragma once
// The elementwise frame: every member whose output element depends only on the input
// elements at the same index runs through here. A member is a small rule struct; the
// frame validates nothing itself (each member knows its own range rules), but drives the
// validated range over threads and hands the rule pieces of doubles:
// - direct path: every vector is double with one storage mode, so the rule runs on the
//   stored doubles, one run at a time (a contiguous vector is a single run);
// - converted path: pieces of sizes::piece_elements are read with get_range_double into
//   per-thread buffers and written back with set_range_double.
// The same walk serves the reductions (reduce_elementwise: one state per chunk, combined
// in chunk order); members that work on the stored values of their own type use the
// typed-run driver (for_each_stored_run) instead.
//
// Rule interface (see elementwise.cpp):
//   double apply(double x...) const            one output, or
//   std::array<double, 2> apply(double x...)    two outputs (rotate);
//   static constexpr bool propagates_dummy     true: any dummy input gives dummy outputs,
//                                              selected after apply (which runs anyway,
//                                              so the loop stays branch-free);
//   static constexpr bool takes_index          true: apply(index, x...) gets the element's
//                                              absolute index as a double first.

#include <vorlith/dummy.h>
#include <vorlith/host_hooks.h>
#include <vorlith/multi_vector.h>

#include <array>
#include <cstdint>
#include <limits>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "storage/multi_vector_access.h"

namespace vorlith::math {

using integration::Multi_vector;

inline constexpr double dummy = common::dummy_value<double>;

/// The vectors of one call: In inputs read as doubles, Out outputs written as doubles.
/// An output may be the same vector as an input (in-place members).
template <std::size_t In, std::size_t Out>
struct Operands {
  std::array<const Multi_vector*, In> in;
  std::array<Multi_vector*, Out> out;

  /// The stored doubles can be used directly (storage::holds_doubles of all vectors).
  bool direct() const {
    return std::apply([](const auto*... v) { return storage::holds_doubles(*v...); },
                      std::tuple_cat(in, out));
  }

  /// The shortest length of all vectors: what a chunk is checked against again.
  std::int64_t shortest() const {
    std::int64_t n = In > 0 ? in[0]->get_length() : out[0]->get_length();
    for (const Multi_vector* v : in) n = std::min(n, v->get_length());
    for (const Multi_vector* v : out) n = std::min(n, v->get_length());
    return n;
  }
};

namespace detail {

template <std::size_t In, std::size_t Out, std::size_t... K, std::size_t... J>
void walk_direct(const Operands<In, Out>& ops, std::int64_t first, std::int64_t count, auto& fn,
                 std::index_sequence<K...>, std::index_sequence<J...>) {
  std::int64_t index = first;
  storage::for_each_run(
      count,
      [&](std::int64_t n, auto... p) {
        const void* pointers[] = {p..., nullptr};
        std::array<const double*, In> in{static_cast<const double*>(pointers[K])...};
        std::array<double*, Out> out{static_cast<double*>(const_cast<void*>(pointers[In + J]))...};
        fn(index, n, in, out);
        index += n;
      },
      storage::cursor(*ops.in[K], first)..., storage::cursor(*ops.out[J], first)...);
}

// The NaN rule (get_integration_nan_missing) on a piece of a float or double vector.
inline void nan_to_dummy(double* x, std::int64_t n) {
  for (std::int64_t i = 0; i < n; ++i) x[i] = x[i] != x[i] ? dummy : x[i];
}
inline void copy_nan_as_dummy(const double* from, double* to, std::int64_t n) {
  for (std::int64_t i = 0; i < n; ++i) to[i] = from[i] != from[i] ? dummy : from[i];
}
inline void dummy_to_nan(double* x, std::int64_t n) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::int64_t i = 0; i < n; ++i) x[i] = x[i] == dummy ? nan : x[i];
}

}  // namespace detail

/// Calls fn(index, n, in, out) over [first, first + count) in ascending pieces: in[k]
/// holds input k's elements index .. index + n - 1 as doubles, out[j] receives output
/// j's. On the converted path the buffers are allocated once for the whole call (one
/// per vector, a piece of doubles each) and each piece is written back before the next.
/// With `nan` (converted path only) NaN read from a float or double vector is the dummy,
/// and a float or double output receives NaN for the dummy.
template <std::size_t In, std::size_t Out, class Fn>
void for_each_double_piece(const Operands<In, Out>& ops, bool direct, std::int64_t first,
                           std::int64_t count, Fn&& fn, bool nan = false) {
  if (count <= 0) return;
  // The NaN rule adds passes over each piece: small pieces keep them in the first-level cache.
  const std::int64_t piece =
      std::min(count, nan ? sizes::piece_elements / 32 : sizes::piece_elements);
  if (direct && nan && Out == 0) {
    // A reduction over stored doubles: each piece is read once, into a buffer with the
    // dummy for NaN.
    std::vector<double> buffers(static_cast<std::size_t>(In * piece));
    std::array<const double*, In> held;
    for (std::size_t k = 0; k < In; ++k) held[k] = buffers.data() + k * piece;
    auto hold = [&](std::int64_t index, std::int64_t n, const std::array<const double*, In>& in,
                    const std::array<double*, Out>& out) {
      for (std::int64_t done = 0; done < n; done += piece) {
        const std::int64_t m = std::min(piece, n - done);
        for (std::size_t k = 0; k < In; ++k)
          detail::copy_nan_as_dummy(in[k] + done, const_cast<double*>(held[k]), m);
        fn(index + done, m, held, out);
      }
    };
    detail::walk_direct(ops, first, count, hold, std::make_index_sequence<In>{},
                        std::make_index_sequence<Out>{});
    return;
  }
  if (direct && !(nan && Out > 0)) {
    detail::walk_direct(ops, first, count, fn, std::make_index_sequence<In>{},
                        std::make_index_sequence<Out>{});
    return;
  }
  std::vector<double> buffers(static_cast<std::size_t>((In + Out) * piece));
  std::array<double*, In> read;
  std::array<const double*, In> in;
  std::array<double*, Out> out;
  for (std::size_t k = 0; k < In; ++k) in[k] = read[k] = buffers.data() + k * piece;
  for (std::size_t j = 0; j < Out; ++j) out[j] = buffers.data() + (In + j) * piece;
  std::array<bool, In> nan_in{};
  std::array<bool, Out> nan_out{};
  for (std::size_t k = 0; k < In; ++k) nan_in[k] = nan && ops.in[k]->get_type().is_floating();
  for (std::size_t j = 0; j < Out; ++j) nan_out[j] = nan && ops.out[j]->get_type().is_floating();
  for (std::int64_t index = first, remaining = count; remaining > 0;) {
    const std::int64_t n = std::min(remaining, piece);
    for (std::size_t k = 0; k < In; ++k) {
      ops.in[k]->get_range_double(index, n, read[k]);
      if (nan_in[k]) detail::nan_to_dummy(read[k], n);
    }
    fn(index, n, in, out);
    for (std::size_t j = 0; j < Out; ++j) {
      if (nan_out[j]) detail::dummy_to_nan(out[j], n);
      ops.out[j]->set_range_double(index, n, out[j]);
    }
    index += n;
    remaining -= n;
  }
}

namespace detail {

template <class Rule>
constexpr bool propagates_dummy() {
  if constexpr (requires { Rule::propagates_dummy; })
    return Rule::propagates_dummy;
  else
    return true;
}

template <class Rule>
constexpr bool takes_index() {
  if constexpr (requires { Rule::takes_index; })
    return Rule::takes_index;
  else
    return false;
}

template <class Rule, class... X>
inline auto call_rule(const Rule& rule, std::int64_t index, X... x) {
  if constexpr (takes_index<Rule>())
    return rule.apply(static_cast<double>(index), x...);
  else
    return rule.apply(x...);
}

// The one inner loop: compute, then select the dummy, without a branch. An output run
// is either another vector's memory or exactly an input's run (in-place members), so
// no iteration depends on another. `omp simd` says so, and also lifts -O2's cheapest
// cost model, which would otherwise refuse any loop that needs a scalar remainder.
// With Nan (the NaN rule on the direct path of a rule that propagates dummies), NaN
// inputs are missing too and NaN stands for every dummy the loop would write.
template <bool Nan = false, class Rule, class... P>
void apply_loop(const Rule& rule, std::int64_t index, std::int64_t n, double* dst,
                const P*... src) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
#pragma omp simd
  for (std::int64_t i = 0; i < n; ++i) {
    const double r = call_rule(rule, index + i, src[i]...);
    if constexpr (Nan) {
      const bool missing = (((src[i] == dummy) | (src[i] != src[i])) | ...);
      dst[i] = (missing | (r == dummy)) ? nan : r;
    } else if constexpr (propagates_dummy<Rule>()) {
      const bool any_dummy = ((src[i] == dummy) | ...);
      dst[i] = any_dummy ? dummy : r;
    } else {
      dst[i] = r;
    }
  }
}

template <class Rule, class... P>
void apply_loop(const Rule& rule, std::int64_t index, std::int64_t n, double* dst0, double* dst1,
                const P*... src) {
  static_assert(propagates_dummy<Rule>());
#pragma omp simd
  for (std::int64_t i = 0; i < n; ++i) {
    const std::array<double, 2> r = call_rule(rule, index + i, src[i]...);
    const bool any_dummy = ((src[i] == dummy) | ...);
    dst0[i] = any_dummy ? dummy : r[0];
    dst1[i] = any_dummy ? dummy : r[1];
  }
}

// Rules with three outputs (the field-vector conversions): not worth vectorising, the
// per-element work is dominated by the trigonometry.
template <class Rule, class... P>
void apply_loop3(const Rule& rule, std::int64_t index, std::int64_t n, double* dst0, double* dst1,
                 double* dst2, const P*... src) {
  static_assert(propagates_dummy<Rule>());
  for (std::int64_t i = 0; i < n; ++i) {
    const std::array<double, 3> r = call_rule(rule, index + i, src[i]...);
    const bool any_dummy = ((src[i] == dummy) | ...);
    dst0[i] = any_dummy ? dummy : r[0];
    dst1[i] = any_dummy ? dummy : r[1];
    dst2[i] = any_dummy ? dummy : r[2];
  }
}

// Writes a tile of results with streaming stores where the platform has them.
inline void stream_out(double* dst, const double* tile, std::int64_t n) {
  std::int64_t i = 0;
#if defined(__SSE2__)
  for (; i < n && reinterpret_cast<std::uintptr_t>(dst + i) % 16 != 0; ++i) dst[i] = tile[i];
  for (; i + 2 <= n; i += 2) _mm_stream_pd(dst + i, _mm_loadu_pd(tile + i));
#endif
  for (; i < n; ++i) dst[i] = tile[i];
}

// Streaming stores are weakly ordered: a chunk that wrote some fences before it ends.
inline void stream_fence() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

template <bool Nan = false, class Rule, std::size_t In, std::size_t Out, std::size_t... K,
          std::size_t... J>
void apply_piece(const Rule& rule, std::int64_t index, std::int64_t n,
                 const std::array<const double*, In>& in, const std::array<double*, Out>& out,
                 bool stream, std::index_sequence<K...>, std::index_sequence<J...>) {
  static_assert(!Nan || Out == 1);
  if constexpr (Out == 1) {
    // Computed into a tile in cache, then streamed out; not for in-place members, whose
    // destination lines were just read anyway.
    if (stream && ((out[0] != in[K]) && ...)) {
      constexpr std::int64_t tile_elements = 512;
      alignas(64) double tile[tile_elements];
      for (std::int64_t done = 0; done < n; done += tile_elements) {
        const std::int64_t m = std::min(tile_elements, n - done);
        apply_loop<Nan>(rule, index + done, m, tile, (in[K] + done)...);
        stream_out(out[0] + done, tile, m);
      }
      return;
    }
  }
  if constexpr (Out == 3)
    apply_loop3(rule, index, n, out[J]..., in[K]...);
  else if constexpr (Out == 1)
    apply_loop<Nan>(rule, index, n, out[0], in[K]...);
  else
    apply_loop(rule, index, n, out[J]..., in[K]...);
}

// Whether the NaN rule can run inside the loop on stored doubles (else it needs the
// converted path, which swaps NaN and the dummy in the buffers).
template <class Rule, std::size_t Out>
constexpr bool nan_in_loop() {
  return Out == 1 && propagates_dummy<Rule>();
}

}  // namespace detail

/// Runs the rule over an already validated range [start, start + count): the minimum
/// thread block (the configured one unless a member fixes its own) splits it, each
/// chunk is checked against every vector again and walked in pieces.
template <class Rule, std::size_t In, std::size_t Out>
void run_elementwise(const Rule& rule, const Operands<In, Out>& ops, std::int64_t start,
                     std::int64_t count,
                     std::int64_t min_block = get_integration_min_thread_block()) {
  std::int64_t checked = count;
  Multi_vector::validate_input_range(start, checked, ops.shortest());
  if (checked == 0) return;
  // The NaN rule runs in the loop on stored doubles where it can, else on the converted path.
  const bool nan = get_integration_nan_missing();
  const bool direct = ops.direct() && (!nan || detail::nan_in_loop<Rule, Out>());
  const bool stream = direct && Out == 1 &&
                      checked * static_cast<std::int64_t>(sizeof(double)) >= sizes::stream_bytes;
  parallel::run_over_range(
      start, start + checked, min_block, [&](std::int64_t first, std::int64_t last) {
        std::int64_t n = last - first;
        Multi_vector::validate_input_range(first, n, ops.shortest());
        for_each_double_piece(
            ops, direct, first, n,
            [&](std::int64_t index, std::int64_t p, const std::array<const double*, In>& in,
                const std::array<double*, Out>& out) {
              if constexpr (detail::nan_in_loop<Rule, Out>()) {
                if (nan && direct) {
                  detail::apply_piece<true>(rule, index, p, in, out, stream,
                                            std::make_index_sequence<In>{},
                                            std::make_index_sequence<Out>{});
                  return;
                }
              }
              detail::apply_piece(rule, index, p, in, out, stream, std::make_index_sequence<In>{},
                                  std::make_index_sequence<Out>{});
            },
            nan && !direct);
        if (stream) detail::stream_fence();
      });
}

/// Folds the validated range of the inputs into one State: fold(state, index, n, in)
/// takes in a piece of doubles (elements index .. index + n - 1) into its chunk's state,
/// which starts as `initial`; combine(into, from) folds the chunk states in chunk order.
template <class State, std::size_t In, class Fold, class Combine>
State reduce_elementwise(const Operands<In, 0>& ops, std::int64_t start, std::int64_t count,
                         const State& initial, Fold&& fold, Combine&& combine) {
  const bool nan = get_integration_nan_missing();
  const bool direct = ops.direct();
  return parallel::run_and_reduce(
      start, start + count, get_integration_min_thread_block(), initial,
      [&](std::int64_t first, std::int64_t last, State& state) {
        std::int64_t n = last - first;
        Multi_vector::validate_input_range(first, n, ops.shortest());
        for_each_double_piece(
            ops, direct, first, n,
            [&](std::int64_t index, std::int64_t p, const std::array<const double*, In>& in,
                const std::array<double*, 0>&) { fold(state, index, p, in); },
            nan);
      },
      combine);
}

/// The typed-run driver: fn(n, T* p) over the stored elements of the validated range of
/// v (whose value type is T), chunks on the configured minimum thread block, one run at
/// a time.
template <class T, class Fn>
void for_each_stored_run(Multi_vector& v, std::int64_t start, std::int64_t count, Fn&& fn) {
  parallel::run_over_range(start, start + count, get_integration_min_thread_block(),
                           [&](std::int64_t first, std::int64_t last) {
                             std::int64_t n = last - first;
                             Multi_vector::validate_input_range(first, n, v);
                             storage::for_each_typed_run<T>(v, first, n, fn);
                           });
}

/// The in-place form: one vector read and written.
template <class Rule>
void run_in_place(const Rule& rule, Multi_vector& v, std::int64_t start, std::int64_t count) {
  run_elementwise(rule, Operands<1, 1>{{&v}, {&v}}, start, count);
}

}  // namespace vorlith::math
