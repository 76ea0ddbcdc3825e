#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cstring>
#include <string>
#include <tuple>

#include "types/opaque_text.h"

namespace {

using namespace vorlith::integration;

// A zero-padded field of the given width holding text.
std::string field(const std::string& text, std::size_t width) {
  std::string f(width, '\0');
  std::memcpy(f.data(), text.data(), std::min(text.size(), width));
  return f;
}

int sensitive(const std::string& a, const std::string& b, std::size_t w = 8) {
  return compare_opaque_case_sensitive(field(a, w).data(), field(b, w).data(),
                                       static_cast<std::int64_t>(w));
}
int insensitive(const std::string& a, const std::string& b, std::size_t w = 8) {
  return compare_opaque_case_insensitive(field(a, w).data(), field(b, w).data(),
                                         static_cast<std::int64_t>(w));
}

TEST(OpaqueCompare, CaseSensitiveTrimsSpacesAndComparesUnsigned) {
  // Only ' ' is trimmed, not '\t'.
  const std::tuple<const char*, const char*, int> cases[] = {
      {"abc", "ABC", 1},  {"  x", "x  ", 0},   {"", " ", 0},     {" abc ", "abc", 0},
      {"abc", "abd", -1}, {"abc", "abcd", -1}, {"\xE9", "z", 1}, {"a\t", "a", 1}};
  for (const auto& [a, b, sign] : cases) EXPECT_EQ(sensitive(a, b), sign) << a << "|" << b;
  // Full-width texts have no terminator; bytes beyond the width are never read.
  const char a[5] = {'a', 'b', 'c', 'd', 'X'}, b[5] = {'a', 'b', 'c', 'd', 'Y'};
  EXPECT_EQ(compare_opaque_case_sensitive(a, b, 4), 0);
}

TEST(OpaqueCompare, CaseInsensitiveTrimsSpacesAndUsesSignedUpperCaseDifference) {
  // An ended text counts as a zero byte; only ' ' is trimmed.
  const std::tuple<const char*, const char*, int> cases[] = {
      {"abc", "ABD", 'C' - 'D'}, {"a", "C", -2},       {"Hello", "HELLO", 0},
      {"ab ", "  AB   ", 0},     {" ab", "ABC", -'C'}, {"a\t", "A", '\t'}};
  for (const auto& [a, b, difference] : cases) EXPECT_EQ(insensitive(a, b), difference) << a;
  EXPECT_EQ(insensitive(" x", "X ", 4), 0);
  EXPECT_LT(insensitive("\xE9", "A"), 0);  // signed bytes: 0xE9 orders before 'A' here
  EXPECT_EQ(compare_opaque_case_insensitive("a", "b", 0), 0);
  const char a[4] = {'a', 'b', 'c', 'd'}, b[4] = {'A', 'B', 'C', 'D'};
  EXPECT_EQ(compare_opaque_case_insensitive(a, b, 4), 0);
}

TEST(OpaqueValues, SwapAndUpperCase) {
  for (std::int64_t n : {7, 8, 12, 300}) {
    std::string a(static_cast<std::size_t>(n), 'a'), b(static_cast<std::size_t>(n), 'b');
    a[0] = '1';
    swap_opaque(a.data(), b.data(), n);
    EXPECT_EQ(a, std::string(static_cast<std::size_t>(n), 'b'));
    EXPECT_EQ(b[0], '1');
    EXPECT_EQ(b.substr(1), std::string(static_cast<std::size_t>(n - 1), 'a'));
  }
  std::string v = field("ab1z", 8);
  vorlith::types::upper_case_opaque(v.data(), 8);
  EXPECT_EQ(v, field("AB1Z", 8));
}

TEST(OpaqueConversion, TextToNumbersAndBack) {
  const Legacy_type o4(std::int64_t{4});
  auto to_int8 = [&](const std::string& text) {
    std::int8_t out;
    o4.convert_to(field(text, 4).data(), &out, Legacy_type(type_int8), 1);
    return out;
  };
  for (const auto& [text, value] : {std::pair{"12", 12}, {"300", 127}, {"abc", -127}, {"*", -127}})
    EXPECT_EQ(to_int8(text), value) << text;

  std::int32_t values[2] = {-2147483647, -5};
  std::string text(4, 'x');
  Legacy_type(type_int32).convert_to(values, text.data(), Legacy_type(std::int64_t{2}), 2);
  EXPECT_EQ(text, std::string("\0\0-5", 4));

  vorlith::common::Point_2d<double> p{1.5, 2};
  std::string p16(16, 'x');
  Legacy_type(type_double_point_2d).convert_to(&p, p16.data(), Legacy_type(std::int64_t{16}), 1);
  EXPECT_EQ(p16, field("{1.500000,2.0000", 16));
  vorlith::common::Point_2d<double> back;
  Legacy_type(std::int64_t{16})
      .convert_to(field("{1.5, 2}", 16).data(), &back, Legacy_type(type_double_point_2d), 1);
  EXPECT_TRUE(back.x == 1.5 && back.y == 2);
}

}  // namespace
