#pragma once
// A growable store that keeps its elements in fixed-size blocks (sizes::block_bytes). Blocks are
// never moved or freed while the store lives, so element addresses stay put when
// the store grows, and a store that shrinks and grows again reuses its blocks.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/sizes.h"

namespace vorlith::storage {

namespace detail {

/// Moves `count` elements of `element_bytes` bytes from index `source` to index
/// `target` of a block-laid-out store with `per_block` elements per block, where
/// `address(i)` gives the address of element i. Each memmove covers a run that
/// stays inside one block of the source and one block of the target; the runs are
/// taken in the order that never overwrites a source element before it moves.
template <class Index, class Address>
void move_element_runs(Index target, Index source, Index count, Index per_block,
                       std::size_t element_bytes, Address&& address) {
  if (count == 0 || target == source) return;
  if (target < source) {
    while (count > 0) {
      const Index run =
          std::min({per_block - source % per_block, per_block - target % per_block, count});
      std::memmove(address(target), address(source), static_cast<std::size_t>(run) * element_bytes);
      target += run;
      source += run;
      count -= run;
    }
  } else {
    // Walk down from the last element so the overlapping tail moves first.
    Index source_last = source + count - 1;
    Index target_last = target + count - 1;
    while (count > 0) {
      const Index run = std::min({source_last % per_block + 1, target_last % per_block + 1, count});
      std::memmove(address(target_last - run + 1), address(source_last - run + 1),
                   static_cast<std::size_t>(run) * element_bytes);
      source_last -= run;
      target_last -= run;
      count -= run;
    }
  }
}

}  // namespace detail

/// Block store of trivially copyable values T. Element i lives in block
/// i / elements_per_block at offset i % elements_per_block; the last
/// block_bytes % sizeof(T) bytes of each block stay unused.
///
/// The end is kept as (last_block, last_used), size = last_block * elements_per_block
/// + last_used. An end on a block boundary may be held either as (k, 0) or as
/// (k - 1, elements_per_block); every member accepts both.
///
/// Slots between size() and capacity() always hold zero bytes: blocks arrive
/// zero-filled and erase clears the slots it vacates.
template <class T>
class Block_vector {
  static_assert(std::is_trivially_copyable_v<T>, "blocks are moved with memmove");
  static_assert(sizeof(T) <= sizes::block_bytes, "an element must fit in one block");

 public:
  using value_type = T;

  /// Elements held by one block; an element never straddles two blocks.
  static constexpr std::uint64_t elements_per_block = sizes::block_bytes / sizeof(T);

  /// An empty store without blocks.
  Block_vector() = default;

  /// Deep copy: the same end and a fresh copy of every block, used or not.
  Block_vector(const Block_vector& other)
      : last_block_(other.last_block_), last_used_(other.last_used_) {
    VORLITH_EXPECTS(other.get_elements_per_block() == get_elements_per_block(),
                    "block store: copying ", other.get_elements_per_block(),
                    " elements per block into ", get_elements_per_block());
    blocks_.reserve(other.blocks_.size());
    for (const auto& block : other.blocks_) {
      auto copy = allocate_block();
      std::memcpy(copy.get(), block.get(), elements_per_block * sizeof(T));
      blocks_.push_back(std::move(copy));
    }
  }
  Block_vector& operator=(const Block_vector&) = delete;
  Block_vector(Block_vector&&) noexcept = default;
  Block_vector& operator=(Block_vector&&) noexcept = default;
  ~Block_vector() = default;

  /// Elements per block of this store (the same for every store of T).
  std::uint64_t get_elements_per_block() const { return elements_per_block; }

  /// Number of elements held.
  std::uint64_t size() const { return last_block_ * elements_per_block + last_used_; }

  /// True when the store holds no element.
  bool empty() const { return size() == 0; }

  /// Elements the allocated blocks can hold without allocating.
  std::uint64_t capacity() const { return blocks_.size() * elements_per_block; }

  /// Number of allocated blocks (in use or kept from a longer past).
  std::uint64_t allocated_blocks() const { return blocks_.size(); }

  /// Element i; throws std::out_of_range with an empty message when i >= size().
  T& at(std::uint64_t i) {
    if (i >= size()) throw std::out_of_range("");
    return slot(i);
  }
  const T& at(std::uint64_t i) const {
    if (i >= size()) throw std::out_of_range("");
    return slot(i);
  }

  /// Address of element i (precondition i < size()); elements_remaining_in_block(i)
  /// elements lie contiguous from there.
  T* data(std::uint64_t i) {
    VORLITH_EXPECTS(i < size(), "block store: index ", i, " is not below the size ", size());
    return &slot(i);
  }
  const T* data(std::uint64_t i) const {
    VORLITH_EXPECTS(i < size(), "block store: index ", i, " is not below the size ", size());
    return &slot(i);
  }

  /// Elements from i to the end of its block or of the store, whichever comes
  /// first (precondition i < size()).
  std::uint64_t elements_remaining_in_block(std::uint64_t i) const {
    VORLITH_EXPECTS(i < size(), "block store: index ", i, " is not below the size ", size());
    return std::min(elements_per_block - i % elements_per_block, size() - i);
  }

  /// Allocates zero-filled blocks at the end until capacity() >= n. On allocation
  /// failure the blocks obtained so far stay in the store and bad_alloc propagates.
  void reserve(std::uint64_t n) {
    const std::uint64_t needed = n / elements_per_block + (n % elements_per_block != 0);
    if (needed > blocks_.size()) {
      // Growing the list first means a block, once allocated, always finds a place.
      blocks_.reserve(checked_block_count(needed));
      while (blocks_.size() < needed) blocks_.push_back(allocate_block());
    }
    VORLITH_ENSURES(capacity() >= n, "block store: reserve(", n, ") left room for only ",
                    capacity(), " elements");
  }

  /// Appends one element, allocating a block when the last one is full.
  void push_back(const T& value) {
    if (last_used_ == elements_per_block) {
      ++last_block_;
      last_used_ = 0;
    }
    if (last_block_ == blocks_.size()) {
      blocks_.reserve(checked_block_count(blocks_.size() + 1));
      blocks_.push_back(allocate_block());
    }
    VORLITH_ENSURES(last_block_ < blocks_.size(), "block store: block ", last_block_,
                    " beyond the last of ", blocks_.size(), " blocks after growth");
    blocks_[last_block_][last_used_] = value;
    ++last_used_;
  }

  /// Inserts count copies of value before position (precondition position <= size()).
  /// The elements from position move up by count.
  void insert(std::uint64_t position, std::uint64_t count, const T& value) {
    const std::uint64_t old_size = size();
    VORLITH_EXPECTS(position <= old_size, "block store: insert position ", position,
                    " is beyond the size ", old_size);
    if (count == 0) return;
    if (count > max_elements() - old_size) throw std::length_error("Block_vector too long");
    const std::uint64_t end = old_size + count;
    reserve(end);
    // Nothing below can fail, so a failed reserve leaves the elements untouched.
    if (end % elements_per_block == 0) {
      last_block_ = end / elements_per_block - 1;
      last_used_ = elements_per_block;
    } else {
      last_block_ = end / elements_per_block;
      last_used_ = end % elements_per_block;
    }
    move_elements(position + count, position, old_size - position);
    fill(position, count, value);
  }

  /// Removes the elements first .. last-1 (preconditions first < size(), first < last,
  /// last <= size()); the elements from last move down to first.
  void erase(std::uint64_t first, std::uint64_t last) {
    const std::uint64_t old_size = size();
    VORLITH_EXPECTS(first < old_size && first < last && last <= old_size,
                    "block store: erase range ", first, "..", last, " does not fit the size ",
                    old_size);
    move_elements(first, last, old_size - last);
    const std::uint64_t end = first + (old_size - last);
    fill(end, old_size - end, T{});
    last_block_ = end / elements_per_block;
    last_used_ = end % elements_per_block;
  }

  /// Removes element position (precondition position < size()).
  void erase(std::uint64_t position) {
    VORLITH_EXPECTS(position < size(), "block store: erase position ", position,
                    " is not below the size ", size());
    erase(position, position + 1);
  }

  /// Grows with copies of value, or shrinks keeping the first n elements. Blocks
  /// are kept on shrinking.
  void resize(std::uint64_t n, const T& value = T{}) {
    const std::uint64_t old_size = size();
    if (n > old_size) {
      insert(old_size, n - old_size, value);
    } else if (n < old_size) {
      erase(n, old_size);
    }
  }

 private:
  using Block = std::unique_ptr<T[]>;

  // The largest element count whose blocks the list could ever index.
  static constexpr std::uint64_t max_elements() {
    return std::numeric_limits<std::uint64_t>::max() / elements_per_block * elements_per_block;
  }

  std::size_t checked_block_count(std::uint64_t blocks) const {
    if (blocks > blocks_.max_size()) throw std::length_error("Block_vector too long");
    return static_cast<std::size_t>(blocks);
  }

  // Value-initialisation zero-fills every element, including the points' components.
  static Block allocate_block() { return std::make_unique<T[]>(elements_per_block); }

  T& slot(std::uint64_t i) { return blocks_[i / elements_per_block][i % elements_per_block]; }
  const T& slot(std::uint64_t i) const {
    return blocks_[i / elements_per_block][i % elements_per_block];
  }

  void move_elements(std::uint64_t target, std::uint64_t source, std::uint64_t count) {
    detail::move_element_runs(target, source, count, elements_per_block, sizeof(T),
                              [this](std::uint64_t i) { return &slot(i); });
  }

  void fill(std::uint64_t first, std::uint64_t count, const T& value) {
    while (count > 0) {
      const std::uint64_t run = std::min(elements_per_block - first % elements_per_block, count);
      std::fill_n(&slot(first), run, value);
      first += run;
      count -= run;
    }
  }

  std::vector<Block> blocks_;
  std::uint64_t last_block_ = 0;
  std::uint64_t last_used_ = 0;
};

}  // namespace vorlith::storage
