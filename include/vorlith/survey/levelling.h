#pragma once
// Crossovers of survey lines with tie lines, and the levelling of a channel from the
// differences found there: ties among themselves first, then every traverse line to the
// levelled ties.

#include <vorlith/survey/export.h>
#include <vorlith/survey/survey.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorlith::survey {

/// How a channel is read between the two samples of a crossing segment: a straight line,
/// or an Akima spline along distance through up to three samples on either side.
enum class Crossing_interpolation { linear, akima };

struct Crossover_options {
  /// Position channels (numeric, one column); rows with a dummy x or y have no position.
  std::string x = "x";
  std::string y = "y";
  /// The channel compared at the crossings (numeric, one column).
  std::string channel;
  /// An optional time channel; without one, times at the crossings are the dummy.
  std::string time;
  /// Indices into Survey::lines of the tie lines; every other line is a traverse line.
  std::vector<std::size_t> ties;
  Crossing_interpolation interpolation = Crossing_interpolation::linear;
};

/// One line's side of a crossing.
struct Crossing_side {
  /// Index into Survey::lines.
  std::size_t line = 0;
  /// Survey row of the crossing: the segment's first row plus the fraction along it.
  double row = 0;
  /// Along-line distance from the line's first position, and the time (dummy without a
  /// time channel or with a dummy at either end of the segment).
  double distance = 0;
  double time = 0;
  /// Direction of travel, degrees clockwise from +y, in [0, 360).
  double heading = 0;
  /// The channel's interpolated value; the double dummy when the crossing is unusable.
  double value = 0;
};

/// Why a crossing cannot be compared: a dummy value at either end of a crossing
/// segment, or, with Akima, anywhere among the samples the spline reads.
enum class Crossing_status { usable, dummy_value };

/// A traverse line crossing a tie line, or two tie lines crossing (then `traverse` is the
/// tie that comes first in Survey::lines).
struct Crossover {
  double x = 0;
  double y = 0;
  Crossing_side traverse;
  Crossing_side tie;
  Crossing_status status = Crossing_status::usable;
};

/// Every crossing of a traverse line with a tie line and of two tie lines, ordered by
/// the first side's line and row. A segment joins consecutive rows of a line that both
/// have a position. Lines are never compared with themselves. A vertex lying exactly on
/// the other line counts on the side of the last vertex before it that does not, so a
/// line passing through a vertex is one crossing, and a line that touches another or
/// runs along it and turns back is none. Throws Survey_error for a missing, text or array
/// channel, no ties, or a tie index outside the lines.
VORLITH_SURVEY_API std::vector<Crossover> find_crossovers(const Survey& survey,
                                                          const Crossover_options& options);

/// The correction model of a traverse line: a constant, or a polynomial of order 1 or 2
/// in distance or time along the line. Ties always take a constant.
enum class Level_model { constant = 0, linear = 1, poly2 = 2 };
enum class Trend_axis { distance, time };

struct Level_options {
  Level_model model = Level_model::constant;
  /// What the trend runs along; time needs Crossover_options::time.
  Trend_axis along = Trend_axis::distance;
  /// Name of the levelled channel; empty: the channel's name followed by "_lev". An
  /// existing double channel of that name is overwritten in place (any other is an error).
  std::string output;
  /// Tukey biweight cut-off in robust standard deviations (1.4826 times the median
  /// absolute deviation of the residuals): crossings beyond it get no weight.
  double rejection = 4.685;
};

/// The correction of one line: correction(s) = sum of coefficients[k] * u^k with
/// u = (s - origin) / scale, s the distance or time along the line.
struct Line_correction {
  std::size_t line = 0;
  bool tie = false;
  /// The model fitted; lower than asked when the line had too few crossings (order k
  /// needs k + 2 usable crossings, a constant one; none leaves a correction of zero).
  Level_model model = Level_model::constant;
  std::vector<double> coefficients;
  double origin = 0;
  double scale = 1;
  /// Usable crossings the fit read, and those the robust weights rejected.
  std::int64_t crossings = 0;
  std::int64_t rejected = 0;
  /// For a tie: the reference tie of its connected network (its correction is zero).
  std::size_t reference = 0;

  /// The correction at s (a dummy s reads as the origin).
  VORLITH_SURVEY_API double at(double s) const;
};

/// Count, mean and root mean square of crossover differences (traverse minus tie);
/// mean and rms are the double dummy when count is 0.
struct Difference_stats {
  std::int64_t count = 0;
  double mean = 0;
  double rms = 0;
};

struct Line_report {
  std::size_t line = 0;
  Difference_stats before;
  Difference_stats after;
};

struct Level_result {
  std::vector<Crossover> crossovers;
  /// Per crossover: the difference after levelling (dummy when unusable) and the final
  /// robust weight of the fit that read it (0: rejected as an outlier).
  std::vector<double> after;
  std::vector<double> weights;
  /// One per line of the survey, in line order.
  std::vector<Line_correction> corrections;
  Difference_stats before_stats;
  Difference_stats after_stats;
  /// Per line, counting each crossing on both its lines.
  std::vector<Line_report> lines;
};

/// Levels `channel`. First the tie network: a constant per tie fitted robustly to every
/// usable crossing, the traverse lines taking part with their own models, each network
/// of lines joined by crossings held by its first tie in line order (a trend shared by
/// all traverse lines cannot be told from the field; the one with the least traverse
/// trends is taken). Then each traverse line's model is fitted to its crossings with the
/// levelled ties. Writes the corrected channel (double; dummies stay dummies) and returns
/// the corrections and the crossover differences before and after. Throws as
/// find_crossovers(), and for a time trend without a time channel.
VORLITH_SURVEY_API Level_result level(Survey& survey, const Crossover_options& crossings,
                                      const Level_options& options);

/// A text report: the survey's crossover statistics before and after, one row per line,
/// and the `worst` usable crossings by their difference after levelling.
VORLITH_SURVEY_API std::string level_report(const Survey& survey, const Level_result& result,
                                            std::size_t worst = 10);

}  // namespace vorlith::survey
