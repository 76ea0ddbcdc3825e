#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cstring>
#include <string>

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
  EXPECT_EQ(sensitive("abc", "ABC"), 1);
  EXPECT_EQ(sensitive("  x", "x  "), 0);
  EXPECT_EQ(sensitive("", " "), 0);
  EXPECT_EQ(sensitive(" abc ", "abc"), 0);
  EXPECT_EQ(sensitive("abc", "abd"), -1);
  EXPECT_EQ(sensitive("abc", "abcd"), -1);
  EXPECT_EQ(sensitive("\xE9", "z"), 1);
  EXPECT_EQ(sensitive("a\t", "a"), 1);  // only ' ' is trimmed
  // Full-width texts have no terminator; bytes beyond the width are never read.
  const char a[5] = {'a', 'b', 'c', 'd', 'X'}, b[5] = {'a', 'b', 'c', 'd', 'Y'};
  EXPECT_EQ(compare_opaque_case_sensitive(a, b, 4), 0);
}

TEST(OpaqueCompare, CaseInsensitiveTrimsSpacesAndUsesSignedUpperCaseDifference) {
  EXPECT_EQ(insensitive("abc", "ABD"), 'C' - 'D');
  EXPECT_EQ(insensitive("a", "C"), -2);
  EXPECT_EQ(insensitive("Hello", "HELLO"), 0);
  EXPECT_EQ(insensitive(" x", "X ", 4), 0);
  EXPECT_EQ(insensitive("ab ", "  AB   "), 0);
  EXPECT_EQ(insensitive(" ab", "ABC"), -'C');  // the ended text counts as a zero byte
  EXPECT_EQ(insensitive("a\t", "A"), '\t');    // only ' ' is trimmed
  EXPECT_LT(insensitive("\xE9", "A"), 0);      // signed bytes: 0xE9 orders before 'A' here
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
  EXPECT_EQ(to_int8("12"), 12);
  EXPECT_EQ(to_int8("300"), 127);
  EXPECT_EQ(to_int8("abc"), -127);
  EXPECT_EQ(to_int8("*"), -127);

  std::int32_t values[2] = {-2147483647, -5};
  std::string text(4, 'x');
  Legacy_type(type_int32).convert_to(values, text.data(), Legacy_type(std::int64_t{2}), 2);
  EXPECT_EQ(text, std::string("\0\0-5", 4));

  vorlith::common::Point_2d<double> p{1.5, 2};
  std::string p16(16, 'x');
  Legacy_type(type_double_point_2d).convert_to(&p, p16.data(), Legacy_type(std::int64_t{16}), 1);
  EXPECT_EQ(p16, field("{1.500000,2.0000", 16));
  vorlith::common::Point_2d<double> back;
  const std::string text_point = field("{1.5, 2}", 16);
  Legacy_type(std::int64_t{16})
      .convert_to(text_point.data(), &back, Legacy_type(type_double_point_2d), 1);
  EXPECT_EQ(back.x, 1.5);
  EXPECT_EQ(back.y, 2);
}

}  // namespace
