#pragma once
// A function every worker of the parallel driver calls before it starts a chunk (for
// run_strided_dynamic: before each dynamically handed-out chunk). Only the tests set it,
// to make a worker fail at a known place; it is not part of the public interface.

namespace vorlith::parallel {

using Worker_hook = void (*)();

/// nullptr removes the hook. Set it only while no operation runs.
void set_worker_hook(Worker_hook hook);

}  // namespace vorlith::parallel
