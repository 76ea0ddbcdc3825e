// Integration_range reductions over values read as double: the smallest positive value, the maximum
// with its index, the range of the hypotenuse, and the order of neighbouring samples.

#include <vorlith/integration_range.h>

#include <array>
#include <cmath>
#include <cstdint>

#include "math/elementwise_frame.h"
#include "math/min_max.h"
#include "runtime/parallel.h"
#include "storage/window_reader.h"

namespace vorlith::integration {

using math::double_range;
using math::dummy;
using math::fold_min;
using math::Operands;
using math::Range_state;
using math::reading;
using math::reduce_elementwise;

double Integration_range::compute_positive_min(const Multi_vector& v, std::int64_t start,
                                               std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  return reduce_elementwise(
      reading(v), start, count, dummy,
      [](double& m, std::int64_t, std::int64_t n, const std::array<const double*, 1>& in) {
        for (std::int64_t i = 0; i < n; ++i) {
          if (in[0][i] > 0.0) fold_min(m, in[0][i]);
        }
      },
      [](double& into, double from) { fold_min(into, from); });
}

void Integration_range::compute_max_and_index(const Multi_vector& v, double& max,
                                              std::int64_t& index, std::int64_t start,
                                              std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  struct State {
    double max = dummy;
    std::int64_t index = common::dummy_value<std::int64_t>;
    // Strictly greater: the first occurrence keeps the index, also across chunks,
    // which are combined in order.
    void fold(double x, std::int64_t i) {
      if (math::takes_part(x) && (max == dummy || x > max)) {
        max = x;
        index = i;
      }
    }
  };
  const State result = reduce_elementwise(
      reading(v), start, count, State{},
      [](State& s, std::int64_t first, std::int64_t n, const std::array<const double*, 1>& in) {
        for (std::int64_t i = 0; i < n; ++i) s.fold(in[0][i], first + i);
      },
      [](State& into, const State& from) { into.fold(from.max, from.index); });
  max = result.max;
  index = result.index;
}

void Integration_range::compute_range_hypot(const Multi_vector& x, const Multi_vector& y,
                                            double& min, double& max, std::int64_t start,
                                            std::int64_t count) {
  Multi_vector::validate_input_range(start, count, x, y);
  const Range_state<double> r = reduce_elementwise(
      Operands<2, 0>{{&x, &y}, {}}, start, count, Range_state<double>{},
      [](Range_state<double>& s, std::int64_t, std::int64_t n,
         const std::array<const double*, 2>& in) {
        for (std::int64_t i = 0; i < n; ++i) {
          if (in[0][i] != dummy && in[1][i] != dummy) s.fold(std::hypot(in[0][i], in[1][i]));
        }
      },
      [](Range_state<double>& into, const Range_state<double>& from) { into.combine(from); });
  min = r.min;
  max = r.max;
}

void Integration_range::order(const Multi_vector& v, bool& has_equal_neighbours, Order& order,
                              std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  struct State {
    bool equal = false;
    bool mixed = false;
    Order direction = unordered;
    void see(Order d) {
      if (mixed || d == unordered) return;
      if (direction == unordered)
        direction = d;
      else if (direction != d)
        mixed = true;
    }
  };
  const std::int64_t min_block = get_integration_min_thread_block();
  State result;
  if (count > 0) {
    result = parallel::run_and_reduce(
        start, start + count, min_block, State{},
        [&](std::int64_t first, std::int64_t last, State& s) {
          // One element before each chunk, so pairs across chunk borders are seen.
          storage::Window_reader<1> reader({&v}, 1, 0);
          reader.for_each_piece(
              first, last - first,
              [&](std::int64_t, std::int64_t n, const std::array<const double*, 1>& b) {
                const double* values = b[0];
                for (std::int64_t j = 0; j < n; ++j) {
                  const double p = values[j], c = values[j + 1];
                  if (p == dummy || c == dummy) continue;
                  if (!(c > p) && !(p > c)) s.equal = true;
                  s.see(c > p ? increasing : (p > c ? decreasing : unordered));
                }
              });
        },
        [](State& into, const State& from) {
          into.equal = into.equal || from.equal;
          into.mixed = into.mixed || from.mixed;
          into.see(from.direction);
        });
  }
  has_equal_neighbours = result.equal;
  order = result.mixed ? unordered : result.direction;
}

}  // namespace vorlith::integration
