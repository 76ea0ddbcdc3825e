// Multi_vector core: construction, stores, length, single elements, range rules,
// the block view and the mode switches.

#include <vorlith/multi_vector.h>

#include <cstring>
#include <limits>
#include <stdexcept>

#include "runtime/contracts.h"
#include "runtime/sizes.h"
#include "storage/multi_vector_access.h"
#include "types/type_list.h"

namespace vorlith::integration {

using storage::Block_vector;
using storage::Multi_vector_access;
using storage::Opaque_block_vector;
using storage::Opaque_vector;

namespace {

template <class S>
void destroy_store(void* store) {
  delete static_cast<S*>(store);
}

template <class S, class... Args>
std::unique_ptr<void, void (*)(void*)> new_store(Args&&... args) {
  return {new S(std::forward<Args>(args)...), &destroy_store<S>};
}

}  // namespace

Multi_vector::Multi_vector(Legacy_type type, bool block_vector, std::int64_t length)
    : type_(type),
      block_vector_(block_vector),
      opaque_(type.is_opaque()),
      element_size_(type.get_element_size()),
      block_elements_(0),
      length_(0) {
  // The value type's size is fixed by the type code; only opaque widths vary.
  VORLITH_EXPECTS(opaque_ || static_cast<std::int64_t>(type_.get_memory_size()) == element_size_,
                  "Multi_vector: element size ", element_size_, " differs from the size ",
                  type_.get_memory_size(), " of type code ",
                  static_cast<int>(type_.get_data_type()));
  VORLITH_EXPECTS(element_size_ >= 1 && element_size_ <= sizes::max_opaque_width,
                  "Multi_vector: element size ", element_size_, " is outside 1..",
                  sizes::max_opaque_width);
  make_store();
  block_elements_ = compute_block_elements();
  set_length(length);
}

void Multi_vector::make_store() {
  if (!block_vector_) {
    auto store = new_store<Opaque_vector>(element_size_);
    vector_store_ = Store(store.release(), detail::Store_deleter{store.get_deleter()});
    return;
  }
  auto store = types::visit_type(type_, [&](auto tag) {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      return new_store<Opaque_block_vector>(tag.width);
    } else {
      return new_store<Block_vector<typename decltype(tag)::type>>();
    }
  });
  block_store_ = Store(store.release(), detail::Store_deleter{store.get_deleter()});
}

Multi_vector::Multi_vector(Multi_vector&& other) noexcept
    : type_(other.type_),
      block_vector_(other.block_vector_),
      opaque_(other.opaque_),
      element_size_(other.element_size_),
      block_elements_(other.block_elements_),
      length_(other.length_),
      vector_store_(std::move(other.vector_store_)),
      block_store_(std::move(other.block_store_)) {
  other.length_ = 0;
}

Multi_vector& Multi_vector::operator=(Multi_vector&& other) noexcept {
  if (this != &other) {
    type_ = other.type_;
    block_vector_ = other.block_vector_;
    opaque_ = other.opaque_;
    element_size_ = other.element_size_;
    block_elements_ = other.block_elements_;
    length_ = other.length_;
    vector_store_ = std::move(other.vector_store_);
    block_store_ = std::move(other.block_store_);
    other.length_ = 0;
  }
  return *this;
}

Multi_vector::~Multi_vector() = default;

bool Multi_vector::is_optimized_opaque_type() const {
  if (!opaque_) return false;
  VORLITH_EXPECTS(element_size_ >= 1, "is_optimized_opaque_type: opaque width ", element_size_,
                  " is below 1");
  VORLITH_EXPECTS(element_size_ <= sizes::max_opaque_width,
                  "is_optimized_opaque_type: opaque width ", element_size_, " is above ",
                  sizes::max_opaque_width);
  return sizes::is_optimized_opaque_width(element_size_);
}

// GCOVR_EXCL_START: kept as declared; the library's loops ask storage::holds_doubles.
bool Multi_vector::is_double_and_same_storage(const Multi_vector& a, const Multi_vector& b) {
  return storage::holds_doubles(a, b);
}
bool Multi_vector::is_double_and_same_storage(const Multi_vector& a, const Multi_vector& b,
                                              const Multi_vector& c) {
  return storage::holds_doubles(a, b, c);
}
bool Multi_vector::is_double_and_same_storage(const Multi_vector& a, const Multi_vector& b,
                                              const Multi_vector& c, const Multi_vector& d) {
  return storage::holds_doubles(a, b, c, d);
}
// GCOVR_EXCL_STOP

Multi_vector Multi_vector::over_memory(Legacy_type type, void* memory, std::int64_t length) {
  Multi_vector v(type, false, 0);
  VORLITH_EXPECTS(length >= 0, "over_memory: length ", length, " is negative");
  VORLITH_EXPECTS(memory != nullptr || length == 0, "over_memory: memory is a null pointer");
  auto store = new_store<Opaque_vector>(v.element_size_, memory, length);
  v.vector_store_ = Store(store.release(), detail::Store_deleter{store.get_deleter()});
  v.length_ = length;
  return v;
}

bool Multi_vector::uses_outside_memory() const {
  return !block_vector_ && Multi_vector_access::contiguous(*this).borrowed();
}

void Multi_vector::set_length_for_overwrite(std::int64_t n) {
  VORLITH_EXPECTS(n >= 0, "set_length_for_overwrite: length ", n, " is negative");
  if (block_vector_) return set_length(n);
  Multi_vector_access::contiguous(*this).resize_for_overwrite(n);
  length_ = n;
}

void Multi_vector::set_length(std::int64_t n) {
  VORLITH_EXPECTS(n >= 0, "set_length: length ", n, " is negative");
  if (!block_vector_) {
    Multi_vector_access::contiguous(*this).resize(n);
  } else {
    Multi_vector_access::visit_block_store(*this, [n](auto& store) {
      if constexpr (std::is_same_v<std::decay_t<decltype(store)>, Opaque_block_vector>) {
        store.resize(n);
      } else {
        store.resize(static_cast<std::uint64_t>(n));
      }
    });
  }
  length_ = n;
}

// --- single elements ----------------------------------------------------------

void Multi_vector::get(std::int64_t i, void* out) const {
  VORLITH_EXPECTS(i >= 0 && i < length_, "get: index ", i, " is outside the length ", length_);
  storage::expect_caller_data(out, 1, "get", "out");
  std::memcpy(out, get_data(i), static_cast<std::size_t>(element_size_));
}

void Multi_vector::set(std::int64_t i, const void* in) {
  VORLITH_EXPECTS(i >= 0 && i < length_, "set: index ", i, " is outside the length ", length_);
  storage::expect_caller_data(in, 1, "set", "in");
  std::memcpy(get_data(i), in, static_cast<std::size_t>(element_size_));
}

namespace {
// Element i for the converting element accessors, where the store tests the index:
// an opaque store by its precondition, the stores of the other types by throwing
// std::out_of_range as a standard container does.
const void* stored_element(const Multi_vector& v, std::int64_t i) {
  if (v.is_opaque_type()) {
    if (!v.is_block_vector()) return Multi_vector_access::contiguous(v).data(i);
    return Multi_vector_access::visit_block_store(v, [i](const auto& store) -> const void* {
      if constexpr (std::is_same_v<std::decay_t<decltype(store)>, Opaque_block_vector>)
        return store.data(i);
      else
        return nullptr;  // an opaque type always has an opaque store  GCOVR_EXCL_LINE
    });
  }
  if (i < 0 || i >= v.get_length())
    throw std::out_of_range(v.is_block_vector() ? "" : "invalid vector<T> subscript");
  return v.get_data(i);
}
}  // namespace

double Multi_vector::get_double(std::int64_t i) const {
  double out;
  if (type_.get_data_type() == type_double) {
    get(i, &out);
    return out;
  }
  type_.convert_to_double(stored_element(*this, i), &out, 1);
  return out;
}

void Multi_vector::set_double(std::int64_t i, double v) {
  if (type_.get_data_type() == type_double) {
    set(i, &v);
    return;
  }
  type_.convert_from_double(&v, const_cast<void*>(stored_element(*this, i)), 1);
}

bool Multi_vector::is_element_dummy(std::int64_t i) const {
  VORLITH_EXPECTS(i >= 0 && i < length_, "is_element_dummy: index ", i, " is outside the length ",
                  length_);
  return type_.is_dummy(get_data(i));
}

void Multi_vector::set_element_dummy(std::int64_t i) {
  VORLITH_EXPECTS(i >= 0 && i < length_, "set_element_dummy: index ", i, " is outside the length ",
                  length_);
  type_.set_dummy(get_data(i));
}

void* Multi_vector::get_data(std::int64_t i) {
  return const_cast<void*>(static_cast<const Multi_vector&>(*this).get_data(i));
}

const void* Multi_vector::get_data(std::int64_t i) const {
  VORLITH_EXPECTS(i >= 0 && i < length_, "get_data: index ", i, " is outside the length ", length_);
  if (!block_vector_) return Multi_vector_access::contiguous(*this).data(i);
  return Multi_vector_access::visit_block_store(*this, [i](const auto& store) -> const void* {
    using S = std::decay_t<decltype(store)>;
    if constexpr (std::is_same_v<S, Opaque_block_vector>)
      return store.data(i);
    else
      return store.data(static_cast<std::uint64_t>(i));
  });
}

void* Multi_vector::get_vector_memory() {
  return const_cast<void*>(static_cast<const Multi_vector&>(*this).get_vector_memory());
}

const void* Multi_vector::get_vector_memory() const {
  VORLITH_EXPECTS(!block_vector_, "get_vector_memory: the vector is in block mode");
  VORLITH_EXPECTS(length_ >= 1, "get_vector_memory: the vector is empty");
  return get_data(0);
}

// --- range rules --------------------------------------------------------------

void Multi_vector::validate_input_range(std::int64_t start, std::int64_t& count,
                                        std::int64_t length) {
  VORLITH_EXPECTS(start >= 0, "validate_input_range: start ", start, " is negative");
  const std::int64_t asked = count;
  if (count == -1) count = length - start;
  VORLITH_EXPECTS(count >= 0, "validate_input_range: count ", asked, " is negative at start ",
                  start, " (length ", length, ")");
  // Not start + count <= length: a huge count would overflow the sum.
  VORLITH_EXPECTS(count <= length - start, "validate_input_range: start ", start, " and count ",
                  count, " pass the length ", length);
}

void Multi_vector::validate_input_range(std::int64_t start, std::int64_t& count,
                                        const Multi_vector& a) {
  validate_input_range(start, count, a.length_);
}
void Multi_vector::validate_input_range(std::int64_t start, std::int64_t& count,
                                        const Multi_vector& a, const Multi_vector& b) {
  validate_input_range(start, count, std::min(a.length_, b.length_));
}
void Multi_vector::validate_input_range(std::int64_t start, std::int64_t& count,
                                        const Multi_vector& a, const Multi_vector& b,
                                        const Multi_vector& c) {
  validate_input_range(start, count, std::min({a.length_, b.length_, c.length_}));
}
void Multi_vector::validate_input_range(std::int64_t start, std::int64_t& count,
                                        const Multi_vector& a, const Multi_vector& b,
                                        const Multi_vector& c, const Multi_vector& d) {
  validate_input_range(start, count, std::min({a.length_, b.length_, c.length_, d.length_}));
}

namespace {
// The checks and the resolution of count -1 of the output range rule; the vector is
// not touched yet.
void resolve_output_range(std::int64_t start, std::int64_t& count, std::int64_t length) {
  VORLITH_EXPECTS(start >= 0, "validate_output_range: start ", start, " is negative");
  const std::int64_t asked = count;
  if (count == -1) count = length - start;
  VORLITH_EXPECTS(count >= 0, "validate_output_range: count ", asked, " is negative at start ",
                  start, " (length ", length, ")");
  VORLITH_EXPECTS(count <= std::numeric_limits<std::int64_t>::max() - start,
                  "validate_output_range: start ", start, " plus count ", count,
                  " overflows int64");
}
}  // namespace

void Multi_vector::validate_output_range(std::int64_t start, std::int64_t& count) {
  resolve_output_range(start, count, length_);
  if (start + count > length_) set_length(start + count);
}

void Multi_vector::validate_reverse_input_range(std::int64_t& start, std::int64_t& count,
                                                std::int64_t length) {
  VORLITH_EXPECTS(start >= 0 && start < length, "validate_reverse_input_range: start ", start,
                  " is outside the length ", length);
  if (count == -1) count = start + 1;
  VORLITH_EXPECTS(count >= 0, "validate_reverse_input_range: count ", count, " is negative");
  VORLITH_EXPECTS(start - count + 1 >= 0, "validate_reverse_input_range: count ", count,
                  " from start ", start, " passes element 0");
  start = length - 1 - start;
}

void Multi_vector::ensure_output_range(std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(start >= 0, "ensure_output_range: start ", start, " is negative");
  VORLITH_EXPECTS(count >= 0, "ensure_output_range: count ", count, " is negative");
  VORLITH_EXPECTS(count <= std::numeric_limits<std::int64_t>::max() - start,
                  "ensure_output_range: start ", start, " plus count ", count, " overflows int64");
  set_length(start + count);
}

// --- block view ---------------------------------------------------------------

std::int64_t Multi_vector::compute_block_elements() const {
  const std::int64_t elements = sizes::block_bytes / element_size_;
  if (block_vector_) {
    const std::int64_t store_elements =
        Multi_vector_access::visit_block_store(*this, [](const auto& store) {
          return static_cast<std::int64_t>(store.get_elements_per_block());
        });
    VORLITH_ENSURES(store_elements == elements, "block store: ", store_elements,
                    " elements per block where the view has ", elements);
  }
  return elements;
}

std::int64_t Multi_vector::get_block_count() const {
  return (length_ - 1 + block_elements_) / block_elements_;
}

std::int64_t Multi_vector::get_block_size() const { return element_size_ * block_elements_; }

void* Multi_vector::get_block(std::int64_t b) {
  VORLITH_EXPECTS(b >= 0 && b < get_block_count(), "get_block: block ", b, " is outside the ",
                  get_block_count(), " blocks");
  return get_data(b * block_elements_);
}

const void* Multi_vector::get_block(std::int64_t b) const {
  VORLITH_EXPECTS(b >= 0 && b < get_block_count(), "get_block: block ", b, " is outside the ",
                  get_block_count(), " blocks");
  return get_data(b * block_elements_);
}

std::int64_t Multi_vector::get_block_for_element(std::int64_t i) const {
  VORLITH_EXPECTS(i >= 0 && i < length_, "get_block_for_element: index ", i,
                  " is outside the length ", length_);
  return i / block_elements_;
}

std::int64_t Multi_vector::get_elements_remaining_in_block(std::int64_t i) const {
  VORLITH_EXPECTS(i >= 0 && i < length_, "get_elements_remaining_in_block: index ", i,
                  " is outside the length ", length_);
  return std::min(block_elements_ - i % block_elements_, length_ - i);
}

namespace {
// Copies every element of `from` into `to` (same type, same length), run by run.
void copy_all(const Multi_vector& from, Multi_vector& to) {
  const std::int64_t size = from.get_element_size();
  storage::for_each_run(
      from.get_length(),
      [size](std::int64_t n, const void* source, void* target) {
        std::memcpy(target, source, static_cast<std::size_t>(n * size));
      },
      storage::cursor(from, 0), storage::cursor(to, 0));
}
}  // namespace

void Multi_vector::switch_to_block_vector() {
  VORLITH_EXPECTS(!block_vector_, "switch_to_block_vector: the vector is already in block mode");
  // The new store is filled completely before the old one is released, so a failed
  // allocation leaves the vector as it was.
  Multi_vector blocks(type_, true, length_);
  copy_all(*this, blocks);
  *this = std::move(blocks);
}

void Multi_vector::switch_to_vector() {
  VORLITH_EXPECTS(block_vector_, "switch_to_vector: the vector is already contiguous");
  Multi_vector contiguous(type_, false, length_);
  copy_all(*this, contiguous);
  *this = std::move(contiguous);
}

}  // namespace vorlith::integration

namespace vorlith::storage {

void validate_output_range(Multi_vector& v, std::int64_t start, std::int64_t& count,
                           const void* data, const char* operation, const char* argument) {
  integration::resolve_output_range(start, count, v.get_length());
  expect_caller_data(data, count, operation, argument);
  v.validate_output_range(start, count);
}

}  // namespace vorlith::storage
