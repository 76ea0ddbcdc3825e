#include "types/text_conversions.h"

#include <vorlith/dummy.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "runtime/contracts.h"
#include "runtime/sizes.h"
#include "types/convert.h"

namespace vorlith::text {
namespace {

using common::dummy_value;
using common::Point_2d;
using common::Point_3d;

constexpr std::int64_t max_field_width = sizes::max_opaque_width;

// The C locale's whitespace; the host's locale must not change what a field means.
constexpr bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// The field's text ends at its first zero byte or after width bytes. Reading it in
// place gives the same text as copying it into a zero-filled buffer of
// max_field_width + 1 bytes, without touching 4 KB per element.
std::string_view field_text(const char* text, std::int64_t width) {
  VORLITH_EXPECTS(width >= 0, "text conversion: field width ", width, " is below 0");
  VORLITH_EXPECTS(width <= max_field_width, "text conversion: field width ", width, " is above ",
                  max_field_width);
  if (width == 0) return {};
  const auto size = static_cast<std::size_t>(width);
  const void* zero = std::memchr(text, '\0', size);
  const std::size_t length =
      zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : size;
  return trim({text, length});
}

bool is_dummy_text(std::string_view s) { return s.empty() || s.front() == '*'; }

// An optional sign and at least one digit, as strtol and its kin would consume
// whole. Out-of-range values behave as those functions do for a C `long` of the
// target's width: signed targets saturate, unsigned ones saturate on magnitude and
// negate the rest modulo 2^N (so '-1' is all ones).
template <class I>
I integer_from_text(std::string_view s) {
  if (is_dummy_text(s)) return dummy_value<I>;
  const bool negative = s.front() == '-';
  if (s.front() == '-' || s.front() == '+') s.remove_prefix(1);
  if (s.empty() || !std::all_of(s.begin(), s.end(), is_digit)) return dummy_value<I>;

  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), magnitude);
  if (end != s.data() + s.size()) return dummy_value<I>;
  const bool overflow = error == std::errc::result_out_of_range;

  using U = std::make_unsigned_t<I>;
  constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<I>::max());
  if constexpr (std::is_signed_v<I>) {
    const std::uint64_t limit = negative ? max + 1 : max;
    if (overflow || magnitude > limit) {
      return negative ? std::numeric_limits<I>::min() : std::numeric_limits<I>::max();
    }
  } else {
    if (overflow || magnitude > max) return std::numeric_limits<I>::max();
  }
  // Modular negation; the conversion to a signed type is exact once in range.
  const std::uint64_t bits = negative ? std::uint64_t{0} - magnitude : magnitude;
  return static_cast<I>(static_cast<U>(bits));
}

// Checks that s is a decimal number that strtod would consume whole (sign, digits
// with at most one point, optional exponent with digits; no 'inf', 'nan' or hex)
// and returns the decimal exponent of its leading significant digit, which tells an
// overflow from an underflow when the value leaves the double range.
bool scan_decimal(std::string_view s, std::int64_t& order) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::int64_t integer_digits = 0, digits = 0, leading = -1;
  bool point = false;
  for (; i < s.size(); ++i) {
    if (is_digit(s[i])) {
      if (leading < 0 && s[i] != '0') leading = digits;
      ++digits;
      if (!point) ++integer_digits;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;

  std::int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool exponent_negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) exponent_negative = s[i++] == '-';
    if (i == s.size()) return false;
    for (; i < s.size() && is_digit(s[i]); ++i) {
      // Far beyond any double exponent; clamping keeps the sum below from overflowing.
      exponent = std::min<std::int64_t>(exponent * 10 + (s[i] - '0'), 1'000'000'000);
    }
    if (exponent_negative) exponent = -exponent;
  }
  if (i != s.size()) return false;
  order = leading < 0 ? 0 : integer_digits - 1 - leading + exponent;
  return true;
}

double double_from_text(std::string_view s) {
  if (is_dummy_text(s)) return dummy_value<double>;
  std::int64_t order = 0;
  if (!scan_decimal(s, order)) return dummy_value<double>;

  const bool negative = s.front() == '-';
  const char* first = s.data() + (s.front() == '+' ? 1 : 0);  // from_chars takes no '+'
  const char* last = s.data() + s.size();
  double value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (end != last) return dummy_value<double>;
  if (error == std::errc::result_out_of_range) {
    // from_chars leaves the value unset where strtod returns HUGE_VAL or a zero.
    constexpr double huge = std::numeric_limits<double>::infinity();
    value = order >= 0 ? huge : 0.0;
    if (negative) value = -value;
  } else if (error != std::errc{}) {
    return dummy_value<double>;
  }
  return value;
}

// '{a,b}' or '{a,b,c}' with exactly N - 1 commas; the closing '}' is the last
// character and the first '}' after the last comma.
template <std::size_t N>
bool split_point(std::string_view s, std::string_view (&parts)[N]) {
  if (s.size() < 2 || s.front() != '{' || s.back() != '}') return false;
  std::string_view inner = s.substr(1, s.size() - 2);
  if (static_cast<std::size_t>(std::count(inner.begin(), inner.end(), ',')) != N - 1) return false;
  for (std::size_t k = 0; k + 1 < N; ++k) {
    const std::size_t comma = inner.find(',');
    parts[k] = inner.substr(0, comma);
    inner.remove_prefix(comma + 1);
  }
  if (inner.find('}') != std::string_view::npos) return false;
  parts[N - 1] = inner;
  return true;
}

template <class P>
P point_from_text(std::string_view s) {
  using C = typename types::point_component<P>::type;
  constexpr std::size_t n = std::is_same_v<P, Point_2d<C>> ? 2 : 3;
  std::string_view parts[n];
  if (!split_point(s, parts)) return P::dummy();
  C components[n];
  for (std::size_t k = 0; k < n; ++k) {
    components[k] = types::convert_value<C>(double_from_text(trim(parts[k])));
  }
  if constexpr (n == 2) {
    return P{components[0], components[1]};
  } else {
    return P{components[0], components[1], components[2]};
  }
}

template <class T>
T from_field(const char* text, std::int64_t width) {
  const std::string_view s = field_text(text, width);
  if constexpr (std::is_integral_v<T>) {
    return integer_from_text<T>(s);
  } else if constexpr (std::is_same_v<T, double>) {
    return double_from_text(s);
  } else {
    return point_from_text<T>(s);
  }
}

// Room for three components of the longest "%f" double (sign, 309 digits, point and
// six decimals) with braces and commas.
class Text_builder {
 public:
  template <class I>
  void append_integer(I value) {
    const auto result = std::to_chars(end_, data_ + sizeof data_, value);
    end_ = result.ptr;
  }
  // Same digits as "%f" in the C locale, whatever locale the host has set.
  void append_fixed(double value) {
    const auto result =
        std::to_chars(end_, data_ + sizeof data_, value, std::chars_format::fixed, 6);
    end_ = result.ptr;
  }
  void append(char c) { *end_++ = c; }
  std::string_view text() const { return {data_, static_cast<std::size_t>(end_ - data_)}; }

 private:
  char data_[1024];
  char* end_ = data_;
};

// Zero-fills the whole field, then copies as much of the text as fits: a text of
// exactly width characters has no terminator.
void write_field(std::string_view s, char* text, std::int64_t width) {
  if (width <= 0) return;
  const auto size = static_cast<std::size_t>(width);
  std::memset(text, 0, size);
  std::memcpy(text, s.data(), std::min(s.size(), size));
}

template <class T>
void to_field(T value, char* text, std::int64_t width) {
  Text_builder builder;
  if constexpr (std::is_integral_v<T>) {
    builder.append_integer(value);
  } else if constexpr (std::is_same_v<T, double>) {
    builder.append_fixed(value);
  } else {
    builder.append('{');
    builder.append_fixed(value.x);
    builder.append(',');
    builder.append_fixed(value.y);
    if constexpr (requires { value.z; }) {
      builder.append(',');
      builder.append_fixed(value.z);
    }
    builder.append('}');
  }
  write_field(builder.text(), text, width);
}

// Plain function pointers, constant-initialised: host_hooks.cpp copies this table
// during static initialisation, whatever the order of translation units.
constexpr external_string_functions defaults{
    from_field<std::int32_t>,     from_field<std::uint32_t>,
    from_field<std::int64_t>,     from_field<std::uint64_t>,
    from_field<double>,           from_field<Point_2d<float>>,
    from_field<Point_2d<double>>, from_field<Point_3d<float>>,
    from_field<Point_3d<double>>, to_field<std::int32_t>,
    to_field<std::uint32_t>,      to_field<std::int64_t>,
    to_field<std::uint64_t>,      to_field<double>,
    to_field<Point_2d<float>>,    to_field<Point_2d<double>>,
    to_field<Point_3d<float>>,    to_field<Point_3d<double>>,
};

}  // namespace

const external_string_functions& default_string_functions() { return defaults; }

}  // namespace vorlith::text
