// ASEG-GDF2: the example surveys, the definition variants of real files, bad input, and
// the writer's output checked by a fixed-width parser written here.

#include <gtest/gtest.h>
#include <vorlith/dummy.h>
#include <vorlith/survey/aseg_gdf2.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <vector>

#include "survey/survey_test_support.h"

namespace {

using namespace vorlith::survey;
namespace vi = vorlith::integration;
using survey_test::Scratch;

const std::filesystem::path examples = VORLITH_SURVEY_TEST_DATA;
constexpr double dummy = vorlith::common::dummy_value<double>;

// Counted from the files with a separate script: fields as the .dfn declares (the
// record-type field left out), data records, lines of the line field, and the dummies
// of one channel. MuppetTown's last record is cut short, SeasameSt's last value is cut
// off, and Gondwana has a '*' past every record.
struct Example {
  const char* stem;
  std::size_t channels;
  const char* first_channel;
  const char* last_channel;
  std::int64_t rows;
  std::size_t lines;
  const char* counted_channel;
  std::int64_t dummies;
};

const Example examples_table[] = {
    {"Example_AeroMag_MuppetTown_2009", 17, "BGS_JOB", "DEM", 61, 2, "DEM", 1},
    {"Example_Gravity_LooneyTunesValley_1930", 80, "FLTLINE", "GPSBASE", 50, 7, "TYPE", 0},
    {"Example_Gravity_NeverNeverLand_1904", 26, "FLTLINE", "METER_SERIAL", 80, 3, "GRAV_REF", 0},
    {"Example_Gravity_Springfield_1989", 13, "STATION", "Den", 56, 1, "Den", 0},
    {"Example_GroundMag_Bedrock_6000BC", 10, "FLTLINE", "num_sats", 304, 3, "num_sats", 0},
    {"Example_GroundMag_HillValley_1985", 13, "FLTLINE", "num_sats", 160, 4, "Mag_raw", 0},
    {"Example_Mag_Gondwana_200Ma", 17, "Line", "Fluxz", 60, 2, "Fluxz", 0},
    {"Example_Mag_HillValley_1985", 18, "LINE", "FINALDEM", 61, 1, "DATE", 0},
    {"Example_Rad256_SeasameSt_2008", 15, "FLTLINE", "RAW_SPEC", 13, 1, "RAW_SPEC", 1},
    {"Example_Rad_BowsersCastle_2012", 29, "PROJECT", "THOUSF", 94, 1, "TEMP", 0},
};

class Examples : public testing::TestWithParam<Example> {};

TEST_P(Examples, ReadAsDeclaredAndRoundTrip) {
  const Example& example = GetParam();
  const Survey survey = read_aseg_gdf2(examples / (std::string(example.stem) + ".dfn"));
  ASSERT_EQ(survey.channels.size(), example.channels);
  EXPECT_EQ(survey.channels.front().name, example.first_channel);
  EXPECT_EQ(survey.channels.back().name, example.last_channel);
  EXPECT_EQ(survey.rows(), example.rows);
  EXPECT_EQ(survey.lines.size(), example.lines);
  const Channel* counted = survey.find(example.counted_channel);
  ASSERT_NE(counted, nullptr);
  EXPECT_EQ(counted->values.count_dummy(0, -1), example.dummies);

  Scratch scratch;
  write_aseg_gdf2(survey, scratch / "copy.dat");
  survey_test::expect_same_survey(survey, read_aseg_gdf2(scratch / "copy.dfn"));
}

INSTANTIATE_TEST_SUITE_P(Survey, Examples, testing::ValuesIn(examples_table),
                         [](const auto& info) { return std::string(info.param.stem).substr(8); });

TEST(AsegGdf2, ExampleChannelsCarryTheirDefinitions) {
  const Survey rad = read_aseg_gdf2(examples / "Example_Rad256_SeasameSt_2008.dat");
  const Channel& spectrum = *rad.find("RAW_SPEC");
  EXPECT_EQ(spectrum.columns, 256);
  EXPECT_EQ(spectrum.unit + " " + spectrum.long_name + " " + spectrum.description,
            "CPS raw_spec RAWSPEC");
  EXPECT_EQ(spectrum.values.get_double(1), 0.0);  // first record: 92 0 0 116
  EXPECT_EQ(spectrum.values.get_double(3), 116.0);
  EXPECT_EQ(rad.find("FLTLINE")->values.get_element_size(), 8);
  EXPECT_EQ(rad.lines.front().label, "10020");
  EXPECT_EQ(rad.lines.front().number, 10020.0);

  const Survey bowsers = read_aseg_gdf2(examples / "Example_Rad_BowsersCastle_2012.dfn");
  EXPECT_EQ(bowsers.find("EASTMGA56")->unit, "metres");  // UNIT:metres
  EXPECT_EQ(bowsers.find("FID")->unit, "");              // UNIT::NAME=
  EXPECT_EQ(bowsers.find("FID")->long_name, "Fiducial");
  EXPECT_EQ(bowsers.find("LINE")->null_text, "9999999");

  const Survey gravity = read_aseg_gdf2(examples / "Example_Gravity_NeverNeverLand_1904.dfn");
  EXPECT_EQ(gravity.find("SERIAL")->values.get_type().get_data_type(), vi::type_int32);
  EXPECT_EQ(gravity.lines[1].label, "97");
  EXPECT_EQ(gravity.lines[1].first_row, 14);
}

// Definition spellings of real files, each with a two-record .dat; the expected
// channels as "name:kind:unit:null" and the values of the last channel.
struct Variant {
  const char* what;
  const char* dfn;
  const char* dat;
  const char* channels;
  const char* last_values;  // blank-separated, '*' for the dummy; none for a text channel
};

const Variant variants[] = {
    {"numbers run into DEFN, ST=RECORD, END DEFN on its own record",
     "DEFN   ST=RECORD,RT=COMM;RT:A4;COMMENTS:A80\nDEFN001ST=RECORD,RT=DATA;LINE:I10\n"
     "DEFN002ST=RECORD,RT=DATA;MAG:f10.3:UNIT=nT,NULL=-9999.000,NAME=mag,KIND=x\n"
     "DEFN003ST=RECD,RT=;END DEFN\n",
     "COMM a comment record\n 10 1.5\n 10 -9999.0\n", "LINE:i32::;MAG:real:nT:-9999.000", "1.5 *"},
    {"END DEFN after the last field (records after it ignored), UNITS=, several fields per "
     "record, D format, lower case",
     "DEFN 1 ST=RECD,RT=;x:d12.4:UNITS=m;y:e12.3:NULL=-99;END DEFN\nDEFN 2 ST=RECD,RT=;z:F5.1\n",
     "1.0D+01 2.5E-1\n-3 -99\n", "x:real:m:;y:real::-99", "0.25 *"},
    {"record-type field, carried or not; `:` between attributes; free text",
     "DEFN 1 ST=RECD,RT=DATA;RT:A4;FLTLINE:F10.1:NAME=Line number\n"
     "DEFN 2 ST=RECD,RT=;tag:A6:free text:NULL=none\nDEFN 3 ST=RECD,RT=;END DEFN\n",
     "DATA 5.0 ab\n6.0 none\n", "FLTLINE:real::;tag:text::none", ""},
    {"`*` fields, nan and a 20-digit integer width",
     "DEFN 1 ST=RECD,RT=;n:I20;v:F8.2\nDEFN 2 ST=RECD,RT=;END DEFN\n", "123456789012 *\n** nan\n",
     "n:i64::;v:real::", "* *"},
    {"integer NULL, values at the int32 dummy and below widen; carriage returns read as blanks",
     "DEFN 1 ST=RECD,RT=;n:I12:NULL=-99;m\rx:I12:UNIT=m\rs\r\r\nDEFN 2 ST=RECD,RT=;END DEFN\n",
     "-99 -2147483648\n5 3\n", "n:i32::-99;m x:i64:m s:", "-2147483648.0 3"},
    {"an integer NULL past 64 bits reads as the dummy and is replaced on writing",
     "DEFN 1 ST=RECD,RT=;n:I10:NULL=-99999999999999999999\nDEFN 2 ST=RECD,RT=;END DEFN\n",
     "5\n-99999999999999999999\n", "n:i32::-99999999999999999999", "5 *"},
    {"a NULL that would round onto a value on writing is replaced",
     "DEFN 1 ST=RECD,RT=;x:F10.2:NULL=-99.994\nDEFN 2 ST=RECD,RT=;END DEFN\n", "-99.99\n1.5\n",
     "x:real::-99.994", "-99.99 1.5"},
    {"a text channel RT first is written after a record-type field",
     "DEFN 1 ST=RECD,RT=;RT:A4\nDEFN 2 ST=RECD,RT=;RT:A3;n:I4\nDEFN 3 ST=RECD,RT=;END DEFN\n",
     "DATA ab 5\nDATA cd 6\n", "RT:text::;n:i32::", "5 6"},
    {"text ending in a carriage return at the end of a record",
     "DEFN 1 ST=RECD,RT=;n:I4;t:A6\nDEFN 2 ST=RECD,RT=;END DEFN\n", "5 a\r\r\n6 b\n",
     "n:i32::;t:text::", ""},
    {"exponents in an F field are kept on writing",
     "DEFN 1 ST=RECD,RT=;x:F10.2\nDEFN 2 ST=RECD,RT=;END DEFN\n", "1.5\n1e-300\n",
     "x:real::", "1.5 1e-300"},
    {"an int32 field keeps its type though its NULL does not fit 12 characters",
     "DEFN 1 ST=RECD,RT=;n:I10:NULL=-99999999999\nDEFN 2 ST=RECD,RT=;END DEFN\n",
     "5\n-99999999999\n", "n:i32::-99999999999", "5 *"},
    {"decimals read past a D field's width; a record the blanks cannot split is cut by widths",
     "DEFN 1 ST=RECD,RT=;x:D6.1;y:F4.1\n", "0.000000000000001 2\n1.234567\n",
     "x:real::;y:real::", "2 67"},
    {"free text that reads like an attribute once its pieces are joined",
     "DEFN 1 ST=RECD,RT=;x:F6.1:NULL,=-99 free:NAME:=y\n", "1.5\n2\n", "x:real::", "1.5 2"},
    {"fields run together: split by the declared widths, short last record",
     "DEFN 1 ST=RECD,RT=;a:I3;b:F6.2;c:3F4.0\nDEFN 2 ST=RECD,RT=;END DEFN\n",
     "12399.25   1   2   3\n  7  1.00   4\n", "a:i32::;b:real::;c:real::", "1 2 3 4 * *"},
    {"an integer too large for 32 bits widens the channel", "DEFN 1 ST=RECD,RT=;a:I6\n",
     "1\n3000000000\n", "a:i64::", "1 3e9"},
    {"no RT= in a header; whole reals in an integer field", "DEFN 1 ST=RECD;a:I6\n", "1.0E3\n*\n",
     "a:i32::", "1000 *"},
    {"text with blanks inside by widths; PROJ records ignored",
     "DEFN   ST=RECD,RT=PROJ; RT: A4\nDEFN 1 ST=RECD,RT=DATA;name:A12;v:I4\n"
     "DEFN 2 ST=RECD,RT=;END DEFN\n",
     "SCINTREX CG3   7\n       short  -2\n", "name:text::;v:i32::", "7 -2"},
};

TEST(AsegGdf2, ReadsTheVariantsOfRealFilesAndWritesThemBack) {
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.what);
    Scratch scratch;
    scratch.file("s.dfn", variant.dfn);
    scratch.file("s.dat", variant.dat);
    const Survey survey = read_aseg_gdf2(scratch / "s.dat");
    EXPECT_EQ(survey_test::channels_of(survey), variant.channels);
    EXPECT_EQ(survey.rows(), 2);
    if (*variant.last_values) {
      EXPECT_EQ(survey_test::doubles(survey.channels.back().values),
                survey_test::numbers(variant.last_values));
    }
    if (survey.channels[0].name == "name") {  // text keeps its bytes, blanks inside included
      EXPECT_EQ(std::string(static_cast<const char*>(survey.channels[0].values.get_data(0)), 12),
                "SCINTREX CG3");
    }
    write_aseg_gdf2(survey, scratch / "t.dfn");
    survey_test::expect_same_survey(survey, read_aseg_gdf2(scratch / "t.dfn"));
  }
  // The decimals of a record cut by the widths are those of its pieces.
  Scratch scratch;
  scratch.file("s.dfn", "DEFN 1 ST=RECD,RT=;x:F4.1;y:F4.1\n");
  EXPECT_EQ(read_aseg_gdf2(scratch.file("s.dat", "1.234567\n")).channels[0].format.decimals, 2);
}

// Bad input: a Survey_error naming the file, record and field.
struct Bad {
  const char* dfn;  // nullptr: no .dfn file
  const char* dat;
  const char* message;
};

const Bad bad_inputs[] = {
    {nullptr, "1\n", "s.dfn: definition file not found"},
    {"DEFN 1 ST=RECD,RT=;a:G12.4\n", "1\n",
     "s.dfn: record 1: field a: format 'G12.4' is not known"},
    {"DEFN 1 ST=RECD,RT=;a:F5.1:NULL=abc\n", "1\n",
     "record 1: field a: NULL value 'abc' is not a number"},
    {"DEFN 1 ST=RECD,RT=;a:I4\nDEFN 2 ST=RECD,RT=;a:I4\n", "1 2\n",
     "record 2: field a: is defined twice"},
    {"hello\n", "1\n", "s.dfn: record 1: does not start with DEFN"},
    {"DEFN 1 ST=RECD,RT=;a,b:I4\n", "1\n", "record 1: field a,b: a field name holds a ','"},
    {"DEFN 1 ST=RECD,RT=;a:I4;b:I4\n", "1 2\n1 2 3 4 5 6 7 8 9\n",
     "s.dat: record 2: 9 values where the definitions give 2, and its 17 characters do not fit"},
    {"DEFN 1 ST=RECD,RT=;a:I4;b:F6.1\n", "1 2\n1 x\n",
     "s.dat: record 2: field b: 'x' is not a number"},
    {"DEFN 1 ST=RECD,RT=;a:I12\n", "99999999999999999999\n",
     "field a: '99999999999999999999' is not an integer"},
    {"DEFN 1 ST=RECD,RT=;t:A3\n", "abcd\n", "field t: 'abcd' is wider than its format A3"},
    {"DEFN 1 ST=RECD,RT=;abc\n", "1\n", "record 1: field abc: no NAME:FORMAT definition in 'abc'"},
    {"DEFN 1 ST=RECD,RT=;a:0F4.1\n", "1\n", "field a: format '0F4.1' is not known"},
    {"DEFN 1 ST=RECD,RT=;a:I20\n", "-9223372036854775808\n", "is too large for its channel"},
    {"DEFN 1 ST=RECD,RT=;a:I8\n", "2.5\n", "field a: '2.5' is not an integer"},
    {"DEFN 1 ST=RECD,RT=;a:F8.1\n", "1e400\n", "field a: '1e400' is not a number"},
};

TEST(AsegGdf2, BadInputNamesFileRecordAndField) {
  for (const Bad& bad : bad_inputs) {
    Scratch scratch;
    if (bad.dfn != nullptr) scratch.file("s.dfn", bad.dfn);
    scratch.file("s.dat", bad.dat);
    const std::string error = survey_test::error_of([&] { read_aseg_gdf2(scratch / "s.dat"); });
    EXPECT_NE(error.find(bad.message), std::string::npos) << error;
  }
}

// The written pair read by a parser made from the format's own rules: DEFN records give
// name and format, records are cut at the declared widths.
// A contiguous channel of the type holding the values.
Multi_vector values(vi::legacy_data_type type, const std::vector<double>& v) {
  Multi_vector vector(vi::Legacy_type(type), false, static_cast<std::int64_t>(v.size()));
  vector.set_range_double(0, static_cast<std::int64_t>(v.size()), v.data());
  return vector;
}

TEST(AsegGdf2, WrittenFilesAreFixedWidthAsDeclared) {
  Survey survey;
  survey.add(Channel("LINE", values(vi::type_int32, {100, 100, 200})));
  Channel& mag = survey.add(Channel("MAG", values(vi::type_double, {51210.25, dummy, -7.5})));
  mag.format = Field_format{'F', 8, 2};  // too narrow for the NULL: widened
  mag.unit = "nT";
  mag.null_text = "-7.50";  // collides with data: replaced
  survey.add(Channel("DIST", values(vi::type_double, {0.1, 1.0 / 3.0, 1e-300})));
  survey.index_lines();

  Scratch scratch;
  write_aseg_gdf2(survey, scratch / "w.dfn");
  std::vector<int> widths;
  std::vector<std::string> names, nulls;
  std::istringstream dfn(survey_test::read_file(scratch / "w.dfn"));
  // A field definition: ";NAME:<A|I|F|E|D><width>[.<decimals>][:attributes]".
  const std::regex field(R"(;([^:;]+):[AIFED](\d+)[^:]*(:.*NULL=([^,]*))?)");
  for (std::string record; std::getline(dfn, record);) {
    std::smatch m;
    if (!std::regex_search(record, m, field)) continue;
    names.push_back(m[1]);
    widths.push_back(std::stoi(m[2]));
    nulls.push_back(m[4]);
  }
  ASSERT_EQ(names, (std::vector<std::string>{"LINE", "MAG", "DIST"}));
  EXPECT_NE(nulls[1], "-7.50");
  const double expected[3][3] = {{100, 51210.25, 0.1}, {100, NAN, 1.0 / 3.0}, {200, -7.5, 1e-300}};
  std::istringstream dat(survey_test::read_file(scratch / "w.dat"));
  int row = 0;
  for (std::string record; std::getline(dat, record); ++row) {
    ASSERT_LT(row, 3);
    std::size_t at = 0;
    for (std::size_t f = 0; f < widths.size(); ++f) {
      const std::string piece = record.substr(at, static_cast<std::size_t>(widths[f]));
      ASSERT_EQ(piece.front(), ' ') << "no blank in front of field " << names[f];
      at += static_cast<std::size_t>(widths[f]);
      const std::string value = piece.substr(piece.find_first_not_of(' '));
      if (std::isnan(expected[row][f])) {
        EXPECT_EQ(value, nulls[f]);
      } else {
        EXPECT_EQ(std::strtod(value.c_str(), nullptr), expected[row][f]) << names[f];
      }
    }
    EXPECT_EQ(at, record.size());
  }
  EXPECT_EQ(row, 3);
  survey_test::expect_same_survey(survey, read_aseg_gdf2(scratch / "w.dat"));

  // Computed values: each in its shortest exact text, in a fixed field when no magnitude
  // needs an exponent; a declared field past 15 digits without the binary noise.
  Survey exact;
  exact.add(Channel("C", values(vi::type_double, {59226.844, 5.680000000051223, dummy})));
  exact.add(Channel("K", values(vi::type_double, {59226.844, 1.5, dummy}))).format = {'F', 19, 12};
  write_aseg_gdf2(exact, scratch / "e.dfn");
  const std::string definitions = survey_test::read_file(scratch / "e.dfn");
  EXPECT_NE(definitions.find(";C:F18.15:NULL=-99999"), std::string::npos) << definitions;
  const std::string data = survey_test::read_file(scratch / "e.dat");
  EXPECT_EQ(data.substr(0, data.find('\n', data.find('\n') + 1)),
            "         59226.844 59226.844000000000\n"
            " 5.680000000051223     1.500000000000");
  EXPECT_EQ(data.substr(data.rfind('\n', data.size() - 2) + 1, 18), "            -99999");
}

// Channels whose NULL and form the writer has to choose: every one reads back the same.
TEST(AsegGdf2, WrittenChannelsOfEveryKindReadBack) {
  using vi::legacy_data_type;
  struct Case {
    legacy_data_type type;
    std::vector<double> values;
    Field_format format;
    double first_back;  // the first value read back
  };
  const double low32 = -2147483646;  // the lowest int32 value
  const Case cases[] = {
      {vi::type_int64, {5e15, dummy, -7}, {}, 5e15},
      {vi::type_double, {1, dummy, 2.25}, {'I', 6, 0}, 1},  // rounded to 2
      {vi::type_int32, {low32, 1, dummy}, {}, low32},       // no room below: the dummy is NULL
      {vi::type_int64, {-9.2e18, 1, dummy}, {}, -9.2e18},
      {vi::type_double, {-1e18, 1, dummy}, {}, -1e18},
      {vi::type_double, {-1e18, 1, dummy}, {'F', 25, 2}, -1e18},         // no nines
      {vi::type_double, {-0.001, 1, dummy}, {'F', 8, 2}, 0},             // "-0.00" is 0
      {vi::type_double, {1.5e-7, dummy, 2.5e-9}, {'E', 10, 3}, 1.5e-7},  // exponents kept
      {vi::type_double, {-1e32 * 3, dummy, 7}, {'D', 4, 0}, -3e32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    Survey survey;
    survey.add(Channel("V", values(c.type, c.values))).format = c.format;
    Scratch scratch;
    write_aseg_gdf2(survey, scratch / "w.dfn");
    const std::vector<double> expected{c.first_back, c.values[1],
                                       c.format.kind == 'I' ? 2.0 : c.values[2]};
    EXPECT_EQ(survey_test::doubles(read_aseg_gdf2(scratch / "w.dat").channels.at(0).values),
              expected);
  }
}

TEST(AsegGdf2, FailedWriteLeavesNothing) {
  Scratch scratch;
  Survey survey;
  const auto write = [&](const std::filesystem::path& path) {
    return survey_test::error_of([&] { write_aseg_gdf2(survey, path); });
  };
  EXPECT_NE(write(scratch / "e.dfn").find("a survey without channels"), std::string::npos);
  EXPECT_THROW(survey.add(Channel("f", values(vi::type_float, {1}))), Survey_error);
  survey = read_aseg_gdf2(examples / "Example_Mag_Gondwana_200Ma.dfn");
  EXPECT_NE(write(scratch / "missing-folder" / "x.dfn").find("cannot write"), std::string::npos);
  std::filesystem::create_directories(scratch / "folder.dfn" / "inside");
  EXPECT_NE(write(scratch / "folder.dat").find("cannot replace the file"), std::string::npos);
  std::filesystem::remove_all(scratch / "folder.dfn");
  // The records cannot be replaced: the old definition file comes back.
  std::filesystem::create_directories(scratch / "pair.dat" / "inside");
  scratch.file("pair.dfn", "old");
  EXPECT_NE(write(scratch / "pair.dfn").find("cannot replace the file"), std::string::npos);
  EXPECT_EQ(survey_test::read_file(scratch / "pair.dfn"), "old");
  std::filesystem::remove_all(scratch / "pair.dat");
  std::filesystem::remove(scratch / "pair.dfn");
  survey.channels.clear();
  survey.add(Channel("a:b", values(vi::type_double, {1})));
  EXPECT_NE(write(scratch / "n.dfn").find("a:b"), std::string::npos);  // ':' would split the name
  EXPECT_EQ(scratch.entries(), 0u);
}

}  // namespace
