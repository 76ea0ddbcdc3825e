// Set-up that runs when the shared library is loaded.

#include <fftw3.h>
#include <omp.h>

namespace {

struct Load_time_setup {
  Load_time_setup() {
    // Every FFT plan made later uses OpenMP's default team size.
    if (fftw_init_threads() != 0) fftw_plan_with_nthreads(omp_get_max_threads());
    // Plans may then be made from several host threads at once.
    fftw_make_planner_thread_safe();
  }
};

const Load_time_setup load_time_setup;

}  // namespace
