// Crossings of traverse lines with tie lines and of ties with each other. A grid of
// square cells covers the tie segments; each segment of the survey is tested only
// against the tie segments listed in the cells its bounding box touches.

#include <vorlith/dummy.h>
#include <vorlith/integration_math.h>
#include <vorlith/integration_spline.h>
#include <vorlith/survey/levelling.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "survey/channel_doubles.h"

namespace vorlith::survey {

namespace detail {

Channel_doubles::Channel_doubles(const Survey& survey, const std::string& name,
                                 const char* operation, const char* role) {
  const Channel* channel = survey.find(name);
  if (channel == nullptr)
    throw Survey_error(std::string(operation) + ": no " + role + " channel '" + name + "'");
  if (channel->is_text() || channel->columns != 1) {
    throw Survey_error(std::string(operation) + ": the " + role + " channel '" + name +
                       "' is not a numeric channel of one column");
  }
  const std::int64_t rows = survey.rows();
  if (rows > 0 && channel->values.get_type().get_data_type() == integration::type_double) {
    data_ = static_cast<const double*>(channel->values.get_vector_memory());
    return;
  }
  copy_.resize(static_cast<std::size_t>(rows));
  if (rows > 0) channel->values.get_range_double(0, rows, copy_.data());
  data_ = copy_.data();
}

bool is_value(double v) { return v != common::dummy_value<double> && std::isfinite(v); }

std::vector<double> line_distance(const double* x_all, const double* y_all, const Line& line) {
  const std::int64_t n = line.row_count;
  std::vector<double> out(static_cast<std::size_t>(n));
  if (n == 0) return out;
  const integration::Legacy_type type(integration::type_double);
  Multi_vector x(type, false, n), y(type, false, n), z(type, false, n), d(type, false, n);
  x.set_range_double(0, n, x_all + line.first_row);
  y.set_range_double(0, n, y_all + line.first_row);
  integration::Integration_math::distance_cumulative(x, y, z, d, 0.0, 0, n);
  d.get_range_double(0, n, out.data());
  double held = 0;
  for (auto& v : out) v = v == common::dummy_value<double> ? held : (held = v);
  return out;
}

}  // namespace detail

namespace {

using detail::Channel_doubles;
using detail::is_value;
using integration::Legacy_type;
using integration::Multi_vector;
constexpr double dummy = common::dummy_value<double>;

struct Track {
  const double* x;
  const double* y;
  bool has(std::int64_t r) const { return is_value(x[r]) && is_value(y[r]); }
};

// Twice the signed area of (a, b, p): positive when p lies left of the direction a -> b.
double orient(const Track& t, std::int64_t a, std::int64_t b, const Track& u, std::int64_t p) {
  return (t.x[b] - t.x[a]) * (u.y[p] - t.y[a]) - (t.y[b] - t.y[a]) * (u.x[p] - t.x[a]);
}

// Which side of the line through rows a, b (of `line_track`) row r lies on. A row exactly
// on the line takes the side of the last row before it (back to `first`, or a row with
// no position) that is off the line, so touching or running along a line is no crossing.
bool side(const Track& line_track, std::int64_t a, std::int64_t b, const Track& t,
          std::int64_t first, std::int64_t r) {
  for (; r >= first && t.has(r); --r) {
    const double o = orient(line_track, a, b, t, r);
    if (o != 0) return o > 0;
  }
  return true;
}

struct Tie_segment {
  std::int64_t row;  // the segment runs from row to row + 1
  std::int64_t first_row;
  std::size_t line;
};

struct Box {
  double x0, y0, x1, y1;
};

Box box_of(const Track& t, std::int64_t r) {
  return {std::min(t.x[r], t.x[r + 1]), std::min(t.y[r], t.y[r + 1]), std::max(t.x[r], t.x[r + 1]),
          std::max(t.y[r], t.y[r + 1])};
}

bool is_segment(const Track& t, std::int64_t r) {
  return t.has(r) && t.has(r + 1) && (t.x[r] != t.x[r + 1] || t.y[r] != t.y[r + 1]);
}

// The tie segments, listed per cell (compressed rows: cell c holds items[start[c] ..
// start[c + 1])).
class Grid {
 public:
  Grid(const Track& t, std::vector<Tie_segment> segments) : segments_(std::move(segments)) {
    if (segments_.empty()) return;
    Box all = box_of(t, segments_.front().row);
    double length = 0;
    for (const auto& s : segments_) {
      const Box b = box_of(t, s.row);
      all = {std::min(all.x0, b.x0), std::min(all.y0, b.y0), std::max(all.x1, b.x1),
             std::max(all.y1, b.y1)};
      length += std::hypot(b.x1 - b.x0, b.y1 - b.y0);
    }
    bounds_ = all;
    const auto n = static_cast<double>(segments_.size());
    const double width = all.x1 - all.x0, height = all.y1 - all.y0;
    // Cells about as wide as a segment is long, or as the spacing of segments spread
    // evenly over the area; never more cells than four per segment.
    size_ = std::max(
        {std::sqrt(width * height / n), length / n, 1e-9 * std::max({width, height, 1.0})});
    while ((width / size_ + 1) * (height / size_ + 1) > 4 * n + 16) size_ *= 1.5;
    nx_ = static_cast<std::int64_t>(width / size_) + 1;
    ny_ = static_cast<std::int64_t>(height / size_) + 1;
    start_.assign(static_cast<std::size_t>(nx_ * ny_ + 1), 0);
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) {
        for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        items_.resize(static_cast<std::size_t>(start_.back()));
      }
      for (std::size_t i = 0; i < segments_.size(); ++i) {
        const Box b = box_of(t, segments_[i].row);
        for (std::int64_t cy = cell_y(b.y0); cy <= cell_y(b.y1); ++cy) {
          for (std::int64_t cx = cell_x(b.x0); cx <= cell_x(b.x1); ++cx) {
            const auto c = static_cast<std::size_t>(cy * nx_ + cx);
            if (pass == 0)
              ++start_[c + 1];
            else
              items_[static_cast<std::size_t>(start_[c]++)] = static_cast<std::uint32_t>(i);
          }
        }
      }
    }
    // The second pass moved each start to the next cell's; shift them back.
    for (std::size_t c = start_.size() - 1; c > 0; --c) start_[c] = start_[c - 1];
    start_[0] = 0;
  }

  bool empty() const { return segments_.empty(); }
  bool overlaps(const Box& b) const {
    return b.x1 >= bounds_.x0 && b.x0 <= bounds_.x1 && b.y1 >= bounds_.y0 && b.y0 <= bounds_.y1;
  }
  std::int64_t cell_x(double x) const { return clamp((x - bounds_.x0) / size_, nx_); }
  std::int64_t cell_y(double y) const { return clamp((y - bounds_.y0) / size_, ny_); }

  // Calls f(segment) for each tie segment of each cell (cx, cy) the box touches, with
  // the cell, so a caller can tell which cell owns a pair.
  template <class F>
  void for_each_near(const Box& b, F&& f) const {
    for (std::int64_t cy = cell_y(b.y0); cy <= cell_y(b.y1); ++cy) {
      for (std::int64_t cx = cell_x(b.x0); cx <= cell_x(b.x1); ++cx) {
        const auto c = static_cast<std::size_t>(cy * nx_ + cx);
        for (auto k = start_[c]; k < start_[c + 1]; ++k)
          f(segments_[items_[static_cast<std::size_t>(k)]], cx, cy);
      }
    }
  }

 private:
  static std::int64_t clamp(double cell, std::int64_t n) {
    if (!(cell > 0)) return 0;
    return std::min(static_cast<std::int64_t>(cell), n - 1);
  }

  std::vector<Tie_segment> segments_;
  Box bounds_{};
  double size_ = 1;
  std::int64_t nx_ = 0, ny_ = 0;
  std::vector<std::int64_t> start_;
  std::vector<std::uint32_t> items_;
};

// A crossing found by the search: line, segment row and fraction on both sides.
struct Found {
  std::size_t line_a;
  std::int64_t row_a;
  double t;
  std::size_t line_b;
  std::int64_t row_b;
  double u;
  double x, y;
};

// Where segment `ra` (a line starting at first_a) crosses tie segment `s`, if it does.
bool cross(const Track& t, std::int64_t first_a, std::int64_t ra, const Tie_segment& s, double& ta,
           double& ub) {
  const std::int64_t rb = s.row;
  if (side(t, rb, rb + 1, t, first_a, ra) == side(t, rb, rb + 1, t, first_a, ra + 1)) return false;
  if (side(t, ra, ra + 1, t, s.first_row, rb) == side(t, ra, ra + 1, t, s.first_row, rb + 1))
    return false;
  const double a0 = orient(t, rb, rb + 1, t, ra), a1 = orient(t, rb, rb + 1, t, ra + 1);
  const double b0 = orient(t, ra, ra + 1, t, rb), b1 = orient(t, ra, ra + 1, t, rb + 1);
  ta = a0 == a1 ? 0.0 : std::clamp(a0 / (a0 - a1), 0.0, 1.0);
  ub = b0 == b1 ? 0.0 : std::clamp(b0 / (b0 - b1), 0.0, 1.0);
  return true;
}

void check_options(const Survey& survey, const Crossover_options& options) {
  if (options.ties.empty()) throw Survey_error("crossovers: no tie lines given");
  for (const std::size_t tie : options.ties) {
    if (tie >= survey.lines.size()) {
      throw Survey_error("crossovers: tie line index " + std::to_string(tie) +
                         " is outside the survey's " + std::to_string(survey.lines.size()) +
                         " lines");
    }
  }
}

struct Side_data {
  const Track& track;
  const double* values;
  const double* time;
  Crossing_interpolation interpolation;
};

// Fills one side of a crossing on segment row r (fraction f) of `line`; `distance` holds
// the line's cumulative distance from its first row. Returns false for a dummy value.
bool fill_side(const Side_data& d, const Line& line, const std::vector<double>& distance,
               std::size_t line_index, std::int64_t r, double f, Crossing_side& side) {
  const Track& t = d.track;
  const double dx = t.x[r + 1] - t.x[r], dy = t.y[r + 1] - t.y[r];
  const auto local = static_cast<std::size_t>(r - line.first_row);
  side.line = line_index;
  side.row = static_cast<double>(r) + f;
  side.distance = distance[local] + f * (distance[local + 1] - distance[local]);
  side.heading = std::atan2(dx, dy) * 180.0 / std::numbers::pi;
  if (side.heading < 0) side.heading += 360.0;
  if (side.heading >= 360.0) side.heading = 0.0;
  side.time = dummy;
  if (d.time != nullptr && is_value(d.time[r]) && is_value(d.time[r + 1]))
    side.time = d.time[r] + f * (d.time[r + 1] - d.time[r]);
  side.value = dummy;
  const double* v = d.values;
  if (d.interpolation == Crossing_interpolation::linear) {
    if (!is_value(v[r]) || !is_value(v[r + 1])) return false;
    side.value = v[r] + f * (v[r + 1] - v[r]);
    return true;
  }
  // Akima along distance through up to three rows on either side of the crossing.
  const std::int64_t from = std::max(line.first_row, r - 2);
  const std::int64_t to = std::min(line.first_row + line.row_count, r + 4);
  std::vector<double> knot_x, knot_y;
  for (std::int64_t k = from; k < to; ++k) {
    if (!is_value(v[k]) || !t.has(k)) return false;
    const double s = distance[static_cast<std::size_t>(k - line.first_row)];
    if (!knot_x.empty() && s <= knot_x.back()) continue;  // repeated positions
    knot_x.push_back(s);
    knot_y.push_back(v[k]);
  }
  const auto n = static_cast<std::int64_t>(knot_x.size());
  Multi_vector kx(Legacy_type(integration::type_double), false, n);
  Multi_vector ky(Legacy_type(integration::type_double), false, n);
  kx.set_range_double(0, n, knot_x.data());
  ky.set_range_double(0, n, knot_y.data());
  Multi_vector at(Legacy_type(integration::type_double), false, 1);
  at.set_double(0, side.distance);
  Multi_vector result(Legacy_type(integration::type_double), false, 1);
  integration::Integration_spline::akima(kx, ky, at, result, 0.0, -1.0);
  side.value = result.get_double(0);
  return is_value(side.value);
}

}  // namespace

std::vector<Crossover> find_crossovers(const Survey& survey, const Crossover_options& options) {
  check_options(survey, options);
  const Channel_doubles x(survey, options.x, "crossovers", "x");
  const Channel_doubles y(survey, options.y, "crossovers", "y");
  const Channel_doubles values(survey, options.channel, "crossovers", "compared");
  std::optional<Channel_doubles> time;
  if (!options.time.empty()) time.emplace(survey, options.time, "crossovers", "time");
  const Track track{x.data(), y.data()};

  std::vector<bool> is_tie(survey.lines.size(), false);
  for (const std::size_t tie : options.ties) is_tie[tie] = true;
  std::vector<Tie_segment> tie_segments;
  for (std::size_t l = 0; l < survey.lines.size(); ++l) {
    if (!is_tie[l]) continue;
    const Line& line = survey.lines[l];
    for (std::int64_t r = line.first_row; r + 1 < line.first_row + line.row_count; ++r) {
      if (is_segment(track, r)) tie_segments.push_back({r, line.first_row, l});
    }
  }
  const Grid grid(track, std::move(tie_segments));

  std::vector<Found> found;
  for (std::size_t l = 0; l < survey.lines.size() && !grid.empty(); ++l) {
    const Line& line = survey.lines[l];
    for (std::int64_t r = line.first_row; r + 1 < line.first_row + line.row_count; ++r) {
      if (!is_segment(track, r)) continue;
      const Box a = box_of(track, r);
      if (!grid.overlaps(a)) continue;
      grid.for_each_near(a, [&](const Tie_segment& s, std::int64_t cx, std::int64_t cy) {
        // Ties pair with later ties only, so each pair of lines is searched once.
        if (s.line == l || (is_tie[l] && s.line < l)) return;
        const Box b = box_of(track, s.row);
        if (b.x0 > a.x1 || a.x0 > b.x1 || b.y0 > a.y1 || a.y0 > b.y1) return;
        // A pair of segments seen from several cells is tested in one: the cell holding
        // the low corner of the overlap of their boxes.
        if (grid.cell_x(std::max(a.x0, b.x0)) != cx || grid.cell_y(std::max(a.y0, b.y0)) != cy)
          return;
        double t = 0, u = 0;
        if (!cross(track, line.first_row, r, s, t, u)) return;
        found.push_back({l, r, t, s.line, s.row, u, track.x[r] + t * (track.x[r + 1] - track.x[r]),
                         track.y[r] + t * (track.y[r + 1] - track.y[r])});
      });
    }
  }
  std::sort(found.begin(), found.end(), [](const Found& p, const Found& q) {
    if (p.line_a != q.line_a) return p.line_a < q.line_a;
    if (p.row_a != q.row_a) return p.row_a < q.row_a;
    if (p.t != q.t) return p.t < q.t;
    if (p.line_b != q.line_b) return p.line_b < q.line_b;
    return p.row_b != q.row_b ? p.row_b < q.row_b : p.u < q.u;
  });

  // Both sides, line by line, each line's distance computed once.
  std::vector<Crossover> crossovers(found.size());
  struct Side_ref {
    std::size_t line, crossing;
    bool first;
  };
  std::vector<Side_ref> refs;
  refs.reserve(2 * found.size());
  for (std::size_t i = 0; i < found.size(); ++i) {
    refs.push_back({found[i].line_a, i, true});
    refs.push_back({found[i].line_b, i, false});
  }
  std::stable_sort(refs.begin(), refs.end(),
                   [](const Side_ref& p, const Side_ref& q) { return p.line < q.line; });
  const Side_data data{track, values.data(), time ? time->data() : nullptr, options.interpolation};
  std::vector<double> distance;
  for (std::size_t k = 0; k < refs.size(); ++k) {
    const Side_ref& ref = refs[k];
    const Line& line = survey.lines[ref.line];
    if (k == 0 || refs[k - 1].line != ref.line)
      distance = detail::line_distance(x.data(), y.data(), line);
    const Found& f = found[ref.crossing];
    Crossover& c = crossovers[ref.crossing];
    c.x = f.x;
    c.y = f.y;
    const bool ok = ref.first ? fill_side(data, line, distance, ref.line, f.row_a, f.t, c.traverse)
                              : fill_side(data, line, distance, ref.line, f.row_b, f.u, c.tie);
    if (!ok) c.status = Crossing_status::dummy_value;
  }
  return crossovers;
}

}  // namespace vorlith::survey
