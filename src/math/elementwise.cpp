// Elementwise members of Integration_math: one rule struct each, run by the frame.

#include <vorlith/integration_math.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "math/elementwise_frame.h"
#include "runtime/contracts.h"
#include "types/type_list.h"

namespace vorlith::integration {

using math::dummy;
using math::for_each_stored_run;
using math::Operands;
using math::run_elementwise;
using math::run_in_place;

namespace {

// --- rules -------------------------------------------------------------------

struct Add {
  double apply(double a, double b) const { return a + b; }
};
struct Subtract {
  double apply(double a, double b) const { return a - b; }
};
struct Multiply {
  double apply(double a, double b) const { return a * b; }
};
struct Divide {
  // a / b is computed for b == 0 too (no trap is enabled) and then discarded.
  double apply(double a, double b) const { return b == 0.0 ? dummy : (a == 0.0 ? 0.0 : a / b); }
};
struct Add_weighted {
  double wa, wb;
  double apply(double a, double b) const { return a * wa + b * wb; }
};
struct Mask_and {
  double apply(double, double) const { return 1.0; }
};
struct Mask_or {
  static constexpr bool propagates_dummy = false;
  double apply(double a, double b) const { return (a == dummy && b == dummy) ? dummy : 1.0; }
};
struct Mask_xor {
  static constexpr bool propagates_dummy = false;
  double apply(double a, double b) const { return ((a == dummy) != (b == dummy)) ? 1.0 : dummy; }
};
struct Hypotenuse {
  double apply(double x, double y, double z) const { return std::sqrt(x * x + y * y + z * z); }
};
struct Abs {
  double apply(double x) const { return std::fabs(x); }
};
struct Add_base_multiplier {
  double base, multiplier;
  double apply(double x) const { return (x + base) * multiplier; }
};
struct Replace_if_dummy_or_less_than {
  static constexpr bool propagates_dummy = false;
  double limit, replacement;
  double apply(double x) const { return (x == dummy || x < limit) ? replacement : x; }
};

double positive_or_one(double v) { return v > 0.0 ? v : 1.0; }

struct Log {
  double min;
  double apply(double x) const { return x <= min ? dummy : std::log(x); }
};
struct Log10 {
  double min;
  double apply(double x) const { return x <= min ? dummy : std::log10(x); }
};
struct Log_scaled {
  double scale;
  double apply(double x) const {
    const double magnitude = std::fabs(x);
    if (!(magnitude > scale)) return x;  // NaN passes through here
    const double r = scale * (1.0 + std::log(magnitude / scale));
    return x < 0.0 ? -r : r;
  }
};
struct Log10_scaled {
  double scale;
  double apply(double x) const {
    const double magnitude = std::fabs(x);
    if (!(magnitude > scale)) return x;
    const double r = scale * (1.0 + std::log10(magnitude / scale));
    return x < 0.0 ? -r : r;
  }
};

// Coefficients are copied into the rule, so a caller's array is read once per call.
struct Polynomial {
  std::array<double, 10> c{};
  std::int64_t k = 0;
  Polynomial(std::int64_t order, const double* coefficients) : k(std::min<std::int64_t>(order, 9)) {
    std::copy(coefficients, coefficients + k + 1, c.begin());
  }
  double operator()(double t) const {
    double r = c[static_cast<std::size_t>(k)];
    for (std::int64_t j = k - 1; j >= 0; --j) r = r * t + c[static_cast<std::size_t>(j)];
    return r;
  }
};
struct Polyfill_index {
  static constexpr bool propagates_dummy = false;
  static constexpr bool takes_index = true;
  Polynomial p;
  double apply(double index, double) const { return p(index); }
};
struct Polyfill_value {
  Polynomial p;
  double apply(double x) const { return p(x); }
};
struct Rotate {
  double cosine, sine;
  std::array<double, 2> apply(double x, double y) const {
    return {x * cosine - y * sine, x * sine + y * cosine};
  }
};

// --- range checks shared by the members --------------------------------------

template <class Rule>
void binary(const Rule& rule, const Multi_vector& a, const Multi_vector& b, Multi_vector& out,
            std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, a, b);
  out.ensure_output_range(start, count);
  run_elementwise(rule, Operands<2, 1>{{&a, &b}, {&out}}, start, count);
}

template <class Rule>
void in_place(const Rule& rule, Multi_vector& v, std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  run_in_place(rule, v, start, count);
}

// --- native members ----------------------------------------------------------

template <class T>
struct Float_bits {
  using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
  static constexpr int mantissa = sizeof(T) == 4 ? 23 : 52;
  static constexpr Bits mantissa_mask = (Bits{1} << mantissa) - 1;
  static constexpr Bits exponent_mask = static_cast<Bits>(~mantissa_mask & (~Bits{0} >> 1));
};

template <class T>
void reduce_bits_run(std::int64_t n, T* p, int bits) {
  using F = Float_bits<T>;
  using Bits = typename F::Bits;
  const Bits cleared = (Bits{1} << (F::mantissa - bits)) - 1;
  const Bits middle = Bits{1} << (F::mantissa - bits - 1);
  for (std::int64_t i = 0; i < n; ++i) {
    const Bits u = std::bit_cast<Bits>(p[i]);
    const Bits reduced = (u & cleared) != 0 ? ((u & ~cleared) | middle) : u;
    p[i] = p[i] == common::dummy_value<T> ? p[i] : std::bit_cast<T>(reduced);
  }
}

template <class T>
void validate_run(std::int64_t n, T* p) {
  using F = Float_bits<T>;
  using Bits = typename F::Bits;
  for (std::int64_t i = 0; i < n; ++i) {
    const Bits u = std::bit_cast<Bits>(p[i]);
    const Bits exponent = u & F::exponent_mask;
    const bool bad = exponent == F::exponent_mask || (exponent == 0 && (u & F::mantissa_mask) != 0);
    p[i] = bad ? common::dummy_value<T> : p[i];
  }
}

template <class T>
void swap_run(std::int64_t n, T* p) {
  using Bits = std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                  std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
  for (std::int64_t i = 0; i < n; ++i) {
    Bits u;
    std::memcpy(&u, &p[i], sizeof(T));
    if constexpr (sizeof(T) == 2)
      u = static_cast<Bits>((u >> 8) | (u << 8));
    else if constexpr (sizeof(T) == 4)
      u = __builtin_bswap32(u);
    else
      u = __builtin_bswap64(u);
    std::memcpy(&p[i], &u, sizeof(T));
  }
}

}  // namespace

// The binary members differ only in their rule; the macro writes their signatures.
#define VORLITH_BINARY_MEMBER(name, Rule)                                                      \
  void Integration_math::name(const Multi_vector& a, const Multi_vector& b, Multi_vector& out, \
                              std::int64_t start, std::int64_t count) {                        \
    binary(Rule{}, a, b, out, start, count);                                                   \
  }
VORLITH_BINARY_MEMBER(add, Add)
VORLITH_BINARY_MEMBER(subtract, Subtract)
VORLITH_BINARY_MEMBER(multiply, Multiply)
VORLITH_BINARY_MEMBER(divide, Divide)
VORLITH_BINARY_MEMBER(mask_and, Mask_and)
VORLITH_BINARY_MEMBER(mask_or, Mask_or)
VORLITH_BINARY_MEMBER(mask_xor, Mask_xor)
#undef VORLITH_BINARY_MEMBER

void Integration_math::add_weighted(const Multi_vector& a, double wa, const Multi_vector& b,
                                    double wb, Multi_vector& out, std::int64_t start,
                                    std::int64_t count) {
  binary(Add_weighted{wa, wb}, a, b, out, start, count);
}

void Integration_math::hypotenuse(const Multi_vector& x, const Multi_vector& y,
                                  const Multi_vector& z, Multi_vector& out, std::int64_t start,
                                  std::int64_t count) {
  Multi_vector::validate_input_range(start, count, x, y, z);
  out.ensure_output_range(start, count);
  run_elementwise(Hypotenuse{}, Operands<3, 1>{{&x, &y, &z}, {&out}}, start, count);
}

void Integration_math::abs(Multi_vector& v, std::int64_t start, std::int64_t count) {
  in_place(Abs{}, v, start, count);
}

void Integration_math::add_base_multiplier(Multi_vector& v, double base, double multiplier,
                                           std::int64_t start, std::int64_t count) {
  in_place(Add_base_multiplier{base, multiplier}, v, start, count);
}

void Integration_math::replace_if_dummy_or_less_than(Multi_vector& v, double limit,
                                                     double replacement, std::int64_t start,
                                                     std::int64_t count) {
  in_place(Replace_if_dummy_or_less_than{limit, replacement}, v, start, count);
}

void Integration_math::log(Multi_vector& v, double min, std::int64_t start, std::int64_t count) {
  in_place(Log{positive_or_one(min)}, v, start, count);
}

void Integration_math::log10(Multi_vector& v, double min, std::int64_t start, std::int64_t count) {
  in_place(Log10{positive_or_one(min)}, v, start, count);
}

void Integration_math::log_scaled(Multi_vector& v, double scale, std::int64_t start,
                                  std::int64_t count) {
  in_place(Log_scaled{positive_or_one(scale)}, v, start, count);
}

void Integration_math::log10_scaled(Multi_vector& v, double scale, std::int64_t start,
                                    std::int64_t count) {
  in_place(Log10_scaled{positive_or_one(scale)}, v, start, count);
}

void Integration_math::polyfillx(Multi_vector& v, std::int64_t order, const double* coefficients,
                                 std::int64_t start, std::int64_t count) {
  VORLITH_EXPECTS(order >= 0, "polyfillx: order ", order, " is below 0");
  VORLITH_EXPECTS(coefficients != nullptr, "polyfillx: coefficients is a null pointer");
  in_place(Polyfill_index{Polynomial(order, coefficients)}, v, start, count);
}

void Integration_math::polyfillxy(const Multi_vector& x, Multi_vector& y, std::int64_t order,
                                  const double* coefficients, std::int64_t start,
                                  std::int64_t count) {
  VORLITH_EXPECTS(order >= 0, "polyfillxy: order ", order, " is below 0");
  VORLITH_EXPECTS(coefficients != nullptr, "polyfillxy: coefficients is a null pointer");
  Multi_vector::validate_input_range(start, count, x, y);
  run_elementwise(Polyfill_value{Polynomial(order, coefficients)}, Operands<1, 1>{{&x}, {&y}},
                  start, count);
}

void Integration_math::rotate(Multi_vector& x, Multi_vector& y, double angle, std::int64_t start,
                              std::int64_t count) {
  VORLITH_EXPECTS(angle != dummy, "rotate: angle is the dummy");
  Multi_vector::validate_input_range(start, count, x, y);
  run_elementwise(Rotate{std::cos(angle), std::sin(angle)}, Operands<2, 2>{{&x, &y}, {&x, &y}},
                  start, count);
}

void Integration_math::reduce_bits(Multi_vector& v, int bits, std::int64_t start,
                                   std::int64_t count) {
  VORLITH_EXPECTS(bits >= 1, "reduce_bits: bits ", bits, " is below 1");
  const legacy_data_type type = v.get_type().get_data_type();
  VORLITH_EXPECTS((type == type_double && bits <= 51) || (type == type_float && bits <= 22),
                  "reduce_bits: bits ", bits, " on a channel of type ", v.get_type().get_name(),
                  " (double takes 1 to 51, float 1 to 22)");
  Multi_vector::validate_input_range(start, count, v);
  if (type == type_double) {
    for_each_stored_run<double>(v, start, count,
                                [bits](std::int64_t n, double* p) { reduce_bits_run(n, p, bits); });
  } else {
    for_each_stored_run<float>(v, start, count,
                               [bits](std::int64_t n, float* p) { reduce_bits_run(n, p, bits); });
  }
}

void Integration_math::validate(Multi_vector& v, std::int64_t start, std::int64_t count) {
  if (!v.get_type().is_floating()) return;
  Multi_vector::validate_input_range(start, count, v);
  if (v.get_type().get_data_type() == type_double) {
    for_each_stored_run<double>(v, start, count,
                                [](std::int64_t n, double* p) { validate_run(n, p); });
  } else {
    for_each_stored_run<float>(v, start, count,
                               [](std::int64_t n, float* p) { validate_run(n, p); });
  }
}

void Integration_math::swap(Multi_vector& v, std::int64_t start, std::int64_t count) {
  if (v.is_opaque_type()) return;
  VORLITH_EXPECTS(!v.is_point_type() || v.get_element_size() != 8,
                  "swap: a float_point_2d channel cannot be byte-swapped");
  if (v.get_element_size() < 2 || v.get_element_size() > 8) return;
  Multi_vector::validate_input_range(start, count, v);
  types::visit_type(v.get_type(), [&](auto tag) {
    if constexpr (!types::is_opaque_tag_v<decltype(tag)>) {
      using T = typename decltype(tag)::type;
      if constexpr (!types::is_point_v<T> && sizeof(T) >= 2) {
        for_each_stored_run<T>(v, start, count, [](std::int64_t n, T* p) { swap_run(n, p); });
      }
    }
  });
}

}  // namespace vorlith::integration
