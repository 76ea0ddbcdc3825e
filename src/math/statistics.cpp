// Statistics members of Integration_math: reductions with one state per thread chunk,
// and the duplicate-sample pairing.

#include <vorlith/integration_math.h>

#include <array>
#include <cstdint>

#include "math/elementwise_frame.h"
#include "runtime/contracts.h"

namespace vorlith::integration {

using math::dummy;
using math::Operands;

namespace {

// Adding +0.0 for a dummy is the same as skipping it: a sum that starts at +0.0 never
// becomes -0.0, and x + 0.0 == x for every other x. Written so, the loops have no branch.
struct Sum_state {
  double sum = 0.0;
};

struct Mean_state {
  std::int64_t count = 0;
  double sum = 0.0;
};

struct Weighted_state {
  double weighted = 0.0;
  double weights = 0.0;
};

}  // namespace

double Integration_math::sum(const Multi_vector& v, std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  const Sum_state total = math::reduce_elementwise(
      Operands<1, 0>{{&v}, {}}, start, count, Sum_state{},
      [](Sum_state& s, std::int64_t, std::int64_t n, const std::array<const double*, 1>& in) {
        const double* x = in[0];
        double sum = s.sum;
        for (std::int64_t i = 0; i < n; ++i) sum += x[i] == dummy ? 0.0 : x[i];
        s.sum = sum;
      },
      [](Sum_state& into, const Sum_state& from) { into.sum += from.sum; });
  return total.sum;
}

double Integration_math::mean(const Multi_vector& v, std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  const Mean_state total = math::reduce_elementwise(
      Operands<1, 0>{{&v}, {}}, start, count, Mean_state{},
      [](Mean_state& s, std::int64_t, std::int64_t n, const std::array<const double*, 1>& in) {
        const double* x = in[0];
        double sum = s.sum;
        std::int64_t valid = s.count;
        for (std::int64_t i = 0; i < n; ++i) {
          const bool is_dummy = x[i] == dummy;
          sum += is_dummy ? 0.0 : x[i];
          valid += is_dummy ? 0 : 1;
        }
        s.sum = sum;
        s.count = valid;
      },
      [](Mean_state& into, const Mean_state& from) {
        into.count += from.count;
        into.sum += from.sum;
      });
  return total.count == 0 ? dummy : total.sum / static_cast<double>(total.count);
}

double Integration_math::weighted_mean(const Multi_vector& values, const Multi_vector& weights,
                                       std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, values, weights);
  const Weighted_state total = math::reduce_elementwise(
      Operands<2, 0>{{&values, &weights}, {}}, start, count, Weighted_state{},
      [](Weighted_state& s, std::int64_t, std::int64_t n, const std::array<const double*, 2>& in) {
        const double* v = in[0];
        const double* w = in[1];
        double weighted = s.weighted;
        double sum = s.weights;
        for (std::int64_t i = 0; i < n; ++i) {
          const bool skip = v[i] == dummy || w[i] == dummy;
          weighted += skip ? 0.0 : v[i] * w[i];
          sum += skip ? 0.0 : w[i];
        }
        s.weighted = weighted;
        s.weights = sum;
      },
      [](Weighted_state& into, const Weighted_state& from) {
        into.weighted += from.weighted;
        into.weights += from.weights;
      });
  return total.weights == 0.0 ? dummy : total.weighted / total.weights;
}

void Integration_math::duplicate_stats(const Multi_vector& values, const Multi_vector& codes,
                                       Multi_vector& out_mean, Multi_vector& out_difference,
                                       std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(!values.is_opaque_type(), "duplicate_stats: values is a text channel");
  VORLITH_EXPECTS(!codes.is_opaque_type(), "duplicate_stats: codes is a text channel");
  VORLITH_EXPECTS(!out_mean.is_opaque_type(), "duplicate_stats: the mean output is a text channel");
  VORLITH_EXPECTS(!out_difference.is_opaque_type(),
                  "duplicate_stats: the difference output is a text channel");
  Multi_vector::validate_input_range(start, count, values, codes);
  out_mean.ensure_output_range(start, count);
  out_difference.ensure_output_range(start, count);

  // One pending primary for the whole range, so a pair is matched whatever block
  // border lies between its two samples. Each piece's outputs are written in full (D
  // where no pair is found); a primary in an earlier, already written piece is patched
  // afterwards.
  const Operands<2, 2> ops{{&values, &codes}, {&out_mean, &out_difference}};
  bool pending = false;
  std::int64_t primary_index = 0;
  double primary = 0.0;
  math::for_each_double_piece(
      ops, ops.direct(), start, count,
      [&](std::int64_t index, std::int64_t n, const std::array<const double*, 2>& in,
          const std::array<double*, 2>& out) {
        for (std::int64_t i = 0; i < n; ++i) {
          const double value = in[0][i];
          const double code = in[1][i];
          out[0][i] = dummy;
          out[1][i] = dummy;
          if (value == dummy) continue;
          if (code == 1.0) {
            pending = true;
            primary_index = index + i;
            primary = value;
          } else if (code == 2.0 && pending) {
            const double m = (primary + value) * 0.5;
            out[0][i] = m;
            out[1][i] = primary - m;
            if (primary_index >= index) {
              out[0][primary_index - index] = m;
              out[1][primary_index - index] = m - primary;
            } else {
              out_mean.set_double(primary_index, m);
              out_difference.set_double(primary_index, m - primary);
            }
            pending = false;
          }
        }
      });
}

}  // namespace vorlith::integration
