// Every float bit pattern, every 8- and 16-bit value and walks around every bound of
// double and int64 sources, converted by the library and by the independent reference.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/parallel.h"
#include "support/conversion_reference.h"
#include "support/typed_lists.h"

namespace {

using namespace vorlith::integration;
using vorlith::testing_support::integer_types;
using vorlith::testing_support::type_pack;
using vorlith::testing_support::value_types;
namespace reference = vorlith::testing_support::reference;

template <class T>
Legacy_type type_of() {
  return Legacy_type(vorlith::types::type_traits<T>::code);
}

template <class T>
std::string text(const T& v) {
  // Appended piece by piece: "(" + std::string trips g++ 12's -Wrestrict at -O3.
  if constexpr (reference::is_point<T>)
    return std::string("(").append(text(v.x)).append(", ").append(text(v.y)).append(", ...)");
  else if constexpr (std::is_floating_point_v<T>) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", static_cast<double>(v));
    return buffer;
  } else
    return std::to_string(v);
}

// Converts source(0) .. source(n - 1) to every type of Targets through
// Legacy_type::convert_to, in pieces spread over the cores by the library's own driver,
// compares each result with the reference and reports the first few mismatches.
template <class Targets, class Source>
void check_all(const std::string& category, std::int64_t n, Source source) {
  using From = decltype(source(0));
  constexpr std::int64_t piece = 1 << 16;
  std::atomic<std::int64_t> mismatches{0};
  std::mutex mutex;
  std::vector<std::string> examples;
  vorlith::parallel::run_over_range(
      0, (n + piece - 1) / piece, 1, [&](std::int64_t first, std::int64_t last) {
        std::vector<From> sources;
        for (std::int64_t p = first; p < last; ++p) {
          sources.clear();
          for (std::int64_t i = p * piece; i < std::min(n, (p + 1) * piece); ++i)
            sources.push_back(source(i));
          Targets::for_each([&](auto tag) {
            using To = typename decltype(tag)::type;
            std::vector<To> out(sources.size());
            type_of<From>().convert_to(sources.data(), out.data(), type_of<To>(),
                                       static_cast<std::int64_t>(sources.size()));
            for (std::size_t i = 0; i < sources.size(); ++i) {
              const To expected = reference::convert<To>(sources[i]);
              if (reference::same(out[i], expected) || mismatches.fetch_add(1) >= 10) continue;
              const std::lock_guard<std::mutex> lock(mutex);
              examples.push_back(type_of<From>().get_name() + " " + text(sources[i]) + " -> " +
                                 type_of<To>().get_name() + ": " + text(out[i]) + ", expected " +
                                 text(expected));
            }
          });
        }
      });
  std::printf("[exhaustive] %s: %lld values checked, %lld mismatches\n", category.c_str(),
              static_cast<long long>(n), static_cast<long long>(mismatches.load()));
  for (const auto& e : examples) ADD_FAILURE() << e;
  EXPECT_EQ(mismatches.load(), 0) << category;
}

TEST(ExhaustiveConversion, EveryFloatBitPatternToEveryIntegerType) {
  check_all<integer_types>("float bit patterns to the eight integer types", std::int64_t{1} << 32,
                           [](std::int64_t i) { return std::bit_cast<float>(std::uint32_t(i)); });
}

TEST(ExhaustiveConversion, EverySmallIntegerToEveryValueType) {
  type_pack<std::int8_t, std::uint8_t, std::int16_t, std::uint16_t>::for_each([](auto tag) {
    using From = typename decltype(tag)::type;
    constexpr std::int64_t lowest = std::numeric_limits<From>::min();
    check_all<value_types>("every " + type_of<From>().get_name() + " value to every value type",
                           std::numeric_limits<From>::max() - lowest + 1,
                           [](std::int64_t i) { return static_cast<From>(lowest + i); });
  });
}

// Walks of nextafter steps and +-0.5 neighbourhoods around the anchors, both signs.
std::vector<double> double_walk() {
  std::vector<long double> anchors = {0.0L,
                                      1.0L,
                                      0x1p24L,
                                      0x1p53L,
                                      0x1p63L,
                                      0x1p64L,
                                      1e32L,
                                      3.4028234663852886e38L,
                                      1.0000000331813535e32L};
  integer_types::for_each([&](auto tag) {
    using I = typename decltype(tag)::type;
    for (long double a : {static_cast<long double>(std::numeric_limits<I>::min()),
                          static_cast<long double>(std::numeric_limits<I>::max()),
                          static_cast<long double>(vorlith::common::dummy_value<I>)}) {
      for (int d = -2; d <= 2; ++d) anchors.push_back(a + d);
    }
  });
  constexpr double inf = std::numeric_limits<double>::infinity();
  std::vector<double> values = {inf,
                                -inf,
                                std::numeric_limits<double>::quiet_NaN(),
                                -std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::denorm_min(),
                                -1e32};
  for (long double a : anchors) {
    for (long double sign : {1.0L, -1.0L}) {
      for (long double offset : {0.0L, 0.5L, -0.5L}) {
        const double centre = static_cast<double>(sign * a + offset);
        double up = centre, down = centre;
        values.push_back(centre);
        for (int step = 0; step < 64; ++step) {
          values.push_back(up = std::nextafter(up, inf));
          values.push_back(down = std::nextafter(down, -inf));
        }
      }
    }
  }
  return values;
}

std::vector<std::int64_t> int64_walk() {
  std::vector<std::int64_t> values;
  auto around = [&](std::int64_t centre) {
    for (std::int64_t d = -64; d <= 64; ++d) {
      std::int64_t v;
      if (!__builtin_add_overflow(centre, d, &v)) values.push_back(v);
    }
  };
  integer_types::for_each([&](auto tag) {
    using I = typename decltype(tag)::type;
    around(static_cast<std::int64_t>(std::numeric_limits<I>::min()));
    around(static_cast<std::int64_t>(std::numeric_limits<I>::max()));  // uint64: all ones
    around(static_cast<std::int64_t>(vorlith::common::dummy_value<I>));
  });
  for (int k = 24; k <= 62; ++k) {
    around(std::int64_t{1} << k);
    around(-(std::int64_t{1} << k));
  }
  return values;
}

TEST(ExhaustiveConversion, WalksAroundTheBoundsOfDoubleAndInt64Sources) {
  const auto doubles = double_walk();
  const auto int64s = int64_walk();
  check_all<value_types>("double walks around the bounds to every value type",
                         static_cast<std::int64_t>(doubles.size()),
                         [&](std::int64_t i) { return doubles[static_cast<std::size_t>(i)]; });
  check_all<value_types>("int64 walks around the bounds to every value type",
                         static_cast<std::int64_t>(int64s.size()),
                         [&](std::int64_t i) { return int64s[static_cast<std::size_t>(i)]; });
}

}  // namespace
