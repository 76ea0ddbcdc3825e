// The reason a failed check gives, word for word, for the checks no other test reaches:
// what a host or a front end shows its user.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using vorlith::testing_support::fails_contract;
using vorlith::testing_support::make_doubles;

TEST(ContractReasons, SayWhatFailed) {
  EXPECT_TRUE(fails_contract([] { Legacy_type(type_int16).is_dummy(nullptr); },
                             "is_dummy: value is null with count 1"));
  const double source[2] = {1.0, 2.0};
  EXPECT_TRUE(fails_contract(
      [&] { Legacy_type(type_double).convert_to(source, nullptr, Legacy_type(type_int16), 2); },
      "convert_to: target is null with count 2"));
  Multi_vector v = make_doubles({1.0});
  EXPECT_TRUE(fails_contract([&] { Integration_range::clamp_to_range(v, 5.0, 2.5, 0, 1); },
                             "clamp_to_range: minimum 5 is above maximum 2.5"));
}

}  // namespace
