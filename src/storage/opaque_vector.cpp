#include "storage/opaque_vector.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>

#include "runtime/contracts.h"
#include "storage/block_vector.h"

namespace vorlith::storage {

namespace {

// From this size on a buffer is aligned to a huge page and offered to the kernel as
// one: the first touch of each 2 MiB then costs one fault instead of 512.
constexpr std::size_t huge_page = std::size_t{2} << 20;
constexpr std::size_t huge_buffer_minimum = 2 * huge_page;

}  // namespace

void Opaque_vector::Release::operator()(std::uint8_t* p) const {
  ::operator delete (p, std::align_val_t{alignment});
}

Opaque_vector::Opaque_vector(std::int64_t width) : owned_(nullptr, Release{1}), width_(width) {
  VORLITH_EXPECTS(width >= 1 && width <= sizes::max_opaque_width, "opaque store: width ", width,
                  " is outside 1..", sizes::max_opaque_width);
}

Opaque_vector::Opaque_vector(std::int64_t width, void* memory, std::int64_t length)
    : Opaque_vector(width) {
  VORLITH_EXPECTS(length >= 0, "opaque store: lent length ", length, " is negative");
  VORLITH_EXPECTS(memory != nullptr || length == 0, "opaque store: lent memory is a null pointer");
  bytes_ = static_cast<std::uint8_t*>(memory);
  size_ = capacity_ = checked_bytes(length);
  borrowed_ = true;
}

// Byte count of `elements` elements; refuses counts whose byte size would overflow
// instead of letting the multiplication wrap into a small allocation.
std::size_t Opaque_vector::checked_bytes(std::int64_t elements) const {
  constexpr auto most = static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max());
  if (static_cast<std::uint64_t>(elements) > most / static_cast<std::uint64_t>(width_))
    throw std::length_error("Opaque_vector too long");
  return static_cast<std::size_t>(elements) * static_cast<std::size_t>(width_);
}

void Opaque_vector::reserve(std::size_t bytes) {
  if (bytes <= capacity_) return;
  if (borrowed_) {
    throw std::length_error("a vector over memory it does not own cannot grow past its " +
                            std::to_string(capacity_ / static_cast<std::size_t>(width_)) +
                            " elements");
  }
  // Growth as a std::vector's: at least double what is in use, so appends stay linear.
  constexpr auto most = static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
  std::size_t capacity = std::min(std::max(bytes, 2 * size_), most);
  std::size_t alignment = alignof(std::max_align_t);
  if (capacity >= huge_buffer_minimum) {
    alignment = huge_page;
    capacity = (capacity + huge_page - 1) / huge_page * huge_page;
  }
  std::unique_ptr<std::uint8_t[], Release> fresh(
      static_cast<std::uint8_t*>(::operator new (capacity, std::align_val_t{alignment})),
      Release{alignment});
#ifdef MADV_HUGEPAGE
  if (alignment == huge_page) madvise(fresh.get(), capacity, MADV_HUGEPAGE);
#endif
  if (size_ > 0) std::memcpy(fresh.get(), bytes_, size_);
  owned_ = std::move(fresh);
  bytes_ = owned_.get();
  capacity_ = capacity;
}

void Opaque_vector::resize_bytes(std::size_t bytes, bool zero) {
  reserve(bytes);
  if (zero && bytes > size_) std::memset(bytes_ + size_, 0, bytes - size_);
  size_ = bytes;
}

void Opaque_vector::resize(std::int64_t n) {
  VORLITH_EXPECTS(n >= 0, "opaque store: length ", n, " is negative");
  resize_bytes(checked_bytes(n), true);
}

void Opaque_vector::resize_for_overwrite(std::int64_t n) {
  VORLITH_EXPECTS(n >= 0, "opaque store: length ", n, " is negative");
  resize_bytes(checked_bytes(n), false);
}

const std::uint8_t* Opaque_vector::data(std::int64_t i) const {
  VORLITH_EXPECTS(i >= 0 && i < size(), "opaque store: element ", i, " is outside the length ",
                  size());
  return bytes_ + i * width_;
}

void Opaque_vector::insert_zeroed(std::int64_t position, std::int64_t count) {
  VORLITH_EXPECTS(position >= 0 && position <= size(), "opaque store: insert position ", position,
                  " is outside 0..", size());
  VORLITH_EXPECTS(count >= 0, "opaque store: insert count ", count, " is negative");
  if (count == 0) return;
  const std::size_t added = checked_bytes(count);
  if (added > static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) - size_)
    throw std::length_error("Opaque_vector too long");
  const std::size_t at = static_cast<std::size_t>(position * width_);
  reserve(size_ + added);
  std::memmove(bytes_ + at + added, bytes_ + at, size_ - at);
  std::memset(bytes_ + at, 0, added);
  size_ += added;
}

void Opaque_vector::erase(std::int64_t position, std::int64_t count) {
  VORLITH_EXPECTS(position >= 0 && position < size(), "opaque store: erase position ", position,
                  " is outside the length ", size());
  // Written as a difference so a huge count cannot overflow the sum.
  VORLITH_EXPECTS(count >= 1 && count <= size() - position, "opaque store: erase count ", count,
                  " from ", position, " does not fit the length ", size());
  const std::size_t first = static_cast<std::size_t>(position * width_);
  const std::size_t removed = static_cast<std::size_t>(count * width_);
  std::memmove(bytes_ + first, bytes_ + first + removed, size_ - first - removed);
  size_ -= removed;
}

}  // namespace vorlith::storage
