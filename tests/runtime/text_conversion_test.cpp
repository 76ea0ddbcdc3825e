#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include "support/contracts.h"
#include "types/text_conversions.h"

namespace {

using vorlith::common::Point_2d;
using vorlith::common::Point_3d;
using vorlith::testing_support::fails_contract;

const external_string_functions& fns = vorlith::text::default_string_functions();
constexpr double ddummy = -1.0e32;
constexpr float fdummy = -1.0e32f;
constexpr float fmax = std::numeric_limits<float>::max();

template <class F>
auto read(F f, std::string_view s) {
  return f(s.data(), static_cast<std::int64_t>(s.size()));
}

template <class F, class T>
std::string write(F f, T value, std::int64_t width) {
  std::string field(static_cast<std::size_t>(std::max<std::int64_t>(width, 0)) + 2, 'X');
  f(value, field.data(), width);
  return field;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Out of range, the C functions for the target width decide.
TEST(TextToInteger, GrammarWhitespaceDummiesAndOutOfRange) {
  EXPECT_EQ(read(fns.int32_from_string, " 42 "), 42);
  EXPECT_EQ(read(fns.int32_from_string, "+7"), 7);
  EXPECT_EQ(read(fns.int32_from_string, "\t\n\v\f\r-0012\r"), -12);
  for (const char* bad : {"4 2", "0x10", "12a", "", "   ", "*", "*junk", "+", "-", "+-1", "1.0",
                          "\2405"}) {  // a no-break space in Latin-1
    EXPECT_EQ(read(fns.int32_from_string, bad), -2147483647) << bad;
    EXPECT_EQ(read(fns.uint64_from_string, bad), UINT64_MAX) << bad;
  }
  EXPECT_EQ(read(fns.int32_from_string, "2147483648"), INT32_MAX);
  EXPECT_EQ(read(fns.int32_from_string, "-2147483648"), INT32_MIN);
  EXPECT_EQ(read(fns.int32_from_string, "-99999999999999999999999"), INT32_MIN);
  EXPECT_EQ(read(fns.uint32_from_string, "-1"), 4294967295u);
  EXPECT_EQ(read(fns.uint32_from_string, "-4294967295"), 1u);
  EXPECT_EQ(read(fns.uint32_from_string, "4294967296"), 4294967295u);
  EXPECT_EQ(read(fns.uint32_from_string, "-4294967296"), 4294967295u);
  // On this platform long long and strtoll/strtoull are the reference for 64 bits.
  for (const char* s : {"9223372036854775807", "9223372036854775808", "-9223372036854775808",
                        "-9223372036854775809", "18446744073709551615", "18446744073709551616",
                        "-18446744073709551615", "-18446744073709551616", "-1", "-0"}) {
    EXPECT_EQ(read(fns.int64_from_string, s), std::strtoll(s, nullptr, 10)) << s;
    EXPECT_EQ(read(fns.uint64_from_string, s), std::strtoull(s, nullptr, 10)) << s;
  }
}

TEST(TextField, WidthBoundsAndTerminators) {
  EXPECT_EQ(fns.int32_from_string("12345", 3), 123);   // no terminator inside the field
  EXPECT_EQ(fns.int32_from_string("12\0 34", 6), 12);  // text ends at the first zero byte
  EXPECT_EQ(fns.int32_from_string("", 0), -2147483647);
  std::string full(4096, ' ');
  full.back() = '7';
  EXPECT_EQ(read(fns.int64_from_string, full), 7);
  full += '8';
  EXPECT_TRUE(fails_contract([&] { read(fns.int32_from_string, full); },
                             "text conversion: field width 4097 is above 4096"));
  EXPECT_TRUE(fails_contract([&] { fns.double_from_string("1", -1); },
                             "text conversion: field width -1 is below 0"));
}

// Texts made of digits, signs, '.' and exponents: AgreesWithStrtodOnRandomTexts.
TEST(TextToDouble, WhitespaceOtherCharactersAndHugeExponents) {
  EXPECT_EQ(read(fns.double_from_string, " +.5 "), 0.5);
  for (const char* bad : {"nan", "inf", "-inf", "0x1p3", "1,5", "*1", "1 5"})
    EXPECT_EQ(read(fns.double_from_string, bad), ddummy) << bad;
  EXPECT_EQ(read(fns.double_from_string, "-0.00001e99999999999999999999"), -HUGE_VAL);
  EXPECT_EQ(read(fns.double_from_string, "0e999999"), 0.0);
}

// The literal rule: only digits, signs, '.', 'e', 'E', and strtod (the test runs in
// the C locale) must consume the whole text.
double reference_double(const std::string& s) {
  if (s.empty() || s[0] == '*' || s.find_first_not_of("0123456789+-.eE") != std::string::npos)
    return ddummy;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  return *end == '\0' ? v : ddummy;
}

TEST(TextToDouble, AgreesWithStrtodOnRandomTexts) {
  std::mt19937_64 rng(12345);
  const std::string alphabet = "0123456789+-.eE";
  for (int i = 0; i < 200000; ++i) {
    std::string s;
    const int length = 1 + static_cast<int>(rng() % 14);
    for (int k = 0; k < length; ++k) s += alphabet[rng() % (i % 2 ? 10 : alphabet.size())];
    // Appended piece by piece: operator+ on fresh strings trips g++ 12's -Wrestrict.
    if (i % 3 == 0) s.append("e").append(std::to_string(static_cast<int>(rng() % 700) - 350));
    if (i % 1000 == 0)
      s = std::string(1 + rng() % 800, '0').append(".").append(rng() % 800, '0').append(s);
    ASSERT_TRUE(same_bits(read(fns.double_from_string, s), reference_double(s))) << s;
  }
}

TEST(TextToPoint, ShapeComponentsAndFloatNarrowing) {
  EXPECT_EQ(read(fns.double_point_2d_from_string, "{1.5, 2}"), (Point_2d<double>{1.5, 2}));
  EXPECT_EQ(read(fns.double_point_2d_from_string, "{1,2} "), (Point_2d<double>{1, 2}));
  EXPECT_EQ(read(fns.double_point_3d_from_string, " { 1 ,\t2 , -3e2 }"),
            (Point_3d<double>{1, 2, -300}));
  for (const char* bad : {"{1,2}x", "(1,2)", "{1,2,3}", "{1,2}}", "{1;2}", "1,2}", "{", "}"}) {
    const auto p = read(fns.double_point_2d_from_string, bad);
    EXPECT_TRUE(p.x == ddummy && p.y == ddummy) << bad;
  }
  const auto q = read(fns.double_point_2d_from_string, "{1,abc}");
  const auto r = read(fns.double_point_3d_from_string, "{*,,7}");
  EXPECT_TRUE(q.x == 1.0 && q.y == ddummy && r.x == ddummy && r.y == ddummy && r.z == 7.0);
  // Float components narrow by the double-to-float rule.
  const auto f2 = read(fns.float_point_2d_from_string, "{1e39,-1e400}");
  const auto f3 = read(fns.float_point_3d_from_string, "{-1e32,0.1,x}");
  EXPECT_TRUE(f2.x == fmax && f2.y == -fmax && f3.x == fdummy && f3.y == 0.1f && f3.z == fdummy);
}

TEST(ToText, FieldIsZeroFilledAndCut) {
  EXPECT_EQ(write(fns.double_to_string, 3.25, 4), "3.25XX");
  EXPECT_EQ(write(fns.int32_to_string, -5, 4), std::string("-5\0\0XX", 6));
  EXPECT_EQ(write(fns.int64_to_string, INT64_MIN, 20), "-9223372036854775808XX");
  EXPECT_EQ(write(fns.uint64_to_string, UINT64_MAX, 20), "18446744073709551615XX");
  EXPECT_EQ(write(fns.float_point_2d_to_string, Point_2d<float>{0.1f, -2}, 20),
            "{0.100000,-2.000000}XX");
  EXPECT_EQ(write(fns.double_point_3d_to_string, Point_3d<double>{1, 2.5, -4e-7}, 29),
            "{1.000000,2.500000,-0.000000}XX");
  char untouched = 'X';
  fns.uint32_to_string(1, &untouched, 0);
  fns.uint32_to_string(1, &untouched, -3);
  EXPECT_EQ(untouched, 'X');
}

TEST(ToText, DoubleMatchesPrintfInTheCLocale) {
  std::mt19937_64 rng(99);
  char expected[512];
  for (int i = 0; i < 20000; ++i) {
    double v;
    const std::uint64_t bits = rng();
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v)) continue;
    if (i % 2) v = std::ldexp(static_cast<double>(bits >> 11), -static_cast<int>(rng() % 80));
    const int n = std::snprintf(expected, sizeof expected, "%f", v);
    ASSERT_EQ(write(fns.double_to_string, v, n), std::string(expected) + "XX");
  }
}

TEST(TextConversions, IgnoreADecimalCommaLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  bool comma = false;
  for (const char* name :
       {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',') {
      comma = true;
      break;
    }
  }
  const double v = read(fns.double_from_string, "1.5");
  const auto p = read(fns.float_point_2d_from_string, "{1.5,2.25}");
  const std::string text = write(fns.double_to_string, 1.5, 8);
  std::setlocale(LC_ALL, saved.c_str());
  if (!comma) GTEST_SKIP() << "no decimal-comma locale installed";
  EXPECT_EQ(v, 1.5);
  EXPECT_EQ(p, (Point_2d<float>{1.5f, 2.25f}));
  EXPECT_EQ(text, "1.500000XX");
}

}  // namespace
