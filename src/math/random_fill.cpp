// Random fills of Integration_math. The draws are made on the calling thread in index
// order (one generator per call defines one sequence); only the exponential fill's
// scaling runs in parallel, on the elementwise frame.

#include <vorlith/integration_math.h>

#include <array>
#include <cstdint>
#include <random>

#include "math/elementwise_frame.h"
#include "math/random_draws.h"

namespace vorlith::integration {

using math::Operands;

namespace {

struct Scale {
  double factor;
  double apply(double x) const { return x * factor; }
};

// Sizes the output range, then hands draw(generator) values to the range in order:
// straight into the stored doubles of a double vector, through converted pieces
// otherwise.
template <class Draw>
void fill(Multi_vector& v, unsigned int seed, std::int64_t start, std::int64_t& count,
          Draw&& draw) {
  v.validate_output_range(start, count);
  std::mt19937 generator(seed);
  Multi_vector::validate_input_range(start, count, v);
  const Operands<0, 1> ops{{}, {&v}};
  math::for_each_double_piece(ops, ops.direct(), start, count,
                              [&](std::int64_t, std::int64_t n, const std::array<const double*, 0>&,
                                  const std::array<double*, 1>& out) {
                                double* o = out[0];
                                for (std::int64_t i = 0; i < n; ++i) o[i] = draw(generator);
                              });
}

}  // namespace

void Integration_math::uniform_distribution(Multi_vector& v, double low, double high,
                                            unsigned int seed, std::int64_t start,
                                            std::int64_t count) {
  const double width = high - low;
  fill(v, seed, start, count, [&](std::mt19937& g) { return math::next_unit(g) * width + low; });
}

void Integration_math::normal_distribution(Multi_vector& v, double mean, double sigma,
                                           unsigned int seed, std::int64_t start,
                                           std::int64_t count) {
  math::Polar_normal normal;
  fill(v, seed, start, count, [&](std::mt19937& g) { return normal.next(g) * sigma + mean; });
}

void Integration_math::exp_distribution(Multi_vector& v, double mean, unsigned int seed,
                                        std::int64_t start, std::int64_t count) {
  fill(v, seed, start, count,
       [](std::mt19937& g) { return math::rate_one_exponential(math::next_unit(g)); });
  // On the stored values: an integer vector is scaled after its own conversion.
  math::run_in_place(Scale{mean}, v, start, count);
}

}  // namespace vorlith::integration
