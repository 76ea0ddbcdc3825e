// Delimited text: delimiters, comments, byte-order mark, dummies, column kinds, arrays,
// bad input and the write-read round trip.

#include <gtest/gtest.h>
#include <vorlith/survey/delimited.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <tuple>
#include <vector>

#include "survey/survey_test_support.h"

namespace {

using namespace vorlith::survey;
namespace vi = vorlith::integration;
using survey_test::Scratch;

struct Case {
  const char* what;
  const char* text;
  const char* channels;        // as survey_test::channels_of gives them
  const char* second_channel;  // its values, '*' for the dummy
};

const Case cases[] = {
    {"comma, CRLF, a zero keeps its sign", "x,y\r\n1,2.5\r\n2,-3\r\n3,-0.0\r\n",
     "x:i32::;y:real::", "2.5 -3 -0.0"},
    {"tab, empty field", "x\ty\n1\t\n2\t4\n", "x:i32::;y:i32::", "* 4"},
    {"semicolon, blanks around fields", "x ; y\n 1 ; 7 \n2;8\n", "x:i32::;y:i32::", "7 8"},
    {"blanks, leading comments and a byte-order mark",
     "\xEF\xBB\xBF# survey\n# more\n  x   y\n1 5\n# mid\n2 6\n", "x:i32::;y:i32::", "5 6"},
    {"nan, inf and * read as dummies", "x,y\n1,nan\n2,-Inf\n3,*\n4,+infinity\n",
     "x:i32::;y:real::", "* * * *"},
    {"text column keeps its bytes; long integers", "id,n\nL-1,12345678901\n,2\nM,\n",
     "id:text::;n:i64::", "12345678901 2 *"},
    {"leading zeros do not widen an integer column",
     "a,b\n0905998165,-0000000000000000000001\n3,007\n", "a:i32::;b:i32::", "-1 7"},
    {"array channel from x[0] x[1]", "t,s[0],s[1]\n1,1,2\n2,3,4.5\n",
     "t:i32::;s:real::", "1 2 3 4.5"},
    {"a quoted blank is an empty field", "x,y\n1,\" \"\n2,\"\"\n", "x:i32::;y:real::", "* *"},
    {"quotes: one pair is dropped, and written again where the text needs it",
     "\"\"\"n\"\"\",v,t\n1,2,\"\"x\"\"\n2,3,\"\"\"w\"\n",
     "\"\"n\"\":i32::;v:i32::;t:text::", "2 3"},
    {"a lone x[0] is no array", "t,n[0][0]\n1,2\n", "t:i32::;n[0][0]:i32::", "2"},
    {"exponents, whole values, magnitudes that keep an exponent",
     "x,y\n1,1e3\n2,2E1\n3,1e20\n4,-1e-7\n5,1e-400\n", "x:i32::;y:real::", "1000 20 1e20 -1e-7 0"},
};

TEST(Delimited, ReadsAndRoundTrips) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scratch scratch;
    const Survey survey = read_delimited(scratch.file("in.csv", c.text));
    EXPECT_EQ(survey_test::channels_of(survey), c.channels);
    EXPECT_EQ(survey_test::doubles(survey.channels.at(1).values),
              survey_test::numbers(c.second_channel));
    for (const char delimiter : {',', '\t', ';', ' '}) {
      write_delimited(survey, scratch / "out.txt", {delimiter});
      survey_test::expect_same_survey(survey, read_delimited(scratch / "out.txt"));
    }
  }
}

// Plain decimals are read without the general parser; at and past the limits of that path
// (2^53, 19 digits, 22 decimals) the values must still be the correctly rounded ones.
TEST(Delimited, PlainDecimalsReadCorrectlyRounded) {
  std::istringstream list(
      "9007199254740992 9007199254740993 -900719925474099.3 1234567890123456789 "
      "12345678901234567890 0.1234567890123456789 5. .5 +2.5 -0.0 1e5 "
      "0.0000000000000000000001 0.00000000000000000000001");
  std::vector<std::string> texts;
  for (std::string value; list >> value;) texts.push_back(value);
  for (const char* delimiter : {",", " ", "  "}) {
    std::string text = std::string("i") + delimiter + "v\n";
    for (std::size_t i = 0; i < texts.size(); ++i)
      text += std::to_string(i) + delimiter + texts[i] + "\n";
    Scratch scratch;
    const Survey survey = read_delimited(scratch.file("in.txt", text));
    const auto& v = survey.channels.at(1).values;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const double expected = std::strtod(texts[i].c_str(), nullptr);
      const double got = v.get_double(static_cast<std::int64_t>(i));
      EXPECT_EQ(std::memcmp(&expected, &got, 8), 0) << texts[i] << " read as " << got;
    }
  }
}

TEST(Delimited, WritesTextBytesAndKnownDecimals) {
  Scratch scratch;
  // A row of one dummy is not written blank (a blank line is skipped on reading); quoted
  // blanks at the end of a text are kept.
  for (const char* text : {"v\n1\n*\n", "t,v\n\"a \",1\n", "id,v,w\nA 1,1.50,7\n,2.25,\n"}) {
    write_delimited(read_delimited(scratch.file("in.csv", text)), scratch / "out.csv");
    EXPECT_EQ(survey_test::read_file(scratch / "out.csv"), text);
  }
  // Blanks cannot delimit a text that holds one ("A 1"), and the failed write leaves no file.
  const Survey survey = read_delimited(scratch / "in.csv");
  EXPECT_THROW(write_delimited(survey, scratch / "out.txt", {' '}), Survey_error);
  EXPECT_EQ(scratch.entries(), 2u);
  // Text that would start a comment line is refused.
  const Survey hash = survey_test::read_text("t,v\nx,1\n\"#y\",2\n");
  EXPECT_THROW(write_delimited(hash, scratch / "h.out"), Survey_error);
}

TEST(Delimited, RecordsLongerThanTheWriteBuffer) {
  Scratch scratch;
  const std::string text(4000, 'a');
  std::string header = "t[0]", row = text;
  for (int c = 1; c < 1100; ++c) {  // one row of more than 4 MiB
    header.append(",t[").append(std::to_string(c)).append("]");
    row.append(",").append(text);
  }
  const Survey wide = read_delimited(scratch.file("in.csv", header + "\n" + row + "\n"));
  write_delimited(wide, scratch / "out.csv");
  survey_test::expect_same_survey(wide, read_delimited(scratch / "out.csv"));
}

TEST(Delimited, ALateFieldReadsAsItWouldAtTheTop) {
  // Kinds are taken from the first thousand rows when those hold numbers only: a later
  // field of another shape must give the survey, or the error, it gives in the second row.
  const char* lates[] = {"7,2.25", "7,12345678901", "7,-1e32", "7,1.5e3",
                         "7,abc",  "7,nan(1)",      "7,1.5d3", "7",
                         "7,+5",   "7,0000000001",  "7,-",     "7,*"};
  Scratch scratch;
  // The survey read, or the error's reason (what follows its record number).
  const auto read = [&](const std::string& text) -> std::pair<Survey, std::string> {
    try {
      return {read_delimited(scratch.file("in.csv", text)), ""};
    } catch (const Survey_error& error) {
      const std::string what = error.what();
      return {Survey{}, what.substr(what.find(": ", what.find("record ")))};
    }
  };
  for (const char* filler : {"1,5\n", "1,0.5\n"}) {
    for (const char* late : lates) {
      SCOPED_TRACE(std::string(filler) + "then " + late);
      std::string fillers;
      for (int row = 0; row < 1100; ++row) fillers += filler;
      const std::string early = std::string("n,v\n") + filler + late + "\n" + fillers;
      const std::string below = std::string("n,v\n") + filler + fillers + late + "\n";
      const auto [a, a_error] = read(early);
      const auto [b, b_error] = read(below);
      EXPECT_EQ(a_error, b_error);
      if (!a_error.empty()) continue;
      EXPECT_EQ(survey_test::channels_of(a), survey_test::channels_of(b));
      const Channel& v = b.channels.at(1);
      EXPECT_EQ(a.channels.at(1).format.kind, v.format.kind);
      EXPECT_EQ(a.channels.at(1).format.decimals, v.format.decimals);
      EXPECT_EQ(a.channels.at(1).values.get_double(1), v.values.get_double(1101));
    }
  }
}

TEST(Delimited, BadInputNamesLineAndColumn) {
  const std::tuple<std::string, char, const char*> bad[] = {
      {"x,y\n1,2\n3\n", 0, "bad.csv: record 3: 1 fields where the header has 2"},
      {"x,y\n1,2\n3,oops\n", 0, "bad.csv: record 3: field y: 'oops' in a numeric column"},
      {"x;y;z\n1;2;3\n", ',', "one column when split on comma but 3 columns on semicolon"},
      {"x y\n1 2\n", '\t', "one column when split on tab but 2 columns on blanks"},
      {"t,y\na,1.5\nb,1e400\n", 0, "record 3: field y: '1e400' is not a number"},
      {"# only comments\n", 0, "holds no header row"},
      {"x,,z\n1,2,3\n", 0, "column 2 has no name"},
      {"x,x\n1,2\n", 0, "field x: appears twice"},
      {std::string("x,y\n1,2\0\n", 9), 0, "record 2: holds a zero byte"},
      {"x\n" + std::string(4097, 'a') + "\n", 0,
       "record 2: field x: a field of 4097 characters (at most 4096)"},
  };
  for (const auto& [text, delimiter, message] : bad) {
    Scratch scratch;
    const auto path = scratch.file("bad.csv", text);
    const Delimited_read_options options{delimiter, {}, true};  // not a structured binding
    const std::string error = survey_test::error_of([&] { read_delimited(path, options); });
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
  EXPECT_THROW(read_delimited("/nonexistent/survey.csv"), Survey_error);
  Scratch scratch;
  EXPECT_EQ(find_delimiter(scratch.file("semi.txt", "# x\na;b\n")), ';');
  EXPECT_THROW(find_delimiter(scratch.file("empty.txt", "")), Survey_error);
  // Writing: the delimiter and the names must leave the file readable.
  const Survey survey = read_delimited(scratch.file("in.csv", "a\n1\n"));
  EXPECT_THROW(write_delimited(survey, scratch / "out.txt", {'|'}), Survey_error);
  Survey named;
  named.add(Channel("a,b", Multi_vector(vi::Legacy_type(vi::type_double), false, 1)));
  EXPECT_THROW(write_delimited(named, scratch / "out.txt"), Survey_error);
  EXPECT_THROW(write_delimited(Survey{}, scratch / "out.txt"), Survey_error);
}

}  // namespace
