#include "runtime/contracts.h"

#include <vorlith/fail_fast.h>
#include <vorlith/host_hooks.h>

namespace {

// The reason of the check that is failing on this thread, for the abort method.
thread_local const std::string* failing_reason = nullptr;

}  // namespace

namespace vorlith::detail {

void contract_failure(const char* message, const std::string& reason) {
  struct Reason_scope {
    const std::string* previous;
    explicit Reason_scope(const std::string& reason) : previous(failing_reason) {
      failing_reason = &reason;
    }
    ~Reason_scope() { failing_reason = previous; }
  } scope(reason);
  external_abort(message);
  // A host abort method that returns must not let the operation go on.
  throw vorlith::integration::Contract_failure(message, reason);
}

void expect_caller_data(const void* data, std::int64_t count, const char* operation,
                        const char* argument) {
  VORLITH_EXPECTS(data != nullptr || count == 0, operation, ": ", argument, " is null with count ",
                  count);
}

}  // namespace vorlith::detail

const char* external_abort_reason() { return failing_reason ? failing_reason->c_str() : ""; }
