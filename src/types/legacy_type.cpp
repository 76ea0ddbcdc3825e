#include <vorlith/legacy_type.h>

#include <cstring>
#include <string>

#include "runtime/contracts.h"
#include "types/opaque_text.h"
#include "types/type_list.h"

namespace vorlith::types {

void fail_unknown_type(std::int32_t code) {
  VORLITH_CONTRACT_FAILURE("Precondition", "element type: code ", code, " is not a known type");
}

}  // namespace vorlith::types

namespace vorlith::integration {

using types::opaque_tag;
using types::visit_type;

std::int64_t Legacy_type::get_known_size(legacy_data_type code) {
  VORLITH_EXPECTS(code >= type_int8 && code <= type_double_point_3d, "Legacy_type: code ", +code,
                  " is not a fixed type code (0 to 13)");
  return types::visit_value_type(code, [](auto tag) {
    return static_cast<std::int64_t>(sizeof(typename decltype(tag)::type));
  });
}

Legacy_type::Legacy_type(legacy_data_type code)
    : data_type_(code), element_size_(get_known_size(code)) {}

Legacy_type::Legacy_type(std::int64_t width) : data_type_(type_opaque), element_size_(width) {}

bool Legacy_type::is_same(const Legacy_type& other) const {
  if (is_opaque() || other.is_opaque()) {
    return is_opaque() && other.is_opaque() && element_size_ == other.element_size_;
  }
  return data_type_ == other.data_type_;
}

std::uint64_t Legacy_type::get_memory_size() const {
  return visit_type(*this, [](auto tag) -> std::uint64_t {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>)
      return 1;
    else
      return sizeof(typename decltype(tag)::type);
  });
}

std::string Legacy_type::get_name() const {
  if (is_opaque()) return "opaque(" + std::to_string(element_size_) + ")";
  VORLITH_EXPECTS(data_type_ >= type_int8 && data_type_ <= type_double_point_3d, "get_name: code ",
                  +data_type_, " is not a known type");
  return std::string(types::value_type_name(data_type_));
}

bool Legacy_type::is_dummy(const void* value) const {
  vorlith::detail::expect_caller_data(value, 1, "is_dummy", "value");
  return visit_type(*this, [value](auto tag) -> bool {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      return types::is_opaque_dummy(static_cast<const char*>(value), tag.width);
    } else {
      using T = typename decltype(tag)::type;
      T v;
      std::memcpy(&v, value, sizeof(T));
      return types::is_dummy_value(v);
    }
  });
}

void Legacy_type::set_dummy(void* value) const {
  vorlith::detail::expect_caller_data(value, 1, "set_dummy", "value");
  visit_type(*this, [value](auto tag) {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      std::memset(value, 0, static_cast<std::size_t>(tag.width));
    } else {
      using T = typename decltype(tag)::type;
      const T d = types::typed_dummy<T>();
      std::memcpy(value, &d, sizeof(T));
    }
  });
}

}  // namespace vorlith::integration
