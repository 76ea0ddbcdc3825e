#pragma once
// Prediction fill of dummy gaps on a plain double array: a detrended autoregressive
// model fitted by Burg's method extends the data from both sides of each gap, and a
// roll-off weight blends the two extensions. Nothing here knows about Multi_vector.

#include <vorlith/rollweight.h>

#include <cstdint>

namespace vorlith::signal {

/// Fits and filters never use more than this many samples or coefficients.
inline constexpr std::int64_t max_prediction_order = 256;

/// What happens to the dummies at the ends of the array.
enum class Edge_fill : std::int32_t { none = 0, extrapolate = 1, wrap = 2 };

/// w_N(k) of the roll-off rule; steps >= 1 and 0 <= k <= steps.
double roll_weight(algorithm::Rollweight_type roll, std::int64_t steps, std::int64_t k);

/// The arguments of one fill after clamping.
struct Prediction_settings {
  Edge_fill edges = Edge_fill::none;
  algorithm::Rollweight_type roll = algorithm::Rollweight_type::linear;
  double level = 0.0;
  std::int64_t prediction_length = 0;  ///< a: 0 predicts across whole gaps
  std::int64_t order = 32;             ///< p0: the largest filter length
  std::int64_t fit_length = 64;        ///< the most samples one fit reads
};

/// Clamps the caller's lengths for an array of `length` samples: the prediction length
/// to [0, length]; a filter length of 0 means 32 and is capped at 256; a fit length of 0
/// means twice the filter length, capped at 256; a prediction length below the order
/// lowers the order to it. Negative filter and fit lengths are taken as 0 (the
/// defaults). A negative prediction length is the caller's to reject.
Prediction_settings make_prediction_settings(std::int64_t length, Edge_fill edges,
                                             algorithm::Rollweight_type roll, double level,
                                             std::int64_t prediction_length,
                                             std::int64_t filter_length, std::int64_t fit_length);

/// The prediction-error filter a[0..order) (a[0] = 1) of a Burg fit of `order` stages
/// to r[0..n), with the reflection coefficients combined by the Levinson recursion.
/// 1 <= order <= 256 and n <= 256.
void burg_filter(const double* r, std::int64_t n, std::int64_t order, double* a);

/// Extends y[0..n) by `count` values into out[0..count): the straight line through the
/// first and last sample is removed, the residual is extrapolated by a Burg filter of
/// length `order` whose contribution fades out over 5 * (order - 1) steps, and the trend
/// continues with a slope that shrinks to zero over about count / 2 steps.
/// 1 <= n <= 256, 1 <= order <= min(256, n + 1). A single sample is extended as a
/// constant (there is neither a trend nor a history to fit).
void extrapolate_series(const double* y, std::int64_t n, std::int64_t order, std::int64_t count,
                        double* out);

/// Fills the dummy gaps of x[0..n) in place, one gap at a time, filled values counting
/// as data for the later gaps. Index arithmetic is cyclic, so a data run next to a gap
/// may continue through the end of the array into its start. An all-dummy array is
/// left as it is.
void fill_gaps(double* x, std::int64_t n, const Prediction_settings& settings);

/// The checks of a predicting member's arguments: edge type 0..2, roll weight 1 or 2,
/// prediction_length >= 0 (contract failures).
void check_prediction_arguments(std::int32_t edge_code, std::int32_t roll_code,
                                std::int64_t prediction_length);

}  // namespace vorlith::signal
