// Line geometry members of Integration_math: polygons, distances along and across a
// survey line, inflection, gaps, the line mask and back tracks.

#include <vorlith/integration_math.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "math/elementwise_frame.h"
#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "storage/multi_vector_access.h"
#include "storage/window_reader.h"

namespace vorlith::integration {

using math::dummy;
using math::Operands;
using math::run_elementwise;

namespace {

constexpr std::int64_t int64_dummy = common::dummy_value<std::int64_t>;
// Fixed, whatever the configured minimum thread block.
constexpr double degrees_to_radians = 0.017453292519943295;

// (m * x + y + c) / d: the signed distance from the line y = -m * x - c.
struct Line_distance {
  double m, c, d;
  double apply(double x, double y) const { return (m * x + y + c) / d; }
};
struct X_offset {
  double x0;
  double apply(double x, double) const { return x - x0; }
};
struct Y_offset {
  double y0;
  double apply(double, double y) const { return y - y0; }
};

struct Line_mask_vertical {
  double x0, y_min, y_max;
  double apply(double v, double x, double y) const {
    return (x == x0 && y_min <= y && y <= y_max) ? v : dummy;
  }
};
struct Line_mask_horizontal {
  double y0, x_min, x_max;
  double apply(double v, double x, double y) const {
    return (y == y0 && x_min <= x && x <= x_max) ? v : dummy;
  }
};

void expect_not_opaque(const Multi_vector& x, const Multi_vector& y, const Multi_vector& out) {
  VORLITH_EXPECTS(!x.is_opaque_type(), "distance_from_line: x is a text channel");
  VORLITH_EXPECTS(!y.is_opaque_type(), "distance_from_line: y is a text channel");
  VORLITH_EXPECTS(!out.is_opaque_type(), "distance_from_line: the output is a text channel");
}

template <class Rule>
void distance_from_line_with(const Rule& rule, const Multi_vector& x, const Multi_vector& y,
                             Multi_vector& out, std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, x, y);
  out.validate_output_range(start, count);
  run_elementwise(rule, Operands<2, 1>{{&x, &y}, {&out}}, start, count, sizes::min_chunk);
}

}  // namespace

double Integration_math::polygon_area_no_abs(const Multi_vector& x, const Multi_vector& y,
                                             std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, x, y);
  if (count < 2) return 0.0;
  double total = 0.0;
  // Windows of the vertex and the one after it, over every pair inside the range.
  storage::Window_reader<2> reader({&x, &y}, 0, 1);
  reader.for_each_piece(start, count - 1,
                        [&](std::int64_t, std::int64_t p, const std::array<const double*, 2>& b) {
                          const double* px = b[0];
                          const double* py = b[1];
                          for (std::int64_t j = 0; j < p; ++j) {
                            const double x0 = px[j], x1 = px[j + 1];
                            const double y0 = py[j], y1 = py[j + 1];
                            if (x0 == dummy || x1 == dummy || y0 == dummy || y1 == dummy) continue;
                            total += x0 * y1 - x1 * y0;
                          }
                        });
  const std::int64_t first = start;
  const std::int64_t last = start + count - 1;
  const double xf = x.get_double(first), yf = y.get_double(first);
  const double xl = x.get_double(last), yl = y.get_double(last);
  if (xf != dummy && yf != dummy && xl != dummy && yl != dummy) total += xl * yf - xf * yl;
  return total / 2.0;
}

double Integration_math::polygon_area(const Multi_vector& x, const Multi_vector& y,
                                      std::int64_t start, std::int64_t count) {
  return std::fabs(polygon_area_no_abs(x, y, start, count));
}

bool Integration_math::is_polygon_clockwise(const Multi_vector& x, const Multi_vector& y,
                                            std::int64_t start, std::int64_t count) {
  return polygon_area_no_abs(x, y, start, count) < 0.0;
}

void Integration_math::distance_cumulative(const Multi_vector& x, const Multi_vector& y,
                                           const Multi_vector& z, Multi_vector& out,
                                           double start_distance, std::int64_t start,
                                           std::int64_t count) {
  Multi_vector::validate_input_range(start, count, x, y, z);
  out.validate_output_range(start, count);
  const Operands<3, 1> ops{{&x, &y, &z}, {&out}};
  std::int64_t checked = count;
  Multi_vector::validate_input_range(start, checked, ops.shortest());
  double distance = start_distance;
  bool have_previous = false;
  double px = 0.0, py = 0.0, pz = 0.0;
  math::for_each_double_piece(
      ops, ops.direct(), start, checked,
      [&](std::int64_t, std::int64_t n, const std::array<const double*, 3>& in,
          const std::array<double*, 1>& out_piece) {
        const double* xs = in[0];
        const double* ys = in[1];
        const double* zs = in[2];
        double* o = out_piece[0];
        for (std::int64_t i = 0; i < n; ++i) {
          const double xi = xs[i], yi = ys[i], zi = zs[i];
          if (xi == dummy || yi == dummy || zi == dummy) {
            o[i] = dummy;
            continue;
          }
          if (have_previous) {
            const double dx = xi - px, dy = yi - py, dz = zi - pz;
            distance += std::sqrt(dx * dx + dy * dy + dz * dz);
          }
          have_previous = true;
          px = xi;
          py = yi;
          pz = zi;
          o[i] = distance;
        }
      });
}

void Integration_math::distance_non_cumulative(const Multi_vector& x, const Multi_vector& y,
                                               Multi_vector& out, std::int64_t start,
                                               std::int64_t count) {
  Multi_vector::validate_input_range(start, count, x, y);
  out.validate_output_range(start, count);
  const std::int64_t min_block = get_integration_min_thread_block();
  parallel::run_over_range(
      start, start + count, min_block, [&](std::int64_t first, std::int64_t last) {
        std::int64_t n = last - first;
        Multi_vector::validate_input_range(first, n, x, y, out);
        if (n == 0) return;
        // Each window carries its own previous station, so chunks need no hand-over.
        storage::Window_reader<2> reader({&x, &y}, 1, 0);
        std::vector<double> result(static_cast<std::size_t>(std::min(n, sizes::piece_elements)));
        reader.for_each_piece(
            first, n,
            [&](std::int64_t position, std::int64_t p, const std::array<const double*, 2>& b) {
              const double* xs = b[0];
              const double* ys = b[1];
              for (std::int64_t j = 0; j < p; ++j) {
                const double x0 = xs[j], x1 = xs[j + 1];
                const double y0 = ys[j], y1 = ys[j + 1];
                const bool any_dummy = x0 == dummy || x1 == dummy || y0 == dummy || y1 == dummy;
                result[static_cast<std::size_t>(j)] =
                    any_dummy ? dummy : std::hypot(x1 - x0, y1 - y0);
              }
              out.set_range_double(position, p, result.data());
            });
      });
}

void Integration_math::distance_from_line(const Multi_vector& x, const Multi_vector& y,
                                          Multi_vector& out, const common::Point_2d<double>& point,
                                          double angle, std::int64_t start, std::int64_t count) {
  expect_not_opaque(x, y, out);
  // tan of a right angle is about 1.633e16, not infinite: the azimuth 0.0 keeps the
  // positive slope so that the distance is, to rounding, x - point.x.
  const double t = std::tan((90.0 - angle) * degrees_to_radians);
  const double m = angle == 0.0 ? t : -t;
  const double c = -(m * point.x) - point.y;
  const double d = std::sqrt(m * m + 1.0);
  distance_from_line_with(Line_distance{m, c, d}, x, y, out, start, count);
}

void Integration_math::distance_from_line(const Multi_vector& x, const Multi_vector& y,
                                          Multi_vector& out,
                                          const common::Segment_2d<double>& segment,
                                          std::int64_t start, std::int64_t count) {
  expect_not_opaque(x, y, out);
  const common::Point_2d<double>& p1 = segment.first;
  const common::Point_2d<double>& p2 = segment.second;
  VORLITH_EXPECTS(!(p1 == p2), "distance_from_line: the segment's two points are equal (", p1.x,
                  ", ", p1.y, ")");
  if (p1.x == p2.x) {
    distance_from_line_with(X_offset{p1.x}, x, y, out, start, count);
  } else if (p1.y == p2.y) {
    distance_from_line_with(Y_offset{p1.y}, x, y, out, start, count);
  } else {
    const double s = (p2.y - p1.y) / (p2.x - p1.x);
    const double m = -s;
    const double c = -(p1.x * m) - p1.y;
    const double d = std::sqrt(m * m + 1.0);
    distance_from_line_with(Line_distance{m, c, d}, x, y, out, start, count);
  }
}

std::int64_t Integration_math::inflection(const Multi_vector& v, double threshold,
                                          std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(threshold >= -1.0 && threshold < 1.0, "inflection: threshold ", threshold,
                  " is outside [-1, 1)");
  Multi_vector::validate_input_range(start, count, v);
  // Fewer than three elements hold no neighbourhood to judge: no index is an answer.
  if (count < 3) return int64_dummy;
  VORLITH_ENSURES(v.get_type().get_data_type() == type_double, "inflection: the channel is ",
                  v.get_type().get_name(), ", not double");
  if (v.get_double(start) == dummy || v.get_double(start + 1) == dummy) return int64_dummy;

  const double factor = threshold + 1.0;
  std::int64_t result = start + count - 1;
  bool found = false;
  // Pieces are asked for one at a time so that the scan stops reading at the answer.
  storage::Window_reader<1> reader({&v}, 2, 0);
  for (std::int64_t position = start + 2, end = start + count; position < end && !found;) {
    const std::int64_t p = std::min(end - position, sizes::piece_elements);
    reader.for_each_piece(
        position, p,
        [&](std::int64_t first, std::int64_t n, const std::array<const double*, 1>& b) {
          const double* w = b[0];
          for (std::int64_t j = 0; j < n; ++j) {
            const double p2 = w[j], p1 = w[j + 1], c = w[j + 2];
            if (c == dummy || (p2 > p1 && (c + p2) * 0.5 > factor * p1)) {
              result = first + j - 1;
              found = true;
              return;
            }
          }
        });
    position += p;
  }
  return result;
}

void Integration_math::find_gaps(const Multi_vector& x, const Multi_vector& y,
                                 const Multi_vector& z, Multi_vector& out, double threshold,
                                 std::int64_t start, std::int64_t count) {
  const legacy_data_type out_type = out.get_type().get_data_type();
  VORLITH_EXPECTS(out_type == type_int64 || out_type == type_int32, "find_gaps: the output is ",
                  out.get_type().get_name(), ", not int64 or int32");
  VORLITH_EXPECTS(threshold > 0.0, "find_gaps: threshold ", threshold, " is not above 0");
  Multi_vector::validate_input_range(start, count, x, y, z);
  const double limit = threshold * threshold;
  // The running sum and its previous value, compared as such: the difference of two
  // large sums is not always the step that was added.
  double sum = 0.0;
  double previous = 0.0;
  std::vector<std::int64_t> gaps;
  storage::Window_reader<3> reader({&x, &y, &z}, 1, 0);
  reader.for_each_piece(
      start, count,
      [&](std::int64_t position, std::int64_t p, const std::array<const double*, 3>& b) {
        for (std::int64_t j = 0; j < p; ++j) {
          const double x0 = b[0][j], x1 = b[0][j + 1];
          const double y0 = b[1][j], y1 = b[1][j + 1];
          const double z0 = b[2][j], z1 = b[2][j + 1];
          if (x0 == dummy || x1 == dummy || y0 == dummy || y1 == dummy || z0 == dummy ||
              z1 == dummy)
            continue;
          const double dx = x1 - x0, dy = y1 - y0, dz = z1 - z0;
          sum += dx * dx + dy * dy + dz * dz;
          if (sum - previous > limit) gaps.push_back(position + j);
          previous = sum;
        }
      });
  if (gaps.empty()) return;
  const std::int64_t old_length = out.get_length();
  const auto added = static_cast<std::int64_t>(gaps.size());
  out.set_length(old_length + added);
  out.set_range(Legacy_type(type_int64), old_length, added, gaps.data());
}

void Integration_math::line_mask(Multi_vector& v, const Multi_vector& x, const Multi_vector& y,
                                 double x_min, double x_max, double y_min, double y_max,
                                 std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(x_min == x_max || y_min == y_max, "line_mask: neither x_min ", x_min,
                  " equals x_max ", x_max, " nor y_min ", y_min, " equals y_max ", y_max);
  Multi_vector::validate_input_range(start, count, v, x, y);
  const Operands<3, 1> ops{{&v, &x, &y}, {&v}};
  if (x_min == x_max)
    run_elementwise(Line_mask_vertical{x_min, y_min, y_max}, ops, start, count);
  else
    run_elementwise(Line_mask_horizontal{y_min, x_min, x_max}, ops, start, count);
}

std::int64_t Integration_math::dummy_back_tracks(Multi_vector& v, std::int64_t start,
                                                 std::int64_t count) {
  VORLITH_EXPECTS(!v.is_opaque_type(), "dummy_back_tracks: the channel is a text channel");
  Multi_vector::validate_input_range(start, count, v);
  double highest = std::numeric_limits<double>::lowest();
  std::int64_t made_dummy = 0;
  if (storage::holds_doubles(v)) {
    storage::for_each_run(
        count,
        [&](std::int64_t n, void* p) {
          double* values = static_cast<double*>(p);
          for (std::int64_t i = 0; i < n; ++i) {
            const double value = values[i];
            if (value == dummy) continue;
            if (value <= highest) {
              values[i] = dummy;
              ++made_dummy;
            } else {
              highest = value;
            }
          }
        },
        storage::cursor(v, start));
    return made_dummy;
  }
  // Other types are compared as doubles, but only the elements made dummy are written:
  // a round trip through double would change large 64-bit integers and points.
  math::for_each_double_piece(
      Operands<1, 0>{{&v}, {}}, false, start, count,
      [&](std::int64_t index, std::int64_t n, const std::array<const double*, 1>& in,
          const std::array<double*, 0>&) {
        for (std::int64_t i = 0; i < n; ++i) {
          const double value = in[0][i];
          if (value == dummy) continue;
          if (value <= highest) {
            v.set_element_dummy(index + i);
            ++made_dummy;
          } else {
            highest = value;
          }
        }
      });
  return made_dummy;
}

}  // namespace vorlith::integration
