#pragma once
// Element models: what the editing and search loops need to know about one element
// (its size, equality, dummy test, copy and swap), so that each loop is written once
// and instantiated per value type and per opaque width. The optimized opaque widths
// (sizes::optimized_opaque_widths) get a model with the width fixed at compile time, so copies and
// comparisons of those elements become fixed-size moves; every other width shares the model whose
// width is known only at run time. All models take unaligned-safe element addresses.

#include <vorlith/multi_vector.h>
#include <vorlith/opaque.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "runtime/sizes.h"
#include "types/opaque_text.h"
#include "types/type_list.h"

namespace vorlith::storage {

/// One of the fourteen value types. Equality is the type's own: bitwise for integers,
/// numeric for float and double (-0.0 equals 0.0, NaN equals nothing), dummy-aware for
/// points.
template <class T>
struct Value_model {
  static constexpr bool fixed = true;

  constexpr Value_model() = default;
  /// The width is the type's; the argument lets every model be built from a width.
  constexpr explicit Value_model(std::int64_t) {}
  static constexpr std::int64_t size() { return static_cast<std::int64_t>(sizeof(T)); }

  static T load(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
  }
  static bool equal(const void* a, const void* b) { return load(a) == load(b); }
  /// A test for equality with the element at value, read once (so the test is a
  /// register compare in a loop).
  static auto equal_to(const void* value) {
    return [x = load(value)](const void* e) { return load(e) == x; };
  }
  static bool is_dummy(const void* p) { return types::is_dummy_value(load(p)); }
  static void copy(void* target, const void* source) { std::memmove(target, source, sizeof(T)); }
  static void swap(void* a, void* b) {
    const T va = load(a);
    std::memcpy(a, b, sizeof(T));
    std::memcpy(b, &va, sizeof(T));
  }
  static void fill_dummy(void* p, std::int64_t n) {
    const T d = types::typed_dummy<T>();
    char* out = static_cast<char*>(p);
    for (std::int64_t k = 0; k < n; ++k) std::memcpy(out + k * size(), &d, sizeof(T));
  }
  /// Element k of the n at p becomes the dummy where flags[k] is set; a select, so the
  /// loop has no branch.
  static void fill_dummy_where(void* p, std::int64_t n, const unsigned char* flags) {
    constexpr T d = types::typed_dummy<T>();
    char* out = static_cast<char*>(p);
    for (std::int64_t k = 0; k < n; ++k) {
      const T x = flags[k] ? d : load(out + k * size());
      std::memcpy(out + k * size(), &x, sizeof(T));
    }
  }
};

/// Opaque text of Width bytes; Width 0 stands for a width known only at run time.
/// Equality compares every byte; the dummy is empty text or "*".
template <std::int64_t Width>
class Opaque_model {
 public:
  static constexpr bool fixed = Width != 0;

  explicit Opaque_model(std::int64_t width) : width_(width) {}

  std::int64_t size() const {
    if constexpr (fixed)
      return Width;
    else
      return width_;
  }
  bool equal(const void* a, const void* b) const { return std::memcmp(a, b, bytes()) == 0; }
  auto equal_to(const void* value) const {
    return [this, value](const void* e) { return equal(e, value); };
  }
  bool is_dummy(const void* p) const {
    return types::is_opaque_dummy(static_cast<const char*>(p), size());
  }
  void copy(void* target, const void* source) const { std::memmove(target, source, bytes()); }
  void swap(void* a, void* b) const {
    if constexpr (fixed && Width <= 64) {
      unsigned char t[Width];
      std::memcpy(t, a, Width);
      std::memcpy(a, b, Width);
      std::memcpy(b, t, Width);
    } else {
      integration::swap_opaque(a, b, size());
    }
  }
  void fill_dummy(void* p, std::int64_t n) const {
    std::memset(p, 0, static_cast<std::size_t>(n) * bytes());
  }
  void fill_dummy_where(void* p, std::int64_t n, const unsigned char* flags) const {
    char* out = static_cast<char*>(p);
    for (std::int64_t k = 0; k < n; ++k)
      if (flags[k]) fill_dummy(out + k * size(), 1);
  }

 private:
  std::size_t bytes() const { return static_cast<std::size_t>(size()); }
  std::int64_t width_;
};

/// Calls f with the element model of `type`: Value_model<T> for value types, a fixed
/// Opaque_model for the optimized opaque widths, Opaque_model<0> for the others. Meant
/// to be called once per operation, outside the element loops.
template <class F>
decltype(auto) visit_element_model(const integration::Legacy_type& type, F&& f) {
  return types::visit_type(type, [&](auto tag) -> decltype(auto) {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      return sizes::visit_opaque_width(tag.width, [&](auto width) -> decltype(auto) {
        return f(Opaque_model<width()>(tag.width));
      });
    } else {
      return f(Value_model<typename decltype(tag)::type>{});
    }
  });
}

/// Random access to the elements of one vector for walks that are not sequential
/// (strided, mirrored, or a write position that trails a read position). The block
/// of the last element asked for is remembered, so get_data runs once per block.
template <class V>
class Element_locator {
  using Byte = std::conditional_t<std::is_const_v<V>, const char, char>;

 public:
  explicit Element_locator(V& v)
      : vector_(&v),
        size_(v.get_element_size()),
        per_block_(v.is_block_vector() ? v.get_block_elements()
                                       : std::numeric_limits<std::int64_t>::max()) {}

  /// Address of element i (0 <= i < length).
  Byte* address(std::int64_t i) {
    if (base_ == nullptr || i < first_ || i - first_ >= per_block_) {
      first_ = i - i % per_block_;
      base_ = static_cast<Byte*>(vector_->get_data(first_));
    }
    return base_ + (i - first_) * size_;
  }

  /// Elements contiguous in memory from i (to the end of its block, or of the vector).
  std::int64_t contiguous_from(std::int64_t i) const {
    return std::min(per_block_ - i % per_block_, vector_->get_length() - i);
  }

 private:
  V* vector_;
  std::int64_t size_;
  std::int64_t per_block_;
  std::int64_t first_ = 0;
  Byte* base_ = nullptr;
};

}  // namespace vorlith::storage
