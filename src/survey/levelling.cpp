// Levelling from crossover differences: robust least squares for the tie network and for
// each traverse line's correction model, the corrected channel and the report.

#include <vorlith/dummy.h>
#include <vorlith/survey/levelling.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numeric>
#include <optional>

#include "survey/channel_doubles.h"

namespace vorlith::survey {

namespace {

using detail::Channel_doubles;
using detail::is_value;
constexpr double dummy = common::dummy_value<double>;

// One observation: sum of a[k] * unknown[col[k]] = rhs, with at most four terms.
struct Equation {
  int terms = 0;
  std::array<std::size_t, 4> col{};
  std::array<double, 4> a{};
  double rhs = 0;
  double predict(const std::vector<double>& x) const {
    double s = 0;
    for (int k = 0; k < terms; ++k) s += a[static_cast<std::size_t>(k)] * x[col[k]];
    return s;
  }
};

// Solves the symmetric positive semi-definite n x n system m x = b (row-major m) by
// Cholesky in place. A pivot that is not clearly positive means the model is not
// determined: false, or, with `fix_undetermined`, that unknown is held at zero and left
// out of the rest of the system (a tie whose crossings all lost their weight).
bool solve_cholesky(std::vector<double>& m, std::vector<double>& b, std::size_t n,
                    bool fix_undetermined = false) {
  double largest = 0;
  for (std::size_t i = 0; i < n; ++i) largest = std::max(largest, m[i * n + i]);
  std::vector<bool> fixed(n, false);
  for (std::size_t j = 0; j < n; ++j) {
    double d = m[j * n + j];
    for (std::size_t k = 0; k < j; ++k) d -= m[j * n + k] * m[j * n + k];
    if (!(d > 1e-12 * largest)) {
      if (!fix_undetermined) return false;
      fixed[j] = true;
      m[j * n + j] = 1.0;
      for (std::size_t i = j + 1; i < n; ++i) m[i * n + j] = 0.0;
      continue;
    }
    d = std::sqrt(d);
    m[j * n + j] = d;
    for (std::size_t i = j + 1; i < n; ++i) {
      double s = m[i * n + j];
      for (std::size_t k = 0; k < j; ++k) s -= m[i * n + k] * m[j * n + k];
      m[i * n + j] = s / d;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    double s = b[i];
    for (std::size_t k = 0; k < i; ++k) s -= m[i * n + k] * b[k];
    b[i] = fixed[i] ? 0.0 : s / m[i * n + i];
  }
  for (std::size_t i = n; i-- > 0;) {
    double s = b[i];
    for (std::size_t k = i + 1; k < n; ++k) s -= m[k * n + i] * b[k];
    b[i] = fixed[i] ? 0.0 : s / m[i * n + i];
  }
  return true;
}

// The weighted least-squares solution of a small dense system of n unknowns.
bool solve_dense(const std::vector<Equation>& equations, const std::vector<double>& w,
                 std::size_t n, std::vector<double>& x) {
  std::vector<double> m(n * n, 0.0);
  x.assign(n, 0.0);
  for (std::size_t e = 0; e < equations.size(); ++e) {
    const Equation& q = equations[e];
    for (int i = 0; i < q.terms; ++i) {
      const auto ci = q.col[static_cast<std::size_t>(i)];
      const double wa = w[e] * q.a[static_cast<std::size_t>(i)];
      x[ci] += wa * q.rhs;
      for (int j = 0; j < q.terms; ++j)
        m[ci * n + q.col[static_cast<std::size_t>(j)]] += wa * q.a[static_cast<std::size_t>(j)];
    }
  }
  return solve_cholesky(m, x, n);
}

// The columns of one traverse line's model in the network.
struct Block {
  std::size_t first = 0;
  std::size_t size = 0;
};

// Solves the k x k system m x = b (m copied); an undetermined term comes out as zero.
void solve_small(std::vector<double> m, double* b, std::size_t k) {
  std::vector<double> rhs(b, b + k);
  solve_cholesky(m, rhs, k, true);
  std::copy(rhs.begin(), rhs.end(), b);
}

// The network: unknowns 0 .. ties - 1 are tie constants, then one block per traverse
// line (its model's coefficients). Traverse lines cross ties only, so each block's normal
// equations hold just itself and the ties it crosses: the blocks are eliminated, the
// ties solved on the reduced system of at most a few hundred unknowns, and the blocks
// follow from them.
bool solve_network(const std::vector<Equation>& equations, const std::vector<double>& w,
                   std::size_t ties, const std::vector<Block>& blocks,
                   const std::vector<std::size_t>& block_of, std::vector<double>& x) {
  std::vector<double> m(ties * ties, 0.0), r(ties, 0.0);
  const std::size_t unknowns =
      ties + (blocks.empty() ? 0 : blocks.back().first + blocks.back().size - ties);
  x.assign(unknowns, 0.0);  // the traverse part holds each block's right-hand side first
  std::vector<std::vector<double>> d(blocks.size());
  for (std::size_t k = 0; k < blocks.size(); ++k) d[k].assign(blocks[k].size * blocks[k].size, 0.0);
  struct Coupling {
    std::size_t tie, local;
    double value;
  };
  std::vector<std::vector<Coupling>> coupling(blocks.size());
  for (std::size_t e = 0; e < equations.size(); ++e) {
    const Equation& q = equations[e];
    for (int i = 0; i < q.terms; ++i) {
      const auto ci = q.col[static_cast<std::size_t>(i)];
      const double wa = w[e] * q.a[static_cast<std::size_t>(i)];
      (ci < ties ? r[ci] : x[ci]) += wa * q.rhs;
      for (int j = 0; j < q.terms; ++j) {
        const auto cj = q.col[static_cast<std::size_t>(j)];
        const double v = wa * q.a[static_cast<std::size_t>(j)];
        if (ci < ties && cj < ties) {
          m[ci * ties + cj] += v;
        } else if (ci >= ties && cj >= ties) {
          const Block& block = blocks[block_of[ci - ties]];  // one line's own terms
          d[block_of[ci - ties]][(ci - block.first) * block.size + (cj - block.first)] += v;
        } else if (ci >= ties) {
          coupling[block_of[ci - ties]].push_back({cj, ci - blocks[block_of[ci - ties]].first, v});
        }
      }
    }
  }
  // Crossings cannot tell a trend shared by all traverse lines from a surface in the
  // field (the ties take it up as constants), and lines of unequal length tell it only
  // weakly: a ridge of 1% of a line's mean weight on the trend terms picks the solution
  // whose traverse trends are least, so noise on a few short lines cannot tilt the ties.
  double trend_ridge = 0;
  for (std::size_t k = 0; k < blocks.size(); ++k) trend_ridge += d[k][0];
  trend_ridge = blocks.empty() ? 0.0 : 0.01 * trend_ridge / static_cast<double>(blocks.size());
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    for (std::size_t l = 1; l < blocks[k].size; ++l) d[k][l * blocks[k].size + l] += trend_ridge;
  }
  // Per block: the ties it crosses, C (size x crossed ties), Y = D^-1 C and z = D^-1 b.
  std::vector<std::vector<std::size_t>> crossed(blocks.size());
  std::vector<std::vector<double>> y(blocks.size());
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    const std::size_t size = blocks[k].size;
    auto& list = crossed[k];
    for (const auto& c : coupling[k]) list.push_back(c.tie);
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    const std::size_t n = list.size();
    std::vector<double> columns(n * size, 0.0);  // column t of C at t * size
    for (const auto& c : coupling[k]) {
      const auto t = static_cast<std::size_t>(std::lower_bound(list.begin(), list.end(), c.tie) -
                                              list.begin());
      columns[t * size + c.local] += c.value;
    }
    y[k] = columns;
    for (std::size_t t = 0; t < n; ++t) solve_small(d[k], y[k].data() + t * size, size);
    double* z = x.data() + blocks[k].first;
    solve_small(d[k], z, size);
    for (std::size_t i = 0; i < n; ++i) {
      const double* ci = columns.data() + i * size;
      for (std::size_t l = 0; l < size; ++l) r[list[i]] -= ci[l] * z[l];
      for (std::size_t j = 0; j < n; ++j) {
        const double* yj = y[k].data() + j * size;
        double s = 0;
        for (std::size_t l = 0; l < size; ++l) s += ci[l] * yj[l];
        m[list[i] * ties + list[j]] -= s;
      }
    }
  }
  solve_cholesky(m, r, ties, true);
  std::copy(r.begin(), r.end(), x.begin());
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    const std::size_t size = blocks[k].size;
    for (std::size_t t = 0; t < crossed[k].size(); ++t) {
      for (std::size_t l = 0; l < size; ++l)
        x[blocks[k].first + l] -= y[k][t * size + l] * r[crossed[k][t]];
    }
  }
  return true;
}

double median(std::vector<double> v) {
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

struct Fit {
  std::vector<double> x;
  std::vector<double> weights;
};

// Iteratively reweighted least squares: Huber weights (k = 1.345) from the ordinary fit
// until the solution settles, then Tukey's biweight with the cut-off `rejection`, both in
// units of the robust deviation 1.4826 * MAD of the residuals (fixed for the biweight
// steps, so rejected crossings cannot shrink it). `solve(weights, x)` gives the weighted
// solution; empty x when even the unweighted system is singular.
template <class Solve>
Fit robust_fit(const std::vector<Equation>& equations, double rejection, Solve&& solve) {
  Fit fit;
  fit.weights.assign(equations.size(), 1.0);
  if (!solve(fit.weights, fit.x)) return Fit{};
  if (equations.empty()) return fit;
  const std::size_t n = fit.x.size();
  std::vector<double> residuals(equations.size());
  double scale = 0;
  for (int phase = 0; phase < 2; ++phase) {
    for (int iteration = 0; iteration < 30; ++iteration) {
      double largest = 0;
      for (std::size_t e = 0; e < equations.size(); ++e) {
        residuals[e] = equations[e].rhs - equations[e].predict(fit.x);
        largest = std::max(largest, std::fabs(equations[e].rhs));
      }
      if (phase == 0 || iteration == 0) {
        const double centre = median(residuals);
        std::vector<double> spread(residuals.size());
        for (std::size_t e = 0; e < residuals.size(); ++e)
          spread[e] = std::fabs(residuals[e] - centre);
        scale = std::max(1.4826 * median(spread), 1e-9 * (1.0 + largest));
      }
      std::vector<double> previous = fit.weights;
      for (std::size_t e = 0; e < equations.size(); ++e) {
        const double r = std::fabs(residuals[e]) / scale;
        if (phase == 0) {
          fit.weights[e] = r <= 1.345 ? 1.0 : 1.345 / r;
        } else {
          const double q = r / rejection;
          fit.weights[e] = q < 1.0 ? (1.0 - q * q) * (1.0 - q * q) : 0.0;
        }
      }
      std::vector<double> next;
      if (!solve(fit.weights, next)) {
        // The weights left too few crossings: keep the last determined fit.
        fit.weights = std::move(previous);
        return fit;
      }
      double change = 0, size = 0;
      for (std::size_t i = 0; i < n; ++i) {
        change = std::max(change, std::fabs(next[i] - fit.x[i]));
        size = std::max(size, std::fabs(next[i]));
      }
      fit.x = std::move(next);
      if (change <= 1e-7 * (1.0 + size)) break;  // far below any survey's noise
    }
  }
  return fit;
}

// Along-line coordinate of every row of a line: distance (held across rows without a
// position) or time (held across dummy times).
std::vector<double> line_axis(const Line& line, Trend_axis along, const double* x, const double* y,
                              const double* time) {
  if (along == Trend_axis::distance) return detail::line_distance(x, y, line);
  std::vector<double> out(time + line.first_row, time + line.first_row + line.row_count);
  const auto first = std::find_if(out.begin(), out.end(), is_value);
  double held = first == out.end() ? 0.0 : *first;
  for (auto& v : out) v = is_value(v) ? (held = v) : held;
  return out;
}

double side_axis(const Crossing_side& side, Trend_axis along) {
  return along == Trend_axis::distance ? side.distance : side.time;
}

double difference(const Crossover& c) { return c.traverse.value - c.tie.value; }

void add_to(Difference_stats& stats, double d) {
  ++stats.count;
  stats.mean += d;
  stats.rms += d * d;
}

void finish(Difference_stats& stats) {
  if (stats.count == 0) {
    stats.mean = stats.rms = dummy;
    return;
  }
  stats.mean /= static_cast<double>(stats.count);
  stats.rms = std::sqrt(stats.rms / static_cast<double>(stats.count));
}

// The reference of each line's network (lines joined by usable crossings): its first
// tie in line order, or the line itself when no crossing joins it to a tie.
std::vector<std::size_t> references(std::size_t lines, const std::vector<Crossover>& crossings,
                                    const std::vector<bool>& is_tie) {
  std::vector<std::size_t> parent(lines);
  std::iota(parent.begin(), parent.end(), std::size_t{0});
  const auto root = [&](std::size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  };
  // A root is the network's first tie when it has one: ties rank before traverse lines.
  const auto before = [&](std::size_t a, std::size_t b) {
    return is_tie[a] != is_tie[b] ? static_cast<bool>(is_tie[a]) : a < b;
  };
  for (const auto& c : crossings) {
    if (c.status != Crossing_status::usable) continue;
    const std::size_t a = root(c.traverse.line), b = root(c.tie.line);
    if (a != b) before(a, b) ? parent[b] = a : parent[a] = b;
  }
  std::vector<std::size_t> reference(lines);
  for (std::size_t l = 0; l < lines; ++l) reference[l] = root(l);
  return reference;
}

}  // namespace

double Line_correction::at(double s) const {
  const double u = is_value(s) ? (s - origin) / scale : 0.0;
  double value = 0, power = 1;
  for (const double c : coefficients) {
    value += c * power;
    power *= u;
  }
  return value;
}

Level_result level(Survey& survey, const Crossover_options& crossings,
                   const Level_options& options) {
  if (options.along == Trend_axis::time && crossings.time.empty() &&
      options.model != Level_model::constant)
    throw Survey_error("level: a trend in time needs a time channel");
  if (!(options.rejection > 0))
    throw Survey_error("level: the rejection threshold must be positive");
  Level_result result;
  result.crossovers = find_crossovers(survey, crossings);
  const auto& found = result.crossovers;
  const std::size_t lines = survey.lines.size();
  std::vector<bool> is_tie(lines, false);
  for (const std::size_t tie : crossings.ties) is_tie[tie] = true;

  const Channel_doubles x(survey, crossings.x, "level", "x");
  const Channel_doubles y(survey, crossings.y, "level", "y");
  std::optional<Channel_doubles> time;
  if (!crossings.time.empty()) time.emplace(survey, crossings.time, "level", "time");
  const Trend_axis along =
      options.model == Level_model::constant ? Trend_axis::distance : options.along;
  result.weights.assign(found.size(), 0.0);
  result.corrections.resize(lines);

  // Each traverse line's model: the crossings it can read (a usable value and a place
  // along the line), its axis and the order those crossings allow.
  std::vector<std::vector<std::size_t>> by_line(lines);
  for (std::size_t i = 0; i < found.size(); ++i) {
    const Crossover& c = found[i];
    if (c.status == Crossing_status::usable && !is_tie[c.traverse.line] &&
        is_value(side_axis(c.traverse, along)))
      by_line[c.traverse.line].push_back(i);
  }
  // The along-line coordinate of every row of a traverse line, when its model has a trend
  // (computed when needed, so the whole survey's is never held at once).
  const bool trend = along == Trend_axis::time || options.model != Level_model::constant;
  const auto axis_of = [&](std::size_t l) {
    return line_axis(survey.lines[l], along, x.data(), y.data(), time ? time->data() : nullptr);
  };
  std::vector<int> order(lines, 0);
  for (std::size_t l = 0; l < lines; ++l) {
    Line_correction& correction = result.corrections[l];
    correction.line = l;
    correction.tie = is_tie[l];
    correction.coefficients = {0.0};
    if (is_tie[l]) continue;
    correction.crossings = static_cast<std::int64_t>(by_line[l].size());
    const std::vector<double> axis = trend ? axis_of(l) : std::vector<double>{};
    if (!axis.empty()) {
      const auto [low, high] = std::minmax_element(axis.begin(), axis.end());
      correction.origin = 0.5 * (*low + *high);
      correction.scale = *high > *low ? 0.5 * (*high - *low) : 1.0;
    }
    order[l] = static_cast<int>(options.model);
    while (order[l] > 0 && static_cast<int>(by_line[l].size()) < order[l] + 2) --order[l];
  }
  // The terms of a traverse line's model at a crossing: u^k, k <= order.
  const auto model_terms = [&](const Crossover& c, std::size_t first, int terms, Equation& q) {
    const Line_correction& correction = result.corrections[c.traverse.line];
    const double u = (side_axis(c.traverse, along) - correction.origin) / correction.scale;
    double power = 1;
    for (int k = 0; k < terms; ++k, power *= u) {
      q.col[static_cast<std::size_t>(q.terms)] = first + static_cast<std::size_t>(k);
      q.a[static_cast<std::size_t>(q.terms++)] = power;
    }
  };

  // The network: every usable crossing, tie constants and traverse models together, one
  // reference tie per connected network held at zero.
  const std::vector<std::size_t> reference = references(lines, found, is_tie);
  std::vector<std::size_t> column(lines, 0);
  std::size_t ties = 0;
  for (std::size_t l = 0; l < lines; ++l) {
    if (is_tie[l] && reference[l] != l) column[l] = ties++;
  }
  std::vector<Block> blocks;
  std::vector<std::size_t> block_of;
  for (std::size_t l = 0; l < lines; ++l) {
    if (is_tie[l] || by_line[l].empty()) continue;
    column[l] = ties + block_of.size();
    blocks.push_back({column[l], static_cast<std::size_t>(order[l] + 1)});
    block_of.insert(block_of.end(), blocks.back().size, blocks.size() - 1);
  }
  std::vector<Equation> equations;
  std::vector<std::size_t> source;  // the crossover of each equation
  for (std::size_t i = 0; i < found.size(); ++i) {
    const Crossover& c = found[i];
    const bool tie_pair = is_tie[c.traverse.line];
    if (c.status != Crossing_status::usable ||
        (!tie_pair && !is_value(side_axis(c.traverse, along))))
      continue;
    Equation q;
    q.rhs = difference(c);
    if (tie_pair && reference[c.traverse.line] != c.traverse.line) {
      q.col[0] = column[c.traverse.line];
      q.a[0] = 1.0;
      q.terms = 1;
    } else if (!tie_pair) {
      model_terms(c, column[c.traverse.line], order[c.traverse.line] + 1, q);
    }
    if (reference[c.tie.line] != c.tie.line) {
      q.col[static_cast<std::size_t>(q.terms)] = column[c.tie.line];
      q.a[static_cast<std::size_t>(q.terms++)] = -1.0;
    }
    equations.push_back(q);
    source.push_back(i);
  }
  const Fit network = robust_fit(equations, options.rejection,
                                 [&](const std::vector<double>& w, std::vector<double>& v) {
                                   return solve_network(equations, w, ties, blocks, block_of, v);
                                 });
  for (std::size_t e = 0; e < source.size(); ++e) result.weights[source[e]] = network.weights[e];
  for (std::size_t l = 0; l < lines; ++l) {
    if (!is_tie[l]) continue;
    result.corrections[l].reference = reference[l];
    if (reference[l] != l && !network.x.empty())
      result.corrections[l].coefficients[0] = network.x[column[l]];
  }
  for (std::size_t e = 0; e < source.size(); ++e) {
    const Crossover& c = found[source[e]];
    for (const std::size_t line : {c.traverse.line, c.tie.line}) {
      if (!is_tie[line]) continue;
      ++result.corrections[line].crossings;
      if (network.weights[e] == 0.0) ++result.corrections[line].rejected;
    }
  }

  // Traverses: each line's model fitted again, robustly, to the levelled ties alone.
  for (std::size_t l = 0; l < lines; ++l) {
    if (is_tie[l] || by_line[l].empty()) continue;
    Line_correction& correction = result.corrections[l];
    const auto& mine = by_line[l];
    for (int k = order[l]; k >= 0; --k) {
      std::vector<Equation> line_equations;
      for (const std::size_t i : mine) {
        const Crossover& c = found[i];
        Equation q;
        q.rhs = difference(c) + result.corrections[c.tie.line].at(0.0);
        model_terms(c, 0, k + 1, q);
        line_equations.push_back(q);
      }
      const auto n = static_cast<std::size_t>(k + 1);
      const Fit fit = robust_fit(line_equations, options.rejection,
                                 [&](const std::vector<double>& w, std::vector<double>& v) {
                                   return solve_dense(line_equations, w, n, v);
                                 });
      if (fit.x.empty()) continue;  // not determined: one order lower
      correction.model = static_cast<Level_model>(k);
      correction.coefficients = fit.x;
      for (std::size_t j = 0; j < mine.size(); ++j) {
        result.weights[mine[j]] = fit.weights[j];
        if (fit.weights[j] == 0.0) ++correction.rejected;
      }
      break;
    }
  }

  // The corrected channel.
  const Channel_doubles values(survey, crossings.channel, "level", "levelled");
  const std::int64_t rows = survey.rows();
  Multi_vector out(integration::Legacy_type(integration::type_double), false, rows);
  double* levelled = rows > 0 ? static_cast<double*>(out.get_vector_memory()) : nullptr;
  for (std::size_t l = 0; l < lines; ++l) {
    const Line& line = survey.lines[l];
    const Line_correction& correction = result.corrections[l];
    const std::vector<double> axis =
        trend && correction.coefficients.size() > 1 ? axis_of(l) : std::vector<double>{};
    for (std::int64_t k = 0; k < line.row_count; ++k) {
      const std::int64_t r = line.first_row + k;
      const double s = axis.empty() ? 0.0 : axis[static_cast<std::size_t>(k)];
      levelled[r] = is_value(values[r]) ? values[r] - correction.at(s) : dummy;
    }
  }
  const std::string name = options.output.empty() ? crossings.channel + "_lev" : options.output;
  if (Channel* existing = survey.find(name)) {
    // Written into the channel's own memory, so views of it held elsewhere stay valid.
    if (existing->is_text() || existing->columns != 1 ||
        existing->values.get_type().get_data_type() != integration::type_double)
      throw Survey_error("level: the output channel '" + name +
                         "' exists and is not a double channel");
    if (rows > 0) existing->values.copy(0, out, 0, rows);
    existing->format = Field_format{};
  } else {
    survey.add(Channel(name, std::move(out)));
  }

  // Differences before and after.
  result.after.assign(found.size(), dummy);
  result.lines.resize(lines);
  for (std::size_t l = 0; l < lines; ++l) result.lines[l].line = l;
  for (std::size_t i = 0; i < found.size(); ++i) {
    const Crossover& c = found[i];
    if (c.status != Crossing_status::usable) continue;
    const auto& a = result.corrections[c.traverse.line];
    const auto& b = result.corrections[c.tie.line];
    const double before = difference(c);
    const double after = (c.traverse.value - a.at(a.tie ? 0.0 : side_axis(c.traverse, along))) -
                         (c.tie.value - b.at(0.0));
    result.after[i] = after;
    add_to(result.before_stats, before);
    add_to(result.after_stats, after);
    for (const std::size_t line : {c.traverse.line, c.tie.line}) {
      add_to(result.lines[line].before, before);
      add_to(result.lines[line].after, after);
    }
  }
  finish(result.before_stats);
  finish(result.after_stats);
  for (auto& line : result.lines) {
    finish(line.before);
    finish(line.after);
  }
  return result;
}

namespace {

std::string number(double v, int decimals = 3) {
  if (v == dummy) return "*";
  if (std::fabs(v) < 0.5 * std::pow(10.0, -decimals)) v = 0.0;  // no "-0.000"
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
  return std::string(text, end.ptr);
}

std::string row_text(const std::vector<std::string>& cells,
                     const std::vector<std::size_t>& widths) {
  std::string text;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) text += "  ";
    text += std::string(widths[i] > cells[i].size() ? widths[i] - cells[i].size() : 0, ' ');
    text += cells[i];
  }
  return text + "\n";
}

std::string table_text(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::string text;
  for (const auto& row : rows) text += row_text(row, widths);
  return text;
}

const char* model_name(Level_model model) {
  return model == Level_model::constant ? "constant"
         : model == Level_model::linear ? "linear"
                                        : "poly2";
}

}  // namespace

std::string level_report(const Survey& survey, const Level_result& result, std::size_t worst) {
  const auto label = [&](std::size_t line) {
    const std::string& text = survey.lines[line].label;
    return text.empty() ? std::string("*") : text;
  };
  std::int64_t unusable = 0, rejected = 0;
  for (std::size_t i = 0; i < result.crossovers.size(); ++i) {
    if (result.crossovers[i].status != Crossing_status::usable)
      ++unusable;
    else if (result.weights[i] == 0.0)
      ++rejected;
  }
  std::string text = "crossovers: " + std::to_string(result.crossovers.size()) + " found, " +
                     std::to_string(unusable) + " unusable (dummies), " + std::to_string(rejected) +
                     " rejected by the robust fit\n";
  const auto stats_cells = [](const Difference_stats& s) {
    return std::vector<std::string>{std::to_string(s.count), number(s.mean), number(s.rms)};
  };
  std::vector<std::vector<std::string>> survey_rows{{"survey", "count", "mean", "rms"}};
  for (const auto& [name, s] :
       {std::pair{"before", &result.before_stats}, std::pair{"after", &result.after_stats}}) {
    auto cells = stats_cells(*s);
    cells.insert(cells.begin(), name);
    survey_rows.push_back(cells);
  }
  text += table_text(survey_rows);
  if (result.before_stats.count == 0) text += "no usable crossing: every correction is zero\n";

  std::vector<std::vector<std::string>> line_rows{{"line", "role", "model", "crossings", "rejected",
                                                   "correction", "mean", "rms", "mean_after",
                                                   "rms_after"}};
  for (std::size_t l = 0; l < result.corrections.size(); ++l) {
    const Line_correction& c = result.corrections[l];
    const Line_report& r = result.lines[l];
    line_rows.push_back(
        {label(l), c.tie ? (c.reference == l ? "tie*" : "tie") : "line", model_name(c.model),
         std::to_string(c.crossings), std::to_string(c.rejected), number(c.coefficients.front()),
         number(r.before.mean), number(r.before.rms), number(r.after.mean), number(r.after.rms)});
  }
  text += '\n';
  text += table_text(line_rows);
  text += "(tie*: the reference of its tie network)\n";

  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < result.after.size(); ++i) {
    if (result.after[i] != dummy) order.push_back(i);
  }
  const std::size_t shown = std::min(worst, order.size());
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(shown), order.end(),
                    [&](std::size_t a, std::size_t b) {
                      return std::fabs(result.after[a]) > std::fabs(result.after[b]);
                    });
  if (shown > 0) {
    std::vector<std::vector<std::string>> rows{
        {"line", "tie", "x", "y", "before", "after", "weight"}};
    for (std::size_t k = 0; k < shown; ++k) {
      const Crossover& c = result.crossovers[order[k]];
      rows.push_back({label(c.traverse.line), label(c.tie.line), number(c.x, 2), number(c.y, 2),
                      number(c.traverse.value - c.tie.value), number(result.after[order[k]]),
                      number(result.weights[order[k]], 2)});
    }
    text += "\nworst crossings after levelling\n";
    text += table_text(rows);
  }
  return text;
}

}  // namespace vorlith::survey
