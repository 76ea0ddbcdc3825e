#include <gtest/gtest.h>
#include <vorlith/integration.h>

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
  for (int n : {2, 6, 64, 1000, 4098}) {
    const std::vector<double> values = random_values(static_cast<std::size_t>(n), 2);
    Multi_vector input = make_doubles(values);
    Multi_vector re = make_doubles({}), im = make_doubles({}, true), back = make_doubles({}, true);
    FFT::rfft_1d_forward(input, re, im, 0, -1);
    FFT::rfft_1d_inverse(re, im, back, 0, -1);
    ASSERT_EQ(back.get_length(), n);
    for (int i = 0; i < n; ++i) ASSERT_NEAR(back.get_double(i), values[i], 1e-11) << "n " << n;
  }
  Multi_vector odd = make_doubles({1, 2, 3, 4, 5});
  Multi_vector re = make_doubles({}), im = make_doubles({}), back = make_doubles({});
  FFT::rfft_1d_forward(odd, re, im, 0, -1);
  FFT::rfft_1d_inverse(re, im, back, 0, -1);
  EXPECT_EQ(back.get_length(), 4);
}

TEST(Rfft1d, Int16ChannelsConvertBothWays) {
  Multi_vector input = make_vector<std::int16_t>({1, 2, 3, 4, 5, 6}, false);
  Multi_vector re = make_vector<std::int16_t>({}, true);
  Multi_vector im = make_vector<std::int32_t>({}, false);
  FFT::rfft_1d_forward(input, re, im, 0, -1);
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

TEST(Rfft1d, CountsWithoutATransformAreRejected) {
  Multi_vector input = make_doubles({1, 2, 3});
  Multi_vector re = make_doubles({}), im = make_doubles({});
  EXPECT_TRUE(fails_contract([&] { FFT::rfft_1d_forward(input, re, im, 3, -1); },
                             "rfft_1d_forward: count 0 is below 1"));
  EXPECT_TRUE(fails_contract([&] { FFT::rfft_1d_inverse(input, input, re, 0, 1); },
                             "rfft_1d_inverse: count 1 is below 2"));
  EXPECT_TRUE(fails_contract([&] { FFT::rfft_1d_inverse(input, input, re, 2, -1); },
                             "rfft_1d_inverse: count 1 is below 2"));
  EXPECT_EQ(re.get_length(), 0);
  EXPECT_EQ(im.get_length(), 0);
}

TEST(Rfft2d, InPlacePairAndDistinctArrays) {
  const int rows = 3, columns = 5, padded = 2 * (columns / 2 + 1);
  const std::vector<double> values = random_values(rows * columns, 4);
  std::vector<double> array(rows * padded, 0.0);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) array[r * padded + c] = values[r * columns + c];
  FFT::rfft_2d_forward(rows, columns, array.data(), array.data());
  EXPECT_NEAR(array[0], std::accumulate(values.begin(), values.end(), 0.0), 1e-12);  // DC term
  EXPECT_NEAR(array[1], 0.0, 1e-12);
  const std::vector<double> spectrum = array;

  FFT::rfft_2d_inverse(rows, columns, array.data(), array.data());
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c)
      EXPECT_NEAR(array[r * padded + c], values[r * columns + c], 1e-12);

  // Distinct arrays: exactly rows * columns samples arrive, back to back.
  std::vector<double> input = spectrum;
  std::vector<double> output(rows * padded, 777.0);
  FFT::rfft_2d_inverse(rows, columns, input.data(), output.data());
  for (int i = 0; i < rows * columns; ++i) EXPECT_NEAR(output[i], values[i], 1e-12);
  for (std::size_t i = rows * columns; i < output.size(); ++i) EXPECT_EQ(output[i], 777.0);

  std::vector<double> forward_out(rows * padded, 0.0);
  std::vector<double> source = values;
  FFT::rfft_2d_forward(rows, columns, source.data(), forward_out.data());
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < padded; ++c)
      EXPECT_NEAR(forward_out[r * padded + c], spectrum[r * padded + c], 1e-12);

  double x = 0;
  EXPECT_TRUE(fails_contract([&] { FFT::rfft_2d_forward(0, 4, &x, &x); },
                             "rfft_2d_forward: rows 0 and columns 4 are not both at least 1"));
  EXPECT_TRUE(fails_contract([&] { FFT::rfft_2d_inverse(2, -1, &x, &x); },
                             "rfft_2d_inverse: rows 2 and columns -1 are not both at least 1"));
}

TEST(Rfft1d, ConcurrentCallsFromTwoHostThreads) {
  // More lengths than the plan cache holds, so plans are made and dropped while the
  // other thread runs transforms.
  std::vector<int> lengths;
  for (int n = 10; n < 34; ++n) lengths.push_back(n * 64 + n % 2);
  std::vector<std::vector<double>> inputs, expected_re;
  for (int n : lengths) {
    inputs.push_back(random_values(static_cast<std::size_t>(n), static_cast<unsigned>(n)));
    Multi_vector in = make_doubles(inputs.back()), re = make_doubles({}), im = make_doubles({});
    FFT::rfft_1d_forward(in, re, im, 0, -1);
    expected_re.push_back(values_of<double>(re));
  }
  auto work = [&](int first, int* mismatches) {
    for (int round = 0; round < 8; ++round) {
      for (std::size_t i = 0; i < lengths.size(); ++i) {
        const std::size_t k = (i + static_cast<std::size_t>(first)) % lengths.size();
        Multi_vector in = make_doubles(inputs[k]), re = make_doubles({}), im = make_doubles({}),
                     back = make_doubles({});
        FFT::rfft_1d_forward(in, re, im, 0, -1);
        if (values_of<double>(re) != expected_re[k]) ++*mismatches;
        FFT::rfft_1d_inverse(re, im, back, 0, -1);
        if (lengths[k] % 2 == 0 && std::abs(back.get_double(1) - inputs[k][1]) > 1e-9)
          ++*mismatches;
      }
    }
  };
  int mismatches_a = 0, mismatches_b = 0;
  std::thread a(work, 0, &mismatches_a);
  std::thread b(work, 7, &mismatches_b);
  a.join();
  b.join();
  EXPECT_EQ(mismatches_a, 0);
  EXPECT_EQ(mismatches_b, 0);
}

}  // namespace
