// Integration_predict: argument checks and the double working copy around the
// prediction fill core.

#include <vorlith/dummy.h>
#include <vorlith/integration_predict.h>

#include <cstdint>
#include <vector>

#include "runtime/contracts.h"
#include "signal/predict_core.h"
#include "storage/multi_vector_access.h"

namespace vorlith::integration {

namespace {

double mean_of_data(const double* x, std::int64_t n) {
  double sum = 0.0;
  std::int64_t count = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    if (x[i] == common::dummy_value<double>) continue;
    sum += x[i];
    ++count;
  }
  return count > 0 ? sum / static_cast<double>(count) : common::dummy_value<double>;
}

}  // namespace

void Integration_predict::predict(Multi_vector& channel, Edge_type edges,
                                  vorlith::algorithm::Rollweight_type roll, double level,
                                  std::int64_t prediction_length, std::int64_t filter_length,
                                  std::int64_t fit_length) {
  signal::check_prediction_arguments(static_cast<std::int32_t>(edges),
                                     static_cast<std::int32_t>(roll), prediction_length);
  // Points would come back as their magnitude and text as reformatted numbers: the
  // write-back would change samples that are not gaps.
  VORLITH_EXPECTS(!channel.is_point_type() && !channel.is_opaque_type(),
                  "predict: a channel of type ", channel.get_type().get_name(),
                  " cannot be predicted");

  const std::int64_t n = channel.get_length();
  if (n == 0) return;

  // A double channel held in one run is filled where it lies; anything else is gathered
  // into one double array (cyclic index arithmetic then needs no block lookups) and
  // written back converted.
  storage::Double_array samples(channel, 0, n);
  double* data = samples.data();

  if (level == common::dummy_value<double>) level = mean_of_data(data, n);
  const auto settings =
      signal::make_prediction_settings(n, static_cast<signal::Edge_fill>(edges), roll, level,
                                       prediction_length, filter_length, fit_length);
  signal::fill_gaps(data, n, settings);
  samples.write_back();
}

}  // namespace vorlith::integration
