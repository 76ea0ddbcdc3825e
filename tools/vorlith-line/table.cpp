#include "table.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace vorlith_line {

namespace vi = vorlith::integration;

bool parse_number(std::string_view field, double& value, Number_format& format) {
  const char* first = field.data();
  const char* const last = first + field.size();
  if (first != last && *first == '+') {
    ++first;
    if (first != last && *first == '-') return false;
  }
  if (first == last) return false;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last) return false;
  format = {};
  const char* point = static_cast<const char*>(std::memchr(first, '.', static_cast<std::size_t>(last - first)));
  const char* digits_end = point ? point + 1 : first;
  if (point) {
    while (digits_end != last && *digits_end >= '0' && *digits_end <= '9') ++digits_end;
    format.decimals = static_cast<int>(digits_end - point - 1);
  }
  for (const char* p = digits_end; p != last; ++p) {
    if (*p == 'e' || *p == 'E') format.exponent = true;
  }
  return true;
}

char* format_number(char* out, double v, const Number_format& format) {
  if (format.exponent) return std::to_chars(out, out + 400, v).ptr;
  // Integer formatting gives the same text as to_chars whenever the scaled value is
  // clearly not halfway between two integers; the rest takes the exact path.
  static constexpr double scale[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const int decimals = format.decimals;
  if (decimals < 16) {
    const double scaled = v * scale[decimals];
    if (std::fabs(scaled) < 1e15) {
      const double rounded = std::nearbyint(scaled);
      if (std::fabs(scaled - rounded) < 0.4) {
        char digits[24];
        int n = 0;
        auto magnitude = static_cast<std::uint64_t>(std::fabs(rounded));
        do {
          digits[n++] = static_cast<char>('0' + magnitude % 10);
          magnitude /= 10;
        } while (magnitude != 0);
        while (n <= decimals) digits[n++] = '0';
        if (std::signbit(v)) *out++ = '-';
        while (n > decimals) *out++ = digits[--n];
        if (decimals > 0) {
          *out++ = '.';
          while (n > 0) *out++ = digits[--n];
        }
        return out;
      }
    }
  }
  return std::to_chars(out, out + 400, v, std::chars_format::fixed, decimals).ptr;
}

Column& Table::column(const std::string& name) {
  for (auto& c : columns) {
    if (c.name == name) return c;
  }
  std::string known;
  for (const auto& c : columns) known += (known.empty() ? "" : ", ") + c.name;
  throw Tool_error("unknown column '" + name + "' (the columns are: " + known + ")");
}

Column& Table::numeric_column(const std::string& name) {
  Column& c = column(name);
  if (c.is_text()) {
    throw Tool_error("column '" + name + "' is not numeric: line " + std::to_string(c.first_text_line) +
                     " holds '" + c.first_text + "'");
  }
  return c;
}

bool Table::has_column(const std::string& name) const {
  for (const auto& c : columns) {
    if (c.name == name) return true;
  }
  return false;
}

vi::Multi_vector make_double_channel(std::int64_t rows) {
  vi::Multi_vector v(vi::Legacy_type(vi::type_double), true, rows);
  v.filldummy();
  return v;
}

}  // namespace vorlith_line
