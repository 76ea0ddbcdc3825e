#pragma once
// The exception that the default abort method throws on a failed contract check.

#include <vorlith/export.h>

#include <stdexcept>
#include <string>

namespace gsl {

/// Thrown by the default abort method; what() is the contract message,
/// "GSL: Precondition failure at <file>: <line>" (or "Postcondition").
class VORLITH_API fail_fast : public std::runtime_error {
 public:
  explicit fail_fast(const char* message) : std::runtime_error(message) {}
  explicit fail_fast(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace gsl

namespace vorlith::integration {

/// What the default abort method throws on a failed check. what() is the unchanged
/// contract message; reason() says in plain words what failed, for example
/// "clamp_to_range: minimum 5 is above maximum 2". Catching gsl::fail_fast catches it too.
class VORLITH_API Contract_failure : public gsl::fail_fast {
 public:
  Contract_failure(const char* message, const std::string& reason)
      : gsl::fail_fast(message), reason_(reason) {}
  /// The plain reason; empty when external_abort was called without a failing check.
  const char* reason() const noexcept { return reason_.c_str(); }

 private:
  std::string reason_;
};

}  // namespace vorlith::integration
