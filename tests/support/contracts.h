#pragma once
// Checks that a call fails a contract check in the given source file.

#include <gtest/gtest.h>

#include <string>

#include <vorlith/fail_fast.h>

namespace vorlith::testing_support {

/// The message reads "GSL: Precondition failure at <file>: <line>" (or Postcondition).
/// A non-empty `reason` must also be the failure's reason, word for word.
template <class Fn>
::testing::AssertionResult fails_contract_in(Fn&& fn, const std::string& file,
                                             const std::string& reason = "") {
  try {
    fn();
  } catch (const gsl::fail_fast& e) {
    const std::string message = e.what();
    const auto* failure = dynamic_cast<const integration::Contract_failure*>(&e);
    const std::string given = failure ? failure->reason() : "";
    if (!reason.empty() && given != reason) {
      return ::testing::AssertionFailure()
             << "reason '" << given << "' instead of '" << reason << "' (" << message << ")";
    }
    for (const char* kind : {"GSL: Precondition failure at ", "GSL: Postcondition failure at "}) {
      const std::string prefix = std::string(kind) + file + ": ";
      if (message.rfind(prefix, 0) == 0 && message.size() > prefix.size() &&
          message.find_first_not_of("0123456789", prefix.size()) == std::string::npos) {
        return ::testing::AssertionSuccess();
      }
    }
    return ::testing::AssertionFailure() << "unexpected message: " << message;
  }
  return ::testing::AssertionFailure() << "no contract failure";
}

}  // namespace vorlith::testing_support
