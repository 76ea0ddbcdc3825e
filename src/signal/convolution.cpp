// Convolution with a finite kernel, streamed through the window reader.

#include <vorlith/dummy.h>
#include <vorlith/host_hooks.h>
#include <vorlith/integration_filter.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "storage/multi_vector_access.h"
#include "storage/window_reader.h"

namespace vorlith::integration {

namespace {

constexpr double dummy = common::dummy_value<double>;

void fill_dummies(Multi_vector& output, std::int64_t start, std::int64_t count) {
  if (count <= 0) return;
  const std::vector<double> dummies(static_cast<std::size_t>(count), dummy);
  output.set_range_double(start, count, dummies.data());
}

// out[j] = sum over t of kernel[t] * window[j + t], for j < p, every output adding its
// taps in kernel order. Outputs go in groups held in registers across all taps, so the
// group vectorises and the inner loop touches no memory but the window.
void convolve_piece(const double* window, std::int64_t p, const std::vector<double>& kernel,
                    double* out) {
  constexpr std::int64_t group = 8;
  const double* taps = kernel.data();
  const auto count = static_cast<std::int64_t>(kernel.size());
  std::int64_t j = 0;
  for (; j + group <= p; j += group) {
    double sums[group];
    for (std::int64_t l = 0; l < group; ++l) sums[l] = taps[0] * window[j + l];
    for (std::int64_t t = 1; t < count; ++t) {
      const double tap = taps[t];
      const double* w = window + j + t;
      for (std::int64_t l = 0; l < group; ++l) sums[l] += tap * w[l];
    }
    for (std::int64_t l = 0; l < group; ++l) out[j + l] = sums[l];
  }
  for (; j < p; ++j) {
    double sum = taps[0] * window[j];
    for (std::int64_t t = 1; t < count; ++t) sum += taps[t] * window[j + t];
    out[j] = sum;
  }
}

// Outputs whose window holds a dummy become the dummy. Dummies are rare, so the common
// piece is settled by one scan.
void mark_dummy_windows(const double* window, std::int64_t p, std::int64_t taps, double* out) {
  const std::int64_t values = p + taps - 1;
  bool any = false;
  for (std::int64_t i = 0; i < values; ++i) any |= window[i] == dummy;
  if (!any) return;
  // Walking backwards, `next` is the first dummy at or after i.
  std::int64_t next = values;
  for (std::int64_t i = values - 1; i >= 0; --i) {
    if (window[i] == dummy) next = i;
    if (i < p && next < i + taps) out[i] = dummy;
  }
}

}  // namespace

void Integration_filter::convolution(const Multi_vector& input, Multi_vector& output,
                                     const std::vector<double>& kernel, bool keep_length) {
  if (kernel.empty()) return;
  // The output is resized before the input is read.
  VORLITH_EXPECTS(&input != &output, "convolution: the output is the input vector itself");

  const auto taps = static_cast<std::int64_t>(kernel.size());
  const std::int64_t left = (taps - 1) / 2;
  const std::int64_t right = taps - 1 - left;
  const std::int64_t length = input.get_length();
  std::int64_t computed = length - taps + 1;

  if (computed <= 0) {
    // No window is fully supported.
    const std::int64_t size = keep_length ? std::max<std::int64_t>(0, computed + 2 * left) : 0;
    output.set_length(size);
    fill_dummies(output, 0, size);
    return;
  }

  const std::int64_t offset = keep_length ? left : 0;
  output.set_length(computed + 2 * offset);
  Multi_vector::validate_input_range(left, computed, input);
  std::int64_t written = computed;
  Multi_vector::validate_input_range(offset, written, output);

  parallel::run_over_range(
      left, left + computed, get_integration_min_thread_block(),
      [&](std::int64_t first, std::int64_t last) {
        storage::Window_reader<1> reader({&input}, left, right);
        std::vector<double> buffer;
        reader.for_each_piece(
            first, last - first,
            [&](std::int64_t position, std::int64_t p,
                const std::array<const double*, 1>& windows) {
              const std::int64_t target = offset + position - left;
              double* out = storage::stored_doubles(output, target, p);
              const bool direct = out != nullptr;
              if (!direct) {
                buffer.resize(static_cast<std::size_t>(storage::Window_reader<1>::piece));
                out = buffer.data();
              }
              convolve_piece(windows[0], p, kernel, out);
              mark_dummy_windows(windows[0], p, taps, out);
              if (!direct) output.set_range_double(target, p, out);
            });
      },
      taps);

  if (keep_length) {
    fill_dummies(output, 0, left);
    fill_dummies(output, computed + left, left);
  }
}

}  // namespace vorlith::integration
