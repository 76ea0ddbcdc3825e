// A failure inside a worker of the parallel driver reaches the caller with its type and
// message, every time, and leaves the library usable.

#include <gtest/gtest.h>
#include <vorlith/fail_fast.h>
#include <vorlith/host_hooks.h>

#include <new>
#include <stdexcept>
#include <string>

#include "runtime/worker_hook.h"
#include "support/operations.h"
#include "support/small_blocks.h"

namespace {

using namespace vorlith::testing_support;

struct Host_abort : std::runtime_error {
  using std::runtime_error::runtime_error;
};

constexpr const char* abort_message = "host stopped the worker";

void host_abort_throws(const char* const message) { throw Host_abort(message); }

// The two failures a worker can meet: the host's abort method, reached from inside the
// worker, and an allocation that fails.
void worker_calls_abort() { external_abort(abort_message); }
void worker_allocation_fails() { throw std::bad_alloc(); }

class WorkerException : public ::testing::TestWithParam<Operation> {
 protected:
  void TearDown() override {
    vorlith::parallel::set_worker_hook(nullptr);
    register_external_abort_method(nullptr);  // the default again
  }
};

// Long enough to split for the members that fix their own minimum chunk of 16384.
std::int64_t length_for(const Operation& op) { return op.fixed_chunk ? 2 * 16384 + 100 : 64; }

TEST_P(WorkerException, ReachesTheCallerEveryTimeAndANormalCallWorksAfterwards) {
  const Operation& op = GetParam();
  register_external_abort_method(host_abort_throws);
  const Small_blocks chunking(1, 3);
  const std::int64_t n = length_for(op);
  // Every failing call starts from vectors the member has already worked on once, so
  // outputs have their final lengths.
  Workspace workspaces[2] = {Workspace(n, false), Workspace(n, true)};
  for (Workspace& w : workspaces) op.run(w);
  const Workspace originals[2] = {workspaces[0], workspaces[1]};
  // A member that changes several vectors may stop between them; the failed call then
  // leaves a valid set that the next call could reject (lengths that no longer match).
  // The vectors start again from the originals whenever a failure changed a length.
  auto run_failing = [&](Workspace& w, const Workspace& original,
                         vorlith::parallel::Worker_hook hook) {
    const auto lengths = w.lengths();
    vorlith::parallel::set_worker_hook(hook);
    struct Unhook {
      ~Unhook() { vorlith::parallel::set_worker_hook(nullptr); }
    } unhook;
    try {
      op.run(w);
    } catch (...) {
      vorlith::parallel::set_worker_hook(nullptr);
      if (w.lengths() != lengths) w.restore(original);
      throw;
    }
  };
  constexpr int repeats = 1000;
  int aborts = 0, allocations = 0;
  for (int i = 0; i < repeats; ++i) {
    Workspace& w = workspaces[i % 2];
    const Workspace& original = originals[i % 2];
    try {
      run_failing(w, original, worker_calls_abort);
    } catch (const Host_abort& e) {
      aborts += std::string(e.what()) == abort_message;
    }
    try {
      run_failing(w, original, worker_allocation_fails);
    } catch (const std::bad_alloc&) {
      ++allocations;
    }
  }
  EXPECT_EQ(aborts, repeats);
  EXPECT_EQ(allocations, repeats);
  for (Workspace& w : workspaces) {
    EXPECT_NO_THROW(op.run(w));
    for (const auto* v : w.vectors()) EXPECT_TRUE(consistent(*v));
  }
}

INSTANTIATE_TEST_SUITE_P(Driver, WorkerException, ::testing::ValuesIn(driver_operations()),
                         [](const auto& info) { return operation_test_name(info.param); });

}  // namespace
