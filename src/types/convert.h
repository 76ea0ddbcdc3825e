#pragma once
// The one conversion rule between value types, and the bulk loop built on it.
//
// Every rule tests the source dummy first and writes the target's typed dummy.
// Integer targets saturate to their valid range, so a value never becomes a dummy.
// Floating to integer adds one half in the source's precision (subtracts it for
// negatives), truncates and saturates; NaN gives the target's dummy. All bounds are
// computed at compile time so the loops stay branch-free and vectorise.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "types/type_list.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorlith::types {

namespace bounds {

// An integer as sign and magnitude, wide enough for every bound plus or minus one.
struct Exact_int {
  bool negative;
  std::uint64_t magnitude;
};

template <class I>
constexpr Exact_int exact(I v, int offset) {
  // v + offset, with offset -1, 0 or +1, computed on the magnitude so that nothing
  // overflows at the ends of the 64-bit types.
  const std::uint64_t step = static_cast<std::uint64_t>(offset < 0 ? -offset : offset);
  const bool negative = v < 0;
  const std::uint64_t m =
      negative ? static_cast<std::uint64_t>(-(v + 1)) + 1 : static_cast<std::uint64_t>(v);
  if (!negative) {
    if (offset >= 0) return {false, m + step};
    return m == 0 ? Exact_int{true, 1} : Exact_int{false, m - 1};
  }
  if (offset <= 0) return {true, m + step};
  return m <= step ? Exact_int{false, step - m} : Exact_int{true, m - step};
}

// Sign of (f - x), exactly.
template <class F>
constexpr int compare(F f, Exact_int x) {
  const bool f_negative = f < 0;
  if (x.magnitude == 0) return f < 0 ? -1 : (f > 0 ? 1 : 0);
  if (f_negative != x.negative) return f_negative ? -1 : 1;
  const F af = f_negative ? -f : f;
  int c;
  if (af >= static_cast<F>(18446744073709551616.0)) {
    c = 1;
  } else {
    const std::uint64_t u = static_cast<std::uint64_t>(af);
    if (u != x.magnitude)
      c = u < x.magnitude ? -1 : 1;
    else
      c = af > static_cast<F>(u) ? 1 : 0;
  }
  return f_negative ? -c : c;
}

template <class F>
constexpr F next_up(F f) {
  using Bits = std::conditional_t<sizeof(F) == 4, std::uint32_t, std::uint64_t>;
  if (f == 0) return std::numeric_limits<F>::denorm_min();
  const Bits b = std::bit_cast<Bits>(f);
  return std::bit_cast<F>(f > 0 ? static_cast<Bits>(b + 1) : static_cast<Bits>(b - 1));
}

template <class F>
constexpr F next_down(F f) {
  return -next_up(-f);
}

template <class F>
constexpr F nearest(Exact_int x) {
  const F m = static_cast<F>(x.magnitude);
  return x.negative ? -m : m;
}

template <class F>
constexpr F largest_at_most(Exact_int x) {
  const F f = nearest<F>(x);
  return compare(f, x) > 0 ? next_down(f) : f;
}

template <class F>
constexpr F smallest_at_least(Exact_int x) {
  const F f = nearest<F>(x);
  return compare(f, x) < 0 ? next_up(f) : f;
}

// Thresholds for a floating value u (already offset by one half) going to integer I:
// trunc(u) > max exactly when u >= over; trunc(u) < min exactly when u <= under;
// clamping into [safe_lo, safe_hi] keeps the truncating cast defined.
template <class F, class I>
struct Float_to_int {
  static constexpr F over = smallest_at_least<F>(exact(valid_max<I>, +1));
  static constexpr F under = largest_at_most<F>(exact(valid_min<I>, -1));
  static constexpr F safe_hi = largest_at_most<F>(exact(valid_max<I>, 0));
  static constexpr F safe_lo = smallest_at_least<F>(exact(valid_min<I>, 0));
  static constexpr bool hi_exact = compare(safe_hi, exact(valid_max<I>, 0)) == 0;
  static constexpr bool lo_exact = compare(safe_lo, exact(valid_min<I>, 0)) == 0;
  static constexpr bool dummy_exact = compare(nearest<F>(exact(common::dummy_value<I>, 0)),
                                              exact(common::dummy_value<I>, 0)) == 0 &&
                                      sizeof(I) <= 4;
};

}  // namespace bounds

inline constexpr double float_max_as_double = 3.4028234663852886e38;

template <class To, class From>
inline To convert_value(const From& v);

namespace detail {

template <class I, class F>
inline I floating_to_integer(F v) {
  using B = bounds::Float_to_int<F, I>;
  // copysign gives the same result as "add one half, subtract it for negatives" (-0.0
  // truncates to 0 either way) and keeps the loop free of branches.
  const F u = v + std::copysign(F(0.5), v);
  // Written so that g++ emits min/max instructions; a NaN ends up at safe_lo, and the
  // truncating cast of the clamped value is always defined.
  F c = B::safe_lo < u ? u : B::safe_lo;
  c = c < B::safe_hi ? c : B::safe_hi;
  const bool dummy = (v == common::dummy_value<F>) || (v != v);
  if constexpr (B::hi_exact && B::lo_exact && B::dummy_exact) {
    // Every result is a value of F: select in F and convert once, which vectorises
    // without narrowing masks to the integer width.
    return static_cast<I>(dummy ? static_cast<F>(common::dummy_value<I>) : c);
  } else {
    I r = static_cast<I>(c);
    // Where a bound is not representable in F the clamp stops one value short of it.
    if constexpr (!B::hi_exact) r = u >= B::over ? valid_max<I> : r;
    if constexpr (!B::lo_exact) r = u <= B::under ? valid_min<I> : r;
    return dummy ? common::dummy_value<I> : r;
  }
}

template <class To, class From>
inline To integer_to_integer(From v) {
  To r;
  if (std::cmp_less(v, valid_min<To>))
    r = valid_min<To>;
  else if (std::cmp_greater(v, valid_max<To>))
    r = valid_max<To>;
  else
    r = static_cast<To>(v);
  return v == common::dummy_value<From> ? common::dummy_value<To> : r;
}

inline float double_to_float(double v) {
  double c = v > float_max_as_double ? float_max_as_double : v;
  c = c < -float_max_as_double ? -float_max_as_double : c;
  const float r = static_cast<float>(c);
  return v == common::dummy_value<double> ? common::dummy_value<float> : r;
}

// Magnitude of a non-dummy point, in the component's precision, widened to double.
template <class P>
inline double magnitude(const P& p) {
  using C = typename point_component<P>::type;
  if constexpr (std::is_same_v<P, Point_2d<C>>) {
    return static_cast<double>(std::hypot(p.x, p.y));
  } else {
    const C sum = p.x * p.x + p.y * p.y + p.z * p.z;
    return static_cast<double>(std::sqrt(sum));
  }
}

template <class P, class S>
inline P scalar_to_point(const S& v) {
  using C = typename point_component<P>::type;
  if (is_dummy_value(v)) return P::dummy();
  P p{};
  p.x = convert_value<C>(v);
  return p;
}

template <class To, class From>
inline To point_to_point(const From& v) {
  using C = typename point_component<To>::type;
  if (v.is_dummy()) return To::dummy();
  To p{};
  p.x = convert_value<C>(v.x);
  p.y = convert_value<C>(v.y);
  if constexpr (std::is_same_v<To, Point_3d<C>>) {
    if constexpr (requires { v.z; }) p.z = convert_value<C>(v.z);
  }
  return p;
}

}  // namespace detail

/// Converts one value between two of the fourteen value types.
template <class To, class From>
inline To convert_value(const From& v) {
  if constexpr (std::is_same_v<To, From>) {
    return v;
  } else if constexpr (is_point_v<From> && is_point_v<To>) {
    return detail::point_to_point<To>(v);
  } else if constexpr (is_point_v<From>) {
    if (v.is_dummy()) return typed_dummy<To>();
    return convert_value<To>(detail::magnitude(v));
  } else if constexpr (is_point_v<To>) {
    return detail::scalar_to_point<To>(v);
  } else if constexpr (is_integer_v<To> && is_integer_v<From>) {
    return detail::integer_to_integer<To>(v);
  } else if constexpr (is_integer_v<To>) {
    return detail::floating_to_integer<To>(v);
  } else if constexpr (std::is_same_v<To, float> && std::is_same_v<From, double>) {
    return detail::double_to_float(v);
  } else {
    // integer or float to a wider or equal floating type: the nearest value
    return v == common::dummy_value<From> ? common::dummy_value<To> : static_cast<To>(v);
  }
}

/// Converts count packed elements between any two types (opaque included): the one
/// entry point behind Legacy_type's conversion members.
void convert(const integration::Legacy_type& from, const void* source, void* target,
             const integration::Legacy_type& to, std::int64_t count);

namespace detail {

#if defined(__SSE2__)
template <class I>
inline constexpr bool narrows_from_double_sse2 =
    std::is_same_v<I, std::int8_t> || std::is_same_v<I, std::uint8_t> ||
    std::is_same_v<I, std::int16_t> || std::is_same_v<I, std::uint16_t> ||
    std::is_same_v<I, std::int32_t>;

// Double to an integer of at most 32 bits, four values at a time. g++ vectorises the
// generic rule but, without finite-math, turns every clamp into compare-and-blend and
// narrows the masks lane by lane; with max/min instructions the rule costs a third.
// The results are those of floating_to_integer, bit for bit (the dense-grid tests run
// through here).
template <class I>
inline __m128i double_to_int32_lanes(const double* source) {
  using B = bounds::Float_to_int<double, I>;
  const __m128d v = _mm_loadu_pd(source);
  const __m128d u = _mm_add_pd(v, _mm_or_pd(_mm_and_pd(v, _mm_set1_pd(-0.0)), _mm_set1_pd(0.5)));
  // maxpd returns its second operand for a NaN, so no NaN reaches the conversion.
  __m128d c = _mm_min_pd(_mm_max_pd(u, _mm_set1_pd(B::safe_lo)), _mm_set1_pd(B::safe_hi));
  const __m128d dummy =
      _mm_or_pd(_mm_cmpeq_pd(v, _mm_set1_pd(common::dummy_value<double>)), _mm_cmpunord_pd(v, v));
  c = _mm_or_pd(_mm_and_pd(dummy, _mm_set1_pd(static_cast<double>(common::dummy_value<I>))),
                _mm_andnot_pd(dummy, c));
  return _mm_cvttpd_epi32(c);
}

template <class I>
inline void double_to_small_integer(const double* source, I* target, std::int64_t n) {
  const std::int64_t whole = n - n % 4;
  for (std::int64_t i = 0; i < whole; i += 4) {
    const __m128i r = _mm_unpacklo_epi64(double_to_int32_lanes<I>(source + i),
                                         double_to_int32_lanes<I>(source + i + 2));
    __m128i packed;
    if constexpr (std::is_same_v<I, std::int32_t>) {
      packed = r;
    } else if constexpr (std::is_same_v<I, std::int16_t>) {
      packed = _mm_packs_epi32(r, r);
    } else if constexpr (std::is_same_v<I, std::uint16_t>) {
      // Shift into the signed range for the saturating pack, then back.
      const __m128i shifted = _mm_sub_epi32(r, _mm_set1_epi32(32768));
      packed = _mm_xor_si128(_mm_packs_epi32(shifted, shifted),
                             _mm_set1_epi16(static_cast<short>(0x8000)));
    } else if constexpr (std::is_same_v<I, std::int8_t>) {
      const __m128i words = _mm_packs_epi32(r, r);
      packed = _mm_packs_epi16(words, words);
    } else {
      const __m128i words = _mm_packs_epi32(r, r);
      packed = _mm_packus_epi16(words, words);
    }
    alignas(16) unsigned char bytes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), packed);
    std::memcpy(target + i, bytes, 4 * sizeof(I));
  }
  for (std::int64_t i = whole; i < n; ++i) target[i] = floating_to_integer<I>(source[i]);
}
#endif

}  // namespace detail

/// Converts n packed values; one call per run, the loop body free of type switches.
template <class From, class To>
inline void convert_run(const From* __restrict source, To* __restrict target, std::int64_t n) {
#if defined(__SSE2__)
  if constexpr (std::is_same_v<From, double> && detail::narrows_from_double_sse2<To>) {
    detail::double_to_small_integer(source, target, n);
    return;
  }
#endif
  for (std::int64_t i = 0; i < n; ++i) target[i] = convert_value<To>(source[i]);
}

}  // namespace vorlith::types
