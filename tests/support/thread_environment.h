#pragma once
// Thread settings taken from the environment, so a whole test run (the thread-sanitizer
// job) can put every parallel member on its multi-chunk path:
//   VORLITH_TEST_MIN_THREAD_BLOCK=n  minimum thread block for every test
//   VORLITH_TEST_PROCESSORS=k        processor count the driver plans with
// Without them the library's defaults apply (16384, the machine's processors).

#include <cstdint>

namespace vorlith::testing_support {

struct Thread_settings {
  std::int64_t min_thread_block;  // 16384 unless set
  int processors;                 // 0 (no override) unless set
  bool from_environment;          // either variable is set
};

/// Read once; a gtest environment applies them before the first test.
const Thread_settings& thread_settings();

}  // namespace vorlith::testing_support
