#pragma once
// Vectors of every element type as lists of raw element bytes, so that one test body
// can check an operation on every value type and opaque width against a std::vector
// model of the same elements.

#include <vorlith/integration.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/typed_lists.h"
#include "support/vectors.h"
#include "types/type_list.h"

namespace vorlith::testing_support {

/// One element's bytes.
using Bytes = std::string;

/// The fourteen value types and opaque widths on and off the fixed-width paths.
inline std::vector<Legacy_type> every_element_type() {
  std::vector<Legacy_type> list;
  value_types::for_each(
      [&](auto tag) { list.emplace_back(types::type_traits<typename decltype(tag)::type>::code); });
  for (std::int64_t width : {3, 8, 12, 16, 24, 100, 4096}) list.emplace_back(width);
  return list;
}

/// n elements with dummies at the first and last position and every seventh one in
/// between, but none at 1, 2, n - 3 and n - 2; opaque dummies alternate between empty
/// text and "*". Any 97 consecutive non-dummy elements are distinct.
inline std::vector<Bytes> sample_elements(const Legacy_type& type, std::int64_t n) {
  std::vector<Bytes> out(static_cast<std::size_t>(n),
                         Bytes(static_cast<std::size_t>(type.get_element_size()), '\0'));
  for (std::int64_t k = 0; k < n; ++k) {
    Bytes& e = out[static_cast<std::size_t>(k)];
    const bool dummy = k == 0 || k == n - 1 || (k % 7 == 3 && k > 2 && k < n - 3);
    types::visit_type(type, [&](auto tag) {
      if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
        // Base-26 letters, lowest digit first: distinct for every k below 26^3.
        std::string text = dummy && k % 2 ? "*" : "";
        for (std::int64_t rest = k; !dummy && (text.empty() || rest > 0); rest /= 26) {
          text += static_cast<char>('a' + rest % 26);
        }
        std::memcpy(e.data(), text.data(), std::min(text.size(), e.size()));
      } else {
        using T = typename decltype(tag)::type;
        const T v = dummy ? types::typed_dummy<T>() : pattern_value<T>(k);
        std::memcpy(e.data(), &v, sizeof(T));
      }
    });
  }
  return out;
}

inline Multi_vector vector_of(const Legacy_type& type, const std::vector<Bytes>& elements,
                              bool block) {
  Multi_vector v(type, block, static_cast<std::int64_t>(elements.size()));
  for (std::size_t i = 0; i < elements.size(); ++i)
    v.set(static_cast<std::int64_t>(i), elements[i].data());
  return v;
}

inline std::vector<Bytes> elements_of(const Multi_vector& v) {
  std::vector<Bytes> out(static_cast<std::size_t>(v.get_length()),
                         Bytes(static_cast<std::size_t>(v.get_element_size()), '\0'));
  for (std::int64_t i = 0; i < v.get_length(); ++i)
    v.get(i, out[static_cast<std::size_t>(i)].data());
  return out;
}

/// Enough elements to span three blocks and a part.
inline std::int64_t three_blocks(const Legacy_type& type) {
  return 3 * (4096 / type.get_element_size()) + 5;
}

}  // namespace vorlith::testing_support
