// Gap fills with a gap limit: prediction and Akima fills of a channel, and Akima
// resampling, each leaving whole gaps beyond the limit as dummies.

#include <vorlith/dummy.h>
#include <vorlith/integration_line.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/contracts.h"
#include "signal/akima_core.h"
#include "signal/predict_core.h"
#include "storage/multi_vector_access.h"

namespace vorlith::integration {

namespace {

constexpr double dummy = common::dummy_value<double>;

bool is_data(double v) { return v != dummy && !std::isnan(v); }

std::vector<double> doubles_of(const Multi_vector& v, std::int64_t n) {
  std::vector<double> out(static_cast<std::size_t>(n));
  if (n > 0) v.get_range_double(0, n, out.data());
  return out;
}

// The limit checked against a channel of n samples, with the positions read once.
class Limit {
 public:
  Limit(const Gap_limit& limit, std::int64_t n, const char* operation)
      : samples_(limit.samples), distance_(limit.distance) {
    if (distance_ == dummy) return;
    VORLITH_EXPECTS(distance_ >= 0.0, operation, ": gap distance limit ", distance_, " is below 0");
    VORLITH_EXPECTS(limit.position != nullptr, operation,
                    ": a gap distance limit needs a position channel");
    VORLITH_EXPECTS(limit.position->get_length() >= n, operation, ": the position channel has ",
                    limit.position->get_length(), " samples, the channel ", n);
    positions_ = doubles_of(*limit.position, n);
  }

  // A gap of `count` samples spanning from sample a to sample b (either order); a
  // negative a marks a span that cannot be measured.
  bool allows(std::int64_t count, std::int64_t a, std::int64_t b) const {
    if (samples_ >= 0 && count > samples_) return false;
    if (distance_ == dummy) return true;
    if (a < 0) return false;
    const double pa = positions_[static_cast<std::size_t>(a)];
    const double pb = positions_[static_cast<std::size_t>(b)];
    if (!is_data(pa) || !is_data(pb)) return false;
    return std::fabs(pb - pa) <= distance_;
  }

  bool unlimited() const { return samples_ < 0 && distance_ == dummy; }

 private:
  std::int64_t samples_;
  double distance_;
  std::vector<double> positions_;
};

struct Gap {
  std::int64_t first;
  std::int64_t end;
};

std::vector<Gap> gaps_of(const double* x, std::int64_t n) {
  std::vector<Gap> gaps;
  for (std::int64_t i = 0; i < n;) {
    if (x[i] != dummy) {
      ++i;
      continue;
    }
    const std::int64_t first = i;
    while (i < n && x[i] == dummy) ++i;
    gaps.push_back({first, i});
  }
  return gaps;
}

// Fills x[0..n) with the gaps in `long_gaps` (in order, not touching each other) left as
// they are: each stretch between them is filled on its own.
void fill_between(double* x, std::int64_t n, const std::vector<Gap>& long_gaps,
                  const signal::Prediction_settings& settings) {
  std::int64_t begin = 0;
  for (const Gap& g : long_gaps) {
    if (g.first > begin) signal::fill_gaps(x + begin, g.first - begin, settings);
    begin = g.end;
  }
  if (n > begin) signal::fill_gaps(x + begin, n - begin, settings);
}

std::int64_t mark_filled(const std::vector<double>& before, const double* after, std::int64_t n,
                         boost::dynamic_bitset<unsigned long>* filled) {
  if (filled != nullptr) {
    filled->clear();
    filled->resize(static_cast<std::size_t>(n));
  }
  std::int64_t count = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (before[k] != dummy || after[i] == dummy) continue;
    ++count;
    if (filled != nullptr) filled->set(k);
  }
  return count;
}

void check_fillable(const Multi_vector& channel, const char* operation) {
  VORLITH_EXPECTS(!channel.is_point_type() && !channel.is_opaque_type(), operation,
                  ": a channel of type ", channel.get_type().get_name(), " cannot be filled");
}

}  // namespace

std::int64_t Integration_line::predict(Multi_vector& channel, Integration_predict::Edge_type edges,
                                       vorlith::algorithm::Rollweight_type roll, double level,
                                       std::int64_t prediction_length, std::int64_t filter_length,
                                       std::int64_t fit_length, const Gap_limit& limit,
                                       boost::dynamic_bitset<unsigned long>* filled) {
  using Edge = Integration_predict::Edge_type;
  signal::check_prediction_arguments(static_cast<std::int32_t>(edges),
                                     static_cast<std::int32_t>(roll), prediction_length);
  check_fillable(channel, "predict");
  const std::int64_t n = channel.get_length();
  const Limit checked(limit, n, "predict");
  const std::vector<double> before = doubles_of(channel, n);
  const std::vector<Gap> gaps = gaps_of(before.data(), n);
  if (n == 0 || (gaps.size() == 1 && gaps.front().end - gaps.front().first == n))
    return mark_filled(before, before.data(), n, filled);

  // The gaps beyond the limit. An edge gap is filled only by extrapolation or as part of
  // a cyclic channel, where the gaps at both ends are one gap across the end, whose span
  // cannot be measured.
  const bool leading = !gaps.empty() && gaps.front().first == 0;
  const bool trailing = !gaps.empty() && gaps.back().end == n;
  std::vector<Gap> long_gaps;
  std::int64_t cyclic_length = 0;  // of the gap across the end when it is beyond the limit
  for (const Gap& g : gaps) {
    const std::int64_t length = g.end - g.first;
    bool allowed = true;
    if (g.first > 0 && g.end < n) {
      allowed = checked.allows(length, g.first - 1, g.end);
    } else if (edges == Edge::extrapolate) {
      allowed = g.first == 0 ? checked.allows(length, g.end, 0)
                             : checked.allows(length, g.first - 1, n - 1);
    } else if (edges == Edge::wrap && (g.first == 0 || !leading)) {
      const std::int64_t across =
          length + (g.first == 0 && trailing ? gaps.back().end - gaps.back().first : 0);
      if (!checked.allows(across, -1, 0)) cyclic_length = across;
      continue;
    }
    if (!allowed) long_gaps.push_back(g);
  }

  storage::Double_array samples(channel, 0, n);
  double* data = samples.data();
  if (level == dummy) {
    double sum = 0.0;
    std::int64_t count = 0;
    for (const double v : before) {
      if (v == dummy) continue;
      sum += v;
      ++count;
    }
    level = sum / static_cast<double>(count);
  }
  auto settings =
      signal::make_prediction_settings(n, static_cast<signal::Edge_fill>(edges), roll, level,
                                       prediction_length, filter_length, fit_length);

  if (edges == Edge::wrap && (cyclic_length > 0 || !long_gaps.empty())) {
    // Turned to start with the data after a long gap, the cyclic channel becomes a
    // straight one that starts and ends with data or with that long gap, so its
    // stretches between long gaps are filled as straight channels.
    const std::int64_t start =
        cyclic_length > 0 ? (leading ? gaps.front().end : 0) : long_gaps.front().end;
    const auto turned_index = [&](std::int64_t i) { return (i - start + n) % n; };
    std::vector<double> turned(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i)
      turned[static_cast<std::size_t>(turned_index(i))] = data[i];
    std::vector<Gap> turned_long;
    for (const Gap& g : long_gaps) {
      const std::int64_t first = turned_index(g.first);
      turned_long.push_back({first, first + g.end - g.first});
    }
    if (cyclic_length > 0) turned_long.push_back({n - cyclic_length, n});
    std::ranges::sort(turned_long, {}, &Gap::first);
    settings.edges = signal::Edge_fill::none;
    fill_between(turned.data(), n, turned_long, settings);
    for (std::int64_t i = 0; i < n; ++i)
      data[i] = turned[static_cast<std::size_t>(turned_index(i))];
  } else {
    fill_between(data, n, long_gaps, settings);
  }
  const std::int64_t count = mark_filled(before, data, n, filled);
  samples.write_back();
  return count;
}

std::int64_t Integration_line::akima_fill(Multi_vector& channel, const Multi_vector* position,
                                          const Gap_limit& limit,
                                          boost::dynamic_bitset<unsigned long>* filled) {
  const std::int64_t n = channel.get_length();
  const Limit checked(limit, n, "akima_fill");
  check_fillable(channel, "akima_fill");
  if (position != nullptr) {
    VORLITH_EXPECTS(position->get_length() >= n, "akima_fill: the position channel has ",
                    position->get_length(), " samples, the channel ", n);
  }
  const std::vector<double> before = doubles_of(channel, n);
  std::vector<double> x(static_cast<std::size_t>(n));
  if (position != nullptr) {
    x = doubles_of(*position, n);
  } else {
    for (std::int64_t i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = static_cast<double>(i);
  }
  std::vector<double> knot_x, knot_y;
  std::vector<std::int64_t> knot_index;
  for (std::int64_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (!is_data(before[k]) || !is_data(x[k])) continue;
    VORLITH_EXPECTS(knot_x.empty() || x[k] > knot_x.back(), "akima_fill: positions ",
                    knot_x.empty() ? 0.0 : knot_x.back(), " at ",
                    knot_index.empty() ? 0 : knot_index.back(), " and ", x[k], " at ", i,
                    " do not increase");
    knot_x.push_back(x[k]);
    knot_y.push_back(before[k]);
    knot_index.push_back(i);
  }
  storage::Double_array samples(channel, 0, n);
  double* data = samples.data();
  signal::Akima_spline spline(knot_x.data(), knot_y.data(),
                              static_cast<std::int64_t>(knot_x.size()), 0.0, 0.0);
  for (std::size_t k = 1; k < knot_index.size(); ++k) {
    const std::int64_t a = knot_index[k - 1];
    const std::int64_t b = knot_index[k];
    // Dummy samples between a and b; a sample in between that holds data but no usable
    // position stays as it is.
    std::int64_t count = 0;
    for (std::int64_t i = a + 1; i < b; ++i) count += before[static_cast<std::size_t>(i)] == dummy;
    if (count == 0 || !checked.allows(count, a, b)) continue;
    for (std::int64_t i = a + 1; i < b; ++i) {
      const double p = x[static_cast<std::size_t>(i)];
      if (data[i] != dummy || !is_data(p) || p <= knot_x[k - 1] || p >= knot_x[k]) continue;
      spline.evaluate(&p, 1, data + i);
    }
  }
  const std::int64_t count = mark_filled(before, data, n, filled);
  samples.write_back();
  return count;
}

void Integration_line::akima_resample(const Multi_vector& x, const Multi_vector& y,
                                      const Multi_vector& xi, Multi_vector& result,
                                      const Gap_limit& limit,
                                      boost::dynamic_bitset<unsigned long>* filled) {
  std::int64_t n = x.get_length();
  Multi_vector::validate_input_range(0, n, x, y);
  VORLITH_EXPECTS(limit.distance == dummy || limit.distance >= 0.0,
                  "akima_resample: gap distance limit ", limit.distance, " is below 0");
  const std::vector<double> xs = doubles_of(x, n);
  const std::vector<double> ys = doubles_of(y, n);
  const std::vector<double> positions = doubles_of(xi, xi.get_length());
  std::vector<double> knot_x, knot_y;
  std::vector<std::int64_t> knot_index;
  for (std::int64_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (!is_data(xs[k]) || !is_data(ys[k])) continue;
    VORLITH_EXPECTS(knot_x.empty() || xs[k] > knot_x.back(), "akima_resample: x values ",
                    knot_x.empty() ? 0.0 : knot_x.back(), " then ", xs[k], " at ", i,
                    " do not increase");
    knot_x.push_back(xs[k]);
    knot_y.push_back(ys[k]);
    knot_index.push_back(i);
  }
  const auto m = static_cast<std::int64_t>(positions.size());
  std::vector<double> values(positions.size());
  // The spline steps forward only, so each non-decreasing run of positions gets its own.
  for (std::int64_t first = 0, end = 0; first < m; first = end) {
    for (end = first + 1; end < m && !(positions[static_cast<std::size_t>(end)] <
                                       positions[static_cast<std::size_t>(end - 1)]);
         ++end) {
    }
    signal::Akima_spline spline(knot_x.data(), knot_y.data(),
                                static_cast<std::int64_t>(knot_x.size()), 0.0, 0.0);
    spline.evaluate(positions.data() + first, end - first, values.data() + first);
  }
  if (filled != nullptr) {
    filled->clear();
    filled->resize(positions.size());
  }
  for (std::size_t i = 0; i < positions.size(); ++i) {
    if (values[i] == dummy) continue;
    const double p = positions[i];
    const auto right = static_cast<std::size_t>(std::upper_bound(knot_x.begin(), knot_x.end(), p) -
                                                knot_x.begin());
    if (right == 0 || right == knot_x.size() || knot_x[right - 1] == p) continue;  // at a knot
    const std::int64_t left_out = knot_index[right] - knot_index[right - 1] - 1;
    const bool beyond =
        (limit.samples >= 0 && left_out > limit.samples) ||
        (limit.distance != dummy && knot_x[right] - knot_x[right - 1] > limit.distance);
    if (beyond) {
      values[i] = dummy;
    } else if (left_out > 0 && filled != nullptr) {
      filled->set(i);
    }
  }
  result.set_length(m);
  if (m > 0) result.set_range_double(0, m, values.data());
}

}  // namespace vorlith::integration
