#include "storage/opaque_vector.h"

#include <stdexcept>

#include "runtime/contracts.h"
#include "storage/block_vector.h"

namespace vorlith::storage {

Opaque_vector::Opaque_vector(std::int64_t width) : width_(width) {
  VORLITH_EXPECTS(width >= 1 && width <= sizes::max_opaque_width, "opaque store: width ", width,
                  " is outside 1..", sizes::max_opaque_width);
}

// Byte count of `elements` elements; refuses counts whose byte size would overflow
// instead of letting the multiplication wrap into a small allocation.
std::size_t Opaque_vector::checked_bytes(std::int64_t elements) const {
  if (static_cast<std::uint64_t>(elements) > bytes_.max_size() / static_cast<std::uint64_t>(width_))
    throw std::length_error("Opaque_vector too long");
  return static_cast<std::size_t>(elements) * static_cast<std::size_t>(width_);
}

void Opaque_vector::resize(std::int64_t n) {
  VORLITH_EXPECTS(n >= 0, "opaque store: length ", n, " is negative");
  bytes_.resize(checked_bytes(n));
}

std::uint8_t* Opaque_vector::data(std::int64_t i) {
  VORLITH_EXPECTS(i >= 0 && i < size(), "opaque store: element ", i, " is outside the length ",
                  size());
  return bytes_.data() + i * width_;
}

const std::uint8_t* Opaque_vector::data(std::int64_t i) const {
  VORLITH_EXPECTS(i >= 0 && i < size(), "opaque store: element ", i, " is outside the length ",
                  size());
  return bytes_.data() + i * width_;
}

void Opaque_vector::insert_zeroed(std::int64_t position, std::int64_t count) {
  VORLITH_EXPECTS(position >= 0 && position <= size(), "opaque store: insert position ", position,
                  " is outside 0..", size());
  VORLITH_EXPECTS(count >= 0, "opaque store: insert count ", count, " is negative");
  if (count == 0) return;
  const std::size_t added = checked_bytes(count);
  if (added > bytes_.max_size() - bytes_.size()) throw std::length_error("Opaque_vector too long");
  bytes_.insert(bytes_.begin() + position * width_, added, std::uint8_t{0});
}

void Opaque_vector::erase(std::int64_t position, std::int64_t count) {
  VORLITH_EXPECTS(position >= 0 && position < size(), "opaque store: erase position ", position,
                  " is outside the length ", size());
  // Written as a difference so a huge count cannot overflow the sum.
  VORLITH_EXPECTS(count >= 1 && count <= size() - position, "opaque store: erase count ", count,
                  " from ", position, " does not fit the length ", size());
  const auto first = bytes_.begin() + position * width_;
  bytes_.erase(first, first + count * width_);
}

}  // namespace vorlith::storage
