#pragma once
// The stable sort of the library. The tolerant element rule calls two values equal
// when they lie within a relative tolerance, which is not transitive, so it is not
// the strict weak order that std::stable_sort requires. This merge sort makes no
// assumption about the comparator: every loop is bounded by positions, never by a
// comparison result, so an inconsistent answer can only give a less ordered result,
// never a read or write outside the range. With a consistent comparator it is an
// ordinary stable sort (ties keep their input order).

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>

#include "runtime/parallel.h"

namespace vorlith::storage {

namespace detail {

// Runs of this length are sorted by insertion before merging starts.
inline constexpr std::int64_t insertion_run = 16;

template <class It, class Before>
void insertion_sort(It first, std::int64_t n, Before& before) {
  for (std::int64_t i = 1; i < n; ++i) {
    auto value = std::move(first[i]);
    std::int64_t j = i;
    for (; j > 0 && before(value, first[j - 1]); --j) first[j] = std::move(first[j - 1]);
    first[j] = std::move(value);
  }
}

// Merges [lo, mid) and [mid, hi) of src into dst from lo; takes from the right run
// only when its element orders strictly before the left one, which keeps ties stable.
// Branch-free, the choice is made by arithmetic: it pays where the elements carry their
// keys (a mispredicted branch costs more than the comparison), and loses where the
// comparison reads memory through the elements, which the branch lets run ahead.
template <bool Branch_free, class Src, class Dst, class Before>
void merge_runs(Src src, Dst dst, std::int64_t lo, std::int64_t mid, std::int64_t hi,
                Before& before) {
  std::int64_t i = lo, j = mid, k = lo;
  while (i < mid && j < hi) {
    if constexpr (Branch_free) {
      const std::int64_t right = before(src[j], src[i]) ? 1 : 0;
      dst[k++] = src[i + (j - i) * right];
      j += right;
      i += 1 - right;
    } else if (before(src[j], src[i])) {
      dst[k++] = src[j++];
    } else {
      dst[k++] = src[i++];
    }
  }
  while (i < mid) dst[k++] = src[i++];
  while (j < hi) dst[k++] = src[j++];
}

template <bool Branch_free, class Src, class Dst, class Before>
void merge_pass(Src src, Dst dst, std::int64_t n, std::int64_t width, Before& before) {
  for (std::int64_t lo = 0; lo < n; lo += 2 * width) {
    const std::int64_t mid = std::min(lo + width, n);
    const std::int64_t hi = std::min(lo + 2 * width, n);
    merge_runs<Branch_free>(src, dst, lo, mid, hi, before);
  }
}

// The bottom-up passes: runs of insertion_run sorted by insertion, then merged at
// doubling widths.
template <bool Branch_free, class It, class Before>
void sort_bottom_up(It first, std::int64_t n, Before& before) {
  using T = typename std::iterator_traits<It>::value_type;
  for (std::int64_t lo = 0; lo < n; lo += insertion_run) {
    insertion_sort(first + lo, std::min(insertion_run, n - lo), before);
  }
  if (n <= insertion_run) return;
  const auto buffer = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(n));
  T* scratch = buffer.get();
  bool in_scratch = false;
  for (std::int64_t width = insertion_run; width < n; width *= 2) {
    if (in_scratch) {
      merge_pass<Branch_free>(scratch, first, n, width, before);
    } else {
      merge_pass<Branch_free>(first, scratch, n, width, before);
    }
    in_scratch = !in_scratch;
  }
  if (in_scratch) std::copy(scratch, scratch + n, first);
}

// Sorts of fewer elements stay on one thread.
inline constexpr std::int64_t parallel_sort_minimum = std::int64_t{1} << 15;

}  // namespace detail

/// Stable sort of [first, first + n): before(a, b) says whether a must come before b.
/// Uses a buffer of n elements, released on every exit. Branch_free: for elements that
/// carry their keys (see merge_runs); the order is the same either way. `before` may be
/// called from two threads at once.
template <bool Branch_free = false, class It, class Before>
void stable_merge_sort(It first, std::int64_t n, Before before) {
  using T = typename std::iterator_traits<It>::value_type;
  if (n < detail::parallel_sort_minimum || parallel::processor_count() < 2 ||
      external_is_smp_active()) {
    detail::sort_bottom_up<Branch_free>(first, n, before);
    return;
  }
  // The last pass merges [0, split) with [split, n), and every earlier merge lies within
  // one of the two (split is a multiple of all narrower widths). Sorting the two on
  // their own threads therefore makes exactly the comparisons of the passes on one
  // thread, and gives the same order even where the comparator is not transitive.
  std::int64_t split = detail::insertion_run;
  while (split * 2 < n) split *= 2;
  auto halves = [&](int t) {
    if (t == 0) {
      detail::sort_bottom_up<Branch_free>(first, split, before);
    } else {
      detail::sort_bottom_up<Branch_free>(first + split, n - split, before);
    }
  };
  parallel::run_chunks(2, halves, n * 8);
  const auto buffer = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(n));
  T* scratch = buffer.get();
  detail::merge_runs<Branch_free>(first, scratch, 0, split, n, before);
  std::copy(scratch, scratch + n, first);
}

}  // namespace vorlith::storage
