#pragma once
// Contract checks. A failed check calls the host's abort method with
// "GSL: Precondition failure at <file>: <line>"; if that method returns, the check
// throws gsl::fail_fast itself, so no operation continues past a failed check.

#define VORLITH_STRINGIFY_DETAIL(x) #x
#define VORLITH_STRINGIFY(x) VORLITH_STRINGIFY_DETAIL(x)

namespace vorlith::detail {
[[noreturn]] void contract_failure(const char* message);
}  // namespace vorlith::detail

#define VORLITH_CONTRACT_FAILURE(kind) \
  ::vorlith::detail::contract_failure("GSL: " kind " failure at " __FILE__ ": " VORLITH_STRINGIFY(__LINE__))
#define VORLITH_CONTRACT_CHECK(kind, cond) ((cond) ? static_cast<void>(0) : VORLITH_CONTRACT_FAILURE(kind))

#define VORLITH_EXPECTS(cond) VORLITH_CONTRACT_CHECK("Precondition", cond)
#define VORLITH_ENSURES(cond) VORLITH_CONTRACT_CHECK("Postcondition", cond)
