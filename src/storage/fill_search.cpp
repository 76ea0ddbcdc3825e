// Multi_vector fills, searches, replacement, dummy counting and upper-casing.

#include <vorlith/multi_vector.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "storage/element_model.h"
#include "storage/multi_vector_access.h"
#include "types/convert.h"
#include "types/opaque_text.h"

namespace vorlith::integration {

using storage::cursor;
using storage::for_each_run;

namespace {

constexpr std::int64_t int32_limit = 2147483647;

// increment * n + first < 2147483647, evaluated exactly for every int64 first and
// increment and n >= 1 (the product may not fit 64 bits). It is equivalent to
// increment <= floor((2147483646 - first) / n).
bool int32_run_fits(std::int64_t first, std::int64_t increment, std::int64_t n) {
  if (first <= 0) {
    // 2147483646 - first lies in [2147483646, 2^63 + 2147483646]: fits unsigned 64 bits.
    const std::uint64_t bound =
        static_cast<std::uint64_t>(int32_limit - 1) + (0 - static_cast<std::uint64_t>(first));
    return increment < 0 ||
           static_cast<std::uint64_t>(increment) <= bound / static_cast<std::uint64_t>(n);
  }
  const std::int64_t bound = int32_limit - 1 - first;  // no overflow: first > 0
  std::int64_t quotient = bound / n;
  if (bound % n != 0 && bound < 0) --quotient;  // round towards minus infinity
  return increment <= quotient;
}

// Index of the first element of [start, start + count) for which hit(element) holds,
// walking upwards; -1 when there is none.
template <class Hit>
std::int64_t search_up(const Multi_vector& v, std::int64_t start, std::int64_t count,
                       std::int64_t size, Hit&& hit) {
  std::int64_t found = -1;
  std::int64_t position = start;
  for_each_run(
      count,
      [&](std::int64_t n, const void* p) -> bool {
        const char* e = static_cast<const char*>(p);
        for (std::int64_t k = 0; k < n; ++k) {
          if (hit(e + k * size)) {
            found = position + k;
            return false;
          }
        }
        position += n;
        return true;
      },
      cursor(v, start));
  return found;
}

// Index of the first element for which hit(element) holds among top, top - 1, ...,
// top - count + 1; -1 when there is none. Each step takes the part of top's block at or
// below top (a run of the block view), so a hit ends the walk early.
template <class Hit>
std::int64_t search_down(const Multi_vector& v, std::int64_t top, std::int64_t count,
                         std::int64_t size, Hit&& hit) {
  const std::int64_t per_block = v.get_block_elements();
  while (count > 0) {
    const std::int64_t n = std::min(count, top % per_block + 1);
    const std::int64_t bottom = top - n + 1;
    std::int64_t found = -1;
    std::int64_t position = bottom;
    for_each_run(
        n,
        [&](std::int64_t run, const void* p) {
          const char* e = static_cast<const char*>(p);
          for (std::int64_t k = run - 1; k >= 0; --k) {
            if (hit(e + k * size)) {
              found = std::max(found, position + k);
              break;
            }
          }
          position += run;
        },
        cursor(v, bottom));
    if (found >= 0) return found;
    top -= n;
    count -= n;
  }
  return -1;
}

// A copy of the caller's value, so the search loops compare against local memory.
struct Element_value {
  explicit Element_value(const void* value, std::int64_t size) {
    std::memcpy(bytes, value, static_cast<std::size_t>(size));
  }
  alignas(16) unsigned char bytes[sizes::max_opaque_width];
};

// The forward and backward searches share these: `M` tells which element counts as a
// hit, for the vector's own element model.
enum class Match { equal, not_equal, dummy, non_dummy };

template <Match M, class Model>
auto hit_test(const Model& model, const void* value) {
  return [=, &model](const char* e) {
    if constexpr (M == Match::equal)
      return model.equal(e, value);
    else if constexpr (M == Match::not_equal)
      return !model.equal(e, value);
    else if constexpr (M == Match::dummy)
      return model.is_dummy(e);
    else
      return !model.is_dummy(e);
  };
}

}  // namespace

// --- fills ------------------------------------------------------------------------

void Multi_vector::fill_value(const void* value, std::int64_t start, std::int64_t count) {
  storage::validate_output_range(*this, start, count, value, "fill_value", "value");
  if (count == 0) return;
  // One block's worth of copies of value: every run is written from it with byte copies.
  const auto size = static_cast<std::size_t>(element_size_);
  std::vector<unsigned char> pattern(static_cast<std::size_t>(block_elements_) * size);
  for (std::int64_t k = 0; k < block_elements_; ++k)
    std::memcpy(pattern.data() + k * size, value, size);
  parallel::run_over_range(start, start + count, get_integration_min_thread_block(),
                           [&](std::int64_t first, std::int64_t last) {
                             for_each_run(
                                 last - first,
                                 [&](std::int64_t n, void* p) {
                                   auto* out = static_cast<unsigned char*>(p);
                                   for (std::int64_t done = 0; done < n;) {
                                     const std::int64_t m = std::min(n - done, block_elements_);
                                     std::memcpy(out + done * size, pattern.data(),
                                                 static_cast<std::size_t>(m) * size);
                                     done += m;
                                   }
                                 },
                                 cursor(*this, first));
                           });
}

namespace {

// Each int32 run of the block view must satisfy increment * n + first < 2147483647.
// The test is monotonic in n, so the shortest and longest runs of `count` elements
// from `start` decide it.
void expect_int32_runs_fit(std::int64_t first, std::int64_t increment, std::int64_t start,
                           std::int64_t count, std::int64_t per_block) {
  if (count <= 0) return;
  const std::int64_t head = std::min(count, per_block - start % per_block);
  const std::int64_t rest = count - head;
  VORLITH_EXPECTS(int32_run_fits(first, increment, head), "fill_increasing: int32 run of ", head,
                  " from ", first, " by ", increment, " reaches 2147483647");
  if (rest >= per_block)
    VORLITH_EXPECTS(int32_run_fits(first, increment, per_block), "fill_increasing: int32 run of ",
                    per_block, " from ", first, " by ", increment, " reaches 2147483647");
  if (rest % per_block != 0)
    VORLITH_EXPECTS(int32_run_fits(first, increment, rest % per_block),
                    "fill_increasing: int32 run of ", rest % per_block, " from ", first, " by ",
                    increment, " reaches 2147483647");
}

// The int32 sequence wraps as 32-bit two's complement; unsigned arithmetic does that
// without signed overflow.
void fill_int32_sequence(Multi_vector& v, std::int64_t first, std::int64_t increment,
                         std::int64_t start, std::int64_t count) {
  const auto base = static_cast<std::uint32_t>(first);
  const auto step = static_cast<std::uint32_t>(increment);
  parallel::run_over_range(
      start, start + count, get_integration_min_thread_block(),
      [&](std::int64_t from, std::int64_t to) {
        std::uint32_t value = base + static_cast<std::uint32_t>(from - start) * step;
        storage::for_each_typed_run<std::int32_t>(
            v, from, to - from, [&](std::int64_t n, std::int32_t* out) {
              for (std::int64_t k = 0; k < n; ++k)
                out[k] = static_cast<std::int32_t>(value + static_cast<std::uint32_t>(k) * step);
              value += static_cast<std::uint32_t>(n) * step;
            });
      });
}

// Other types get the int64 sequence (wrapping likewise), converted piece by piece.
void fill_converted_sequence(Multi_vector& v, std::int64_t first, std::int64_t increment,
                             std::int64_t start, std::int64_t count) {
  const Legacy_type int64_type(type_int64);
  const std::int64_t width = v.get_element_size();
  const auto base = static_cast<std::uint64_t>(first);
  const auto step = static_cast<std::uint64_t>(increment);
  parallel::run_over_range(
      start, start + count, get_integration_min_thread_block(),
      [&](std::int64_t from, std::int64_t to) {
        std::vector<std::int64_t> values(
            static_cast<std::size_t>(std::min(to - from, sizes::piece_elements)));
        std::uint64_t value = base + static_cast<std::uint64_t>(from - start) * step;
        for_each_run(
            to - from,
            [&](std::int64_t n, void* p) {
              auto* out = static_cast<char*>(p);
              for (std::int64_t done = 0; done < n;) {
                const std::int64_t m = std::min(n - done, sizes::piece_elements);
                for (std::int64_t k = 0; k < m; ++k) {
                  values[static_cast<std::size_t>(k)] =
                      static_cast<std::int64_t>(value + static_cast<std::uint64_t>(k) * step);
                }
                types::convert(int64_type, values.data(), out + done * width, v.get_type(), m);
                value += static_cast<std::uint64_t>(m) * step;
                done += m;
              }
            },
            cursor(v, from));
      });
}

}  // namespace

void Multi_vector::fill_increasing(std::int64_t first, std::int64_t increment, std::int64_t start,
                                   std::int64_t count) {
  const bool int32 = type_.get_data_type() == type_int32;
  // Checked before the output range lengthens the vector.
  if (int32 && start >= 0)
    expect_int32_runs_fit(first, increment, start, count == -1 ? length_ - start : count,
                          block_elements_);
  validate_output_range(start, count);
  if (count == 0) return;
  if (int32)
    fill_int32_sequence(*this, first, increment, start, count);
  else
    fill_converted_sequence(*this, first, increment, start, count);
}

void Multi_vector::filldummy() { filldummy(0, length_); }

void Multi_vector::filldummy(std::int64_t start, std::int64_t count) {
  validate_output_range(start, count);
  if (count == 0) return;
  storage::visit_element_model(type_, [&](const auto& model) {
    parallel::run_over_range(
        start, start + count, sizes::min_chunk, [&](std::int64_t first, std::int64_t last) {
          for_each_run(
              last - first, [&](std::int64_t n, void* p) { model.fill_dummy(p, n); },
              cursor(*this, first));
        });
  });
}

// --- searches ---------------------------------------------------------------------

namespace {

template <Match M>
std::int64_t search_forward(const Multi_vector& v, const void* value, std::int64_t start,
                            std::int64_t count, const char* operation) {
  Multi_vector::validate_input_range(start, count, v.get_length());
  if constexpr (M == Match::equal || M == Match::not_equal)
    storage::expect_caller_data(value, count, operation, "value");
  if (count == 0) return -1;
  return storage::visit_element_model(v.get_type(), [&](const auto& model) {
    if constexpr (M == Match::dummy || M == Match::non_dummy) {
      return search_up(v, start, count, model.size(), hit_test<M>(model, nullptr));
    } else {
      const Element_value key(value, model.size());
      return search_up(v, start, count, model.size(), hit_test<M>(model, key.bytes));
    }
  });
}

template <Match M>
std::int64_t search_backward(const Multi_vector& v, const void* value, std::int64_t start,
                             std::int64_t count, const char* operation) {
  const std::int64_t length = v.get_length();
  Multi_vector::validate_reverse_input_range(start, count, length);
  if constexpr (M == Match::equal || M == Match::not_equal)
    storage::expect_caller_data(value, count, operation, "value");
  if (count == 0) return -1;
  const std::int64_t top = length - 1 - start;  // back to the caller's numbering
  return storage::visit_element_model(v.get_type(), [&](const auto& model) {
    if constexpr (M == Match::dummy || M == Match::non_dummy) {
      return search_down(v, top, count, model.size(), hit_test<M>(model, nullptr));
    } else {
      const Element_value key(value, model.size());
      return search_down(v, top, count, model.size(), hit_test<M>(model, key.bytes));
    }
  });
}

}  // namespace

std::int64_t Multi_vector::find(const void* value, std::int64_t start, std::int64_t count) const {
  return search_forward<Match::equal>(*this, value, start, count, "find");
}

std::int64_t Multi_vector::find_not(const void* value, std::int64_t start,
                                    std::int64_t count) const {
  return search_forward<Match::not_equal>(*this, value, start, count, "find_not");
}

std::int64_t Multi_vector::finddummy(std::int64_t start, std::int64_t count) const {
  return search_forward<Match::dummy>(*this, nullptr, start, count, "finddummy");
}

std::int64_t Multi_vector::findnondummy(std::int64_t start, std::int64_t count) const {
  return search_forward<Match::non_dummy>(*this, nullptr, start, count, "findnondummy");
}

std::int64_t Multi_vector::reverse_find(const void* value, std::int64_t start,
                                        std::int64_t count) const {
  return search_backward<Match::equal>(*this, value, start, count, "reverse_find");
}

std::int64_t Multi_vector::reverse_find_not(const void* value, std::int64_t start,
                                            std::int64_t count) const {
  return search_backward<Match::not_equal>(*this, value, start, count, "reverse_find_not");
}

std::int64_t Multi_vector::reverse_finddummy(std::int64_t start, std::int64_t count) const {
  return search_backward<Match::dummy>(*this, nullptr, start, count, "reverse_finddummy");
}

std::int64_t Multi_vector::reverse_findnondummy(std::int64_t start, std::int64_t count) const {
  return search_backward<Match::non_dummy>(*this, nullptr, start, count, "reverse_findnondummy");
}

// --- replace, count, upper-case ---------------------------------------------------

void Multi_vector::replace(const void* old_value, const void* new_value, std::int64_t start,
                           std::int64_t count) {
  validate_input_range(start, count, length_);
  storage::expect_caller_data(old_value, count, "replace", "old_value");
  storage::expect_caller_data(new_value, count, "replace", "new_value");
  if (count == 0) return;
  storage::visit_element_model(type_, [&](const auto& model) {
    const std::int64_t size = model.size();
    const Element_value from(old_value, size);
    const Element_value to(new_value, size);
    for_each_run(
        count,
        [&](std::int64_t n, void* p) {
          char* e = static_cast<char*>(p);
          for (std::int64_t k = 0; k < n; ++k) {
            if (model.equal(e + k * size, from.bytes)) model.copy(e + k * size, to.bytes);
          }
        },
        cursor(*this, start));
  });
}

std::int64_t Multi_vector::count_dummy(std::int64_t start, std::int64_t count) const {
  validate_input_range(start, count, length_);
  if (count < 1) return 0;
  return storage::visit_element_model(type_, [&](const auto& model) {
    const std::int64_t size = model.size();
    return parallel::run_and_reduce(
        start, start + count, sizes::min_chunk, std::int64_t{0},
        [&](std::int64_t first, std::int64_t last, std::int64_t& slot) {
          for_each_run(
              last - first,
              [&](std::int64_t n, const void* p) {
                const char* e = static_cast<const char*>(p);
                std::int64_t dummies = 0;
                for (std::int64_t k = 0; k < n; ++k)
                  dummies += model.is_dummy(e + k * size) ? 1 : 0;
                slot += dummies;
              },
              cursor(*this, first));
        },
        [](std::int64_t& into, std::int64_t from) { into += from; });
  });
}

void Multi_vector::strupr(std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(opaque_, "strupr: the vector is not opaque");
  validate_input_range(start, count, length_);
  if (count == 0) return;
  // Upper-casing is bytewise over every byte of every element, so a run is one text.
  parallel::run_over_range(
      start, start + count, sizes::min_chunk, [&](std::int64_t first, std::int64_t last) {
        for_each_run(
            last - first,
            [&](std::int64_t n, void* p) {
              types::upper_case_opaque(static_cast<char*>(p), n * element_size_);
            },
            cursor(*this, first));
      });
}

}  // namespace vorlith::integration
