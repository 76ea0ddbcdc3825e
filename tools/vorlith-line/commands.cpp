#include "commands.h"

#include <vorlith/survey/levelling.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "line_work.h"

namespace vorlith_line {

namespace vi = vorlith::integration;
namespace vs = vorlith::survey;

namespace {

constexpr double lowest = std::numeric_limits<double>::lowest();
constexpr double highest = std::numeric_limits<double>::max();

std::string count_text(std::int64_t n, const std::string& what) {
  if (n == 1) return "1 " + what;
  return std::to_string(n) + " " + (what == "dummy" ? std::string("dummies") : what + "s");
}

std::string dummies_text(std::int64_t n) {
  return count_text(n, "sample") + (n == 1 ? " became a dummy" : " became dummies");
}

std::string lines_text(const Run_context& context) {
  return count_text(static_cast<std::int64_t>(context.survey.lines.size()), "line");
}

std::string line_name(const vs::Line& line) {
  return line.label.empty() ? "the survey" : "line " + line.label;
}

CLI::Option* add_columns(CLI::App& app, std::vector<std::string>& columns, const char* what) {
  return app.add_option("-c,--column", columns, what)->required()->type_name("NAME");
}

// --- despike ----------------------------------------------------------------

struct Despike {
  std::vector<std::string> columns;
  std::int64_t width = 5;
  double tolerance = 0.0;
  std::int64_t iterations = 5;
};

void define_despike(CLI::App& app, Step& step) {
  auto p = std::make_shared<Despike>();
  add_columns(app, p->columns, "Column(s) to despike in place, line by line");
  app.add_option("-w,--width", p->width,
                 "Widest spike, in samples; the filter works from this spacing down to 1")
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1} << 20))
      ->capture_default_str();
  app.add_option("--tolerance", p->tolerance, "Deviations smaller than this are left alone")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--iterations", p->iterations,
                 "Most repeats of the whole cascade while it changes samples")
      ->check(CLI::Range(std::int64_t{0}, std::int64_t{1000}))
      ->capture_default_str();
  step = [p](Run_context& context) {
    for (const auto& name : p->columns) {
      vs::Channel& channel = computed_channel(context, name);
      const std::int64_t changed =
          change_each_line(context, channel, [&](vi::Multi_vector& v, const vs::Line&) {
            vi::Integration_filter::naudy_filter_workflow(v, p->width, p->tolerance, p->iterations);
          });
      context.summary("despike " + name + ": " + count_text(changed, "sample") + " despiked on " +
                      lines_text(context));
    }
  };
}

// --- line processing: gap limits, hampel, lag, decimate ----------------------

template <class Options>
void add_gap_limit_options(CLI::App& app, Options& p) {
  app.add_option("--method", p.method,
                 "prediction (as above) or akima (a spline through the data along --position or "
                 "the sample numbers; gaps at the line ends stay)")
      ->check(CLI::IsMember({"prediction", "akima"}))
      ->capture_default_str();
  app.add_option("--max-gap", p.max_gap, "Longer gaps, in samples, stay dummies as a whole")
      ->check(CLI::NonNegativeNumber);
  auto* distance =
      app.add_option("--max-distance", p.max_distance,
                     "Gaps spanning more than this along --position stay dummies as a whole")
          ->check(CLI::NonNegativeNumber);
  auto* position = app.add_option("--position", p.position,
                                  "Column gap spans are measured along (and akima places the "
                                  "samples at)")
                       ->type_name("NAME");
  distance->needs(position);
  app.add_option("--mask", p.mask, "New column: 1 where a sample was filled, else 0")
      ->type_name("NAME");
}

// A column of 0/1 flags (whole numbers), replacing one of that name.
void add_mask_column(Run_context& context, const std::string& name,
                     const std::vector<double>& values) {
  vi::Multi_vector v(vi::Legacy_type(vi::type_int32), false,
                     static_cast<std::int64_t>(values.size()));
  if (!values.empty()) v.set_range_double(0, v.get_length(), values.data());
  vs::Channel* target = context.survey.find(name);
  if (target == nullptr) {
    context.survey.add(vs::Channel(name, std::move(v)));
  } else {
    *target = vs::Channel(name, std::move(v));
  }
}

struct Hampel {
  std::vector<std::string> columns;
  std::int64_t half_width = 5;
  double threshold = 3.0;
  bool flag_only = false;
  std::string flags;
};

void define_hampel(CLI::App& app, Step& step) {
  auto p = std::make_shared<Hampel>();
  add_columns(app, p->columns, "Column(s) to despike in place, line by line");
  app.add_option("-k,--half-width", p->half_width,
                 "Samples on each side of the centre in the window (window 2k + 1)")
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1} << 24))
      ->capture_default_str();
  app.add_option("-t,--threshold", p->threshold,
                 "Outliers lie farther than this many scaled MADs from the window median")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_flag("--flag-only", p->flag_only, "Only mark outliers (with --flags), keep the values");
  app.add_option("--flags", p->flags, "New column: 1 where a sample is an outlier, else 0")
      ->type_name("NAME");
  step = [p](Run_context& context) {
    std::vector<double> flags;
    if (!p->flags.empty()) flags.assign(static_cast<std::size_t>(context.survey.rows()), 0.0);
    for (const auto& name : p->columns) {
      vs::Channel& channel = computed_channel(context, name);
      std::int64_t outliers = 0;
      change_each_line(context, channel, [&](vi::Multi_vector& v, const vs::Line& line) {
        boost::dynamic_bitset<unsigned long> bits;
        outliers +=
            vi::Integration_line::hampel(v, p->half_width, p->threshold, !p->flag_only, &bits);
        for (std::size_t i = bits.find_first(); i < bits.size() && !flags.empty();
             i = bits.find_next(i))
          flags[static_cast<std::size_t>(line.first_row) + i] = 1.0;
      });
      context.summary("hampel " + name + ": " + count_text(outliers, "outlier") +
                      (p->flag_only ? " flagged" : " replaced") + " on " + lines_text(context));
    }
    if (!p->flags.empty()) add_mask_column(context, p->flags, flags);
  };
}

struct Lag {
  std::vector<std::string> columns;
  double shift = 0.0;
  std::string along;
  std::string method = "linear";
};

void define_lag(CLI::App& app, Step& step) {
  auto p = std::make_shared<Lag>();
  add_columns(app, p->columns, "Column(s) to correct in place, line by line");
  app.add_option("-s,--shift", p->shift,
                 "Row i takes the value at its position plus this (samples, or units of --along)")
      ->required()
      ->check(CLI::Number);
  app.add_option("--along", p->along,
                 "Time or distance column, increasing along each line (default: sample numbers)")
      ->type_name("NAME");
  app.add_option("--method", p->method, "Interpolation: linear or akima")
      ->check(CLI::IsMember({"linear", "akima"}))
      ->capture_default_str();
  step = [p](Run_context& context) {
    const vs::Channel* along =
        p->along.empty() ? nullptr : &numeric_channel(context.survey, p->along);
    const auto method = p->method == "akima" ? vi::Integration_line::Interpolation::akima
                                             : vi::Integration_line::Interpolation::linear;
    if (!std::isfinite(p->shift)) throw Tool_error("lag: --shift must be a finite number");
    for (const auto& name : p->columns) {
      vs::Channel& channel = computed_channel(context, name);
      if (&channel == along) throw Tool_error("lag: column '" + name + "' is the --along column");
      const std::int64_t changed =
          change_each_line(context, channel, [&](vi::Multi_vector& v, const vs::Line& line) {
            const vi::Multi_vector positions =
                along != nullptr ? copy_rows(*along, line.first_row, line.row_count) : dummies(0);
            try {
              vi::Integration_line::lag(v, v, p->shift, along != nullptr ? &positions : nullptr,
                                        method);
            } catch (const gsl::fail_fast&) {
              throw Tool_error("lag: " + line_name(line) + ": '" + p->along +
                               "' must increase along the line where '" + name + "' has values");
            }
          });
      context.summary("lag " + name + ": " + count_text(changed, "sample") + " changed on " +
                      lines_text(context));
    }
  };
}

struct Decimate {
  std::vector<std::string> columns;
  std::int64_t factor = 2;
  double attenuation = 60.0;
};

void define_decimate(CLI::App& app, Step& step) {
  auto p = std::make_shared<Decimate>();
  add_columns(app, p->columns,
              "Column(s) low-pass filtered before the rows are thinned (other columns are only "
              "thinned)");
  app.add_option("-m,--factor", p->factor, "Keep rows 0, m, 2m, ... of each line")
      ->required()
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1} << 20));
  app.add_option("--attenuation", p->attenuation,
                 "Attenuation in dB from the new Nyquist frequency up")
      ->check(CLI::Range(10.0, 250.0))
      ->capture_default_str();
  step = [p](Run_context& context) {
    const std::int64_t old_rows = context.survey.rows();
    std::vector<Row_range> kept;
    for (const auto& line : context.survey.lines) {
      for (std::int64_t r = 0; r < line.row_count; r += p->factor)
        kept.push_back(Row_range{line.first_row + r, 1});
    }
    const auto rows = static_cast<std::int64_t>(kept.size());
    std::vector<const vs::Channel*> filtered;
    for (const auto& name : p->columns) {
      vs::Channel& channel = computed_channel(context, name);
      if (std::find(filtered.begin(), filtered.end(), &channel) != filtered.end()) continue;
      filtered.push_back(&channel);
      vi::Multi_vector values = dummies(rows);
      std::int64_t at = 0;
      for (const auto& line : context.survey.lines) {
        vi::Multi_vector output = dummies(0);
        vi::Integration_line::decimate(copy_rows(channel, line.first_row, line.row_count), output,
                                       p->factor, p->attenuation);
        values.copy(at, output, 0, output.get_length());
        at += output.get_length();
      }
      channel.values = std::move(values);
    }
    keep_rows(context, kept, filtered);
    context.summary("decimate: " + count_text(old_rows, "row") + " became " + std::to_string(rows) +
                    " on " + lines_text(context) + " (factor " + std::to_string(p->factor) + ")");
  };
}

// --- fill-gaps --------------------------------------------------------------

struct Fill_gaps {
  std::vector<std::string> columns;
  std::string edges = "none";
  std::string roll = "linear";
  double level = dummy;
  std::int64_t prediction_length = 0;
  std::int64_t filter_length = 0;
  std::int64_t fit_length = 0;
  std::string method = "prediction";
  std::int64_t max_gap = -1;
  double max_distance = dummy;
  std::string position;
  std::string mask;
};

void define_fill_gaps(CLI::App& app, Step& step) {
  auto p = std::make_shared<Fill_gaps>();
  add_columns(app, p->columns, "Column(s) whose dummy gaps are filled in place, line by line");
  app.add_option("--edges", p->edges,
                 "Gaps at the ends of a line: none (stay dummies), extrapolate, or wrap (the line "
                 "is cyclic)")
      ->check(CLI::IsMember({"none", "extrapolate", "wrap"}))
      ->capture_default_str();
  app.add_option("--roll", p->roll,
                 "Weight that blends the predictions from both sides: linear or squared")
      ->check(CLI::IsMember({"linear", "squared"}))
      ->capture_default_str();
  app.add_option("--level", p->level, "Level the predictions relax to (default: the line's mean)");
  app.add_option("--prediction-length", p->prediction_length,
                 "Samples over which each side relaxes to the level (0: predict across whole gaps)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--filter-length", p->filter_length,
                 "Largest prediction filter (0: 32; at most 256)")
      ->check(CLI::Range(std::int64_t{0}, std::int64_t{256}))
      ->capture_default_str();
  app.add_option("--fit-length", p->fit_length,
                 "Most samples one fit reads (0: twice the filter length; at most 256)")
      ->check(CLI::Range(std::int64_t{0}, std::int64_t{256}))
      ->capture_default_str();
  add_gap_limit_options(app, *p);
  step = [p](Run_context& context) {
    using Edge = vi::Integration_predict::Edge_type;
    const Edge edges = p->edges == "wrap"          ? Edge::wrap
                       : p->edges == "extrapolate" ? Edge::extrapolate
                                                   : Edge::none;
    const auto roll = p->roll == "squared" ? vorlith::algorithm::Rollweight_type::squared
                                           : vorlith::algorithm::Rollweight_type::linear;
    const vs::Channel* position =
        p->position.empty() ? nullptr : &numeric_channel(context.survey, p->position);
    std::vector<double> mask;
    if (!p->mask.empty()) mask.assign(static_cast<std::size_t>(context.survey.rows()), 0.0);
    for (const auto& name : p->columns) {
      vs::Channel& channel = computed_channel(context, name);
      const std::int64_t filled =
          change_each_line(context, channel, [&](vi::Multi_vector& v, const vs::Line& line) {
            boost::dynamic_bitset<unsigned long> bits;
            const vi::Multi_vector along =
                position != nullptr ? copy_rows(*position, line.first_row, line.row_count)
                                    : dummies(0);
            const vi::Gap_limit limit{p->max_gap, p->max_distance,
                                      position != nullptr ? &along : nullptr};
            if (p->method == "akima") {
              vi::Integration_line::akima_fill(v, limit.position, limit, &bits);
            } else {
              vi::Integration_line::predict(v, edges, roll, p->level, p->prediction_length,
                                            p->filter_length, p->fit_length, limit, &bits);
            }
            for (std::size_t i = bits.find_first(); i < bits.size() && !mask.empty();
                 i = bits.find_next(i))
              mask[static_cast<std::size_t>(line.first_row) + i] = 1.0;
          });
      context.summary("fill-gaps " + name + ": " + count_text(filled, "sample") + " filled, " +
                      count_text(channel.values.count_dummy(0, -1), "dummy") + " left on " +
                      lines_text(context));
    }
    if (!p->mask.empty()) add_mask_column(context, p->mask, mask);
  };
}

// --- resample ---------------------------------------------------------------

struct Resample {
  std::string position;
  double spacing = 0.0;
  double max_gap = 0.0;
  double extension = 0.0;
  bool drop_repeats = false;
};

// The new rows of one line: `count` positions direction * (start + k * spacing), and
// the rows (within the line; 32 bits keep large surveys small) whose position is a knot.
struct Line_grid {
  double direction = 1.0;
  double start = 0.0;
  std::int64_t count = 0;
  std::vector<std::int32_t> knots;
};

Line_grid plan_line(const Resample& p, const vs::Channel& position, const vs::Line& line,
                    std::int64_t& dropped) {
  const vi::Multi_vector values = copy_rows(position, line.first_row, line.row_count);
  const auto* x = static_cast<const double*>(values.get_vector_memory());
  Line_grid grid;
  if (line.row_count > std::numeric_limits<std::int32_t>::max())
    throw Tool_error("resample: " + line_name(line) + " has more than 2^31 rows");
  int direction = 0;
  for (std::int32_t i = 0; i < line.row_count; ++i) {
    if (x[i] == dummy || !std::isfinite(x[i])) continue;
    if (!grid.knots.empty()) {
      const std::int64_t previous = grid.knots.back();
      if (x[i] == x[previous]) {
        if (p.drop_repeats) {
          ++dropped;
          continue;
        }
        throw Tool_error("resample: " + line_name(line) + ": rows " +
                         std::to_string(line.first_row + previous + 1) + " and " +
                         std::to_string(line.first_row + i + 1) + " repeat position " +
                         number_text(x[i]) + " of '" + p.position +
                         "' (--drop-repeats keeps the first of repeated positions)");
      }
      const int step = x[i] > x[previous] ? 1 : -1;
      if (direction != 0 && step != direction) {
        throw Tool_error("resample: " + line_name(line) + ": position '" + p.position +
                         "' turns back at row " + std::to_string(line.first_row + i + 1) +
                         " (it must increase or decrease strictly along a line)");
      }
      direction = step;
    }
    grid.knots.push_back(i);
  }
  if (grid.knots.empty()) return grid;
  grid.direction = direction < 0 ? -1.0 : 1.0;
  // New rows lie on whole multiples of the spacing inside the sampled positions.
  const double first = grid.direction * x[grid.knots.front()];
  const double last = grid.direction * x[grid.knots.back()];
  grid.start = std::ceil(first / p.spacing - 1e-9) * p.spacing;
  const double span = std::floor((last - grid.start) / p.spacing + 1e-9);
  if (!(span < 1e9)) {
    throw Tool_error("resample: " + line_name(line) + ": spacing " + number_text(p.spacing) +
                     " would make more than a billion rows");
  }
  grid.count = span < 0 ? 0 : static_cast<std::int64_t>(span) + 1;
  return grid;
}

// Akima values of column `column` of a double channel on the grid of each line.
void resample_column(const Resample& p, const vs::Survey& survey,
                     const std::vector<Line_grid>& grids, const vs::Channel& position,
                     const double* values, std::int64_t columns, std::int64_t column, double* out) {
  vi::Multi_vector knot_x(vi::Legacy_type(vi::type_double), false, 0);
  vi::Multi_vector knot_y(vi::Legacy_type(vi::type_double), false, 0);
  vi::Multi_vector result = dummies(0);
  for (std::size_t l = 0; l < grids.size(); ++l) {
    const Line_grid& grid = grids[l];
    const vs::Line& line = survey.lines[l];
    const double* line_values = values + line.first_row * columns + column;
    const vi::Multi_vector line_positions = copy_rows(position, line.first_row, line.row_count);
    const auto* x = static_cast<const double*>(line_positions.get_vector_memory());
    // Knots where the column has a value.
    knot_x.set_length(static_cast<std::int64_t>(grid.knots.size()));
    knot_y.set_length(static_cast<std::int64_t>(grid.knots.size()));
    auto* kx = grid.knots.empty() ? nullptr : static_cast<double*>(knot_x.get_vector_memory());
    auto* ky = grid.knots.empty() ? nullptr : static_cast<double*>(knot_y.get_vector_memory());
    std::int64_t n = 0;
    for (std::size_t i = 0; i < grid.knots.size(); ++i) {
      const double y = line_values[grid.knots[i] * columns];
      if (y == dummy || std::isnan(y)) continue;
      kx[n] = grid.direction * x[grid.knots[i]];
      ky[n++] = y;
    }
    knot_x.set_length(n);
    knot_y.set_length(n);
    vi::Integration_spline::akima(knot_x, knot_y, result, grid.start, p.spacing, grid.count,
                                  p.max_gap, p.extension);
    if (grid.count > 0) {
      const auto* r = static_cast<const double*>(result.get_vector_memory());
      for (std::int64_t k = 0; k < grid.count; ++k) out[k * columns + column] = r[k];
    }
    out += grid.count * columns;
  }
}

void define_resample(CLI::App& app, Step& step) {
  auto p = std::make_shared<Resample>();
  app.add_option("-p,--position", p->position,
                 "Column that increases or decreases strictly along each line (e.g. distance)")
      ->required()
      ->type_name("NAME");
  app.add_option("-s,--spacing", p->spacing,
                 "Spacing of the new rows, in units of the position column")
      ->required()
      ->check(CLI::PositiveNumber);
  app.add_option("--max-gap", p->max_gap, "Wider gaps between samples become dummies (0: no limit)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--extension", p->extension,
                 "How far values continue beyond the samples at either side of a gap")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_flag(
      "--drop-repeats", p->drop_repeats,
      "Rows that repeat the position before them are left out (otherwise they are an error)");
  step = [p](Run_context& context) {
    vs::Survey& survey = context.survey;
    const vs::Channel& position = numeric_channel(survey, p->position);
    std::vector<Line_grid> grids;
    std::int64_t rows = 0;
    std::int64_t dropped = 0;
    for (const auto& line : survey.lines) {
      grids.push_back(plan_line(*p, position, line, dropped));
      rows += grids.back().count;
    }
    const vs::Channel* line_channel =
        survey.line_channel >= 0 ? &survey.channels[static_cast<std::size_t>(survey.line_channel)]
                                 : nullptr;
    const std::int64_t old_rows = survey.rows();
    // One channel at a time, each replaced as soon as it is done, the position last: the
    // old and the new survey are never whole in memory together.
    std::vector<vs::Channel*> order;
    for (auto& channel : survey.channels) {
      if (&channel != &position) order.push_back(&channel);
    }
    order.push_back(const_cast<vs::Channel*>(&position));
    for (vs::Channel* next : order) {
      vs::Channel& channel = *next;
      const std::int64_t columns = channel.columns;
      vi::Multi_vector values(channel.values.get_type(), false, 0);
      if (&channel == line_channel || channel.is_text()) {
        // The line field carries each line's value; other text has no values between rows.
        values.set_length(rows * columns);
        values.filldummy();
        std::int64_t at = 0;
        for (std::size_t l = 0; l < grids.size() && &channel == line_channel; ++l) {
          if (grids[l].count > 0)
            values.fill_value(channel.values.get_data(survey.lines[l].first_row), at,
                              grids[l].count);
          at += grids[l].count;
        }
      } else {
        values = dummies(rows * columns);
        auto* out = rows > 0 ? static_cast<double*>(values.get_vector_memory()) : nullptr;
        if (&channel == &position) {
          for (const auto& grid : grids) {
            for (std::int64_t k = 0; k < grid.count; ++k) {
              *out++ = grid.direction * (grid.start + static_cast<double>(k) * p->spacing) +
                       0.0;  // no -0
            }
          }
        } else {
          // Whole-number channels are read as doubles; double channels in place.
          const bool is_double = channel.values.get_type().get_data_type() == vi::type_double;
          vi::Multi_vector converted = dummies(0);
          if (!is_double) converted.copy(channel.values);
          const auto* in = old_rows > 0
                               ? static_cast<const double*>(
                                     (is_double ? channel.values : converted).get_vector_memory())
                               : nullptr;
          for (std::int64_t c = 0; c < columns; ++c)
            resample_column(*p, survey, grids, position, in, columns, c, out);
        }
        if (&channel != line_channel) set_computed_format(context, channel);
      }
      channel.values = std::move(values);
    }
    context.index_lines();
    context.summary(
        "resample: " + count_text(old_rows, "row") + " became " + std::to_string(rows) + " on " +
        lines_text(context) +
        (p->drop_repeats ? ", " + count_text(dropped, "repeated position") + " dropped" : ""));
  };
}

// --- filter -----------------------------------------------------------------

struct Filter {
  std::vector<std::string> columns;
  std::string kernel;
  std::string lowpass;
  std::int64_t length = 0;
  bool keep_length = false;
};

std::vector<double> lowpass_kernel(const std::string& name, std::int64_t length) {
  std::vector<double> kernel(static_cast<std::size_t>(length));
  for (std::int64_t j = 0; j < length; ++j) {
    double w = 1.0;
    if (name == "triangle") {
      w = static_cast<double>(std::min(j + 1, length - j));
    } else if (name == "hann") {
      w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(j + 1) /
                               static_cast<double>(length + 1));
    }
    kernel[static_cast<std::size_t>(j)] = w;
  }
  double sum = 0.0;
  for (double w : kernel) sum += w;
  for (double& w : kernel) w /= sum;
  return kernel;
}

std::vector<double> parse_kernel(const std::string& text) {
  const auto first = text.find_first_not_of(", \t;");
  const auto last = text.find_last_not_of(", \t;");
  if (first == std::string::npos) throw Tool_error("filter: --kernel holds no numbers");
  vi::Multi_vector weights(vi::Legacy_type(vi::type_double), false, 0);
  vi::Integration_string::tokenize_to_doubles(text.substr(first, last - first + 1), ", \t;",
                                              weights);
  std::vector<double> kernel(static_cast<std::size_t>(weights.get_length()));
  weights.get_range_double(0, weights.get_length(), kernel.data());
  for (std::size_t j = 0; j < kernel.size(); ++j) {
    if (kernel[j] == dummy || !std::isfinite(kernel[j])) {
      throw Tool_error("filter: --kernel value " + std::to_string(j + 1) +
                       " is not a finite number");
    }
  }
  return kernel;
}

void define_filter(CLI::App& app, Step& step) {
  auto p = std::make_shared<Filter>();
  add_columns(app, p->columns, "Column(s) to filter in place, line by line");
  auto* kernel =
      app.add_option(
             "-k,--kernel", p->kernel,
             "Weights, separated by commas or spaces, applied as given: row i gets the sum of "
             "w[j] * value[i - h + j], h = (taps - 1) / 2")
          ->type_name("LIST");
  auto* lowpass =
      app.add_option("--lowpass", p->lowpass, "A named low-pass kernel: boxcar, triangle or hann")
          ->check(CLI::IsMember({"boxcar", "triangle", "hann"}));
  auto* length = app.add_option("-n,--length", p->length, "Taps of the named low-pass kernel")
                     ->check(CLI::Range(std::int64_t{1}, std::int64_t{100001}));
  kernel->excludes(lowpass);
  lowpass->needs(length);
  length->needs(lowpass);
  app.add_flag(
      "--keep-length", p->keep_length,
      "Keep every row (the line ends the kernel does not cover become dummies) instead of dropping "
      "those rows of each line from the whole survey");
  app.callback([p] {
    if (p->kernel.empty() && p->lowpass.empty()) {
      throw CLI::ValidationError("filter",
                                 "give a kernel with --kernel LIST or --lowpass NAME --length N");
    }
  });
  step = [p](Run_context& context) {
    const std::vector<double> kernel =
        p->kernel.empty() ? lowpass_kernel(p->lowpass, p->length) : parse_kernel(p->kernel);
    const auto taps = static_cast<std::int64_t>(kernel.size());
    std::vector<const vs::Channel*> filtered;
    for (const auto& name : p->columns) {
      vs::Channel& channel = computed_channel(context, name);
      if (std::find(filtered.begin(), filtered.end(), &channel) != filtered.end()) continue;
      filtered.push_back(&channel);
      if (p->keep_length) {
        const std::int64_t changed =
            change_each_line(context, channel, [&](vi::Multi_vector& v, const vs::Line& line) {
              vi::Multi_vector output = dummies(0);
              vi::Integration_filter::convolution(v, output, kernel, true);
              // An even kernel leaves one row fewer; the line keeps its length.
              const std::int64_t produced = output.get_length();
              if (produced < line.row_count) {
                output.set_length(line.row_count);
                output.filldummy(produced, line.row_count - produced);
              }
              v = std::move(output);
            });
        context.summary("filter " + name + ": " + count_text(changed, "sample") + " changed on " +
                        lines_text(context));
      }
    }
    if (p->keep_length) return;
    // Each line loses the rows at its ends that the kernel does not cover, in every column.
    const std::int64_t before = (taps - 1) / 2;
    const std::int64_t old_rows = context.survey.rows();
    std::vector<Row_range> kept;
    std::int64_t rows = 0;
    for (const auto& line : context.survey.lines) {
      if (line.row_count < taps) continue;
      kept.push_back(Row_range{line.first_row + before, line.row_count - taps + 1});
      rows += kept.back().count;
    }
    for (const vs::Channel* target : filtered) {
      auto& channel = const_cast<vs::Channel&>(*target);
      vi::Multi_vector values = dummies(rows);
      std::int64_t at = 0;
      for (const auto& line : context.survey.lines) {
        if (line.row_count < taps) continue;
        vi::Multi_vector output = dummies(0);
        vi::Integration_filter::convolution(copy_rows(channel, line.first_row, line.row_count),
                                            output, kernel, false);
        values.copy(at, output, 0, output.get_length());
        at += output.get_length();
      }
      channel.values = std::move(values);
    }
    keep_rows(context, kept, filtered);
    context.summary("filter: " + count_text(old_rows - rows, "row") + " dropped at the ends of " +
                    lines_text(context) + " (" + count_text(taps, "tap") + ")");
  };
}

// --- clip, clamp, log ---------------------------------------------------------

struct Limits {
  std::vector<std::string> columns;
  double min = lowest;
  double max = highest;
  bool inside = false;
  bool exclude_min = false;
  bool exclude_max = false;
};

void add_limits(CLI::App& app, Limits& limits, const char* what) {
  add_columns(app, limits.columns, what);
  auto* min = app.add_option("--min", limits.min, "Lower limit");
  auto* max = app.add_option("--max", limits.max, "Upper limit");
  app.callback([&limits, &app, min, max] {
    if (min->count() == 0 && max->count() == 0)
      throw CLI::ValidationError(app.get_name(), "give --min, --max or both");
    if (!(limits.min <= limits.max))
      throw CLI::ValidationError(app.get_name(), "--min must not exceed --max");
  });
}

void define_clip(CLI::App& app, Step& step) {
  auto p = std::make_shared<Limits>();
  add_limits(app, *p, "Column(s) in which values outside the limits become dummies");
  app.add_flag("--inside", p->inside, "Make the values inside the limits dummies instead");
  app.add_flag("--exclude-min", p->exclude_min, "The lower limit itself lies outside the interval");
  app.add_flag("--exclude-max", p->exclude_max, "The upper limit itself lies outside the interval");
  step = [p](Run_context& context) {
    for (const auto& name : p->columns) {
      // Clipping makes no new values, so the column keeps its type and format.
      vs::Channel& channel = numeric_channel(context.survey, name);
      const std::int64_t before = channel.values.count_dummy(0, -1);
      vi::Integration_range::clip_range_to_dummy(channel.values, p->min, p->max, p->inside,
                                                 !p->exclude_min, !p->exclude_max, 0, -1);
      context.summary("clip " + name + ": " +
                      dummies_text(channel.values.count_dummy(0, -1) - before));
    }
  };
}

bool whole(double limit) {
  return limit == lowest || limit == highest || limit == std::trunc(limit);
}

void define_clamp(CLI::App& app, Step& step) {
  auto p = std::make_shared<Limits>();
  add_limits(app, *p, "Column(s) in which values beyond a limit are set to that limit");
  step = [p](Run_context& context) {
    for (const auto& name : p->columns) {
      vs::Channel& found = numeric_channel(context.survey, name);
      // Whole limits on a whole-number column give whole numbers: it keeps its type.
      vs::Channel& channel = found.values.get_type().is_integral() && whole(p->min) && whole(p->max)
                                 ? found
                                 : computed_channel(context, name);
      const std::int64_t changed =
          change_each_line(context, channel, [&](vi::Multi_vector& v, const vs::Line&) {
            vi::Integration_range::clamp_to_range(v, p->min, p->max, 0, -1);
          });
      context.summary("clamp " + name + ": " + count_text(changed, "sample") + " set to a limit");
    }
  };
}

struct Log {
  std::vector<std::string> columns;
  std::string base = "10";
  double min = 0.0;
  double scale = 0.0;
};

void define_log(CLI::App& app, Step& step) {
  auto p = std::make_shared<Log>();
  add_columns(app, p->columns, "Column(s) to replace by their logarithm");
  app.add_option("--base", p->base, "10 or e")
      ->check(CLI::IsMember({"10", "e"}))
      ->capture_default_str();
  auto* min =
      app.add_option("--min", p->min,
                     "Values at or below this become dummies; 0 or less means 1.0 (so by default "
                     "values up to 1 become dummies)")
          ->capture_default_str();
  app.add_option("--scaled", p->scale,
                 "Compress instead: values within +-SCALE stay, larger ones become "
                 "SCALE * (1 + log(|v| / SCALE)) with their sign")
      ->check(CLI::PositiveNumber)
      ->excludes(min)
      ->type_name("SCALE");
  step = [p](Run_context& context) {
    const bool ten = p->base == "10";
    for (const auto& name : p->columns) {
      vs::Channel& channel = computed_channel(context, name);
      const std::int64_t before = channel.values.count_dummy(0, -1);
      if (p->scale > 0.0) {
        if (ten)
          vi::Integration_math::log10_scaled(channel.values, p->scale, 0, -1);
        else
          vi::Integration_math::log_scaled(channel.values, p->scale, 0, -1);
      } else {
        if (ten)
          vi::Integration_math::log10(channel.values, p->min, 0, -1);
        else
          vi::Integration_math::log(channel.values, p->min, 0, -1);
      }
      context.summary("log " + name + ": " +
                      dummies_text(channel.values.count_dummy(0, -1) - before));
    }
  };
}

// --- distance ---------------------------------------------------------------

struct Distance {
  std::string x = "x";
  std::string y = "y";
  std::string z;
  std::string name = "distance";
  double start = 0.0;
};

void define_distance(CLI::App& app, Step& step) {
  auto p = std::make_shared<Distance>();
  app.add_option("-x,--x", p->x, "Easting column")->capture_default_str()->type_name("NAME");
  app.add_option("-y,--y", p->y, "Northing column")->capture_default_str()->type_name("NAME");
  app.add_option("-z,--z", p->z, "Elevation column (default: none, a flat line)")
      ->type_name("NAME");
  app.add_option("--name", p->name, "The new column (replaced when it exists)")
      ->capture_default_str();
  app.add_option("--start", p->start, "Distance at the first station of each line")
      ->capture_default_str();
  step = [p](Run_context& context) {
    vs::Survey& survey = context.survey;
    const vs::Channel& x = numeric_channel(survey, p->x);
    const vs::Channel& y = numeric_channel(survey, p->y);
    const vs::Channel* z = p->z.empty() ? nullptr : &numeric_channel(survey, p->z);
    const std::int64_t rows = survey.rows();
    vi::Multi_vector result = dummies(rows);
    double longest = 0.0;
    for (const auto& line : survey.lines) {
      // Copies of one line: the library's distances start at its range, and a flat line
      // needs zeros only that long.
      const std::int64_t n = line.row_count;
      vi::Multi_vector along = dummies(0);
      vi::Integration_math::distance_cumulative(
          copy_rows(x, line.first_row, n), copy_rows(y, line.first_row, n),
          z != nullptr ? copy_rows(*z, line.first_row, n)
                       : vi::Multi_vector(vi::Legacy_type(vi::type_double), false, n),
          along, p->start, 0, n);
      result.copy(line.first_row, along, 0, n);
      double low = dummy, high = dummy;
      vi::Integration_range::compute_range(along, low, high, 0, n);
      if (high != dummy) longest = std::max(longest, high - p->start);
    }
    const std::string unit = x.unit;
    vs::Channel* target = survey.find(p->name);
    if (target == nullptr) {
      target = &survey.add(vs::Channel(p->name, std::move(result)));
    } else {
      target->values = std::move(result);
      target->columns = 1;
    }
    set_computed_format(context, *target);
    target->unit = unit;
    context.summary("distance: '" + p->name + "' on " + lines_text(context) + ", the longest " +
                    number_text(longest, 3));
  };
}

// --- spectrum ---------------------------------------------------------------

struct Spectrum {
  std::string column;
  std::string output;
  double spacing = 1.0;
};

void define_spectrum(CLI::App& app, Step& step) {
  auto p = std::make_shared<Spectrum>();
  app.add_option("-c,--column", p->column, "Column to transform (it must hold no dummies)")
      ->required()
      ->type_name("NAME");
  app.add_option("-o,--output", p->output,
                 "The spectrum file to write, delimited or ASEG-GDF2 by its name: k, frequency and "
                 "amplitude per line (with the line field when there is one)")
      ->required()
      ->type_name("PATH");
  app.add_option("-s,--spacing", p->spacing, "Sample spacing, for the frequency column")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  app.footer(
      "Amplitude: for a line of n samples x[j], row k (0 <= k <= n / 2) holds |X[k]| / n with\n"
      "X[k] = sum over j of x[j] * exp(-2 pi i j k / n), and frequency k / (n * spacing).\n"
      "The amplitude is one-sided and not doubled: a sine of amplitude A gives A / 2 at its\n"
      "frequency, a constant c gives c at k = 0.");
  step = [p](Run_context& context) {
    vs::Survey& survey = context.survey;
    const vs::Channel& column = numeric_channel(survey, p->column);
    const vs::Channel* line_channel =
        survey.line_channel >= 0 ? &survey.channels[static_cast<std::size_t>(survey.line_channel)]
                                 : nullptr;
    std::vector<double> k, frequency, amplitude;
    std::vector<std::int64_t> line_rows;  // the first survey row of each spectrum row's line
    for (const auto& line : survey.lines) {
      const std::int64_t n = line.row_count;
      const std::int64_t dummies_in_line = column.values.count_dummy(line.first_row, n);
      if (dummies_in_line > 0) {
        throw Tool_error("spectrum: column '" + p->column + "' holds " +
                         count_text(dummies_in_line, "dummy") + " on " + line_name(line) +
                         "; fill them first (fill-gaps)");
      }
      vi::Multi_vector re = dummies(0);
      vi::Multi_vector im = dummies(0);
      vi::FFT::rfft_1d_forward(column.values, re, im, line.first_row, n);
      for (std::int64_t i = 0; i < re.get_length(); ++i) {
        k.push_back(static_cast<double>(i));
        frequency.push_back(static_cast<double>(i) / (static_cast<double>(n) * p->spacing));
        amplitude.push_back(std::hypot(re.get_double(i), im.get_double(i)) /
                            static_cast<double>(n));
        line_rows.push_back(line.first_row);
      }
    }
    vs::Survey spectrum;
    const auto rows = static_cast<std::int64_t>(k.size());
    if (line_channel != nullptr) {
      vi::Multi_vector values(line_channel->values.get_type(), false, rows);
      for (std::int64_t r = 0; r < rows; ++r)
        values.copy(r, line_channel->values, line_rows[static_cast<std::size_t>(r)], 1);
      vs::Channel& line = spectrum.add(vs::Channel(line_channel->name, std::move(values)));
      line.format = line_channel->format;
    }
    const auto add_real = [&](const char* name, const std::vector<double>& data,
                              vs::Field_format format) {
      vi::Multi_vector values = dummies(rows);
      if (rows > 0) values.set_range_double(0, rows, data.data());
      spectrum.add(vs::Channel(name, std::move(values))).format = format;
    };
    vi::Multi_vector index(vi::Legacy_type(vi::type_int32), false, rows);
    if (rows > 0) index.set_range_double(0, rows, k.data());
    spectrum.add(vs::Channel("k", std::move(index))).format = vs::Field_format{'I', 0, 0};
    add_real("frequency", frequency, {});
    add_real("amplitude", amplitude, {});
    spectrum.index_lines(line_channel != nullptr ? line_channel->name : "");
    context.extra_outputs.push_back(Extra_output{p->output, std::move(spectrum)});
    context.summary("spectrum " + p->column + ": " + count_text(rows, "row") + " for " +
                    lines_text(context) + " to " + p->output);
  };
}

// --- stats ------------------------------------------------------------------

struct Stats {
  std::vector<std::string> columns;
  std::vector<double> percentiles{5, 95};
  bool per_line = false;
};

// The order of the line's own values (the library compares the first with the row before it).
const char* order_name(const vi::Multi_vector& line_values, double min, double max) {
  bool equal_neighbours = false;
  vi::Integration_range::Order order = vi::Integration_range::unordered;
  vi::Integration_range::order(line_values, equal_neighbours, order, 0, -1);
  if (min == dummy) return "-";
  if (min == max) return "constant";
  if (order == vi::Integration_range::increasing)
    return equal_neighbours ? "non-decreasing" : "increasing";
  if (order == vi::Integration_range::decreasing)
    return equal_neighbours ? "non-increasing" : "decreasing";
  return "unordered";
}

// The p-th percentile of the n values at `data`, between closest ranks as a spreadsheet's
// PERCENTILE. Selection, not a sort: each percentile costs a few passes, and the values are
// left reordered (any order serves the next percentile).
double percentile(double* data, std::int64_t n, double p) {
  if (n == 0) return dummy;
  const double rank = p / 100.0 * static_cast<double>(n - 1);
  const auto below = static_cast<std::int64_t>(std::floor(rank));
  std::nth_element(data, data + below, data + n);
  const double low = data[below];
  const double high = below + 1 < n ? *std::min_element(data + below + 1, data + n) : low;
  return low + (rank - static_cast<double>(below)) * (high - low);
}

std::vector<std::string> describe(const vs::Channel& channel, std::int64_t first,
                                  std::int64_t count, const Stats& options, int decimals) {
  const vi::Multi_vector& v = channel.values;
  double min = dummy, max = dummy;
  vi::Integration_range::compute_range(v, min, max, first, count);
  const double mean = vi::Integration_math::mean(v, first, count);
  const char* order = order_name(copy_rows(channel, first, count), min, max);
  // Standard deviation (n - 1) from the squared deviations the library sums.
  vi::Multi_vector work = copy_rows(channel, first, count);
  vi::Integration_math::add_base_multiplier(work, -mean, 1.0, 0, -1);
  vi::Integration_math::multiply(work, work, work, 0, -1);
  const std::int64_t valid = count - v.count_dummy(first, count);
  const double sd =
      valid > 1 ? std::sqrt(vi::Integration_math::sum(work, 0, -1) / static_cast<double>(valid - 1))
                : dummy;
  // The same buffer, refilled, gives the values for the median and percentiles.
  if (count > 0) work.copy(0, v, first, count);
  work.erase_dummies(0, -1);
  auto* data = valid > 0 ? static_cast<double*>(work.get_vector_memory()) : nullptr;
  std::vector<std::string> row{std::to_string(count),
                               std::to_string(count - valid),
                               report_text(min, decimals),
                               report_text(max, decimals),
                               report_text(mean, decimals),
                               report_text(sd, decimals),
                               report_text(percentile(data, valid, 50), decimals)};
  for (const double p : options.percentiles)
    row.push_back(report_text(percentile(data, valid, p), decimals));
  row.push_back(order);
  return row;
}

void define_stats(CLI::App& app, Step& step) {
  auto p = std::make_shared<Stats>();
  app.add_option("-c,--column", p->columns, "Column(s) to describe (default: every numeric column)")
      ->type_name("NAME");
  app.add_option("--percentiles", p->percentiles, "Percentiles to show besides the median")
      ->delimiter(',')
      ->check(CLI::Range(0.0, 100.0))
      ->type_name("LIST")
      ->capture_default_str();
  app.add_flag("--per-line", p->per_line,
               "One row per column and line (default: the whole survey)");
  app.footer(
      "Columns: count (rows), dummies, min, max, mean, sd (standard deviation, n - 1), median,\n"
      "the percentiles (linear between the closest ranks), and the order along the rows.");
  step = [p](Run_context& context) {
    vs::Survey& survey = context.survey;
    std::vector<std::string> names = p->columns;
    if (names.empty()) {
      for (std::size_t c = 0; c < survey.channels.size(); ++c) {
        const auto& channel = survey.channels[c];
        if (!channel.is_text() && channel.columns == 1 &&
            static_cast<std::int64_t>(c) != survey.line_channel)
          names.push_back(channel.name);
      }
    }
    std::vector<std::vector<std::string>> table{{"column"}};
    if (p->per_line) table[0].push_back("line");
    for (const char* title : {"count", "dummies", "min", "max", "mean", "sd", "median"})
      table[0].push_back(title);
    for (const double percent : p->percentiles) table[0].push_back("p" + number_text(percent));
    table[0].push_back("order");
    for (const auto& name : names) {
      const vs::Channel& channel = numeric_channel(survey, name);
      const auto add = [&](const std::string& line, std::int64_t first, std::int64_t count) {
        std::vector<std::string> row{name};
        if (p->per_line) row.push_back(line);
        for (auto& cell : describe(channel, first, count, *p, context.decimals))
          row.push_back(std::move(cell));
        table.push_back(std::move(row));
      };
      if (p->per_line) {
        for (const auto& line : survey.lines)
          add(line.label.empty() ? "*" : line.label, line.first_row, line.row_count);
      } else {
        add("", 0, survey.rows());
      }
    }
    std::vector<std::size_t> widths(table.front().size(), 0);
    for (const auto& row : table) {
      for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    for (const auto& row : table) {
      std::string text;
      for (std::size_t i = 0; i < row.size(); ++i) {
        text += row[i];
        if (i + 1 < row.size()) text.append(widths[i] - row[i].size() + 2, ' ');
      }
      std::fprintf(context.report, "%s\n", text.c_str());
    }
    std::fflush(context.report);
    context.summary("stats: " + count_text(static_cast<std::int64_t>(names.size()), "column") +
                    " over " + lines_text(context));
  };
}

// --- level ------------------------------------------------------------------

struct Level {
  std::string channel;
  std::string ties;
  std::string x = "x";
  std::string y = "y";
  std::string time;
  std::string model = "constant";
  std::string along = "distance";
  std::string interpolation = "linear";
  std::string output;
  double rejection = 4.685;
  std::size_t worst = 10;
};

void define_level(CLI::App& app, Step& step) {
  auto p = std::make_shared<Level>();
  app.add_option("-c,--channel", p->channel, "Channel to level")->required()->type_name("NAME");
  app.add_option("--ties", p->ties,
                 "The tie lines: numbers and ranges, e.g. 9000-9999 or 9010,9020")
      ->required()
      ->type_name("LIST");
  app.add_option("--x", p->x, "Easting channel")->capture_default_str()->type_name("NAME");
  app.add_option("--y", p->y, "Northing channel")->capture_default_str()->type_name("NAME");
  app.add_option("--time", p->time, "Time channel (for --along time and the crossings' times)")
      ->type_name("NAME");
  app.add_option("--model", p->model,
                 "Correction of each traverse line: constant, linear or poly2 along the line")
      ->check(CLI::IsMember({"constant", "linear", "poly2"}))
      ->capture_default_str();
  app.add_option("--along", p->along, "What a trend runs along: distance or time")
      ->check(CLI::IsMember({"distance", "time"}))
      ->capture_default_str();
  app.add_option("--interpolation", p->interpolation,
                 "Values at a crossing: linear between the two samples, or akima along distance")
      ->check(CLI::IsMember({"linear", "akima"}))
      ->capture_default_str();
  app.add_option("--output", p->output, "Name of the levelled channel (default: CHANNEL_lev)")
      ->type_name("NAME");
  app.add_option("--rejection", p->rejection,
                 "Crossings further than this many robust deviations from the fit get no weight")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  app.add_option("--worst", p->worst, "How many of the worst crossings the report lists")
      ->capture_default_str();
  app.footer(
      "Ties are levelled first (a constant per tie from every crossing, the traverse lines\n"
      "taking part with their models; each network held by its first tie), then each\n"
      "traverse line to the levelled ties. Fits are\n"
      "robust (Huber, then Tukey's biweight at --rejection times 1.4826 MAD). A line with too\n"
      "few crossings for its model takes a lower order (order k needs k + 2 crossings).\n"
      "The report goes where stats prints.");
  step = [p](Run_context& context) {
    vs::Survey& survey = context.survey;
    vs::Crossover_options crossings;
    crossings.channel = p->channel;
    crossings.x = p->x;
    crossings.y = p->y;
    crossings.time = p->time;
    crossings.interpolation = p->interpolation == "akima" ? vs::Crossing_interpolation::akima
                                                          : vs::Crossing_interpolation::linear;
    crossings.ties = survey.select_lines(p->ties);
    if (crossings.ties.empty())
      throw Tool_error("level: no line of the survey matches the ties '" + p->ties + "'");
    if (crossings.ties.size() == survey.lines.size())
      throw Tool_error("level: every line is a tie; give the tie lines only");
    for (const auto* name : {&p->x, &p->y, &p->channel}) numeric_channel(survey, *name);
    if (p->along == "time" && p->time.empty()) throw Tool_error("level: --along time needs --time");
    vs::Level_options options;
    options.model = p->model == "poly2"    ? vs::Level_model::poly2
                    : p->model == "linear" ? vs::Level_model::linear
                                           : vs::Level_model::constant;
    options.along = p->along == "time" ? vs::Trend_axis::time : vs::Trend_axis::distance;
    options.output = p->output.empty() ? p->channel + "_lev" : p->output;
    options.rejection = p->rejection;
    const vs::Level_result result = vs::level(survey, crossings, options);
    set_computed_format(context, find_channel(survey, options.output));
    std::fputs(vs::level_report(survey, result, p->worst).c_str(), context.report);
    std::fflush(context.report);
    context.summary("level " + p->channel + ": " +
                    count_text(result.before_stats.count, "usable crossing") + ", rms " +
                    report_text(result.before_stats.rms, 3) + " before, " +
                    report_text(result.after_stats.rms, 3) + " after, into " + options.output);
  };
}

}  // namespace

const std::vector<Command_entry>& command_entries() {
  static const std::vector<Command_entry> entries{
      {"stats", "Print count, dummies, min, max, mean, standard deviation, median and percentiles",
       "vorlith-line -i survey.dfn stats --column mag --per-line", define_stats},
      {"despike", "Remove spikes with the multi-scale despiking filter",
       "vorlith-line -i line.csv -o clean.csv despike --column mag --width 5 --tolerance 0.5",
       define_despike},
      {"fill-gaps", "Fill dummy gaps by linear prediction from both sides",
       "vorlith-line -i line.csv -o filled.csv fill-gaps --column mag --edges extrapolate --roll "
       "squared",
       define_fill_gaps},
      {"resample", "Interpolate every column (Akima) onto a regular spacing of a position column",
       "vorlith-line -i line.csv -o regular.csv resample --position distance --spacing 2 --max-gap "
       "20",
       define_resample},
      {"filter", "Convolve columns with a kernel (a number list or a named low-pass)",
       "vorlith-line -i line.csv -o smooth.csv filter --column mag --lowpass hann --length 9 "
       "--keep-length",
       define_filter},
      {"clip", "Make values outside (or inside) limits dummies",
       "vorlith-line -i line.csv -o clipped.csv clip --column mag --min 40000 --max 70000",
       define_clip},
      {"clamp", "Set values beyond limits to the limits",
       "vorlith-line -i line.csv -o clamped.csv clamp --column mag --min 0", define_clamp},
      {"log", "Replace values by their logarithm (or a logarithmic compression)",
       "vorlith-line -i line.csv -o log.csv log --column conductivity --base 10 --min 1e-6",
       define_log},
      {"distance", "Add a cumulative distance column from x, y and optional z columns",
       "vorlith-line -i line.csv -o with_distance.csv distance --x x --y y --name distance",
       define_distance},
      {"spectrum", "Write the amplitude spectrum of a column to a new file",
       "vorlith-line -i line.csv spectrum --column mag --output mag_spectrum.csv --spacing 2",
       define_spectrum},
      // Crossovers and tie-line levelling of a whole survey.
      {"level", "Level a channel from the crossings of traverse lines with tie lines",
       "vorlith-line -i survey.dfn -o levelled.dfn level --channel mag --ties 9000-9999 --model "
       "linear",
       define_level},
      // Line processing.
      {"hampel", "Replace outliers by the window median (rolling median and MAD)",
       "vorlith-line -i line.csv -o clean.csv hampel --column mag --half-width 10 --threshold 3",
       define_hampel},
      {"lag", "Shift columns along each line by samples, time or distance (interpolated)",
       "vorlith-line -i line.csv -o lagged.csv lag --column mag --shift 0.2 --along time",
       define_lag},
      {"decimate", "Keep every m-th row after an anti-alias low-pass of the listed columns",
       "vorlith-line -i line.csv -o thin.csv decimate --column mag --factor 10", define_decimate},
  };
  return entries;
}

}  // namespace vorlith_line
