#pragma once
// Reaches the parallel path on small data: a small minimum thread block and a fixed
// processor count for the lifetime of the object; the run's settings (the defaults, or
// those of thread_environment.h) come back afterwards.

#include <vorlith/host_hooks.h>

#include <cstdint>

#include "runtime/parallel.h"
#include "support/thread_environment.h"

namespace vorlith::testing_support {

class Small_blocks {
 public:
  explicit Small_blocks(std::int64_t block = 1000, int processors = 3) {
    set_integration_min_thread_block(block);
    parallel::set_processor_count_override(processors);
  }
  ~Small_blocks() {
    set_integration_min_thread_block(thread_settings().min_thread_block);
    parallel::set_processor_count_override(thread_settings().processors);
  }
  Small_blocks(const Small_blocks&) = delete;
  Small_blocks& operator=(const Small_blocks&) = delete;
};

}  // namespace vorlith::testing_support
