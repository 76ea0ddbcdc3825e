#pragma once
// Integration_predict: filling dummy gaps by linear prediction.

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>
#include <vorlith/rollweight.h>

#include <cstdint>

namespace vorlith::integration {

class VORLITH_API Integration_predict {
 public:
  /// What happens to gaps that touch the first or last sample.
  /// - none: they stay dummies;
  /// - extrapolate: a leading gap is extended backwards from the first data run, a
  ///   trailing gap forwards from the last;
  /// - wrap: the channel is cyclic, so both form one gap between its end and its start.
  enum class Edge_type : std::int32_t { none = 0, extrapolate = 1, wrap = 2 };

  /// Fills every dummy gap of `channel` (as far as `edges` allows) with values predicted
  /// from both sides: a straight-line trend is removed, an autoregressive model fitted
  /// by Burg's method extends each side across the gap, and the two extensions are
  /// blended with the `roll` weight. Short gaps and short data runs fall back to
  /// interpolation or straight-line extension. Filled values count as data for the
  /// gaps filled after them.
  ///
  /// - level: the value predictions relax to; the double dummy stands for the mean of
  ///   the channel's non-dummy values.
  /// - prediction_length: 0 predicts across whole gaps; p > 0 relaxes each side to
  ///   `level` over its first p samples (clamped to the channel length).
  /// - filter_length: the largest filter length; 0 (or negative) means 32, above 256 is 256.
  /// - fit_length: the most samples one fit reads; 0 (or negative) means twice the
  ///   filter length; above 256 is 256.
  ///
  /// Bad `edges` or `roll` values and a negative prediction length are contract
  /// failures before anything changes. An empty or all-dummy channel is left
  /// unchanged. Data samples keep their values; a channel of another type than double
  /// is worked on as doubles and written back converted to its type.
  static void predict(Multi_vector& channel, Edge_type edges,
                      vorlith::algorithm::Rollweight_type roll, double level,
                      std::int64_t prediction_length, std::int64_t filter_length,
                      std::int64_t fit_length);
};

}  // namespace vorlith::integration
