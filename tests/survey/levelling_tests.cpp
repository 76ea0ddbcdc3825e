// Crossovers of hand-drawn lines (vertices on lines, overlaps, loops, gaps, dummies) and
// levelling of a small grid with known level errors. Whole generated surveys, counted
// against a brute-force search, are in tests/python/test_levelling.py.

#include <gtest/gtest.h>
#include <vorlith/dummy.h>
#include <vorlith/survey/levelling.h>

#include <cmath>
#include <map>
#include <sstream>

#include "survey/survey_test_support.h"

namespace {

using namespace vorlith::survey;
constexpr double D = vorlith::common::dummy_value<double>;
using survey_test::read_text;

Crossover_options options_for(
    const Survey& survey, const char* ties,
    Crossing_interpolation interpolation = Crossing_interpolation::linear) {
  Crossover_options options;
  options.channel = "mag";
  options.time = "t";
  options.ties = survey.select_lines(ties);
  options.interpolation = interpolation;
  return options;
}

// Tie 9000 runs along y = 0 with vertices at x = 0, 5, 10 (mag = 100 + x); tie 9001 along
// x = 9.5. Each traverse line draws one case.
constexpr const char* shapes =
    "line,x,y,mag,t\n"
    "9000,0,0,100,0\n9000,5,0,105,1\n9000,10,0,110,2\n"
    "9001,9.5,-2,0,0\n9001,9.5,2,4,1\n"
    "1,5,-1,0,0\n1,5,1,2,1\n"                         // through a tie vertex
    "2,2,-1,0,0\n2,2,0,1,1\n2,2,1,2,2\n"              // a vertex of its own on the tie
    "3,2,-1,0,0\n3,2,0,1,1\n3,3,-1,2,2\n"             // touches from below
    "4,2,1,0,0\n4,2,0,1,1\n4,3,1,2,2\n"               // touches from above
    "5,2,-1,0,0\n5,2,0,1,1\n5,4,0,2,2\n5,4,1,3,3\n"   // runs along, then crosses
    "6,2,-1,0,0\n6,2,0,1,1\n6,4,0,2,2\n6,4,-1,3,3\n"  // runs along, turns back
    "7,1,-1,0,0\n7,3,1,1,1\n7,3,-1,2,2\n7,1,1,3,3\n"  // a loop over itself: three passes
    "8,6,-1,0,0\n8,*,*,1,1\n8,6,1,2,2\n";             // no position across the tie

TEST(Crossovers, CountedOnceWhereLinesTouchOverlapAndLoopWithSidesAlongBothLines) {
  const Survey survey = read_text(shapes);
  const auto found = find_crossovers(survey, options_for(survey, "9000-9001"));
  std::map<std::string, std::string> where;
  for (const auto& c : found) {
    std::ostringstream text;
    text << c.x << "," << c.y << " ";
    where[survey.lines[c.traverse.line].label + "x" + survey.lines[c.tie.line].label] += text.str();
  }
  const std::map<std::string, std::string> expected{
      {"1x9000", "5,0 "},         {"2x9000", "2,0 "},      {"5x9000", "4,0 "},
      {"7x9000", "2,0 3,0 2,0 "}, {"9000x9001", "9.5,0 "},
  };
  ASSERT_EQ(where, expected);     // seven crossings
  const Crossover& c = found[1];  // line 1 through the vertex (5, 0) of 9000
  EXPECT_EQ(c.status, Crossing_status::usable);
  for (const auto& [side, expected] :
       {std::pair{c.traverse, Crossing_side{survey.select_lines("1")[0], 5.5, 1.0, 0.5, 0.0, 1.0}},
        std::pair{c.tie, Crossing_side{0, 1.0, 5.0, 1.0, 90.0, 105.0}}}) {
    EXPECT_EQ(side.line, expected.line);
    EXPECT_DOUBLE_EQ(side.row, expected.row);
    EXPECT_DOUBLE_EQ(side.distance, expected.distance);
    EXPECT_DOUBLE_EQ(side.time, expected.time);
    EXPECT_DOUBLE_EQ(side.heading, expected.heading);
    EXPECT_DOUBLE_EQ(side.value, expected.value);
  }
  const Crossover& tie_tie = found.front();  // ties come first in line order
  EXPECT_EQ(tie_tie.traverse.line, 0u);
  EXPECT_DOUBLE_EQ(tie_tie.tie.value, 2.0);
  EXPECT_DOUBLE_EQ(tie_tie.tie.heading, 0.0);
}

TEST(Crossovers, DummiesMakeCrossingsUnusable) {
  // Tie samples every 1 along y = 0, mag = 100 + x, a dummy at x = 4; traverse lines
  // cross at x = 3.5 (a dummy end), 2.5 (a dummy among the Akima samples) and 7.5.
  std::string text = "line,x,y,mag,t\n";
  for (int i = 0; i <= 10; ++i)
    text += "9000," + std::to_string(i) + ",0," + (i == 4 ? "*" : std::to_string(100 + i)) + ",0\n";
  for (const char* x : {"3.5", "2.5", "7.5"})
    text += std::string("1,") + x + ",-1,1,0\n1," + x + ",1,1,1\n2,20,20,1,0\n";
  const Survey survey = read_text(text);
  // The tie's value at each crossing, the dummy where it is unusable.
  const std::pair<Crossing_interpolation, std::vector<double>> cases[] = {
      {Crossing_interpolation::linear, {D, 102.5, 107.5}},
      {Crossing_interpolation::akima, {D, D, 107.5}}};
  for (const auto& [interpolation, values] : cases) {
    const auto found = find_crossovers(survey, options_for(survey, "9000", interpolation));
    ASSERT_EQ(found.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_NEAR(found[i].tie.value, values[i], 1e-9) << i;
      EXPECT_EQ(found[i].status == Crossing_status::usable, values[i] != D);
    }
  }
}

TEST(Crossovers, BadInputIsAnError) {
  const Survey survey = read_text(shapes);
  std::vector<Crossover_options> bad(4, options_for(survey, "9000"));
  bad[0].ties.clear();
  bad[1].ties = {99};
  bad[2].x = "east";
  bad[3].channel = "grav";
  for (const auto& options : bad) EXPECT_THROW(find_crossovers(survey, options), Survey_error);
}

// The level errors of the ties 9000 .. 9003, relative to the first.
constexpr double tie_error[] = {0.0, 3.0, -2.0, 1.5};

// Traverse lines along x = 1 .. 9 and ties along y = 2, 5, 8, 9.5, sampled every 0.5, on
// the field 0.3 x y + 2 x, with level errors per line, a small fixed noise and one spike.
Survey grid_survey(double& noise_rms) {
  const double tie_y[] = {2.0, 5.0, 8.0, 9.5};
  std::string text = "line,x,y,mag,t\n";
  const auto field = [](double x, double y) { return 0.3 * x * y + 2.0 * x; };
  double sum = 0;
  int k = 0;  // samples so far
  const auto add = [&](int line, double x, double y, double error, double t) {
    const double noise = 0.01 * ((k++ * 7) % 5 - 2);
    sum += noise * noise;
    text += std::to_string(line) + "," + std::to_string(x) + "," + std::to_string(y) + "," +
            std::to_string(field(x, y) + error + noise) + "," + std::to_string(t) + "\n";
  };
  for (int i = 0; i < 4; ++i)
    for (int s = 0; s <= 20; ++s) add(9000 + i, 0.5 * s, tie_y[i], tie_error[i], s);
  for (int l = 1; l <= 9; ++l) {
    // Constants, drifts of 0.2 and -0.2 per unit along lines 5 and 6 (a drift shared by
    // all lines would be a plane in the field), and a spike near (3, 5) on line 3.
    const double error = (l % 2 == 0 ? 4.0 : -4.0) + 0.5 * l;
    for (int s = 0; s <= 20; ++s) {
      const double y = 0.5 * s;
      const double spike = (l == 3 && s == 10) ? 50.0 : 0.0;
      add(l, l, y, error + spike + (l == 5 ? 0.2 * y : l == 6 ? -0.2 * y : 0.0), s);
    }
  }
  noise_rms = std::sqrt(sum / k);
  return read_text(text);
}

TEST(Levelling, RecoversLevelErrorsAndRejectsASpike) {
  double noise = 0;
  Survey survey = grid_survey(noise);
  Level_options options;
  options.model = Level_model::linear;
  const Level_result result = level(survey, options_for(survey, "9000-9003"), options);
  // The ties come out relative to the reference 9000 (error 0).
  for (std::size_t t = 0; t < 4; ++t) {
    EXPECT_EQ(result.corrections[t].reference, 0u);
    EXPECT_NEAR(result.corrections[t].at(0), tie_error[t], 3 * noise);
  }
  const auto& line3 = result.corrections[survey.select_lines("3")[0]];
  EXPECT_EQ(line3.rejected, 1);
  EXPECT_NEAR(line3.at(5.0), -4.0 + 1.5, 3 * noise);
  const auto& line5 = result.corrections[survey.select_lines("5")[0]];
  EXPECT_NEAR(line5.at(8.0) - line5.at(2.0), 0.2 * 6.0, 3 * noise);
  EXPECT_EQ(result.before_stats.count, 9 * 4);
  EXPECT_GT(result.before_stats.rms, 4.0);
  // Levelled: the survey's differences at the noise, the spike excepted.
  double sum = 0;
  int kept = 0;
  for (std::size_t i = 0; i < result.after.size(); ++i) {
    if (result.weights[i] > 0) sum += result.after[i] * result.after[i], ++kept;
  }
  EXPECT_EQ(kept, 35);
  EXPECT_LT(std::sqrt(sum / kept), 3 * noise);
  // The corrected channel is the input minus each line's correction.
  const Channel* levelled = survey.find("mag_lev");
  ASSERT_NE(levelled, nullptr);
  const Line& line = survey.lines[survey.select_lines("5")[0]];
  const double row_value = survey.find("mag")->values.get_double(line.first_row + 4);
  EXPECT_DOUBLE_EQ(levelled->values.get_double(line.first_row + 4), row_value - line5.at(2.0));
  EXPECT_NE(level_report(survey, result).find("worst crossings"), std::string::npos);
}

TEST(Levelling, TooFewCrossingsLowerTheOrder) {
  double noise = 0;
  Survey survey = grid_survey(noise);
  Level_options options;
  options.model = Level_model::poly2;
  // The ties, and the model of a traverse line crossing that many of them.
  const std::pair<const char*, Level_model> cases[] = {{"9000-9003", Level_model::poly2},
                                                       {"9000-9002", Level_model::linear},
                                                       {"9000-9001", Level_model::constant}};
  for (const auto& [ties, model] : cases) {
    Survey copy = grid_survey(noise);
    const Level_result result = level(copy, options_for(copy, ties), options);
    EXPECT_EQ(result.corrections[copy.select_lines("1")[0]].model, model) << ties;
  }
  // Ties that cross nothing leave the lines uncorrected; a time trend needs time.
  Crossover_options far = options_for(survey, "9000");
  far.x = far.y = "t";
  const Level_result none = level(survey, far, Level_options{});
  EXPECT_EQ(none.before_stats.count, 0);
  EXPECT_EQ(none.corrections[5].crossings, 0);
  EXPECT_EQ(none.corrections[5].at(1.0), 0.0);
  Crossover_options no_time = options_for(survey, "9000");
  no_time.time.clear();
  options.along = Trend_axis::time;
  EXPECT_THROW(level(survey, no_time, options), Survey_error);
}

}  // namespace
