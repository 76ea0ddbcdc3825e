#include "support/vectors.h"

#include <algorithm>

namespace vorlith::testing_support {

Multi_vector make_opaque(const std::vector<std::string>& texts, std::int64_t width, bool block) {
  Multi_vector v(Legacy_type(width), block, static_cast<std::int64_t>(texts.size()));
  std::string field(static_cast<std::size_t>(width), '\0');
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::fill(field.begin(), field.end(), '\0');
    std::memcpy(field.data(), texts[i].data(), std::min(texts[i].size(), field.size()));
    v.set(static_cast<std::int64_t>(i), field.data());
  }
  return v;
}

std::string opaque_text(const Multi_vector& v, std::int64_t i) {
  std::string field(static_cast<std::size_t>(v.get_element_size()), '\0');
  v.get(i, field.data());
  return field.substr(0, field.find('\0'));
}

}  // namespace vorlith::testing_support
