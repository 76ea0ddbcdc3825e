#pragma once
// Discrete Fourier transforms of real data: channels in one dimension, raw arrays in two.

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>

#include <cstdint>

namespace vorlith::integration::FFT {

/// Transforms the `count` elements of `input` from `start` (count -1: to the end; the
/// range must lie inside the input and hold at least one element, else a contract
/// failure). Writes m = count / 2 + 1 spectrum values to elements 0 .. m-1 of both
/// outputs, lengthening them to m when shorter: real_part[k] = Re X[k] and
/// imaginary_part[k] = -Im X[k] with X[k] = sum_j x[j] exp(-2 pi i j k / count), i.e. the
/// spectrum sum_j x[j] exp(+2 pi i j k / count). Unscaled. Any element type and storage
/// mode works: values are read as doubles (dummies enter as -1e32) and written with
/// conversion to each output's type.
VORLITH_API void rfft_1d_forward(const Multi_vector& input, Multi_vector& real_part,
                                 Multi_vector& imaginary_part, std::int64_t start,
                                 std::int64_t count);

/// Inverse of rfft_1d_forward for even signal lengths: reads `count` spectrum values from
/// `start` of both parts (range checked against the shorter part; count -1: to its end;
/// at least two values, else a contract failure) and writes N = 2 * count - 2 samples
/// to output elements 0 .. N-1, lengthening the output to N when shorter. The spectrum
/// is divided by N first, so forward then inverse returns an even-length signal.
VORLITH_API void rfft_1d_inverse(const Multi_vector& real_part, const Multi_vector& imaginary_part,
                                 Multi_vector& output, std::int64_t start, std::int64_t count);

/// Forward transform of a rows x columns array of doubles (row-major) into rows x
/// (columns / 2 + 1) complex values stored as interleaved (real, imaginary) pairs, in
/// the exp(-2 pi i ...) sign convention, unscaled. In place, the input must be padded
/// to rows of 2 * (columns / 2 + 1) doubles. rows and columns must be at least 1 and the
/// pointers non-null (contract failures otherwise).
VORLITH_API void rfft_2d_forward(int rows, int columns, double* input, double* output);

/// Inverse of rfft_2d_forward, divided by rows * columns. In place (input == output,
/// padded rows of 2 * (columns / 2 + 1) doubles), the first `columns` values of each
/// padded row receive the samples. With distinct arrays the output receives the
/// rows * columns samples contiguously and nothing else is written to it; the input
/// is overwritten then. Same argument checks as rfft_2d_forward.
VORLITH_API void rfft_2d_inverse(int rows, int columns, double* input, double* output);

}  // namespace vorlith::integration::FFT
