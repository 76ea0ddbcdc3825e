#include <gtest/gtest.h>
#include <vorlith/fail_fast.h>
#include <vorlith/host_hooks.h>

#include <string>

#include "runtime/contracts.h"
#include "runtime/text_conversions.h"
#include "support/contracts.h"
#include "support/thread_environment.h"

namespace {

std::string last_message;
int abort_calls = 0;
void recording_abort(const char* const message) {
  last_message = message;
  ++abort_calls;
}
void throwing_abort(const char* const message) { throw gsl::fail_fast(message); }
bool smp_active() { return true; }
bool smp_inactive() { return false; }
bool cancelled() { return true; }
std::int32_t always_99(const char*, std::int64_t) { return 99; }

class HostHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_progress_ = get_external_progress_functions();
    last_message.clear();
    abort_calls = 0;
  }
  // The library's defaults have no getter; these behave the same.
  void TearDown() override {
    register_external_abort_method(throwing_abort);
    register_external_progress_functions(saved_progress_);
    register_external_string_conversions(vorlith::text::default_string_functions());
    register_external_sys_functions({smp_inactive});
  }

 private:
  external_progress_functions saved_progress_{};
};

void postcondition_fails() { VORLITH_ENSURES(1 + 1 == 3); }

TEST_F(HostHooks, Defaults) {
  EXPECT_FALSE(external_is_smp_active());
  if (!vorlith::testing_support::thread_settings().from_environment) {
    EXPECT_EQ(get_integration_min_thread_block(), 16384);
  }
  try {
    external_abort("x");
    FAIL() << "default abort returned";
  } catch (const gsl::fail_fast& e) {
    EXPECT_STREQ(e.what(), "x");
  }
  const external_progress_functions& progress = get_external_progress_functions();
  progress.start("title");
  progress.update(1, 2);
  progress.finish();
  EXPECT_FALSE(progress.is_cancelled());
  EXPECT_EQ(&get_integration_progress_reporter().functions(), &progress);
}

TEST_F(HostHooks, RegistrationReplacesWholeTables) {
  register_external_sys_functions({smp_active});
  EXPECT_TRUE(external_is_smp_active());

  external_string_functions strings = vorlith::text::default_string_functions();
  strings.int32_from_string = always_99;
  register_external_string_conversions(strings);
  EXPECT_EQ(external_int32_from_string("1", 1), 99);
  EXPECT_EQ(external_int64_from_string("1", 1), 1);

  external_progress_functions progress = get_external_progress_functions();
  progress.is_cancelled = cancelled;
  register_external_progress_functions(progress);
  EXPECT_TRUE(get_integration_progress_reporter().functions().is_cancelled());
}

TEST_F(HostHooks, FailedCheckThrowsEvenWhenTheHostAbortReturns) {
  register_external_abort_method(recording_abort);
  try {
    external_double_from_string("1", 4097);
    FAIL() << "operation went on past a failed check";
  } catch (const gsl::fail_fast& e) {
    EXPECT_EQ(abort_calls, 1);
    EXPECT_EQ(last_message, e.what());
    EXPECT_TRUE(vorlith::testing_support::fails_contract_in(
        [&] { throw gsl::fail_fast(last_message); }, "src/runtime/text_conversions.cpp"));
  }
  EXPECT_TRUE(vorlith::testing_support::fails_contract_in(postcondition_fails,
                                                          "tests/runtime/host_hooks_test.cpp"));
  try {
    postcondition_fails();
  } catch (const gsl::fail_fast& e) {
    EXPECT_EQ(std::string(e.what()).rfind("GSL: Postcondition failure at ", 0), 0u);
  }
}

}  // namespace
