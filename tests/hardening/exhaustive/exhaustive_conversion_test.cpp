// Every float bit pattern, every 8- and 16-bit value and walks around every bound of
// double and int64 sources, converted by the library and by the independent reference.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

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
using vorlith::testing_support::type_pack;
using vorlith::testing_support::value_types;
namespace reference = vorlith::testing_support::reference;

using integer_types = type_pack<std::int8_t, std::uint8_t, std::int16_t, std::uint16_t,
                                std::int32_t, std::uint32_t, std::int64_t, std::uint64_t>;

template <class T>
Legacy_type type_of() {
  return Legacy_type(vorlith::types::type_traits<T>::code);
}

// Counts checks and mismatches from any thread and keeps the first few mismatches.
struct Tally {
  std::atomic<std::int64_t> checked{0};
  std::atomic<std::int64_t> mismatches{0};
  std::mutex mutex;
  std::vector<std::string> examples;

  void mismatch(const std::string& what) {
    if (mismatches.fetch_add(1) < 10) {
      const std::lock_guard<std::mutex> lock(mutex);
      examples.push_back(what);
    }
  }
  void report(const char* category) {
    std::printf("[exhaustive] %s: %lld conversions checked, %lld mismatches\n", category,
                static_cast<long long>(checked.load()), static_cast<long long>(mismatches.load()));
    for (const auto& e : examples) ADD_FAILURE() << e;
    EXPECT_EQ(mismatches.load(), 0) << category;
  }
};

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

// Converts the sources to every type of Targets through Legacy_type::convert_to and
// compares each result with the reference.
template <class From, class Targets>
void check_all(const std::vector<From>& sources, Tally& tally) {
  Targets::for_each([&](auto tag) {
    using To = typename decltype(tag)::type;
    std::vector<To> out(sources.size());
    type_of<From>().convert_to(sources.data(), out.data(), type_of<To>(),
                               static_cast<std::int64_t>(sources.size()));
    for (std::size_t i = 0; i < sources.size(); ++i) {
      const To expected = reference::convert<To>(sources[i]);
      if (!reference::same(out[i], expected)) {
        tally.mismatch(type_of<From>().get_name() + std::string(" ") + text(sources[i]) + " -> " +
                       type_of<To>().get_name() + ": " + text(out[i]) + ", expected " +
                       text(expected));
      }
    }
    tally.checked += static_cast<std::int64_t>(sources.size());
  });
}

TEST(ExhaustiveConversion, EveryFloatBitPatternToEveryIntegerType) {
  Tally tally;
  constexpr std::int64_t piece = 1 << 16;
  // Both cores through the library's own driver; one piece of 2^16 patterns per step.
  vorlith::parallel::run_over_range(
      0, std::int64_t{1} << 16, 1, [&](std::int64_t first, std::int64_t last) {
        std::vector<float> sources(piece);
        std::vector<reference::Rounded> rounded(piece);
        std::vector<std::uint64_t> out(piece);  // room for the widest target
        for (std::int64_t p = first; p < last; ++p) {
          for (std::int64_t i = 0; i < piece; ++i) {
            sources[i] = std::bit_cast<float>(static_cast<std::uint32_t>(p * piece + i));
            rounded[i] = reference::round_half_away(sources[i]);
          }
          integer_types::for_each([&](auto tag) {
            using I = typename decltype(tag)::type;
            I* const converted = reinterpret_cast<I*>(out.data());
            type_of<float>().convert_to(sources.data(), converted, type_of<I>(), piece);
            std::int64_t wrong = 0;
            for (std::int64_t i = 0; i < piece; ++i)
              wrong += converted[i] != reference::saturate<I>(rounded[i]);
            if (wrong > 0) {
              for (std::int64_t i = 0; i < piece; ++i) {
                if (converted[i] != reference::saturate<I>(rounded[i])) {
                  tally.mismatch("float " + text(sources[i]) + " -> " + type_of<I>().get_name() +
                                 ": " + text(converted[i]));
                }
              }
            }
            tally.checked += piece;
          });
        }
      });
  tally.report("float bit patterns to the eight integer types");
}

TEST(ExhaustiveConversion, EverySmallIntegerToEveryValueType) {
  Tally tally;
  auto every = [&](auto tag) {
    using From = typename decltype(tag)::type;
    std::vector<From> sources;
    for (std::int64_t v = std::numeric_limits<From>::min(); v <= std::numeric_limits<From>::max();
         ++v) {
      sources.push_back(static_cast<From>(v));
    }
    check_all<From, value_types>(sources, tally);
  };
  type_pack<std::int8_t, std::uint8_t, std::int16_t, std::uint16_t>::for_each(every);
  tally.report("every 8- and 16-bit value to the fourteen value types");
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
    around(static_cast<std::int64_t>(
        std::numeric_limits<I>::max()));  // uint64: -1, the all-ones pattern
    around(static_cast<std::int64_t>(vorlith::common::dummy_value<I>));
  });
  for (int k = 24; k <= 62; ++k) {
    around(std::int64_t{1} << k);
    around(-(std::int64_t{1} << k));
  }
  return values;
}

TEST(ExhaustiveConversion, WalksAroundTheBoundsOfDoubleAndInt64Sources) {
  Tally doubles, int64s;
  check_all<double, value_types>(double_walk(), doubles);
  check_all<std::int64_t, value_types>(int64_walk(), int64s);
  doubles.report("double walks around the bounds to the fourteen value types");
  int64s.report("int64 walks around the bounds to the fourteen value types");
}

}  // namespace
