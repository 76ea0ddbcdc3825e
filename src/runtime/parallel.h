#pragma once
// The parallel-range driver: the one place that cuts an index range into per-thread
// chunks. Chunks are contiguous; chunk t covers [begin + t*C, begin + (t+1)*C), the
// last one runs to end. Exceptions thrown by a worker are caught in the worker and
// the first one, in chunk order, is rethrown on the calling thread after the region.

#include <vorlith/host_hooks.h>

#include <cstdint>
#include <exception>
#include <type_traits>
#include <utility>
#include <vector>

namespace vorlith::parallel {

struct Chunk_plan {
  std::int64_t chunk;  // indices per chunk (the last chunk takes the remainder)
  int threads;         // number of chunks
};

/// C = max(min_chunk, ceilf(n / P)); T = ceilf(n / C) when C < n, else C = n and T = 1.
/// Both ceilings are taken in single precision.
Chunk_plan plan_chunks(std::int64_t n, std::int64_t min_chunk, int processors);

/// Whether FFTW's threads were set up when the library was loaded.
extern bool fft_threads_ready;

/// The processor count the driver plans with: omp_get_num_procs(), unless a test
/// has set an override (processors > 0; 0 removes it), limited by the cap (0: none).
int processor_count();
void set_processor_count_override(int processors);
int processor_count_cap();
void set_processor_count_cap(int cap);

/// The work (elements times the per-element cost a call states) below which a region's
/// start-up and the wait for a second thread cost more than the thread saves: the
/// planned chunks then run one after the other on the calling thread, which gives the
/// same results. The default is sizes::region_work_minimum; tests set 0 so that every
/// planned region runs threads.
void set_region_work_minimum(std::int64_t work);

/// Runs body(t) for t in [0, threads) in one OpenMP region of `threads` threads
/// (threads > 1), each chunk exactly once even if the runtime grants fewer threads;
/// in chunk order on the calling thread when `work` is below the region work minimum.
/// Worker exceptions are carried back; the first by chunk index is rethrown.
void run_chunks(int threads, void (*body)(void* context, int t), void* context, std::int64_t work);

template <class Fn>
void run_chunks(int threads, Fn& fn, std::int64_t work) {
  run_chunks(
      threads, [](void* c, int t) { (*static_cast<Fn*>(c))(t); }, &fn, work);
}

/// fn(first, last) over [begin, end). With the host's veto (external_is_smp_active)
/// or a single chunk, fn runs once on the calling thread. `cost` is the work per index
/// relative to a memory-bound pass (see region_work_minimum).
template <class Fn>
void run_over_range(std::int64_t begin, std::int64_t end, std::int64_t min_chunk, Fn&& fn,
                    std::int64_t cost = 1) {
  if (external_is_smp_active()) {
    fn(begin, end);
    return;
  }
  const Chunk_plan plan = plan_chunks(end - begin, min_chunk, processor_count());
  if (plan.threads <= 1) {
    fn(begin, end);
    return;
  }
  auto body = [&](int t) {
    const std::int64_t first = begin + t * plan.chunk;
    const std::int64_t last = (t == plan.threads - 1) ? end : first + plan.chunk;
    fn(first, last);
  };
  run_chunks(plan.threads, body, (end - begin) * cost);
}

/// Per-chunk state reduction: fn(first, last, State& slot) fills one slot per chunk,
/// then combine(slot0, slot_t) folds slots 1..T-1 into slot 0 in chunk order. With
/// the host's veto the whole range is one chunk.
template <class State, class Fn, class Combine>
State run_and_reduce(std::int64_t begin, std::int64_t end, std::int64_t min_chunk,
                     const State& initial, Fn&& fn, Combine&& combine) {
  const std::int64_t n = end - begin;
  const std::int64_t effective_min = external_is_smp_active() ? n + 1 : min_chunk;
  const Chunk_plan plan = plan_chunks(n, effective_min, processor_count());
  std::vector<State> slots(static_cast<std::size_t>(plan.threads), initial);
  if (plan.threads <= 1) {
    fn(begin, end, slots[0]);
    return std::move(slots[0]);
  }
  auto body = [&](int t) {
    const std::int64_t first = begin + t * plan.chunk;
    const std::int64_t last = (t == plan.threads - 1) ? end : first + plan.chunk;
    fn(first, last, slots[static_cast<std::size_t>(t)]);
  };
  run_chunks(plan.threads, body, n);
  for (std::size_t t = 1; t < slots.size(); ++t) combine(slots[0], slots[t]);
  return std::move(slots[0]);
}

/// fn(first, last, double& slot); the slots are added in chunk order: ((s0 + s1) + s2)...
template <class Fn>
double run_and_sum(std::int64_t begin, std::int64_t end, std::int64_t min_chunk, Fn&& fn) {
  return run_and_reduce(begin, end, min_chunk, 0.0, std::forward<Fn>(fn),
                        [](double& into, double from) { into += from; });
}

/// Iterations handed out at a time by run_strided_dynamic. A pass of no more iterations
/// runs on the calling thread without opening a region.
inline constexpr std::int64_t strided_dynamic_chunk = 1000;

/// For k = 0 .. stride-1 in turn, one region of at most processor_count() threads runs fn(i) for
/// i = k, k + stride, ... below n, handed out dynamically in chunks of strided_dynamic_chunk
/// iterations. Every index of pass k is done before pass k+1 starts. When after_pass is given, it
/// runs after_pass(context, k) on the calling thread between pass k and pass k+1 (and
/// after the last pass).
void run_strided_dynamic(std::int64_t n, std::int64_t stride,
                         void (*body)(void* context, std::int64_t i),
                         void (*after_pass)(void* context, std::int64_t k), void* context);
void run_strided_dynamic(std::int64_t n, std::int64_t stride,
                         void (*body)(void* context, std::int64_t i), void* context);

template <class Fn>
void run_strided_dynamic(std::int64_t n, std::int64_t stride, Fn&& fn) {
  run_strided_dynamic(
      n, stride,
      +[](void* c, std::int64_t i) { (*static_cast<std::remove_reference_t<Fn>*>(c))(i); }, &fn);
}

/// As above, with after_pass(k) on the calling thread once pass k is complete.
template <class Fn, class After>
void run_strided_dynamic(std::int64_t n, std::int64_t stride, Fn&& fn, After&& after_pass) {
  struct Both {
    std::remove_reference_t<Fn>* fn;
    std::remove_reference_t<After>* after_pass;
  } both{&fn, &after_pass};
  run_strided_dynamic(
      n, stride, [](void* c, std::int64_t i) { (*static_cast<Both*>(c)->fn)(i); },
      [](void* c, std::int64_t k) { (*static_cast<Both*>(c)->after_pass)(k); }, &both);
}

}  // namespace vorlith::parallel
