#pragma once
// Contiguous store of elements: fixed-width byte strings packed end to end, in memory
// the store owns or in memory a caller lends it.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vorlith::storage {

/// Elements of `width` bytes in one contiguous byte array; element i starts at byte
/// i * width. New elements are zero bytes, except after resize_for_overwrite.
/// Owned memory grows as a std::vector's does; buffers of 4 MiB and more are aligned
/// to 2 MiB and offered to the kernel for transparent huge pages.
class Opaque_vector {
 public:
  /// An empty store of elements `width` bytes wide (precondition 1 <= width <= 4096).
  explicit Opaque_vector(std::int64_t width);

  /// A store over `length` elements at `memory`, which the caller keeps alive and in
  /// place while the store lives and which the store never frees. It may shrink and
  /// grow back within those elements; growing past them throws std::length_error.
  Opaque_vector(std::int64_t width, void* memory, std::int64_t length);

  /// Bytes per element.
  std::int64_t width() const { return width_; }

  /// Number of elements held.
  std::int64_t size() const { return static_cast<std::int64_t>(size_) / width_; }

  /// Whether the memory is lent by a caller.
  bool borrowed() const { return borrowed_; }

  /// Sets the number of elements (precondition n >= 0); new elements are zero bytes.
  /// Throws std::length_error when n elements cannot be addressed or do not fit lent
  /// memory.
  void resize(std::int64_t n);

  /// As resize, but new elements are left as they are, for a caller that writes them
  /// all next: the memory is written once.
  void resize_for_overwrite(std::int64_t n);

  /// Address of element i (precondition 0 <= i < size()).
  const std::uint8_t* data(std::int64_t i) const;

  /// Inserts count zeroed elements before position (preconditions
  /// 0 <= position <= size(), count >= 0).
  void insert_zeroed(std::int64_t position, std::int64_t count);

  /// Removes count elements from position (preconditions 0 <= position < size(),
  /// count >= 1, position + count <= size()).
  void erase(std::int64_t position, std::int64_t count);

 private:
  struct Release {
    std::size_t alignment;
    void operator()(std::uint8_t* p) const;
  };

  std::size_t checked_bytes(std::int64_t elements) const;
  // Makes room for `bytes` bytes, keeping the first size_.
  void reserve(std::size_t bytes);
  void resize_bytes(std::size_t bytes, bool zero);

  std::unique_ptr<std::uint8_t[], Release> owned_;
  std::uint8_t* bytes_ = nullptr;
  std::size_t size_ = 0;      // bytes in use
  std::size_t capacity_ = 0;  // bytes at bytes_
  bool borrowed_ = false;
  std::int64_t width_;
};

}  // namespace vorlith::storage
