#include "runtime/contracts.h"

#include <vorlith/fail_fast.h>
#include <vorlith/host_hooks.h>

namespace vorlith::detail {

void contract_failure(const char* message) {
  external_abort(message);
  // A host abort method that returns must not let the operation go on.
  throw gsl::fail_fast(message);
}

}  // namespace vorlith::detail
