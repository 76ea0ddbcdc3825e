#pragma once
// Integration_filter: channel filters.

#include <cstdint>
#include <vector>

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>

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
  static void convolution(const Multi_vector& input, Multi_vector& output, const std::vector<double>& kernel,
                          bool keep_length);

};

}  // namespace vorlith::integration
