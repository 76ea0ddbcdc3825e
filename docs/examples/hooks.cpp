// Host hooks: the host's own parallelism, progress functions and the thread block.
#include <vorlith/integration.h>

#include <cstdint>
#include <cstdio>

namespace vi = vorlith::integration;

namespace {

bool host_is_parallel = false;
bool is_smp_active() { return host_is_parallel; }

void progress_start(const char* title) { std::printf("start: %s\n", title); }
void progress_update(std::int64_t done, std::int64_t total) {
  std::printf("%lld of %lld\n", static_cast<long long>(done), static_cast<long long>(total));
}
bool progress_is_cancelled() { return false; }
void progress_finish() { std::printf("done\n"); }

}  // namespace

int main() {
  // While the host runs its own threads, the library stays on the calling thread.
  register_external_sys_functions(external_sys_functions{is_smp_active});
  host_is_parallel = true;

  // Progress functions are kept for code built on the library; the library does not
  // call them itself.
  register_external_progress_functions(
      {progress_start, progress_update, progress_is_cancelled, progress_finish});
  const external_progress_functions& progress = get_external_progress_functions();
  progress.start("sum");

  // A range no longer than the minimum thread block is never split.
  set_integration_min_thread_block(1 << 20);
  vi::Multi_vector v(vi::type_double, true, 100000);
  v.fill_increasing(1, 1, 0, -1);  // 1, 2, ..., 100000
  const double total = vi::Integration_math::sum(v, 0, -1);
  progress.update(v.get_length(), v.get_length());
  progress.finish();
  std::printf("sum %.0f on %s\n", total,
              external_is_smp_active() ? "the calling thread" : "threads");
  return total == 5000050000.0 ? 0 : 1;
}
