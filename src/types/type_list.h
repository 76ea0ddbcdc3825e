#pragma once
// The one type list, its traits and the one type dispatch.

#include <vorlith/dummy.h>
#include <vorlith/legacy_type.h>
#include <vorlith/point.h>

#include <cstdint>
#include <limits>
#include <string_view>
#include <type_traits>
#include <utility>

namespace vorlith::types {

using common::Point_2d;
using common::Point_3d;
using fpoint2 = Point_2d<float>;
using dpoint2 = Point_2d<double>;
using fpoint3 = Point_3d<float>;
using dpoint3 = Point_3d<double>;

// The fourteen value types with their codes, named `type_<name>`. Everything per type
// derives from this list: the dispatch switch, the traits, the codes, names and sizes
// below, and the type lists of the typed tests, the Python dtypes and the fuzz targets.
#define VORLITH_FOR_EACH_NUMERIC_TYPE(X)                                     \
  X(::vorlith::integration::type_int8, std::int8_t)                          \
  X(::vorlith::integration::type_uint8, std::uint8_t)                        \
  X(::vorlith::integration::type_int16, std::int16_t)                        \
  X(::vorlith::integration::type_uint16, std::uint16_t)                      \
  X(::vorlith::integration::type_int32, std::int32_t)                        \
  X(::vorlith::integration::type_uint32, std::uint32_t)                      \
  X(::vorlith::integration::type_int64, std::int64_t)                        \
  X(::vorlith::integration::type_uint64, std::uint64_t)                      \
  X(::vorlith::integration::type_float, float)                               \
  X(::vorlith::integration::type_double, double)                             \
  X(::vorlith::integration::type_float_point_2d, ::vorlith::types::fpoint2)  \
  X(::vorlith::integration::type_double_point_2d, ::vorlith::types::dpoint2) \
  X(::vorlith::integration::type_float_point_3d, ::vorlith::types::fpoint3)  \
  X(::vorlith::integration::type_double_point_3d, ::vorlith::types::dpoint3)

template <class T>
struct is_point_type : std::false_type {};
template <class C>
struct is_point_type<Point_2d<C>> : std::true_type {};
template <class C>
struct is_point_type<Point_3d<C>> : std::true_type {};
template <class T>
inline constexpr bool is_point_v = is_point_type<T>::value;

template <class T>
struct point_component {
  using type = T;
};
template <class C>
struct point_component<Point_2d<C>> {
  using type = C;
};
template <class C>
struct point_component<Point_3d<C>> {
  using type = C;
};

template <class T>
constexpr T typed_dummy() {
  if constexpr (is_point_v<T>)
    return T::dummy();
  else
    return common::dummy_value<T>;
}

// The enumerator's name without its namespace and `type_` prefix.
constexpr std::string_view type_name(std::string_view enumerator) {
  return enumerator.substr(enumerator.rfind("::type_") + 7);
}

/// Per value type: its code, name, typed dummy and, for integers, the valid range (the
/// values a conversion produces; it stops short of the dummy).
template <class T>
struct type_traits;

#define VORLITH_TRAITS(code_value, T)                                            \
  template <>                                                                    \
  struct type_traits<T> {                                                        \
    using value_type = T;                                                        \
    using component_type = typename point_component<T>::type;                    \
    static constexpr ::vorlith::integration::legacy_data_type code = code_value; \
    static constexpr T dummy = typed_dummy<T>();                                 \
    static constexpr std::string_view name = type_name(#code_value);             \
  };
VORLITH_FOR_EACH_NUMERIC_TYPE(VORLITH_TRAITS)
#undef VORLITH_TRAITS

template <class T>
inline constexpr bool is_integer_v = std::is_integral_v<T>;
template <class T>
inline constexpr bool is_floating_v = std::is_floating_point_v<T>;

/// Valid range of an integer type: signed types leave out the dummy (min + 1) and the
/// value next to it; int64's dummy is its minimum; unsigned types leave out all ones.
/// The codes of the value types, in list order.
inline constexpr integration::legacy_data_type value_type_codes[] = {
#define VORLITH_CODE(code_value, T) code_value,
    VORLITH_FOR_EACH_NUMERIC_TYPE(VORLITH_CODE)
#undef VORLITH_CODE
};

template <class I>
inline constexpr I valid_min = std::is_signed_v<I>
                                   ? static_cast<I>(std::numeric_limits<I>::min() + 2)
                                   : I{0};
template <class I>
inline constexpr I valid_max = std::is_signed_v<I>
                                   ? std::numeric_limits<I>::max()
                                   : static_cast<I>(std::numeric_limits<I>::max() - 1);

template <class T>
inline bool is_dummy_value(const T& v) {
  if constexpr (is_point_v<T>)
    return v.is_dummy();
  else
    return v == common::dummy_value<T>;
}

/// Tags handed to the callable of visit_type.
template <class T>
struct type_tag {
  using type = T;
};
struct opaque_tag {
  std::int64_t width;
};

template <class Tag>
inline constexpr bool is_opaque_tag_v = std::is_same_v<std::decay_t<Tag>, opaque_tag>;

// Exported for the Python module, which dispatches with visit_type over the shared library.
[[noreturn]] VORLITH_API void fail_unknown_type(std::int32_t code);

/// The one type switch, on a value type's code: f(type_tag<T>{}). Any other code (the
/// opaque code too) is a contract failure.
template <class F>
decltype(auto) visit_value_type(integration::legacy_data_type code, F&& f) {
  switch (code) {
#define VORLITH_CASE(code_value, T) \
  case code_value:                  \
    return f(type_tag<T>{});
    VORLITH_FOR_EACH_NUMERIC_TYPE(VORLITH_CASE)
#undef VORLITH_CASE
    default:
      break;
  }
  fail_unknown_type(code);
}

/// The name of the value type with `code` (int8 .. double_point_3d).
inline std::string_view value_type_name(integration::legacy_data_type code) {
  return visit_value_type(code,
                          [](auto tag) { return type_traits<typename decltype(tag)::type>::name; });
}

/// The type dispatch: calls f(opaque_tag{width}) for opaque types (tested first) and
/// f(type_tag<T>{}) for the fourteen value types. An unknown code is a contract failure.
template <class F>
decltype(auto) visit_type(const integration::Legacy_type& type, F&& f) {
  if (type.is_opaque()) return f(opaque_tag{type.get_element_size()});
  return visit_value_type(type.get_data_type(), std::forward<F>(f));
}

/// Two-type form, for conversions only.
template <class F>
decltype(auto) visit_types(const integration::Legacy_type& a, const integration::Legacy_type& b,
                           F&& f) {
  return visit_type(a, [&](auto ta) -> decltype(auto) {
    return visit_type(b, [&](auto tb) -> decltype(auto) { return f(ta, tb); });
  });
}

/// visit_type narrowed to the ten scalar types: f(type_tag<T>{}) for them, other() for
/// point and opaque types (the caller decides whether those are an error).
template <class F, class Other>
void visit_scalar_type(const integration::Legacy_type& type, F&& f, Other&& other) {
  visit_type(type, [&](auto tag) {
    if constexpr (is_opaque_tag_v<decltype(tag)>) {
      other();
    } else if constexpr (is_point_v<typename decltype(tag)::type>) {
      other();
    } else {
      f(tag);
    }
  });
}

}  // namespace vorlith::types
