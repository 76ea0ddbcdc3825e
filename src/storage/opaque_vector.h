#pragma once
// Contiguous store of opaque elements: fixed-width byte strings packed end to end.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlith::storage {

/// Opaque elements of `width` bytes in one contiguous byte array; element i starts
/// at byte i * width. New bytes are always zero.
class Opaque_vector {
 public:
  /// An empty store of elements `width` bytes wide (precondition 1 <= width <= 4096).
  explicit Opaque_vector(std::int64_t width);

  /// Bytes per element.
  std::int64_t width() const { return width_; }

  /// Number of elements held.
  std::int64_t size() const { return static_cast<std::int64_t>(bytes_.size()) / width_; }

  /// Sets the number of elements (precondition n >= 0); new elements are zero bytes.
  /// Throws std::length_error when n elements cannot be addressed.
  void resize(std::int64_t n);

  /// Address of element i (precondition 0 <= i < size()).
  std::uint8_t* data(std::int64_t i);
  const std::uint8_t* data(std::int64_t i) const;

  /// Inserts count zeroed elements before position (preconditions
  /// 0 <= position <= size(), count >= 0).
  void insert_zeroed(std::int64_t position, std::int64_t count);

  /// Removes count elements from position (preconditions 0 <= position < size(),
  /// count >= 1, position + count <= size()).
  void erase(std::int64_t position, std::int64_t count);

 private:
  std::size_t checked_bytes(std::int64_t elements) const;

  std::vector<std::uint8_t> bytes_;
  std::int64_t width_;
};

}  // namespace vorlith::storage
