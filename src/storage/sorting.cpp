// Whole-vector sorts and the sortedness test, for every element type in both modes.

#include <vorlith/multi_vector.h>
#include <vorlith/opaque.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "runtime/contracts.h"
#include "storage/element_order.h"
#include "storage/element_view.h"
#include "storage/merge_sort.h"
#include "storage/multi_vector_access.h"
#include "storage/radix_sort.h"
#include "types/type_list.h"

namespace vorlith::integration {

using storage::exact_less;
using storage::Opaque_comparison;
using storage::Opaque_record;
using storage::stable_merge_sort;
using storage::tolerant_compare;
using storage::tolerant_less_number;

namespace {

// Plain comparisons are undefined on NaN, so NaN values move to the end (to the
// front for descending order) first, keeping their order, and only the numbers are
// sorted. Returns the range of the numbers.
template <class It>
std::pair<It, It> set_nan_aside(It first, It last, bool desc) {
  const auto is_nan = [](const auto& v) { return storage::is_nan_value(v); };
  if (std::none_of(first, last, is_nan)) return {first, last};
  if (desc) return {std::stable_partition(first, last, is_nan), last};
  return {first, std::stable_partition(first, last, [&](const auto& v) { return !is_nan(v); })};
}

template <class It, class Less>
void unstable_in_direction(It first, It last, bool desc, Less less) {
  if (desc) {
    std::sort(first, last, [&](const auto& a, const auto& b) { return less(b, a); });
  } else {
    std::sort(first, last, less);
  }
}

// The unstable sort of integer and floating values: by their bits from a length on
// where that is faster, through a contiguous copy where the values lie in blocks.
template <class T, class It>
void unstable_numbers(It first, It last, bool desc) {
  const std::int64_t n = last - first;
  if (n < storage::radix_sort_minimum) {
    unstable_in_direction(first, last, desc, [](T a, T b) { return a < b; });
    return;
  }
  if constexpr (std::is_pointer_v<It>) {
    storage::radix_sort(first, n);
  } else {
    std::vector<T> values(first, last);
    storage::radix_sort(values.data(), n);
    std::copy(values.begin(), values.end(), first);
  }
  if (desc) std::reverse(first, last);
}

template <class It, class Less>
void stable_in_direction(It first, It last, bool desc, Less less) {
  if (desc) {
    stable_merge_sort(first, last - first,
                      [&](const auto& a, const auto& b) { return less(b, a); });
  } else {
    stable_merge_sort(first, last - first, less);
  }
}

template <class T, class It>
void sort_values(It first, It last, bool desc, bool stable) {
  if constexpr (types::is_floating_v<T>) {
    const auto [lo, hi] = set_nan_aside(first, last, desc);
    if (stable) {
      stable_in_direction(lo, hi, desc, [](T a, T b) { return tolerant_less_number(a, b); });
    } else {
      unstable_numbers<T>(lo, hi, desc);
    }
  } else if constexpr (types::is_point_v<T>) {
    if (stable) {
      stable_in_direction(first, last, desc, [](const T& a, const T& b) {
        return tolerant_compare(a, b) == compare_direction::less;
      });
    } else {
      unstable_in_direction(first, last, desc,
                            [](const T& a, const T& b) { return exact_less(a, b); });
    }
  } else if (stable) {
    stable_in_direction(first, last, desc, [](T a, T b) { return a < b; });
  } else {
    unstable_numbers<T>(first, last, desc);
  }
}

template <std::size_t N>
void sort_records(Multi_vector& v, bool desc, bool stable, Opaque_comparison compare) {
  using Record = Opaque_record<N>;
  storage::with_element_iterators<Record>(v, [&](auto first, auto last) {
    const auto less = [compare](const Record& a, const Record& b) {
      return compare(a.bytes, b.bytes, N) < 0;
    };
    if (stable) {
      stable_in_direction(first, last, desc, less);
    } else {
      unstable_in_direction(first, last, desc, less);
    }
  });
}

// Widths with a record type; false for every other width.
bool sort_opaque_optimized(Multi_vector& v, bool desc, bool stable, Opaque_comparison compare) {
  if (!v.is_optimized_opaque_type()) return false;
  return sizes::visit_opaque_width(v.get_element_size(), [&](auto width) {
    if constexpr (width() == 0) {
      return false;
    } else {
      sort_records<width()>(v, desc, stable, compare);
      return true;
    }
  });
}

// Any width: orders positions, then applies the permutation in place. Each cycle is
// walked once; a position is marked done by making it a fixed point of the
// permutation, so no element moves twice and no second buffer of elements is needed.
void sort_opaque_general(Multi_vector& v, bool desc, bool stable, Opaque_comparison compare) {
  const std::int64_t n = v.get_length();
  const std::int64_t width = v.get_element_size();
  const storage::Element_addresses<unsigned char> address(v);
  std::vector<std::int64_t> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), std::int64_t{0});
  const auto less = [&](std::int64_t p, std::int64_t q) {
    return compare(address(p), address(q), width) < 0;
  };
  if (stable) {
    stable_in_direction(order.begin(), order.end(), desc, less);
  } else {
    unstable_in_direction(order.begin(), order.end(), desc, less);
  }
  // Position i must receive the element that stood at order[i].
  for (std::int64_t i = 0; i < n; ++i) {
    std::int64_t j = i;
    while (order[static_cast<std::size_t>(j)] != i) {
      const std::int64_t next = order[static_cast<std::size_t>(j)];
      swap_opaque(address(j), address(next), width);
      order[static_cast<std::size_t>(j)] = j;
      j = next;
    }
    order[static_cast<std::size_t>(j)] = j;
  }
}

void sort_vector(Multi_vector& v, bool desc, bool case_insensitive, bool stable) {
  if (v.get_length() == 0) return;
  types::visit_type(v.get_type(), [&](auto tag) {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      const Opaque_comparison compare = storage::opaque_comparison(case_insensitive);
      if (!sort_opaque_optimized(v, desc, stable, compare))
        sort_opaque_general(v, desc, stable, compare);
    } else {
      using T = typename decltype(tag)::type;
      storage::with_element_iterators<T>(
          v, [&](auto first, auto last) { sort_values<T>(first, last, desc, stable); });
    }
  });
}

}  // namespace

void Multi_vector::sort(bool desc, bool case_insensitive) {
  sort_vector(*this, desc, case_insensitive, false);
}

void Multi_vector::stable_sort(bool desc, bool case_insensitive) {
  sort_vector(*this, desc, case_insensitive, true);
}

bool Multi_vector::is_sorted(bool desc, bool case_insensitive) const {
  if (length_ < 1) return true;
  return types::visit_type(type_, [&](auto tag) {
    // before(a, b): a orders strictly before b in the chosen direction.
    const auto in_order = [&](auto before, std::int64_t width) {
      bool sorted = true;
      const unsigned char* previous = nullptr;
      storage::for_each_run(
          length_,
          [&](std::int64_t n, const void* run) {
            const auto* p = static_cast<const unsigned char*>(run);
            for (std::int64_t k = 0; k < n && sorted; ++k, p += width) {
              if (previous != nullptr && before(p, previous)) sorted = false;
              previous = p;
            }
          },
          storage::cursor(*this, 0));
      return sorted;
    };
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      const Opaque_comparison compare = storage::opaque_comparison(case_insensitive);
      const std::int64_t width = tag.width;
      return in_order(
          [&](const unsigned char* a, const unsigned char* b) {
            const int c = compare(a, b, width);
            return desc ? c > 0 : c < 0;
          },
          width);
    } else {
      using T = typename decltype(tag)::type;
      return in_order(
          [&](const unsigned char* a, const unsigned char* b) {
            T x, y;
            std::memcpy(&x, a, sizeof(T));
            std::memcpy(&y, b, sizeof(T));
            return desc ? exact_less(y, x) : exact_less(x, y);
          },
          static_cast<std::int64_t>(sizeof(T)));
    }
  });
}

// GCOVR_EXCL_START: kept as declared; the index sort compares its keys in their own
// types, without a type switch per comparison.
namespace {
compare_direction compare_elements(const Multi_vector& v, std::int64_t i, std::int64_t j,
                                   bool case_insensitive) {
  const void* a = v.get_data(i);
  const void* b = v.get_data(j);
  return types::visit_type(v.get_type(), [&](auto tag) {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      return storage::direction_of(storage::opaque_comparison(case_insensitive)(a, b, tag.width));
    } else {
      using T = typename decltype(tag)::type;
      T x, y;
      std::memcpy(&x, a, sizeof(T));
      std::memcpy(&y, b, sizeof(T));
      return tolerant_compare(x, y);
    }
  });
}
}  // namespace

compare_direction Multi_vector::compare_data_values_sensative(std::int64_t i,
                                                              std::int64_t j) const {
  return compare_elements(*this, i, j, false);
}

compare_direction Multi_vector::compare_data_values_insensative(std::int64_t i,
                                                                std::int64_t j) const {
  return compare_elements(*this, i, j, true);
}
// GCOVR_EXCL_STOP

}  // namespace vorlith::integration
