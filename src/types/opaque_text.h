#pragma once
// Per-value rules of opaque text elements (fixed-width byte fields).

#include <cstdint>

namespace vorlith::types {

/// Empty text (first byte zero) or the single character '*'.
inline bool is_opaque_dummy(const char* value, std::int64_t width) {
  if (value[0] == '\0') return true;
  return value[0] == '*' && (width == 1 || value[1] == '\0');
}

/// Replaces every byte by its upper-case form (bytes after the text stay zero).
void upper_case_opaque(char* value, std::int64_t width);

}  // namespace vorlith::types
