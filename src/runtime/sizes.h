#pragma once
// The sizes the whole library shares. Each is declared here once; loops and stores
// refer to these names, so a change of one size is a change of one line.

#include <array>
#include <cstdint>
#include <type_traits>

namespace vorlith::sizes {

/// Bytes of one block of a block vector, and the widest opaque element (one per block).
inline constexpr std::int64_t block_bytes = 4096;
inline constexpr std::int64_t max_opaque_width = block_bytes;

/// Elements per piece where a loop reads values through a buffer (converted doubles,
/// flags, gathered positions): large enough to amortise a call per piece, small enough
/// for per-thread buffers to stay in cache.
inline constexpr std::int64_t piece_elements = 8192;

/// The fixed minimum chunk of the operations that do not follow the configured minimum
/// thread block, and that block's default.
inline constexpr std::int64_t min_chunk = 16384;

/// The work below which a planned parallel region runs its chunks on the calling
/// thread (elements of a memory-bound pass; a call whose elements cost more states
/// its cost per element). Measured with bench/threads_bench: at 100,000 elements a
/// memory-bound pass takes about as long as opening a region and waiting for a second
/// thread on a quiet machine, and much less than that wait on a busy one.
inline constexpr std::int64_t region_work_minimum = std::int64_t{1} << 17;

/// Bytes of output from which an elementwise call writes with streaming stores: results
/// that large leave the cache before anyone reads them, and streaming skips reading each
/// destination line before it is overwritten (a third of the memory traffic of `add`).
inline constexpr std::int64_t stream_bytes = std::int64_t{16} << 20;

/// Opaque widths whose elements are moved and compared as fixed-size records.
inline constexpr std::array<std::int64_t, 5> optimized_opaque_widths = {8, 12, 16, 24,
                                                                        max_opaque_width};

static_assert(optimized_opaque_widths.size() == 5, "visit_opaque_width names each width");

constexpr bool is_optimized_opaque_width(std::int64_t width) {
  for (const std::int64_t w : optimized_opaque_widths)
    if (w == width) return true;
  return false;
}

/// Calls f(std::integral_constant<std::int64_t, W>{}) with the optimized width W equal to
/// `width`, or with W = 0 when `width` is not one of them.
template <class F>
decltype(auto) visit_opaque_width(std::int64_t width, F&& f) {
  using W = std::int64_t;
  switch (width) {
    case optimized_opaque_widths[0]:
      return f(std::integral_constant<W, optimized_opaque_widths[0]>{});
    case optimized_opaque_widths[1]:
      return f(std::integral_constant<W, optimized_opaque_widths[1]>{});
    case optimized_opaque_widths[2]:
      return f(std::integral_constant<W, optimized_opaque_widths[2]>{});
    case optimized_opaque_widths[3]:
      return f(std::integral_constant<W, optimized_opaque_widths[3]>{});
    case optimized_opaque_widths[4]:
      return f(std::integral_constant<W, optimized_opaque_widths[4]>{});
    default:
      return f(std::integral_constant<W, 0>{});
  }
}

}  // namespace vorlith::sizes
