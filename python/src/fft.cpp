// vorlith.fft: the real transforms.

#include <complex>
#include <limits>
#include <string>

#include "bindings.h"

namespace vorlith::python {

namespace {

using namespace py::literals;
namespace F = integration::FFT;
using Spectrum = py::array_t<std::complex<double>, py::array::c_style | py::array::forcecast>;
using Samples = py::array_t<double, py::array::c_style | py::array::forcecast>;

int checked_extent(py::ssize_t n, const char* what) {
  if (n < 1 || n > std::numeric_limits<int>::max()) {
    throw py::value_error(std::string(what) + " must lie in 1.." +
                          std::to_string(std::numeric_limits<int>::max()) + ", got " +
                          std::to_string(n));
  }
  return static_cast<int>(n);
}

Spectrum rfft_2d_forward(const Samples& data) {
  if (data.ndim() != 2) throw py::value_error("rfft_2d_forward needs a 2-D array");
  const int rows = checked_extent(data.shape(0), "rows");
  const int columns = checked_extent(data.shape(1), "columns");
  // The padded rows of the in-place transform are exactly the complex result's rows.
  Spectrum spectrum({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns / 2 + 1)});
  auto* buffer = reinterpret_cast<double*>(spectrum.mutable_data());
  const double* input = data.data();
  {
    py::gil_scoped_release released;
    const std::size_t padded = 2 * static_cast<std::size_t>(columns / 2 + 1);
    for (int r = 0; r < rows; ++r) {
      std::copy_n(input + static_cast<std::size_t>(r) * columns, columns, buffer + r * padded);
    }
    F::rfft_2d_forward(rows, columns, buffer, buffer);
  }
  return spectrum;
}

Samples rfft_2d_inverse(const Spectrum& spectrum, py::ssize_t columns_arg) {
  if (spectrum.ndim() != 2) throw py::value_error("rfft_2d_inverse needs a 2-D array");
  const int rows = checked_extent(spectrum.shape(0), "rows");
  const int columns = checked_extent(columns_arg, "columns");
  if (spectrum.shape(1) != columns / 2 + 1) {
    throw py::value_error("a spectrum of " + std::to_string(columns) + " columns has " +
                          std::to_string(columns / 2 + 1) + " values per row, got " +
                          std::to_string(spectrum.shape(1)));
  }
  Spectrum work(py::array(spectrum.request()).attr("copy")());
  Samples samples({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)});
  auto* buffer = reinterpret_cast<double*>(work.mutable_data());
  double* out = samples.mutable_data();
  {
    py::gil_scoped_release released;
    F::rfft_2d_inverse(rows, columns, buffer, buffer);
    const std::size_t padded = 2 * static_cast<std::size_t>(columns / 2 + 1);
    for (int r = 0; r < rows; ++r) {
      std::copy_n(buffer + r * padded, columns, out + static_cast<std::size_t>(r) * columns);
    }
  }
  return samples;
}

}  // namespace

void bind_fft(py::module_ m) {
  const Legacy_type double_type(integration::type_double);
  def_ranged(
      m, "rfft_1d_forward",
      [double_type](py::handle x, std::int64_t start, std::int64_t count) {
        Call call;
        const Multi_vector& input = call.in(x, "x");
        Multi_vector& real = call.fresh(double_type);
        Multi_vector& imaginary = call.fresh(double_type);
        call.run([&] { F::rfft_1d_forward(input, real, imaginary, start, count); });
        return py::make_tuple(call.result(real), call.result(imaginary));
      },
      "(real, imaginary) of the count // 2 + 1 values of the unscaled spectrum of the range, with "
      "imaginary = -Im(numpy.fft.rfft(x)). Dummies enter as -1e32.",
      "x"_a, py::kw_only());
  def_ranged(
      m, "rfft_1d_inverse",
      [double_type](py::handle real, py::handle imaginary, py::handle out, std::int64_t start,
                    std::int64_t count) {
        Call call;
        const Multi_vector& re = call.in(real, "real");
        const Multi_vector& im = call.in(imaginary, "imaginary");
        Multi_vector& output = call.out(out, double_type, "out");
        call.run([&] { F::rfft_1d_inverse(re, im, output, start, count); });
        return call.result(output);
      },
      "The 2 * count - 2 samples whose rfft_1d_forward is (real, imaginary) (even lengths), "
      "scaled.",
      "real"_a, "imaginary"_a, py::kw_only(), "out"_a = py::none());
  m.def("rfft_2d_forward", &rfft_2d_forward, "data"_a,
        "The (rows, columns // 2 + 1) complex spectrum of a 2-D float array, as numpy.fft.rfft2.");
  m.def(
      "rfft_2d_inverse", &rfft_2d_inverse, "spectrum"_a, "columns"_a,
      "The (rows, columns) float array whose rfft_2d_forward is `spectrum`, as numpy.fft.irfft2.");
}

}  // namespace vorlith::python
