#include "storage/opaque_block_vector.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "runtime/contracts.h"

namespace vorlith::storage {

// The guard lets a bad width reach the check below instead of dividing by zero.
Opaque_block_vector::Opaque_block_vector(std::int64_t width)
    : width_(width), elements_per_block_(width >= 1 ? block_stride / width : 1) {
  VORLITH_EXPECTS(width >= 1 && width <= block_stride, "opaque block store: width ", width,
                  " is outside 1..", block_stride);
  bytes_.resize(block_stride);
  block_count_ = 1;
}

void Opaque_block_vector::resize(std::int64_t n) {
  VORLITH_EXPECTS(n >= 0, "opaque block store: length ", n, " is negative");
  // Rounded up without forming n + elements_per_block - 1, which overflows near the
  // top of the range.
  const std::int64_t needed = n / elements_per_block_ + (n % elements_per_block_ != 0);
  if (needed > std::numeric_limits<std::int64_t>::max() / block_stride)
    throw std::length_error("Opaque_block_vector too long");
  const std::int64_t old_length = length_;
  const std::int64_t old_block_count = block_count_;
  if (needed != block_count_) {
    bytes_.resize(static_cast<std::uint64_t>(needed * block_stride), 0);
    block_count_ = needed;
  }
  // Blocks added just now arrive zeroed; only slots of blocks kept from before may
  // still hold bytes of elements that an earlier shrink cut off.
  const std::int64_t stale_end = std::min(n, old_block_count * elements_per_block_);
  if (stale_end > old_length) clear_elements(old_length, stale_end - old_length);
  length_ = n;
}

const std::uint8_t* Opaque_block_vector::data(std::int64_t i) const {
  VORLITH_EXPECTS(i >= 0 && i < length_, "opaque block store: element ", i,
                  " is outside the length ", length_);
  return &bytes_.at(byte_offset(i));
}

std::int64_t Opaque_block_vector::elements_remaining_in_block(std::int64_t i) const {
  VORLITH_EXPECTS(i >= 0 && i < length_, "opaque block store: element ", i,
                  " is outside the length ", length_);
  return std::min(elements_per_block_ - i % elements_per_block_, length_ - i);
}

void Opaque_block_vector::insert_zeroed(std::int64_t position, std::int64_t count) {
  VORLITH_EXPECTS(position >= 0 && position <= length_, "opaque block store: insert position ",
                  position, " is outside 0..", length_);
  VORLITH_EXPECTS(count >= 0, "opaque block store: insert count ", count, " is negative");
  if (count == 0) return;
  if (count > std::numeric_limits<std::int64_t>::max() - length_)
    throw std::length_error("Opaque_block_vector too long");
  const std::int64_t old_length = length_;
  resize(old_length + count);
  move_elements(position + count, position, old_length - position);
  clear_elements(position, count);
}

void Opaque_block_vector::erase(std::int64_t position, std::int64_t count) {
  VORLITH_EXPECTS(position >= 0 && position < length_, "opaque block store: erase position ",
                  position, " is outside the length ", length_);
  // Written as a difference so a huge count cannot overflow the sum.
  VORLITH_EXPECTS(count >= 1 && count <= length_ - position, "opaque block store: erase count ",
                  count, " from ", position, " does not fit the length ", length_);
  move_elements(position, position + count, length_ - position - count);
  resize(length_ - count);
}

std::uint64_t Opaque_block_vector::byte_offset(std::int64_t i) const {
  return static_cast<std::uint64_t>(i % elements_per_block_ * width_ +
                                    i / elements_per_block_ * block_stride);
}

void Opaque_block_vector::move_elements(std::int64_t target, std::int64_t source,
                                        std::int64_t count) {
  detail::move_element_runs(target, source, count, elements_per_block_,
                            static_cast<std::size_t>(width_),
                            [this](std::int64_t i) { return bytes_.data(byte_offset(i)); });
}

// Works on the byte store directly, so it may clear slots at or past length_.
void Opaque_block_vector::clear_elements(std::int64_t first, std::int64_t count) {
  while (count > 0) {
    const std::int64_t run = std::min(elements_per_block_ - first % elements_per_block_, count);
    std::memset(bytes_.data(byte_offset(first)), 0, static_cast<std::size_t>(run * width_));
    first += run;
    count -= run;
  }
}

}  // namespace vorlith::storage
