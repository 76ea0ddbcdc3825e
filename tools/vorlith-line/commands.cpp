#include "commands.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

#include "table_writer.h"

namespace vorlith_line {

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t chunk_rows = 8192;
constexpr double lowest = std::numeric_limits<double>::lowest();
constexpr double highest = std::numeric_limits<double>::max();

void announce(Run_context& context, const std::string& what, std::int64_t rows) {
  context.progress.begin(what, 0);
  context.progress.update(rows, 0);
}

// The format of a number given on the command line, as its shortest text shows it.
Number_format format_of(double v) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  double parsed;
  Number_format format;
  parse_number(std::string_view(text, static_cast<std::size_t>(end - text)), parsed, format);
  return format;
}

std::string text_of(double v) {
  char text[512];
  return std::string(text, format_number(text, v, format_of(v)));
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
  add_columns(app, p->columns, "Column(s) to despike in place");
  app.add_option("-w,--width", p->width, "Widest spike, in samples; the filter works from this spacing down to 1")
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1} << 20))
      ->capture_default_str();
  app.add_option("--tolerance", p->tolerance, "Deviations smaller than this are left alone")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--iterations", p->iterations, "Most repeats of the whole cascade while it changes samples")
      ->check(CLI::Range(std::int64_t{0}, std::int64_t{1000}))
      ->capture_default_str();
  step = [p](Table& table, Run_context& context) {
    for (const auto& name : p->columns) {
      Column& column = table.numeric_column(name);
      announce(context, "despike " + name, table.rows());
      vi::Integration_filter::naudy_filter_workflow(column.values, p->width, p->tolerance,
                                                    p->iterations);
    }
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
};

void define_fill_gaps(CLI::App& app, Step& step) {
  auto p = std::make_shared<Fill_gaps>();
  add_columns(app, p->columns, "Column(s) whose dummy gaps are filled in place");
  app.add_option("--edges", p->edges,
                 "Gaps at the ends: none (stay dummies), extrapolate, or wrap (the line is cyclic)")
      ->check(CLI::IsMember({"none", "extrapolate", "wrap"}))
      ->capture_default_str();
  app.add_option("--roll", p->roll, "Weight that blends the predictions from both sides: linear or squared")
      ->check(CLI::IsMember({"linear", "squared"}))
      ->capture_default_str();
  app.add_option("--level", p->level, "Level the predictions relax to (default: the column's mean)");
  app.add_option("--prediction-length", p->prediction_length,
                 "Samples over which each side relaxes to the level (0: predict across whole gaps)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--filter-length", p->filter_length, "Largest prediction filter (0: 32; at most 256)")
      ->check(CLI::Range(std::int64_t{0}, std::int64_t{256}))
      ->capture_default_str();
  app.add_option("--fit-length", p->fit_length, "Most samples one fit reads (0: twice the filter length; at most 256)")
      ->check(CLI::Range(std::int64_t{0}, std::int64_t{256}))
      ->capture_default_str();
  step = [p](Table& table, Run_context& context) {
    using Edge = vi::Integration_predict::Edge_type;
    const Edge edges = p->edges == "wrap" ? Edge::wrap : p->edges == "extrapolate" ? Edge::extrapolate : Edge::none;
    const auto roll = p->roll == "squared" ? vorlith::algorithm::Rollweight_type::squared
                                           : vorlith::algorithm::Rollweight_type::linear;
    for (const auto& name : p->columns) {
      Column& column = table.numeric_column(name);
      announce(context, "fill-gaps " + name, table.rows());
      vi::Integration_predict::predict(column.values, edges, roll, p->level, p->prediction_length, p->filter_length,
                                       p->fit_length);
    }
  };
}

// --- resample ---------------------------------------------------------------

struct Resample {
  std::string position;
  double spacing = 0.0;
  double max_gap = 0.0;
  double extension = 0.0;
};

// Appends the (position, value) pairs of the rows where neither is a dummy.
void collect_knots(const vi::Multi_vector& position, const vi::Multi_vector& values, vi::Multi_vector& x,
                   vi::Multi_vector& y) {
  std::vector<double> p(chunk_rows), v(chunk_rows);
  std::int64_t knots = 0;
  for (std::int64_t first = 0; first < position.get_length(); first += chunk_rows) {
    const std::int64_t n = std::min(chunk_rows, position.get_length() - first);
    position.get_range_double(first, n, p.data());
    values.get_range_double(first, n, v.data());
    std::int64_t kept = 0;
    for (std::int64_t i = 0; i < n; ++i) {
      if (p[i] != dummy && v[i] != dummy && !std::isnan(p[i]) && !std::isnan(v[i])) {
        p[kept] = p[i];
        v[kept] = v[i];
        ++kept;
      }
    }
    if (kept > 0) {
      x.set_range_double(knots, kept, p.data());
      y.set_range_double(knots, kept, v.data());
      knots += kept;
    }
  }
}

void define_resample(CLI::App& app, Step& step) {
  auto p = std::make_shared<Resample>();
  app.add_option("-p,--position", p->position, "Column that increases along the line (e.g. distance)")
      ->required()
      ->type_name("NAME");
  app.add_option("-s,--spacing", p->spacing, "Spacing of the new rows, in units of the position column")
      ->required()
      ->check(CLI::PositiveNumber);
  app.add_option("--max-gap", p->max_gap, "Wider gaps between samples become dummies (0: no limit)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--extension", p->extension, "How far values continue beyond the samples at either side of a gap")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  step = [p](Table& table, Run_context& context) {
    Column& position = table.numeric_column(p->position);
    bool equal_neighbours = false;
    vi::Integration_range::Order order = vi::Integration_range::unordered;
    vi::Integration_range::order(position.values, equal_neighbours, order, 0, -1);
    double first = 0.0, last = 0.0;
    vi::Integration_range::compute_range(position.values, first, last, 0, -1);
    if (first == dummy) throw Tool_error("resample: position column '" + p->position + "' holds no values");
    if (first != last && (order != vi::Integration_range::increasing || equal_neighbours)) {
      throw Tool_error("resample: position column '" + p->position + "' must increase strictly along the line");
    }
    // New rows lie on whole multiples of the spacing inside the sampled positions.
    const double start = std::ceil(first / p->spacing - 1e-9) * p->spacing;
    const double span = std::floor((last - start) / p->spacing + 1e-9);
    if (!(span < 1e9)) {
      throw Tool_error("resample: spacing " + text_of(p->spacing) + " would make more than a billion rows");
    }
    const auto count = static_cast<std::int64_t>(span) + 1;
    announce(context, "resample", table.rows());

    std::vector<vi::Multi_vector> resampled;
    for (auto& column : table.columns) {
      if (&column == &position) {
        resampled.push_back(make_double_channel(0));
      } else if (column.is_text()) {
        resampled.emplace_back(column.values.get_type(), true, count);  // all dummies
      } else {
        vi::Multi_vector x(vi::Legacy_type(vi::type_double), false, 0);
        vi::Multi_vector y(vi::Legacy_type(vi::type_double), false, 0);
        collect_knots(position.values, column.values, x, y);
        vi::Multi_vector result = make_double_channel(0);
        vi::Integration_spline::akima(x, y, result, start, p->spacing, count, p->max_gap, p->extension);
        resampled.push_back(std::move(result));
      }
    }
    for (std::size_t c = 0; c < table.columns.size(); ++c) table.columns[c].values = std::move(resampled[c]);

    std::vector<double> grid(chunk_rows);
    for (std::int64_t k = 0; k < count; k += chunk_rows) {
      const std::int64_t n = std::min(chunk_rows, count - k);
      for (std::int64_t i = 0; i < n; ++i) grid[i] = start + static_cast<double>(k + i) * p->spacing;
      position.values.set_range_double(k, n, grid.data());
    }
    position.format.widen(format_of(p->spacing));
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
      w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(j + 1) / static_cast<double>(length + 1));
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
  vi::Integration_string::tokenize_to_doubles(text.substr(first, last - first + 1), ", \t;", weights);
  std::vector<double> kernel(static_cast<std::size_t>(weights.get_length()));
  weights.get_range_double(0, weights.get_length(), kernel.data());
  for (std::size_t j = 0; j < kernel.size(); ++j) {
    if (kernel[j] == dummy || !std::isfinite(kernel[j])) {
      throw Tool_error("filter: --kernel value " + std::to_string(j + 1) + " is not a finite number");
    }
  }
  return kernel;
}

void define_filter(CLI::App& app, Step& step) {
  auto p = std::make_shared<Filter>();
  add_columns(app, p->columns, "Column(s) to filter in place");
  auto* kernel = app.add_option("-k,--kernel", p->kernel, "Weights, separated by commas or spaces, applied as given: row i gets the sum of "
                                "w[j] * value[i - h + j], h = (taps - 1) / 2")
                     ->type_name("LIST");
  auto* lowpass = app.add_option("--lowpass", p->lowpass, "A named low-pass kernel: boxcar, triangle or hann")
                      ->check(CLI::IsMember({"boxcar", "triangle", "hann"}));
  auto* length = app.add_option("-n,--length", p->length, "Taps of the named low-pass kernel")
                     ->check(CLI::Range(std::int64_t{1}, std::int64_t{100001}));
  kernel->excludes(lowpass);
  lowpass->needs(length);
  length->needs(lowpass);
  app.add_flag("--keep-length", p->keep_length,
               "Keep every row (the ends the kernel does not cover become dummies) instead of dropping "
               "those rows from the whole table");
  app.callback([p] {
    if (p->kernel.empty() && p->lowpass.empty()) {
      throw CLI::ValidationError("filter", "give a kernel with --kernel LIST or --lowpass NAME --length N");
    }
  });
  step = [p](Table& table, Run_context& context) {
    const std::vector<double> kernel =
        p->kernel.empty() ? lowpass_kernel(p->lowpass, p->length) : parse_kernel(p->kernel);
    const std::int64_t rows = table.rows();
    const auto taps = static_cast<std::int64_t>(kernel.size());
    const std::int64_t before = (taps - 1) / 2;
    const std::int64_t after = taps - 1 - before;
    std::vector<Column*> filtered;
    for (const auto& name : p->columns) {
      Column& column = table.numeric_column(name);
      if (std::find(filtered.begin(), filtered.end(), &column) != filtered.end()) continue;
      announce(context, "filter " + name, rows);
      vi::Multi_vector output = make_double_channel(0);
      vi::Integration_filter::convolution(column.values, output, kernel, p->keep_length);
      if (p->keep_length && output.get_length() < rows) {
        // An even kernel leaves one row fewer; the table keeps its length.
        const std::int64_t old_length = output.get_length();
        output.set_length(rows);
        output.filldummy(old_length, rows - old_length);
      }
      column.values = std::move(output);
      filtered.push_back(&column);
    }
    if (p->keep_length) return;
    // The other columns lose the rows the filtered ones lost, so rows stay aligned.
    for (auto& column : table.columns) {
      if (std::find(filtered.begin(), filtered.end(), &column) != filtered.end()) continue;
      if (rows < taps) {
        column.values.set_length(0);
      } else {
        column.values.erase(rows - after, after);
        column.values.erase(0, before);
      }
    }
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
    if (min->count() == 0 && max->count() == 0) throw CLI::ValidationError(app.get_name(), "give --min, --max or both");
    if (!(limits.min <= limits.max)) throw CLI::ValidationError(app.get_name(), "--min must not exceed --max");
  });
}

void define_clip(CLI::App& app, Step& step) {
  auto p = std::make_shared<Limits>();
  add_limits(app, *p, "Column(s) in which values outside the limits become dummies");
  app.add_flag("--inside", p->inside, "Make the values inside the limits dummies instead");
  app.add_flag("--exclude-min", p->exclude_min, "The lower limit itself lies outside the interval");
  app.add_flag("--exclude-max", p->exclude_max, "The upper limit itself lies outside the interval");
  step = [p](Table& table, Run_context& context) {
    for (const auto& name : p->columns) {
      Column& column = table.numeric_column(name);
      announce(context, "clip " + name, table.rows());
      vi::Integration_range::clip_range_to_dummy(column.values, p->min, p->max, p->inside, !p->exclude_min,
                                                 !p->exclude_max, 0, -1);
    }
  };
}

void define_clamp(CLI::App& app, Step& step) {
  auto p = std::make_shared<Limits>();
  add_limits(app, *p, "Column(s) in which values beyond a limit are set to that limit");
  step = [p](Table& table, Run_context& context) {
    for (const auto& name : p->columns) {
      Column& column = table.numeric_column(name);
      announce(context, "clamp " + name, table.rows());
      vi::Integration_range::clamp_to_range(column.values, p->min, p->max, 0, -1);
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
  app.add_option("--base", p->base, "10 or e")->check(CLI::IsMember({"10", "e"}))->capture_default_str();
  auto* min = app.add_option("--min", p->min,
                             "Values at or below this become dummies; 0 or less means 1.0 (so by default "
                             "values up to 1 become dummies)")
                  ->capture_default_str();
  app.add_option("--scaled", p->scale,
                 "Compress instead: values within +-SCALE stay, larger ones become "
                 "SCALE * (1 + log(|v| / SCALE)) with their sign")
      ->check(CLI::PositiveNumber)
      ->excludes(min)
      ->type_name("SCALE");
  step = [p](Table& table, Run_context& context) {
    const bool ten = p->base == "10";
    for (const auto& name : p->columns) {
      Column& column = table.numeric_column(name);
      announce(context, "log " + name, table.rows());
      if (p->scale > 0.0) {
        if (ten) vi::Integration_math::log10_scaled(column.values, p->scale, 0, -1);
        else vi::Integration_math::log_scaled(column.values, p->scale, 0, -1);
      } else {
        if (ten) vi::Integration_math::log10(column.values, p->min, 0, -1);
        else vi::Integration_math::log(column.values, p->min, 0, -1);
      }
      // Logarithms of whole numbers are not whole numbers.
      column.format.decimals = std::max(column.format.decimals, 6);
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
  app.add_option("-z,--z", p->z, "Elevation column (default: none, a flat line)")->type_name("NAME");
  app.add_option("--name", p->name, "The new column (replaced when it exists)")->capture_default_str();
  app.add_option("--start", p->start, "Distance at the first station")->capture_default_str();
  step = [p](Table& table, Run_context& context) {
    const Column& x = table.numeric_column(p->x);
    const Column& y = table.numeric_column(p->y);
    const std::int64_t rows = table.rows();
    Number_format format = x.format;
    format.widen(y.format);
    vi::Multi_vector flat(vi::Legacy_type(vi::type_double), true, p->z.empty() ? rows : 0);  // zeros
    const vi::Multi_vector* z = &flat;
    if (!p->z.empty()) {
      const Column& z_column = table.numeric_column(p->z);
      z = &z_column.values;
      format.widen(z_column.format);
    }
    announce(context, "distance", rows);
    vi::Multi_vector result = make_double_channel(rows);
    if (rows > 0) vi::Integration_math::distance_cumulative(x.values, y.values, *z, result, p->start, 0, rows);
    if (!table.has_column(p->name)) {
      table.columns.push_back(Column{p->name, make_double_channel(0), {}, false, 0, {}});
    }
    Column& target = table.column(p->name);
    target.values = std::move(result);
    target.format = format;
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
  app.add_option("-o,--output", p->output, "The spectrum file to write (comma-separated: k,frequency,amplitude)")
      ->required()
      ->type_name("PATH");
  app.add_option("-s,--spacing", p->spacing, "Sample spacing, for the frequency column")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  step = [p](Table& table, Run_context& context) {
    const Column& column = table.numeric_column(p->column);
    const std::int64_t n = table.rows();
    if (n == 0) throw Tool_error("spectrum: column '" + p->column + "' is empty");
    const std::int64_t dummies = column.values.count_dummy(0, -1);
    if (dummies > 0) {
      throw Tool_error("spectrum: column '" + p->column + "' holds " + std::to_string(dummies) +
                       " dummies; fill them first (fill-gaps)");
    }
    announce(context, "spectrum " + p->column, n);
    Table spectrum;
    for (const char* name : {"k", "frequency", "amplitude"}) {
      spectrum.columns.push_back(Column{name, make_double_channel(0), {}, false, 0, {}});
    }
    vi::Multi_vector& k = spectrum.columns[0].values;
    vi::Multi_vector& frequency = spectrum.columns[1].values;
    vi::Multi_vector& amplitude = spectrum.columns[2].values;
    vi::Multi_vector imaginary = make_double_channel(0);
    vi::FFT::rfft_1d_forward(column.values, amplitude, imaginary, 0, n);
    const std::int64_t m = amplitude.get_length();
    k.set_length(m);
    frequency.set_length(m);
    std::vector<double> re(chunk_rows), im(chunk_rows), index(chunk_rows), f(chunk_rows);
    for (std::int64_t first = 0; first < m; first += chunk_rows) {
      const std::int64_t count = std::min(chunk_rows, m - first);
      amplitude.get_range_double(first, count, re.data());
      imaginary.get_range_double(first, count, im.data());
      for (std::int64_t i = 0; i < count; ++i) {
        index[i] = static_cast<double>(first + i);
        f[i] = index[i] / (static_cast<double>(n) * p->spacing);
        re[i] = std::hypot(re[i], im[i]) / static_cast<double>(n);
      }
      amplitude.set_range_double(first, count, re.data());
      k.set_range_double(first, count, index.data());
      frequency.set_range_double(first, count, f.data());
    }
    spectrum.columns[1].format.exponent = true;
    spectrum.columns[2].format.exponent = true;
    auto file = std::make_unique<Output_file>(p->output);
    write_table(spectrum, file->stream(), file->name(), context.progress);
    context.extra_outputs.push_back(std::move(file));
  };
}

// --- stats ------------------------------------------------------------------

struct Stats {
  std::vector<std::string> columns;
};

void define_stats(CLI::App& app, Step& step) {
  auto p = std::make_shared<Stats>();
  app.add_option("-c,--column", p->columns, "Column(s) to describe (default: every numeric column)")
      ->type_name("NAME");
  step = [p](Table& table, Run_context& context) {
    std::vector<std::string> names = p->columns;
    if (names.empty()) {
      for (const auto& column : table.columns) {
        if (!column.is_text()) names.push_back(column.name);
      }
    }
    std::vector<std::vector<std::string>> lines{{"column", "count", "dummies", "min", "max", "mean", "order"}};
    for (const auto& name : names) {
      const Column& column = table.numeric_column(name);
      const auto& v = column.values;
      double min = dummy, max = dummy;
      vi::Integration_range::compute_range(v, min, max, 0, -1);
      const double mean = vi::Integration_math::mean(v, 0, -1);
      bool equal_neighbours = false;
      vi::Integration_range::Order order = vi::Integration_range::unordered;
      vi::Integration_range::order(v, equal_neighbours, order, 0, -1);
      const char* order_name = order == vi::Integration_range::increasing
                                   ? (equal_neighbours ? "non-decreasing" : "increasing")
                               : order == vi::Integration_range::decreasing
                                   ? (equal_neighbours ? "non-increasing" : "decreasing")
                                   : "unordered";
      Number_format mean_format = column.format;
      mean_format.decimals += 2;
      const auto number = [](double value, const Number_format& format) {
        if (value == dummy) return std::string("*");
        char text[512];
        return std::string(text, format_number(text, value, format));
      };
      lines.push_back({name, std::to_string(v.get_length()), std::to_string(v.count_dummy(0, -1)),
                       number(min, column.format), number(max, column.format), number(mean, mean_format),
                       order_name});
    }
    std::vector<std::size_t> widths(lines.front().size(), 0);
    for (const auto& line : lines) {
      for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
    }
    for (const auto& line : lines) {
      std::string text;
      for (std::size_t i = 0; i < line.size(); ++i) {
        text += line[i];
        if (i + 1 < line.size()) text.append(widths[i] - line[i].size() + 2, ' ');
      }
      std::fprintf(context.report, "%s\n", text.c_str());
    }
    std::fflush(context.report);
  };
}

}  // namespace

const std::vector<Command_entry>& command_entries() {
  static const std::vector<Command_entry> entries{
      {"stats", "Print count, dummies, min, max, mean and order of columns",
       "vorlith-line -i line.csv stats --column mag", define_stats},
      {"despike", "Remove spikes with the multi-scale despiking filter",
       "vorlith-line -i line.csv -o clean.csv despike --column mag --width 5 --tolerance 0.5", define_despike},
      {"fill-gaps", "Fill dummy gaps by linear prediction from both sides",
       "vorlith-line -i line.csv -o filled.csv fill-gaps --column mag --edges extrapolate --roll squared",
       define_fill_gaps},
      {"resample", "Interpolate every column (Akima) onto a regular spacing of a position column",
       "vorlith-line -i line.csv -o regular.csv resample --position distance --spacing 2 --max-gap 20",
       define_resample},
      {"filter", "Convolve columns with a kernel (a number list or a named low-pass)",
       "vorlith-line -i line.csv -o smooth.csv filter --column mag --lowpass hann --length 9 --keep-length",
       define_filter},
      {"clip", "Make values outside (or inside) limits dummies",
       "vorlith-line -i line.csv -o clipped.csv clip --column mag --min 40000 --max 70000", define_clip},
      {"clamp", "Set values beyond limits to the limits",
       "vorlith-line -i line.csv -o clamped.csv clamp --column mag --min 0", define_clamp},
      {"log", "Replace values by their logarithm (or a logarithmic compression)",
       "vorlith-line -i line.csv -o log.csv log --column conductivity --base 10 --min 1e-6", define_log},
      {"distance", "Add a cumulative distance column from x, y and optional z columns",
       "vorlith-line -i line.csv -o with_distance.csv distance --x x --y y --name distance", define_distance},
      {"spectrum", "Write the amplitude spectrum of a column to a new file",
       "vorlith-line -i line.csv spectrum --column mag --output mag_spectrum.csv --spacing 2", define_spectrum},
  };
  return entries;
}

}  // namespace vorlith_line
