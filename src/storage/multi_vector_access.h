#pragma once
// Internal access to a Multi_vector's stores, and the runs helper: the one loop shape
// that walks ranges of one or more vectors in pieces that never cross a block.

#include <vorlith/multi_vector.h>

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "runtime/contracts.h"
#include "storage/block_vector.h"
#include "storage/opaque_block_vector.h"
#include "storage/opaque_vector.h"
#include "types/type_list.h"

namespace vorlith::storage {

using integration::Multi_vector;

struct Multi_vector_access {
  /// The contiguous byte store (every type uses one in contiguous mode).
  static Opaque_vector& contiguous(Multi_vector& v) {
    return *static_cast<Opaque_vector*>(v.vector_store_.get());
  }
  static const Opaque_vector& contiguous(const Multi_vector& v) {
    return *static_cast<const Opaque_vector*>(v.vector_store_.get());
  }

  /// Calls f with the block store in its concrete type: Block_vector<T>& for value
  /// types, Opaque_block_vector& for opaque types. Block mode only.
  template <class V, class F>
  static decltype(auto) visit_block_store(V& v, F&& f) {
    return types::visit_type(v.type_, [&](auto tag) -> decltype(auto) {
      if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
        return f(*static_cast<copy_const_t<V, Opaque_block_vector>*>(v.block_store_.get()));
      } else {
        using T = typename decltype(tag)::type;
        return f(*static_cast<copy_const_t<V, Block_vector<T>>*>(v.block_store_.get()));
      }
    });
  }

  /// Elements contiguous in memory from i: to the end of the vector in contiguous
  /// mode, to the end of the block in block mode. Internal loops use it so that a
  /// contiguous vector is walked in one run.
  static std::int64_t run_length(const Multi_vector& v, std::int64_t i) {
    return v.block_vector_ ? v.get_elements_remaining_in_block(i) : v.length_ - i;
  }

 private:
  template <class V, class S>
  using copy_const_t = std::conditional_t<std::is_const_v<V>, const S, S>;
};

using vorlith::detail::expect_caller_data;

/// v.validate_output_range(start, count) for a member that reads the caller's `data`:
/// the range is checked and resolved and the pointer checked before v grows.
void validate_output_range(Multi_vector& v, std::int64_t start, std::int64_t& count,
                           const void* data, const char* operation, const char* argument);

/// A position in a vector, for for_each_run.
template <class V>
struct Run_cursor {
  V* vector;
  std::int64_t position;
};

inline Run_cursor<const Multi_vector> cursor(const Multi_vector& v, std::int64_t position) {
  return {&v, position};
}
inline Run_cursor<Multi_vector> cursor(Multi_vector& v, std::int64_t position) {
  return {&v, position};
}

/// Walks count elements from each cursor at once, calling fn(n, p...) with one element
/// address per cursor (const void* for const vectors, void* otherwise) and a run length
/// n that crosses no block of any of the vectors. When fn returns bool, false ends the
/// walk early (searches stop at their first hit).
template <class Fn, class... V>
void for_each_run(std::int64_t count, Fn&& fn, Run_cursor<V>... cursors) {
  while (count > 0) {
    std::int64_t n = count;
    ((n = std::min(n, Multi_vector_access::run_length(*cursors.vector, cursors.position))), ...);
    if constexpr (std::is_same_v<decltype(fn(n, cursors.vector->get_data(cursors.position)...)),
                                 bool>) {
      if (!fn(n, cursors.vector->get_data(cursors.position)...)) return;
    } else {
      fn(n, cursors.vector->get_data(cursors.position)...);
    }
    ((cursors.position += n), ...);
    count -= n;
  }
}

/// Calls fn(n, p) over count stored elements of v from first, one run at a time, with p
/// typed T* (const T* for a const vector); T must be v's value type.
template <class T, class V, class Fn>
void for_each_typed_run(V& v, std::int64_t first, std::int64_t count, Fn&& fn) {
  using Pointer = std::conditional_t<std::is_const_v<V>, const T*, T*>;
  for_each_run(
      count, [&](std::int64_t n, auto p) { return fn(n, static_cast<Pointer>(p)); },
      cursor(v, first));
}

/// The one rule for reading vectors as doubles: loops may use the stored doubles
/// directly, run by run, when every vector is a double vector and all share one storage
/// mode (so a run of one is a run of all); otherwise they go through a buffer of
/// converted doubles.
template <class... Rest>
bool holds_doubles(const Multi_vector& first, const Rest&... rest) {
  return first.get_type().get_data_type() == integration::type_double &&
         (first.is_same_type_and_storage(rest) && ...);
}

/// The stored doubles of [start, start + count) as one array, for loops that need the
/// whole range at once: v's own memory where it holds doubles and the range lies in one
/// run, nullptr otherwise (and for an empty range), when the caller uses a copy.
template <class V>
auto stored_doubles(V& v, std::int64_t start, std::int64_t count) {
  using Pointer = std::conditional_t<std::is_const_v<V>, const double*, double*>;
  if (count <= 0 || !holds_doubles(v) || Multi_vector_access::run_length(v, start) < count)
    return Pointer{nullptr};
  return static_cast<Pointer>(v.get_data(start));
}

/// [start, start + count) of v as one writable array of doubles, for loops that need
/// the whole range at once: v's own memory (stored_doubles) or a converted copy, which
/// write_back() stores into v.
class Double_array {
 public:
  Double_array(Multi_vector& v, std::int64_t start, std::int64_t count)
      : vector_(&v), start_(start), count_(count), data_(stored_doubles(v, start, count)) {
    if (data_ != nullptr || count <= 0) return;
    copy_.resize(static_cast<std::size_t>(count));
    v.get_range_double(start, count, copy_.data());
    data_ = copy_.data();
  }

  double* data() { return data_; }

  void write_back() {
    if (!copy_.empty()) vector_->set_range_double(start_, count_, copy_.data());
  }

 private:
  Multi_vector* vector_;
  std::int64_t start_;
  std::int64_t count_;
  double* data_;
  std::vector<double> copy_;
};

}  // namespace vorlith::storage
