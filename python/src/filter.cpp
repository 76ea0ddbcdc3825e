// vorlith.filter: Integration_filter.

#include <cstring>
#include <functional>
#include <numeric>
#include <vector>

#include "bindings.h"

namespace vorlith::python {

using namespace py::literals;
using integration::Integration_filter;

void bind_filter(py::module_ m) {
  def_channels(
      m, "convolution",
      [](py::handle channel, const std::vector<double>& kernel, bool keep_length, py::handle out) {
        if (kernel.empty()) throw py::value_error("the kernel must hold at least one tap");
        Call call;
        const Multi_vector& input = call.in(channel, "channel");
        Multi_vector& output = call.out(out, Legacy_type(integration::type_double), "out");
        if (&input == &output) throw py::value_error("out must not be the input channel");
        call.run([&] { Integration_filter::convolution(input, output, kernel, keep_length); });
        return call.result(output);
      },
      "channel"_a, "kernel"_a, py::kw_only(), "keep_length"_a = false, "out"_a = py::none(), R"doc(
Applies `kernel` (not reversed: out[i] = sum_j kernel[j] * channel[i + j]) over the fully
supported windows; a window holding a dummy gives a dummy. With keep_length the result is padded
with (K - 1) // 2 dummies at each end, so odd kernels keep the channel's length. float64 unless
`out` is given. numpy.convolve(channel, kernel[::-1], 'valid') computes the same values.
)doc");
  def_channels(
      m, "despike",
      [](py::handle channel, std::int64_t width, double tolerance, py::object max_iterations) {
        const std::int64_t iterations =
            max_iterations.is_none() ? width : max_iterations.cast<std::int64_t>();
        Call call;
        Multi_vector& v = call.inout(channel, "channel");
        return call.run([&] {
          const auto values = [&v] {
            std::vector<double> copy(static_cast<std::size_t>(v.get_length()));
            if (!copy.empty()) v.get_range_double(0, v.get_length(), copy.data());
            return copy;
          };
          const std::vector<double> before = values();
          Integration_filter::naudy_filter_workflow(v, width, tolerance, iterations);
          const std::vector<double> after = values();
          return static_cast<std::int64_t>(before.size()) -
                 std::inner_product(
                     before.begin(), before.end(), after.begin(), std::int64_t{0}, std::plus<>(),
                     [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; });
        });
      },
      "channel"_a, "width"_a, "tolerance"_a, py::kw_only(), "max_iterations"_a = py::none(), R"doc(
Despikes a float64 channel in place with spacings from `width` down to 1, repeating while it
changes samples (at most min(width, max_iterations) + 1 passes; None: width). Deviations below
`tolerance` are left alone. Dummies stay dummies; each stretch between them is despiked as a
channel of its own. Returns how many samples changed. Other dtypes raise ContractError.
)doc");
}

}  // namespace vorlith::python
