#pragma once
// Roll-off weights that blend one sequence into another over a number of steps.

#include <cstdint>

namespace vorlith::algorithm {

/// The weight w_N(k), 0 <= k <= N, that a blend over N steps gives to its second
/// sequence at step k (the first gets 1 - w_N(k)).
/// - linear: k / N;
/// - squared: k^2 / (k^2 + (N - k)^2), flatter at both ends.
enum class Rollweight_type : std::int32_t { linear = 1, squared = 2 };

}  // namespace vorlith::algorithm
