#include <gtest/gtest.h>
#include <vorlith/fail_fast.h>
#include <vorlith/host_hooks.h>
#include <vorlith/legacy_type.h>

#include <atomic>
#include <string>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "support/contracts.h"
#include "support/thread_environment.h"

namespace {

using vorlith::integration::Legacy_type;
using vorlith::integration::type_double;
using vorlith::integration::type_int32;
using vorlith::testing_support::fails_contract;

std::string last_message;
std::string last_reason;
int abort_calls = 0;
void recording_abort(const char* const message) {
  last_message = message;
  last_reason = external_abort_reason();
  ++abort_calls;
}
bool smp_active() { return true; }
bool cancelled() { return true; }
std::int32_t always_99(const char*, std::int64_t) { return 99; }

class HostHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    last_message.clear();
    abort_calls = 0;
  }
  // Null pointers restore the library's defaults.
  void TearDown() override {
    register_external_abort_method(nullptr);
    register_external_progress_functions({});
    register_external_string_conversions({});
    register_external_sys_functions({});
  }
};

void postcondition_fails() { VORLITH_ENSURES(1 + 1 == 3, "sum: 1 + 1 is not 3"); }

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

// A failed check throws even when the host's abort method returns. A null pointer anywhere
// means the library's default for that slot; the getters give the tables in use, which
// restore them when registered again.
TEST_F(HostHooks, FailedChecksThrowAndNullSlotsMeanTheDefaults) {
  register_external_abort_method(recording_abort);
  try {
    external_double_from_string("1", 4097);
    FAIL() << "operation went on past a failed check";
  } catch (const gsl::fail_fast& e) {
    EXPECT_EQ(abort_calls, 1);
    EXPECT_EQ(last_message, e.what());
    EXPECT_EQ(last_reason, "text conversion: field width 4097 is above 4096");
    EXPECT_STREQ(external_abort_reason(), "");
    EXPECT_EQ(last_message.rfind("GSL: Precondition failure at ", 0), 0u);
  }
  EXPECT_TRUE(fails_contract(postcondition_fails, "sum: 1 + 1 is not 3"));
  register_external_abort_method(nullptr);
  EXPECT_TRUE(fails_contract([] { external_double_from_string("1", 4097); },
                             "text conversion: field width 4097 is above 4096"));
  EXPECT_EQ(abort_calls, 2);  // the two checks above; none since

  register_external_sys_functions({smp_active});
  const external_sys_functions saved_sys = get_external_sys_functions();
  register_external_sys_functions({nullptr});
  std::atomic<std::int64_t> covered{0};
  vorlith::parallel::run_over_range(
      0, 100000, 1000, [&](std::int64_t first, std::int64_t last) { covered += last - first; });
  EXPECT_EQ(covered, 100000);
  EXPECT_FALSE(external_is_smp_active());
  register_external_sys_functions(saved_sys);
  EXPECT_TRUE(external_is_smp_active());

  // Only the int32 reading replaced: an opaque element "  42" reads as 99 for int32 and
  // through the default for double; writing goes through the default as well.
  external_string_functions strings{};
  strings.int32_from_string = always_99;
  register_external_string_conversions(strings);
  const Legacy_type text(std::int64_t{8});
  const char field[8] = {' ', ' ', '4', '2'};
  std::int32_t as_int32 = 0;
  double as_double = 0;
  char written[8];
  text.convert_to(field, &as_int32, Legacy_type(type_int32), 1);
  text.convert_to(field, &as_double, Legacy_type(type_double), 1);
  Legacy_type(type_double).convert_to(&as_double, written, text, 1);
  EXPECT_EQ(as_int32, 99);
  EXPECT_EQ(as_double, 42.0);
  EXPECT_EQ(std::string(written, 8), "42.00000");
  const external_string_functions saved_strings = get_external_string_functions();
  register_external_string_conversions({});
  EXPECT_EQ(external_int32_from_string(field, 8), 42);
  register_external_string_conversions(saved_strings);
  EXPECT_EQ(external_int32_from_string(field, 8), 99);
  // Every slot left null reads through its default, the points' too.
  const auto point = external_float_point_2d_from_string("{1.5,2}", 7);
  EXPECT_TRUE(point.x == 1.5f && point.y == 2.0f);

  register_external_progress_functions({nullptr, nullptr, cancelled, nullptr});
  const external_progress_functions& progress = get_integration_progress_reporter().functions();
  progress.start("title");
  progress.update(1, 2);
  progress.finish();
  EXPECT_TRUE(progress.is_cancelled());
}

}  // namespace
