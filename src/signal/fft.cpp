// Real FFTs over FFTW. Plans are made with FFTW_ESTIMATE on the call's own arrays and
// kept in a small cache; a cached plan runs through FFTW's new-array execute, which
// computes exactly what a fresh plan for the same arrays would. The key therefore
// holds everything an FFTW plan depends on: kind, sizes, in-place or not, and the
// SIMD alignment of both arrays.

#include <fftw3.h>
#include <omp.h>
#include <vorlith/fft.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "storage/multi_vector_access.h"

namespace vorlith::integration::FFT {

namespace {

using storage::cursor;
using storage::for_each_run;

enum class Plan_kind { r2c_1d, c2r_1d, r2c_2d, c2r_2d };

struct Plan_key {
  Plan_kind kind;
  int n0;
  int n1;
  bool in_place;
  int input_alignment;
  int output_alignment;
  int threads;
  bool operator==(const Plan_key&) const = default;
};

using Shared_plan = std::shared_ptr<fftw_plan_s>;

// Bounded, least recently used first out. A plan handed out stays valid while the
// caller holds it, even if the cache drops it meanwhile.
class Plan_cache {
 public:
  static constexpr std::size_t capacity = 8;

  template <class Make>
  Shared_plan get(const Plan_key& key, Make&& make) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const Entry& e) { return e.key == key; });
    if (found != entries_.end()) {
      entries_.splice(entries_.begin(), entries_, found);
      return entries_.front().plan;
    }
    // The planner's thread count is global; the cache's lock keeps it ours until the
    // plan is made.
    if (parallel::fft_threads_ready) fftw_plan_with_nthreads(key.threads);
    fftw_plan made = make();
    VORLITH_EXPECTS(made != nullptr, "FFT: FFTW made no plan for sizes ", key.n0, " and ", key.n1);
    entries_.push_front({key, Shared_plan(made, fftw_destroy_plan)});
    if (entries_.size() > capacity) entries_.pop_back();
    return entries_.front().plan;
  }

 private:
  struct Entry {
    Plan_key key;
    Shared_plan plan;
  };
  std::mutex mutex_;
  std::list<Entry> entries_;
};

Plan_cache& plan_cache() {
  // Never destroyed: a host's own static destructors may still run transforms.
  static Plan_cache* cache = new Plan_cache;
  return *cache;
}

// Threads pay in a transform from about this many samples on (bench/threads_bench);
// smaller plans run on the calling thread.
constexpr std::int64_t threaded_plan_minimum = std::int64_t{1} << 17;

// One thread below the size where threads pay, else OpenMP's team size within the
// library's thread cap.
int plan_threads(std::int64_t samples) {
  if (samples < threaded_plan_minimum || !parallel::fft_threads_ready) return 1;
  return std::max(1, std::min(omp_get_max_threads(), parallel::processor_count()));
}

Plan_key key_of(Plan_kind kind, int n0, int n1, void* in, void* out) {
  return {kind,
          n0,
          n1,
          in == out,
          fftw_alignment_of(static_cast<double*>(in)),
          fftw_alignment_of(static_cast<double*>(out)),
          plan_threads(std::int64_t{n0} * std::max(n1, 1))};
}

struct Fftw_free {
  void operator()(void* p) const { fftw_free(p); }
};
template <class T>
using Fftw_buffer = std::unique_ptr<T[], Fftw_free>;

template <class T>
Fftw_buffer<T> allocate(std::int64_t n) {
  T* p = static_cast<T*>(fftw_malloc(sizeof(T) * static_cast<std::size_t>(n)));
  if (p == nullptr) throw std::bad_alloc();
  return Fftw_buffer<T>(p);
}

int transform_length(std::int64_t n) {
  // FFTW takes int lengths.
  VORLITH_EXPECTS(n <= INT32_MAX, "FFT: transform length ", n, " is above ", INT32_MAX);
  return static_cast<int>(n);
}

// fn(p, n, offset) over the range as doubles: the vector's own runs when it holds
// doubles, else one converted copy.
template <class Fn>
void read_double_runs(const Multi_vector& v, std::int64_t start, std::int64_t count, Fn&& fn) {
  if (storage::holds_doubles(v)) {
    std::int64_t offset = 0;
    for_each_run(
        count,
        [&](std::int64_t n, const void* p) {
          fn(static_cast<const double*>(p), n, offset);
          offset += n;
        },
        cursor(v, start));
    return;
  }
  std::vector<double> values(static_cast<std::size_t>(count));
  v.get_range_double(start, count, values.data());
  fn(values.data(), count, std::int64_t{0});
}

// fn(p, n, offset) fills the range with doubles; converted on the way to other types.
// The range must already lie inside the vector.
template <class Fn>
void write_double_runs(Multi_vector& v, std::int64_t start, std::int64_t count, Fn&& fn) {
  if (storage::holds_doubles(v)) {
    std::int64_t offset = 0;
    for_each_run(
        count,
        [&](std::int64_t n, void* p) {
          fn(static_cast<double*>(p), n, offset);
          offset += n;
        },
        cursor(v, start));
    return;
  }
  std::vector<double> values(static_cast<std::size_t>(count));
  fn(values.data(), count, std::int64_t{0});
  v.set_range_double(start, count, values.data());
}

}  // namespace

void rfft_1d_forward(const Multi_vector& input, Multi_vector& real_part,
                     Multi_vector& imaginary_part, std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, input);
  VORLITH_EXPECTS(count >= 1, "rfft_1d_forward: count ", count, " is below 1");
  const int n = transform_length(count);
  const std::int64_t m = count / 2 + 1;
  std::int64_t m_real = m;
  std::int64_t m_imaginary = m;
  real_part.validate_output_range(0, m_real);
  imaginary_part.validate_output_range(0, m_imaginary);

  // Taken after the outputs are sized: an output may be the input itself.
  Fftw_buffer<double> copied;
  double* samples = nullptr;
  if (const double* stored = storage::stored_doubles(input, start, count)) {
    // FFTW leaves the input of an out-of-place real-to-complex transform unchanged.
    samples = const_cast<double*>(stored);
  } else {
    copied = allocate<double>(count);
    input.get_range_double(start, count, copied.get());
    samples = copied.get();
  }
  Fftw_buffer<fftw_complex> spectrum = allocate<fftw_complex>(m);

  const Shared_plan plan = plan_cache().get(
      key_of(Plan_kind::r2c_1d, n, 0, samples, spectrum.get()),
      [&] { return fftw_plan_dft_r2c_1d(n, samples, spectrum.get(), FFTW_ESTIMATE); });
  fftw_execute_dft_r2c(plan.get(), samples, spectrum.get());

  const fftw_complex* x = spectrum.get();
  write_double_runs(real_part, 0, m, [&](double* p, std::int64_t len, std::int64_t offset) {
    for (std::int64_t k = 0; k < len; ++k) p[k] = x[offset + k][0];
  });
  write_double_runs(imaginary_part, 0, m, [&](double* p, std::int64_t len, std::int64_t offset) {
    for (std::int64_t k = 0; k < len; ++k) p[k] = -x[offset + k][1];
  });
}

void rfft_1d_inverse(const Multi_vector& real_part, const Multi_vector& imaginary_part,
                     Multi_vector& output, std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, real_part, imaginary_part);
  VORLITH_EXPECTS(count >= 2, "rfft_1d_inverse: count ", count, " is below 2");
  const std::int64_t samples = 2 * count - 2;
  const int n = transform_length(samples);
  std::int64_t written = samples;
  output.validate_output_range(0, written);

  Fftw_buffer<fftw_complex> spectrum = allocate<fftw_complex>(count);
  fftw_complex* x = spectrum.get();
  const double scale = static_cast<double>(samples);
  read_double_runs(real_part, start, count,
                   [&](const double* p, std::int64_t len, std::int64_t offset) {
                     for (std::int64_t k = 0; k < len; ++k) x[offset + k][0] = p[k] / scale;
                   });
  read_double_runs(imaginary_part, start, count,
                   [&](const double* p, std::int64_t len, std::int64_t offset) {
                     for (std::int64_t k = 0; k < len; ++k) x[offset + k][1] = -(p[k] / scale);
                   });

  Fftw_buffer<double> converted;
  double* target = storage::stored_doubles(output, 0, samples);
  if (target == nullptr) {
    converted = allocate<double>(samples);
    target = converted.get();
  }
  const Shared_plan plan = plan_cache().get(key_of(Plan_kind::c2r_1d, n, 0, x, target), [&] {
    return fftw_plan_dft_c2r_1d(n, x, target, FFTW_ESTIMATE);
  });
  fftw_execute_dft_c2r(plan.get(), x, target);
  if (converted) output.set_range_double(0, samples, converted.get());
}

void rfft_2d_forward(int rows, int columns, double* input, double* output) {
  VORLITH_EXPECTS(rows >= 1 && columns >= 1, "rfft_2d_forward: rows ", rows, " and columns ",
                  columns, " are not both at least 1");
  VORLITH_EXPECTS(input != nullptr && output != nullptr,
                  "rfft_2d_forward: input or output is a null pointer");
  auto* spectrum = reinterpret_cast<fftw_complex*>(output);
  const Shared_plan plan = plan_cache().get(
      key_of(Plan_kind::r2c_2d, rows, columns, input, output),
      [&] { return fftw_plan_dft_r2c_2d(rows, columns, input, spectrum, FFTW_ESTIMATE); });
  fftw_execute_dft_r2c(plan.get(), input, spectrum);
}

void rfft_2d_inverse(int rows, int columns, double* input, double* output) {
  VORLITH_EXPECTS(rows >= 1 && columns >= 1, "rfft_2d_inverse: rows ", rows, " and columns ",
                  columns, " are not both at least 1");
  VORLITH_EXPECTS(input != nullptr && output != nullptr,
                  "rfft_2d_inverse: input or output is a null pointer");
  auto* spectrum = reinterpret_cast<fftw_complex*>(input);
  const Shared_plan plan = plan_cache().get(
      key_of(Plan_kind::c2r_2d, rows, columns, input, output),
      [&] { return fftw_plan_dft_c2r_2d(rows, columns, spectrum, output, FFTW_ESTIMATE); });
  fftw_execute_dft_c2r(plan.get(), spectrum, output);

  // In place, FFTW leaves each row padded to the complex row's width; out of place
  // it writes the rows x columns samples back to back. Scale exactly what it wrote.
  const double scale = static_cast<double>(rows) * static_cast<double>(columns);
  const std::int64_t stride = input == output ? 2 * (columns / 2 + 1) : columns;
  for (std::int64_t r = 0; r < rows; ++r) {
    double* row = output + r * stride;
    for (int c = 0; c < columns; ++c) row[c] /= scale;
  }
}

}  // namespace vorlith::integration::FFT
