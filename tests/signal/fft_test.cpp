#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

std::vector<double> random_values(std::size_t n, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-10.0, 10.0);
  std::vector<double> values(n);
  for (double& v : values) v = uniform(engine);
  return values;
}

// Two alignments of every length, so cached plans meet inputs of the other alignment.
// The imaginary part keeps the elements past the transform.
TEST(Rfft1d, ForwardMatchesDirectTransformForEveryLengthUpTo64) {
  const std::vector<double> values = random_values(70, 1);
  for (int n = 1; n <= 64; ++n) {
    for (int start : {n % 5, 1 - n % 2}) {
      const bool block = start % 2;
      Multi_vector input = make_doubles(values, block);
      Multi_vector re = make_doubles({}, block), im = make_doubles(std::vector<double>(40, 7.0));
      FFT::rfft_1d_forward(input, re, im, start, n);
      ASSERT_EQ(re.get_length(), n / 2 + 1);
      ASSERT_EQ(im.get_length(), 40);
      for (int k = 0; k <= n / 2; ++k) {
        long double sum_re = 0, sum_im = 0;
        for (int j = 0; j < n; ++j) {
          const long double angle = 2.0L * std::numbers::pi_v<long double> * j * k / n;
          sum_re += values[start + j] * std::cos(angle);
          sum_im += values[start + j] * std::sin(angle);
        }
        EXPECT_NEAR(re.get_double(k), static_cast<double>(sum_re), 1e-10) << n << " " << k;
        EXPECT_NEAR(im.get_double(k), static_cast<double>(sum_im), 1e-10) << n << " " << k;
      }
      EXPECT_EQ(im.get_double(39), 7.0);
    }
  }
}

TEST(Rfft1d, RoundTripsAndOddLengthsGiveOneSampleFewer) {
  for (int n : {2, 5, 6, 64, 1000, 4098}) {
    const std::vector<double> values = random_values(static_cast<std::size_t>(n), 2);
    Multi_vector input = make_doubles(values);
    Multi_vector re = make_doubles({}), im = make_doubles({}, true), back = make_doubles({}, true);
    FFT::rfft_1d_forward(input, re, im, 0, -1);
    FFT::rfft_1d_inverse(re, im, back, 0, -1);
    ASSERT_EQ(back.get_length(), n / 2 * 2);
    for (int i = 0; i < n && n % 2 == 0; ++i)
      ASSERT_NEAR(back.get_double(i), values[i], 1e-11) << "n " << n;
  }
}

// Counts without a transform are refused before an output changes.
TEST(Rfft1d, Int16ChannelsConvertBothWaysAndCountsWithoutATransformAreRejected) {
  Multi_vector input = make_vector<std::int16_t>({1, 2, 3, 4, 5, 6}, false);
  Multi_vector re = make_vector<std::int16_t>({}, true);
  Multi_vector im = make_vector<std::int32_t>({}, false);
  FFT::rfft_1d_forward(input, re, im, 0, -1);
  EXPECT_TRUE(fails_contract([&] { FFT::rfft_1d_forward(input, re, im, 6, -1); },
                             "rfft_1d_forward: count 0 is below 1"));
  EXPECT_TRUE(fails_contract([&] { FFT::rfft_1d_inverse(input, input, re, 0, 1); },
                             "rfft_1d_inverse: count 1 is below 2"));
  // FFTW gives 21, -3 + 5.196i, -3 + 1.732i, -3; the stored imaginary parts are negated
  // and rounded.
  EXPECT_EQ(values_of<std::int16_t>(re), (std::vector<std::int16_t>{21, -3, -3, -3}));
  EXPECT_EQ(values_of<std::int32_t>(im), (std::vector<std::int32_t>{0, -5, -2, 0}));

  Multi_vector spectrum_re = make_vector<std::int16_t>({12, 0, -4, 0, 4}, false);
  Multi_vector spectrum_im = make_vector<std::int16_t>({0, 0, 0, 0, 0}, true);
  Multi_vector out = make_vector<std::int16_t>({}, false);
  FFT::rfft_1d_inverse(spectrum_re, spectrum_im, out, 0, 3);  // shorter range than the parts
  EXPECT_EQ(values_of<std::int16_t>(out), (std::vector<std::int16_t>{2, 4, 2, 4}));
}

TEST(Rfft2d, InPlacePairAndDistinctArrays) {
  const int rows = 3, columns = 5, padded = 2 * (columns / 2 + 1);
  const std::vector<double> values = random_values(rows * columns, 4);
  // In place, each row padded to a whole number of complex values.
  std::vector<double> array(rows * padded, 0.0);
  const auto at = [&](int i) { return i / columns * padded + i % columns; };
  for (int i = 0; i < rows * columns; ++i) array[at(i)] = values[i];
  FFT::rfft_2d_forward(rows, columns, array.data(), array.data());
  EXPECT_NEAR(array[0], std::accumulate(values.begin(), values.end(), 0.0), 1e-12);  // DC term
  EXPECT_NEAR(array[1], 0.0, 1e-12);
  const std::vector<double> spectrum = array;
  FFT::rfft_2d_inverse(rows, columns, array.data(), array.data());
  for (int i = 0; i < rows * columns; ++i) EXPECT_NEAR(array[at(i)], values[i], 1e-12);

  // Distinct arrays: the same spectrum, and exactly rows * columns samples back to back.
  std::vector<double> source = values, forward_out(rows * padded, 0.0);
  FFT::rfft_2d_forward(rows, columns, source.data(), forward_out.data());
  for (std::size_t i = 0; i < spectrum.size(); ++i) EXPECT_NEAR(forward_out[i], spectrum[i], 1e-12);
  std::vector<double> input = spectrum, output(rows * padded, 777.0);
  FFT::rfft_2d_inverse(rows, columns, input.data(), output.data());
  for (std::size_t i = 0; i < output.size(); ++i)
    EXPECT_NEAR(output[i], i < values.size() ? values[i] : 777.0, 1e-12) << i;

  double x = 0;
  EXPECT_TRUE(fails_contract([&] { FFT::rfft_2d_forward(0, 4, &x, &x); },
                             "rfft_2d_forward: rows 0 and columns 4 are not both at least 1"));
  EXPECT_TRUE(fails_contract([&] { FFT::rfft_2d_inverse(2, -1, &x, &x); },
                             "rfft_2d_inverse: rows 2 and columns -1 are not both at least 1"));
}

TEST(Rfft1d, ConcurrentCallsFromTwoHostThreads) {
  // More lengths than the plan cache holds, so plans are made and dropped while the
  // other thread runs transforms; every result is the one computed alone.
  const auto round_trip = [](const std::vector<double>& x) {
    Multi_vector in = make_doubles(x), re = make_doubles({}), im = make_doubles({}),
                 back = make_doubles({});
    FFT::rfft_1d_forward(in, re, im, 0, -1);
    FFT::rfft_1d_inverse(re, im, back, 0, -1);
    return std::pair{values_of<double>(re), values_of<double>(back)};
  };
  std::vector<std::vector<double>> inputs;
  std::vector<std::pair<std::vector<double>, std::vector<double>>> expected;
  for (int n = 10; n < 34; ++n) {
    inputs.push_back(random_values(static_cast<std::size_t>(n * 64 + n % 2), n));
    expected.push_back(round_trip(inputs.back()));
  }
  std::atomic<int> mismatches{0};
  const auto work = [&](std::size_t first) {
    for (std::size_t i = 0; i < 8 * inputs.size(); ++i)
      if (round_trip(inputs[(i + first) % inputs.size()]) != expected[(i + first) % inputs.size()])
        ++mismatches;
  };
  std::thread a(work, 0), b(work, 7);
  a.join();
  b.join();
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
