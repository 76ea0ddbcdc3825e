#pragma once
// The exception that the default abort method throws on a failed contract check.

#include <stdexcept>
#include <string>

#include <vorlith/export.h>

namespace gsl {

/// Thrown by the default abort method; what() is the contract message,
/// "GSL: Precondition failure at <file>: <line>" (or "Postcondition").
class VORLITH_API fail_fast : public std::runtime_error {
 public:
  explicit fail_fast(const char* message) : std::runtime_error(message) {}
  explicit fail_fast(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace gsl
