// Legacy_type's conversion members: one two-type dispatch per call, then one loop.

#include <vorlith/host_hooks.h>
#include <vorlith/legacy_type.h>

#include <algorithm>
#include <cstring>

#include "runtime/contracts.h"
#include "types/convert.h"
#include "types/opaque_text.h"
#include "types/type_list.h"

namespace vorlith::types {
namespace {

using integration::Legacy_type;

// Numbers to text through the host's to-text functions.
template <class T>
void value_to_text(const T& v, char* text, std::int64_t width) {
  if constexpr (std::is_same_v<T, std::int32_t>)
    external_int32_to_string(v, text, width);
  else if constexpr (std::is_same_v<T, std::uint32_t>)
    external_uint32_to_string(v, text, width);
  else if constexpr (std::is_same_v<T, std::uint64_t>)
    external_uint64_to_string(v, text, width);
  else if constexpr (is_integer_v<T>)
    external_int64_to_string(static_cast<std::int64_t>(v), text, width);
  else if constexpr (is_floating_v<T>)
    external_double_to_string(static_cast<double>(v), text, width);
  else if constexpr (std::is_same_v<T, fpoint2>)
    external_float_point_2d_to_string(v, text, width);
  else if constexpr (std::is_same_v<T, dpoint2>)
    external_double_point_2d_to_string(v, text, width);
  else if constexpr (std::is_same_v<T, fpoint3>)
    external_float_point_3d_to_string(v, text, width);
  else
    external_double_point_3d_to_string(v, text, width);
}

// Text to numbers through the host's from-text functions. 8- and 16-bit integers read
// as int32 and saturate; float reads as double and narrows.
template <class T>
T text_to_value(const char* text, std::int64_t width) {
  if constexpr (std::is_same_v<T, std::int32_t>)
    return external_int32_from_string(text, width);
  else if constexpr (std::is_same_v<T, std::uint32_t>)
    return external_uint32_from_string(text, width);
  else if constexpr (std::is_same_v<T, std::int64_t>)
    return external_int64_from_string(text, width);
  else if constexpr (std::is_same_v<T, std::uint64_t>)
    return external_uint64_from_string(text, width);
  else if constexpr (is_integer_v<T>)
    return convert_value<T>(external_int32_from_string(text, width));
  else if constexpr (std::is_same_v<T, float>)
    return convert_value<float>(external_double_from_string(text, width));
  else if constexpr (std::is_same_v<T, double>)
    return external_double_from_string(text, width);
  else if constexpr (std::is_same_v<T, fpoint2>)
    return external_float_point_2d_from_string(text, width);
  else if constexpr (std::is_same_v<T, dpoint2>)
    return external_double_point_2d_from_string(text, width);
  else if constexpr (std::is_same_v<T, fpoint3>)
    return external_float_point_3d_from_string(text, width);
  else
    return external_double_point_3d_from_string(text, width);
}

template <class From, class To>
void convert_elements(type_tag<From>, type_tag<To>, const void* source, void* target,
                      std::int64_t n) {
  convert_run(static_cast<const From*>(source), static_cast<To*>(target), n);
}

template <class From>
void convert_elements(type_tag<From>, opaque_tag to, const void* source, void* target,
                      std::int64_t n) {
  const auto* values = static_cast<const From*>(source);
  char* out = static_cast<char*>(target);
  for (std::int64_t i = 0; i < n; ++i, out += to.width) {
    From v;
    std::memcpy(&v, values + i, sizeof(From));
    if (is_dummy_value(v))
      std::memset(out, 0, static_cast<std::size_t>(to.width));
    else
      value_to_text(v, out, to.width);
  }
}

template <class To>
void convert_elements(opaque_tag from, type_tag<To>, const void* source, void* target,
                      std::int64_t n) {
  const char* in = static_cast<const char*>(source);
  auto* values = static_cast<To*>(target);
  for (std::int64_t i = 0; i < n; ++i, in += from.width) {
    const To v =
        is_opaque_dummy(in, from.width) ? typed_dummy<To>() : text_to_value<To>(in, from.width);
    std::memcpy(values + i, &v, sizeof(To));
  }
}

void convert_elements(opaque_tag from, opaque_tag to, const void* source, void* target,
                      std::int64_t n) {
  const char* in = static_cast<const char*>(source);
  char* out = static_cast<char*>(target);
  if (from.width == to.width) {
    std::memcpy(out, in, static_cast<std::size_t>(n * from.width));
    return;
  }
  // Copying the first bytes and zero-filling the rest also turns an all-zero
  // element into an all-zero one.
  const std::size_t kept = static_cast<std::size_t>(std::min(from.width, to.width));
  const std::size_t fill = static_cast<std::size_t>(to.width) - kept;
  for (std::int64_t i = 0; i < n; ++i, in += from.width, out += to.width) {
    std::memcpy(out, in, kept);
    std::memset(out + kept, 0, fill);
  }
}

}  // namespace

void convert(const Legacy_type& from, const void* source, void* target, const Legacy_type& to,
             std::int64_t count) {
  VORLITH_EXPECTS(count >= 0, "convert_to: count ", count, " is below 0");
  vorlith::detail::expect_caller_data(source, count, "convert_to", "source");
  vorlith::detail::expect_caller_data(target, count, "convert_to", "target");
  if (count == 0) return;
  if (!from.is_opaque() && from.is_same(to)) {
    std::memcpy(target, source, static_cast<std::size_t>(count * from.get_element_size()));
    return;
  }
  visit_types(from, to, [&](auto from_tag, auto to_tag) {
    convert_elements(from_tag, to_tag, source, target, count);
  });
}

}  // namespace vorlith::types

namespace vorlith::integration {

void Legacy_type::convert_to(const void* source, void* target, const Legacy_type& target_type,
                             std::int64_t count) const {
  types::convert(*this, source, target, target_type, count);
}

void Legacy_type::convert_to_double(const void* source, double* target, std::int64_t count) const {
  types::convert(*this, source, target, Legacy_type(type_double), count);
}

void Legacy_type::convert_from_double(const double* source, void* target,
                                      std::int64_t count) const {
  types::convert(Legacy_type(type_double), source, target, *this, count);
}

void Legacy_type::convert_to_int64(const void* source, std::int64_t* target,
                                   std::int64_t count) const {
  types::convert(*this, source, target, Legacy_type(type_int64), count);
}

void Legacy_type::convert_from_int64(const std::int64_t* source, void* target,
                                     std::int64_t count) const {
  types::convert(Legacy_type(type_int64), source, target, *this, count);
}

}  // namespace vorlith::integration
