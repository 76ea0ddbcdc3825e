#pragma once
// Integration_filter: channel filters (convolution and multi-scale despiking).

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>

#include <cstdint>
#include <vector>

namespace vorlith::integration {

class VORLITH_API Integration_filter {
 public:
  /// Applies `kernel` (K taps, not reversed) to `input`: with h = (K - 1) / 2, output
  /// value i is sum_j kernel[j] * input[i + j] over the N = length - K + 1 fully supported
  /// windows, or the dummy when a window holds a dummy. Without `keep_length` the output
  /// becomes those N values; with it, h dummies come first and h dummies after (length
  /// N + 2h: the input's length for odd K, one less for even K). An input shorter than
  /// the kernel gives an empty output, or with `keep_length` an all-dummy output of
  /// max(0, N + 2h) elements. Values are written with conversion to the output's type.
  /// An empty kernel leaves the output untouched; `output` must not be `input`.
  static void convolution(const Multi_vector& input, Multi_vector& output,
                          const std::vector<double>& kernel, bool keep_length);

  /// Despikes a double channel in place, from spacing `width` down to 1 (width, then
  /// w / 2 + 1 while w > 2, else w / 2), repeating the cascade while it changes samples,
  /// at most min(width, max_iterations) + 1 times. Spikes with a ratio in [0, 2] are
  /// replaced by a cubic estimate from four neighbours, those in [-2, 0) by 1-2-1
  /// smoothing; deviations below `tolerance` (single precision) are left alone.
  /// Dummies stay dummies: each maximal stretch of non-dummy samples is despiked as a
  /// channel of its own, its end samples standing in for neighbours beyond it. A stretch
  /// of more than 1000 samples runs each spacing offset in a parallel region whatever
  /// external_is_smp_active answers; shorter stretches are shared among threads by the
  /// parallel-range driver, which the host's veto keeps on the calling thread.
  /// A non-double channel is a contract failure.
  static void naudy_filter_workflow(Multi_vector& channel, std::int64_t width, double tolerance,
                                    std::int64_t max_iterations);
};

}  // namespace vorlith::integration
