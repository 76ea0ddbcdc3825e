#pragma once
// Random access to the elements of a vector by position, for the algorithms that
// cannot walk runs (sorts, gathers). A contiguous vector hands out its array as a
// plain pointer; a block vector a table of block addresses and an iterator whose
// elements per block are a compile-time constant, so std::sort and the merge sort
// run on both modes with a shift or a multiply per access instead of a division.

#include <vorlith/multi_vector.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>
#include <vector>

#include "runtime/sizes.h"

namespace vorlith::storage {

using integration::Multi_vector;

/// A fixed-width opaque element moved as one value (the optimized opaque widths).
template <std::size_t N>
struct Opaque_record {
  unsigned char bytes[N];
};

/// Random-access iterator over the elements of a block vector whose value type is T
/// (const T for read-only access). Holds the block table, not the vector.
template <class T>
class Block_iterator {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = std::remove_const_t<T>;
  using difference_type = std::ptrdiff_t;
  using pointer = T*;
  using reference = T&;

  static constexpr std::uint64_t per_block = sizes::block_bytes / sizeof(T);

  Block_iterator() = default;
  Block_iterator(T* const* blocks, difference_type position)
      : blocks_(blocks), position_(position) {}

  reference operator*() const { return at(position_); }
  pointer operator->() const { return &at(position_); }
  reference operator[](difference_type k) const { return at(position_ + k); }

  Block_iterator& operator++() {
    ++position_;
    return *this;
  }
  Block_iterator operator++(int) {
    Block_iterator old = *this;
    ++position_;
    return old;
  }
  Block_iterator& operator--() {
    --position_;
    return *this;
  }
  Block_iterator operator--(int) {
    Block_iterator old = *this;
    --position_;
    return old;
  }
  Block_iterator& operator+=(difference_type k) {
    position_ += k;
    return *this;
  }
  Block_iterator& operator-=(difference_type k) {
    position_ -= k;
    return *this;
  }
  friend Block_iterator operator+(Block_iterator it, difference_type k) { return it += k; }
  friend Block_iterator operator+(difference_type k, Block_iterator it) { return it += k; }
  friend Block_iterator operator-(Block_iterator it, difference_type k) { return it -= k; }
  friend difference_type operator-(const Block_iterator& a, const Block_iterator& b) {
    return a.position_ - b.position_;
  }
  friend bool operator==(const Block_iterator& a, const Block_iterator& b) {
    return a.position_ == b.position_;
  }
  friend auto operator<=>(const Block_iterator& a, const Block_iterator& b) {
    return a.position_ <=> b.position_;
  }

 private:
  // Positions are never negative, so the unsigned forms divide by a constant cheaply.
  reference at(difference_type i) const {
    const auto u = static_cast<std::uint64_t>(i);
    return blocks_[u / per_block][u % per_block];
  }

  T* const* blocks_ = nullptr;
  difference_type position_ = 0;
};

/// Calls f(first, last) with iterators over all elements of v, read as T (use const T
/// with a const vector): T* for a contiguous vector, Block_iterator<T> for a block
/// vector. sizeof(T) must be the element size. The vector must not be empty.
template <class T, class V, class F>
decltype(auto) with_element_iterators(V& v, F&& f) {
  static_assert(std::is_const_v<T> || !std::is_const_v<V>, "a const vector is read as const T");
  using Void = std::conditional_t<std::is_const_v<T>, const void, void>;
  const std::int64_t n = v.get_length();
  if (!v.is_block_vector()) {
    T* base = static_cast<T*>(static_cast<Void*>(v.get_vector_memory()));
    return f(base, base + n);
  }
  std::vector<T*> blocks(static_cast<std::size_t>(v.get_block_count()));
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    blocks[b] = static_cast<T*>(static_cast<Void*>(v.get_block(static_cast<std::int64_t>(b))));
  }
  const Block_iterator<T> first(blocks.data(), 0);
  return f(first, first + n);
}

/// Byte address of element i of any vector with a runtime width, for the opaque
/// widths that have no record type. Built once per call.
template <class Byte>
class Element_addresses {
 public:
  template <class V>
  explicit Element_addresses(V& v)
      : width_(v.get_element_size()),
        per_block_(v.get_block_elements()),
        block_(v.is_block_vector()) {
    const std::int64_t blocks = block_ ? v.get_block_count() : (v.get_length() > 0 ? 1 : 0);
    blocks_.resize(static_cast<std::size_t>(blocks));
    for (std::int64_t b = 0; b < blocks; ++b) {
      blocks_[static_cast<std::size_t>(b)] =
          static_cast<Byte*>(block_ ? v.get_block(b) : v.get_data(0));
    }
  }

  Byte* operator()(std::int64_t i) const {
    if (!block_) return blocks_[0] + i * width_;
    const auto u = static_cast<std::uint64_t>(i);
    const auto per_block = static_cast<std::uint64_t>(per_block_);
    return blocks_[u / per_block] + static_cast<std::int64_t>(u % per_block) * width_;
  }

 private:
  std::int64_t width_;
  std::int64_t per_block_;
  bool block_;
  std::vector<Byte*> blocks_;
};

}  // namespace vorlith::storage
