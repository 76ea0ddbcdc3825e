#pragma once
// Block store of opaque elements: fixed-width byte strings laid out in 4096-byte
// blocks, whole elements only, so no element straddles two blocks.

#include <cstdint>

#include "storage/block_vector.h"

namespace vorlith::storage {

/// Opaque elements of `width` bytes over a byte Block_vector. Element i starts at
/// byte (i % elements_per_block) * width + (i / elements_per_block) * block_stride
/// of the byte store; the last 4096 % width bytes of each block stay unused.
///
/// The byte store always holds whole blocks (block_count() of them). Slots that a
/// shrinking resize leaves inside a kept block keep their old bytes until the length
/// grows over them again; growth clears them then, so new elements read as zero.
class Opaque_block_vector {
 public:
  /// Bytes from the start of one block to the start of the next.
  static constexpr std::int64_t block_stride = sizes::block_bytes;

  /// An empty store of elements `width` bytes wide (precondition 1 <= width <= 4096),
  /// holding one zeroed block.
  explicit Opaque_block_vector(std::int64_t width);

  /// Bytes per element.
  std::int64_t width() const { return width_; }

  /// Number of elements held.
  std::int64_t size() const { return length_; }

  /// Whole elements in one block: 4096 / width.
  std::int64_t get_elements_per_block() const { return elements_per_block_; }

  /// Number of 4096-byte blocks the byte store holds.
  std::int64_t block_count() const { return block_count_; }

  /// Sets the number of elements (precondition n >= 0); the byte store keeps
  /// exactly the blocks that n elements need, and new elements are zero bytes.
  void resize(std::int64_t n);

  /// Address of element i (precondition 0 <= i < size()).
  const std::uint8_t* data(std::int64_t i) const;

  /// Elements contiguous from i up to the end of its block or of the store
  /// (precondition 0 <= i < size()).
  std::int64_t elements_remaining_in_block(std::int64_t i) const;

  /// Inserts count zeroed elements before position (preconditions
  /// 0 <= position <= size(), count >= 0); later elements move up whole.
  void insert_zeroed(std::int64_t position, std::int64_t count);

  /// Removes count elements from position (preconditions 0 <= position < size(),
  /// count >= 1, position + count <= size()); later elements move down whole.
  void erase(std::int64_t position, std::int64_t count);

 private:
  std::uint64_t byte_offset(std::int64_t i) const;
  void move_elements(std::int64_t target, std::int64_t source, std::int64_t count);
  void clear_elements(std::int64_t first, std::int64_t count);

  Block_vector<std::uint8_t> bytes_;
  std::int64_t width_;
  std::int64_t elements_per_block_;
  std::int64_t block_count_ = 0;
  std::int64_t length_ = 0;
};

}  // namespace vorlith::storage
