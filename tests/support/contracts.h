#pragma once
// Checks that a call fails a contract check with a given reason.

#include <gtest/gtest.h>
#include <vorlith/fail_fast.h>

#include <string>
#include <string_view>

namespace vorlith::testing_support {

/// fn fails a check ("GSL: Precondition failure at ..." or Postcondition) whose reason
/// begins with `reason`. The source position is not compared, so checks may move.
template <class Fn>
::testing::AssertionResult fails_contract(Fn&& fn, std::string_view reason) {
  try {
    fn();
  } catch (const integration::Contract_failure& e) {
    const std::string_view message = e.what(), given = e.reason();
    if (!message.starts_with("GSL: Precondition failure at ") &&
        !message.starts_with("GSL: Postcondition failure at "))
      return ::testing::AssertionFailure() << "unexpected message: " << message;
    if (!given.starts_with(reason))
      return ::testing::AssertionFailure() << "reason '" << given << "', not '" << reason << "'";
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "no contract failure";
}

}  // namespace vorlith::testing_support
