#include "support/thread_environment.h"

#include <gtest/gtest.h>
#include <vorlith/host_hooks.h>

#include <cstdlib>

#include "runtime/parallel.h"

namespace vorlith::testing_support {
namespace {

Thread_settings read_settings() {
  Thread_settings s{16384, 0, false};
  if (const char* block = std::getenv("VORLITH_TEST_MIN_THREAD_BLOCK"); block && *block) {
    s.min_thread_block = std::strtoll(block, nullptr, 10);
    s.from_environment = true;
  }
  if (const char* processors = std::getenv("VORLITH_TEST_PROCESSORS"); processors && *processors) {
    s.processors = static_cast<int>(std::strtol(processors, nullptr, 10));
    s.from_environment = true;
  }
  return s;
}

class Thread_environment : public ::testing::Environment {
 public:
  void SetUp() override {
    // Tests run real regions on small data, where the library would stay on one thread.
    parallel::set_region_work_minimum(0);
    const Thread_settings& s = thread_settings();
    if (!s.from_environment) return;
    set_integration_min_thread_block(s.min_thread_block);
    parallel::set_processor_count_override(s.processors);
  }
};

// Registered during static initialisation, before gtest's main runs the tests.
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new Thread_environment);

}  // namespace

const Thread_settings& thread_settings() {
  static const Thread_settings settings = read_settings();
  return settings;
}

}  // namespace vorlith::testing_support
