#pragma once
// Rules for opaque (fixed-width text) values of n bytes.

#include <vorlith/export.h>

#include <cstdint>

namespace vorlith::integration {

/// Compares the texts of a and b (up to the first zero byte, at most n bytes) after
/// dropping leading and trailing spaces, byte by byte as unsigned: -1, 0 or 1.
VORLITH_API int compare_opaque_case_sensitive(const void* a, const void* b, std::int64_t n);

/// Takes the texts as compare_opaque_case_sensitive does (spaces trimmed), then compares
/// them byte by byte upper-cased (std::toupper), each taken as a signed char: 0, or the
/// difference of the first pair that differs, an ended text counting as a zero byte.
VORLITH_API int compare_opaque_case_insensitive(const void* a, const void* b, std::int64_t n);

/// Exchanges the n bytes of a and b (nothing for n <= 0). a and b must not overlap.
VORLITH_API void swap_opaque(void* a, void* b, std::int64_t n);

}  // namespace vorlith::integration
