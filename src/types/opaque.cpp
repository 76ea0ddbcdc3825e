#include <vorlith/opaque.h>

#include <cctype>
#include <cstring>
#include <string_view>

#include "types/opaque_text.h"

namespace vorlith::integration {
namespace {

// An operand as both comparisons see it: the text of the field (up to the first zero
// byte, at most n bytes) without trailing, then leading spaces (only ' '; other
// whitespace is part of the text).
std::string_view trimmed_text(const void* value, std::int64_t n) {
  const char* p = static_cast<const char*>(value);
  const std::size_t limit = n > 0 ? static_cast<std::size_t>(n) : 0;
  const void* zero = std::memchr(p, '\0', limit);
  std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p) : limit;
  while (length > 0 && p[length - 1] == ' ') --length;
  std::size_t first = 0;
  while (first < length && p[first] == ' ') ++first;
  return {p + first, length - first};
}

int upper(char c) { return std::toupper(static_cast<unsigned char>(c)); }

// toupper as the comparison sees it: the upper-cased byte taken as a signed char.
int upper_signed(char c) { return static_cast<signed char>(static_cast<char>(upper(c))); }

}  // namespace

int compare_opaque_case_sensitive(const void* a, const void* b, std::int64_t n) {
  const std::string_view ta = trimmed_text(a, n);
  const std::string_view tb = trimmed_text(b, n);
  const std::size_t common = ta.size() < tb.size() ? ta.size() : tb.size();
  for (std::size_t i = 0; i < common; ++i) {
    const auto ca = static_cast<unsigned char>(ta[i]);
    const auto cb = static_cast<unsigned char>(tb[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (ta.size() == tb.size()) return 0;
  return ta.size() < tb.size() ? -1 : 1;
}

int compare_opaque_case_insensitive(const void* a, const void* b, std::int64_t n) {
  const std::string_view ta = trimmed_text(a, n);
  const std::string_view tb = trimmed_text(b, n);
  // Each text ends in its terminating zero, which differs from every upper-cased byte.
  for (std::size_t i = 0;; ++i) {
    const char ca = i < ta.size() ? ta[i] : '\0';
    const char cb = i < tb.size() ? tb[i] : '\0';
    const int d = upper_signed(ca) - upper_signed(cb);
    if (d != 0 || ca == '\0') return d;
  }
}

void swap_opaque(void* a, void* b, std::int64_t n) {
  if (n <= 0) return;
  // One buffered exchange; the word size chosen by the width does not change the result.
  char buffer[256];
  char* pa = static_cast<char*>(a);
  char* pb = static_cast<char*>(b);
  for (std::int64_t done = 0; done < n;) {
    const std::size_t piece = static_cast<std::size_t>(n - done < 256 ? n - done : 256);
    std::memcpy(buffer, pa + done, piece);
    std::memcpy(pa + done, pb + done, piece);
    std::memcpy(pb + done, buffer, piece);
    done += static_cast<std::int64_t>(piece);
  }
}

}  // namespace vorlith::integration

namespace vorlith::types {

void upper_case_opaque(char* value, std::int64_t width) {
  for (std::int64_t i = 0; i < width; ++i)
    value[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(value[i])));
}

}  // namespace vorlith::types
