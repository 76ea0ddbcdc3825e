#pragma once
// The library's own text conversions: the defaults of external_string_functions.

#include <vorlith/host_hooks.h>

#include <cstdint>

namespace vorlith::text {

/// The eighteen default text conversions, in table order.
const external_string_functions& default_string_functions();

}  // namespace vorlith::text
