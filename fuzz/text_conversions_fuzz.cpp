// The default from-text conversions of every type at many widths, and opaque text
// fields to every numeric type, against a reference built on the C library's
// strtoll / strtoull / strtod.

#include <vorlith/fail_fast.h>
#include <vorlith/integration.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "types/text_conversions.h"
#include "types/type_list.h"

namespace {

using vorlith::common::dummy_value;
using vorlith::common::Point_2d;
using vorlith::common::Point_3d;
using vorlith::fuzzing::Input;
using vorlith::integration::legacy_data_type;
using vorlith::integration::Legacy_type;

// --- reference ----------------------------------------------------------------------

std::string field(const char* p, std::size_t width) {
  std::string s(p, strnlen(p, width));
  const char* space = " \t\n\v\f\r";
  const auto first = s.find_first_not_of(space);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(space) - first + 1);
}

bool dummy_text(const std::string& s) { return s.empty() || s[0] == '*'; }

bool parse_whole(const std::string& s, long long& v) {
  if (dummy_text(s)) return false;
  char* end = nullptr;
  v = std::strtoll(s.c_str(), &end, 10);
  return end != s.c_str() && end == s.c_str() + s.size();
}

std::int64_t ref_int64(const std::string& s) {
  long long v;
  return parse_whole(s, v) ? v : dummy_value<std::int64_t>;
}

std::int32_t ref_int32(const std::string& s) {
  long long v;
  if (!parse_whole(s, v)) return dummy_value<std::int32_t>;
  if (v < INT32_MIN) return INT32_MIN;
  if (v > INT32_MAX) return INT32_MAX;
  return static_cast<std::int32_t>(v);
}

// Magnitude and sign as the unsigned strto* functions read them.
bool parse_unsigned(const std::string& s, bool& negative, unsigned long long& magnitude,
                    bool& overflow) {
  if (dummy_text(s)) return false;
  std::size_t i = 0;
  negative = s[0] == '-';
  if (s[0] == '-' || s[0] == '+') i = 1;
  if (i == s.size() || s[i] < '0' || s[i] > '9') return false;
  char* end = nullptr;
  errno = 0;
  magnitude = std::strtoull(s.c_str() + i, &end, 10);
  overflow = errno == ERANGE;
  return end == s.c_str() + s.size();
}

std::uint64_t ref_uint64(const std::string& s) {
  bool negative, overflow;
  unsigned long long m;
  if (!parse_unsigned(s, negative, m, overflow)) return dummy_value<std::uint64_t>;
  if (overflow) return UINT64_MAX;
  return negative ? 0 - static_cast<std::uint64_t>(m) : m;
}

std::uint32_t ref_uint32(const std::string& s) {
  bool negative, overflow;
  unsigned long long m;
  if (!parse_unsigned(s, negative, m, overflow)) return dummy_value<std::uint32_t>;
  if (overflow || m > UINT32_MAX) return UINT32_MAX;
  return static_cast<std::uint32_t>(negative ? 0 - static_cast<std::uint32_t>(m) : m);
}

double ref_double(const std::string& s) {
  if (dummy_text(s) || s.find_first_not_of("0123456789+-.eE") != std::string::npos)
    return dummy_value<double>;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size() ? v : dummy_value<double>;
}

float narrow(double d) {
  if (d == dummy_value<double>) return dummy_value<float>;
  if (d > FLT_MAX) return FLT_MAX;
  if (d < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(d);
}

template <class C, std::size_t N>
bool ref_point(const std::string& s, C (&out)[N]) {
  for (auto& c : out) c = dummy_value<C>;
  if (s.size() < 2 || s.front() != '{' || s.back() != '}') return false;
  const std::string inner = s.substr(1, s.size() - 2);
  std::vector<std::string> parts(1);
  for (char c : inner) {
    if (c == ',')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  if (parts.size() != N || parts.back().find('}') != std::string::npos) return false;
  for (std::size_t k = 0; k < N; ++k) {
    const double d = ref_double(field(parts[k].c_str(), parts[k].size()));
    if constexpr (std::is_same_v<C, float>)
      out[k] = narrow(d);
    else
      out[k] = d;
  }
  return true;
}

template <class T>
bool same_bits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class C>
bool same_point(const Point_2d<C>& p, const C (&r)[2]) {
  return same_bits(p.x, r[0]) && same_bits(p.y, r[1]);
}
template <class C>
bool same_point(const Point_3d<C>& p, const C (&r)[3]) {
  return same_bits(p.x, r[0]) && same_bits(p.y, r[1]) && same_bits(p.z, r[2]);
}

// 8- and 16-bit targets read as int32 and saturate one short of their dummy.
template <class I>
I ref_small(const std::string& s) {
  const std::int32_t v = ref_int32(s);
  if (v == dummy_value<std::int32_t>) return dummy_value<I>;
  const std::int32_t lo = std::is_signed_v<I> ? std::numeric_limits<I>::min() + 2 : 0;
  const std::int32_t hi =
      std::is_signed_v<I> ? std::numeric_limits<I>::max() : std::numeric_limits<I>::max() - 1;
  return static_cast<I>(v < lo ? lo : (v > hi ? hi : v));
}

// --- checks ---------------------------------------------------------------------------

// Every default from-text function on the first `width` bytes, held in a heap block
// of exactly that size so a read past the field is caught.
void check_field(const std::string& text, std::int64_t width) {
  const auto& f = vorlith::text::default_string_functions();
  std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(width)]);
  std::memcpy(buffer.get(), text.data(), static_cast<std::size_t>(width));
  const char* p = buffer.get();
  const std::string s = field(p, static_cast<std::size_t>(width));

  VORLITH_FUZZ_CHECK(f.int32_from_string(p, width) == ref_int32(s));
  VORLITH_FUZZ_CHECK(f.uint32_from_string(p, width) == ref_uint32(s));
  VORLITH_FUZZ_CHECK(f.int64_from_string(p, width) == ref_int64(s));
  VORLITH_FUZZ_CHECK(f.uint64_from_string(p, width) == ref_uint64(s));
  const double d = f.double_from_string(p, width);
  VORLITH_FUZZ_CHECK(same_bits(d, ref_double(s)));

  float f2[2], f3[3];
  double d2[2], d3[3];
  ref_point(s, f2), ref_point(s, f3), ref_point(s, d2), ref_point(s, d3);
  VORLITH_FUZZ_CHECK(same_point(f.float_point_2d_from_string(p, width), f2));
  VORLITH_FUZZ_CHECK(same_point(f.double_point_2d_from_string(p, width), d2));
  VORLITH_FUZZ_CHECK(same_point(f.float_point_3d_from_string(p, width), f3));
  VORLITH_FUZZ_CHECK(same_point(f.double_point_3d_from_string(p, width), d3));
}

bool fails_contract(std::int64_t (*call)(const char*, std::int64_t), const char* p,
                    std::int64_t width) {
  try {
    call(p, width);
  } catch (const gsl::fail_fast&) {
    return true;
  }
  return false;
}

// `count` opaque elements of `width` bytes converted to every numeric type.
void check_opaque(const std::string& bytes, std::int64_t width, std::size_t count) {
  const Legacy_type opaque(width);
  const std::size_t w = static_cast<std::size_t>(width);
  std::vector<std::string> texts;
  std::vector<bool> dummies;
  for (std::size_t i = 0; i < count; ++i) {
    const char* e = bytes.data() + i * w;
    texts.push_back(field(e, w));
    dummies.push_back(e[0] == '\0' || (e[0] == '*' && (w == 1 || e[1] == '\0')));
  }
  auto each_type = [&](auto value_type, legacy_data_type code) {
    using T = decltype(value_type);
    std::vector<T> out(count);
    opaque.convert_to(bytes.data(), out.data(), Legacy_type(code),
                      static_cast<std::int64_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
      const std::string& s = texts[i];
      const bool dummy = dummies[i];
      const T& v = out[i];
      if constexpr (std::is_same_v<T, std::int8_t> || std::is_same_v<T, std::uint8_t> ||
                    std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::uint16_t>) {
        VORLITH_FUZZ_CHECK(v == (dummy ? dummy_value<T> : ref_small<T>(s)));
      } else if constexpr (std::is_same_v<T, std::int32_t>) {
        VORLITH_FUZZ_CHECK(v == (dummy ? dummy_value<T> : ref_int32(s)));
      } else if constexpr (std::is_same_v<T, std::uint32_t>) {
        VORLITH_FUZZ_CHECK(v == (dummy ? dummy_value<T> : ref_uint32(s)));
      } else if constexpr (std::is_same_v<T, std::int64_t>) {
        VORLITH_FUZZ_CHECK(v == (dummy ? dummy_value<T> : ref_int64(s)));
      } else if constexpr (std::is_same_v<T, std::uint64_t>) {
        VORLITH_FUZZ_CHECK(v == (dummy ? dummy_value<T> : ref_uint64(s)));
      } else if constexpr (std::is_same_v<T, float>) {
        VORLITH_FUZZ_CHECK(same_bits(v, dummy ? dummy_value<float> : narrow(ref_double(s))));
      } else if constexpr (std::is_same_v<T, double>) {
        VORLITH_FUZZ_CHECK(same_bits(v, dummy ? dummy_value<double> : ref_double(s)));
      } else {
        using C = std::remove_cvref_t<decltype(v.x)>;
        if constexpr (std::is_same_v<T, Point_2d<C>>) {
          C r[2];
          ref_point(s, r);
          if (dummy) r[0] = r[1] = dummy_value<C>;
          VORLITH_FUZZ_CHECK(same_point(v, r));
        } else {
          C r[3];
          ref_point(s, r);
          if (dummy) r[0] = r[1] = r[2] = dummy_value<C>;
          VORLITH_FUZZ_CHECK(same_point(v, r));
        }
      }
    }
  };
#define VORLITH_EACH_TYPE(code, T) each_type(T{}, code);
  VORLITH_FOR_EACH_NUMERIC_TYPE(VORLITH_EACH_TYPE)
#undef VORLITH_EACH_TYPE
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint8_t elements = input.byte();
  std::string text = input.rest();
  if (text.size() > 4096) text.resize(4096);
  const auto n = static_cast<std::int64_t>(text.size());

  // Every short width, and the whole text.
  for (std::int64_t width = 0; width <= n && width <= 40; ++width) check_field(text, width);
  if (n > 40) check_field(text, n);

  // Widths outside 0..4096 are contract failures before the text is read.
  const auto& f = vorlith::text::default_string_functions();
  VORLITH_FUZZ_CHECK(fails_contract(f.int64_from_string, text.data(), -1));
  VORLITH_FUZZ_CHECK(fails_contract(f.int64_from_string, text.data(), 4097));

  // The text as 1..4 opaque elements of equal width.
  const std::size_t count = 1 + elements % 4;
  const std::int64_t width = n / static_cast<std::int64_t>(count);
  if (width >= 1) check_opaque(text, width, count);
  return 0;
}
