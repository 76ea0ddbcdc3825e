// The line index: found by name or named, a line number that comes back, selection.

#include <gtest/gtest.h>
#include <vorlith/survey/survey.h>

#include <vector>

#include "survey/survey_test_support.h"

namespace {

using namespace vorlith::survey;
namespace vi = vorlith::integration;
using survey_test::read_text;

std::string describe(const Survey& survey) {
  std::string text;
  for (const auto& line : survey.lines) {
    text += line.label + "@" + std::to_string(line.first_row) + "+" +
            std::to_string(line.row_count) + " ";
  }
  return text;
}

TEST(Lines, FoundByNameOrNamed) {
  const std::pair<Survey, const char*> cases[] = {
      {read_text("fid,Line\n1,10\n2,10\n3,20\n4,10\n"), "10@0+2 20@2+1 10@3+1 "},  // 10 comes back
      {read_text("FLTLINE,LINE\n1.5,7\n1.5,8\n"), "7@0+1 8@1+1 "},  // LINE before FLTLINE
      {read_text("fltline,x\n1.5,7\n2.25,8\n"), "1.5@0+1 2.25@1+1 "},
      {read_text("line,x\nL1,1\nL1,2\n,3\n"), "L1@0+2 @2+1 "},
      {read_text("a,b\n1,2\n1,3\n", "b"), "2@0+1 3@1+1 "},
      {read_text("a,b\n1,2\n1,3\n"), "@0+2 "},  // no line field: one line
      {read_text("a,b\n"), ""},
  };
  for (const auto& [survey, expected] : cases) EXPECT_EQ(describe(survey), expected);
  EXPECT_THROW(read_text("a,b\n1,2\n", "c"), Survey_error);
}

TEST(Lines, SelectedByNumbersRangesAndLabels) {
  const Survey numbered = read_text("line\n1010\n1020\n1030\n1050\n1060\n-5\n");
  const std::pair<const char*, std::vector<std::size_t>> cases[] = {
      {"1010", {0}}, {"1020-1050", {1, 2, 3}}, {"1010, 1050 - 1060", {0, 3, 4}}, {"-6--4", {5}},
      {"7", {}},
  };
  for (const auto& [ranges, expected] : cases)
    EXPECT_EQ(numbered.select_lines(ranges), expected) << ranges;
  EXPECT_EQ(read_text("line\nA1\nB2\n").select_lines("B2"), std::vector<std::size_t>{1});
  for (const char* bad : {"", "1,,2", "9-3"})
    EXPECT_THROW(numbered.select_lines(bad), Survey_error) << bad;
}

TEST(Survey, ChannelsMakeWholeRowsOfOneCountAndFormatsFollowTheExtension) {
  const auto doubles = [](std::int64_t n) {
    return Multi_vector(vi::Legacy_type(vi::type_double), false, n);
  };
  EXPECT_THROW(Channel("a", doubles(3), 2), Survey_error);
  EXPECT_THROW(Channel("a", doubles(3), 0), Survey_error);
  Survey survey;
  survey.add(Channel("line", doubles(4), 2));
  EXPECT_THROW(survey.add(Channel("b", doubles(3))), Survey_error);
  EXPECT_THROW(survey.add(Channel("line", doubles(2))), Survey_error);
  EXPECT_THROW(survey.index_lines(), Survey_error);  // an array field
  EXPECT_EQ(survey.line_channel, -1);
  EXPECT_EQ(format_from_path("a/b.DFN"), File_format::aseg_gdf2);
  EXPECT_EQ(format_from_path("b.dat"), File_format::aseg_gdf2);
  EXPECT_EQ(format_from_path("b.csv"), File_format::delimited);
}

}  // namespace
