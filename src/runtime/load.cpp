// Set-up that runs when the shared library is loaded.

#include <fftw3.h>
#include <omp.h>

namespace vorlith::parallel {
bool fft_threads_ready = false;
}

namespace {

struct Load_time_setup {
  Load_time_setup() {
    // Every FFT plan made later says its own thread count (see signal/fft.cpp).
    vorlith::parallel::fft_threads_ready = fftw_init_threads() != 0;
    if (vorlith::parallel::fft_threads_ready) fftw_plan_with_nthreads(omp_get_max_threads());
    // Plans may then be made from several host threads at once.
    fftw_make_planner_thread_safe();
  }
};

const Load_time_setup load_time_setup;

}  // namespace
