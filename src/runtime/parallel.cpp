#include "runtime/parallel.h"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "runtime/contracts.h"
#include "runtime/sizes.h"
#include "runtime/worker_hook.h"

namespace vorlith::parallel {
namespace {
int processor_override = 0;
std::int64_t region_work = sizes::region_work_minimum;
int processor_cap = 0;
std::atomic<Worker_hook> worker_hook{nullptr};

void call_worker_hook() {
  if (const Worker_hook hook = worker_hook.load(std::memory_order_relaxed)) hook();
}
}  // namespace

void set_worker_hook(Worker_hook hook) { worker_hook.store(hook, std::memory_order_relaxed); }

Chunk_plan plan_chunks(std::int64_t n, std::int64_t min_chunk, int processors) {
  // Single-precision ceilings, as the chunking rule has always been computed; the last
  // chunk runs to the end, so rounding never loses an index.
  const float per_processor =
      std::ceil(static_cast<float>(n) / static_cast<float>(std::max(processors, 1)));
  std::int64_t chunk = std::max(min_chunk, static_cast<std::int64_t>(per_processor));
  int threads = 1;
  if (chunk < n) {
    threads = static_cast<int>(std::ceil(static_cast<float>(n) / static_cast<float>(chunk)));
  } else {
    chunk = n;
  }
  return {chunk, threads};
}

int processor_count() {
  const int processors = processor_override > 0 ? processor_override : omp_get_num_procs();
  return processor_cap > 0 ? std::min(processors, processor_cap) : processors;
}

void set_processor_count_override(int processors) { processor_override = processors; }

int processor_count_cap() { return processor_cap; }

void set_processor_count_cap(int cap) {
  VORLITH_EXPECTS(cap >= 0, "set_integration_max_threads: cap ", cap, " is negative");
  processor_cap = cap;
}

void set_region_work_minimum(std::int64_t work) { region_work = work; }

void run_chunks(int threads, void (*body)(void* context, int t), void* context, std::int64_t work) {
  // One slot per chunk: no synchronisation is needed to record a failure, and the
  // failure reported is the one of the lowest chunk, whatever the timing.
  std::vector<std::exception_ptr> failures(static_cast<std::size_t>(threads));
  const auto run = [&](int t) {
    try {
      call_worker_hook();
      body(context, t);
    } catch (...) {
      failures[static_cast<std::size_t>(t)] = std::current_exception();
    }
  };
  if (work < region_work) {
    for (int t = 0; t < threads; ++t) run(t);
  } else {
#pragma omp parallel num_threads(threads)
    {
      const int team = omp_get_num_threads();
      for (int t = omp_get_thread_num(); t < threads; t += team) run(t);
    }
  }
  for (const auto& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

void run_strided_dynamic(std::int64_t n, std::int64_t stride,
                         void (*body)(void* context, std::int64_t i), void* context) {
  run_strided_dynamic(n, stride, body, nullptr, context);
}

void run_strided_dynamic(std::int64_t n, std::int64_t stride,
                         void (*body)(void* context, std::int64_t i),
                         void (*after_pass)(void* context, std::int64_t k), void* context) {
  constexpr std::int64_t dynamic_chunk = strided_dynamic_chunk;
  if (stride < 1) stride = 1;
  for (std::int64_t k = 0; k < stride; ++k) {
    const std::int64_t passes = n > k ? (n - k + stride - 1) / stride : 0;
    if (passes <= dynamic_chunk) {
      // One chunk would go to one thread anyway; skip the region.
      for (std::int64_t j = 0; j < passes; ++j) body(context, k + j * stride);
      if (after_pass != nullptr) after_pass(context, k);
      continue;
    }
    std::exception_ptr failure;
    bool failed = false;
#pragma omp parallel num_threads(std::min(processor_count(), omp_get_max_threads()))
    {
      std::exception_ptr mine;
#pragma omp for schedule(dynamic, dynamic_chunk)
      for (std::int64_t j = 0; j < passes; ++j) {
        if (mine) continue;
        try {
          if (j % dynamic_chunk == 0) call_worker_hook();
          body(context, k + j * stride);
        } catch (...) {
          mine = std::current_exception();
        }
      }
      if (mine) {
#pragma omp critical(vorlith_strided_failure)
        {
          if (!failed) {
            failure = mine;
            failed = true;
          }
        }
      }
    }
    if (failure) std::rethrow_exception(failure);
    if (after_pass != nullptr) after_pass(context, k);
  }
}

}  // namespace vorlith::parallel
