// The extension module vorlith._core: exceptions, constants and one submodule per
// algorithm family.

#include "bindings.h"

PYBIND11_MODULE(_core, m) {
  namespace py = pybind11;
  using namespace vorlith::python;
  m.doc() = "Compiled core of the vorlith package; import vorlith instead.";

  // Contract failures carry the library's message ("GSL: Precondition failure at
  // <file>: <line>"). The default abort method throws gsl::fail_fast, which lands here;
  // the other standard exceptions keep pybind11's mapping (out_of_range -> IndexError,
  // invalid_argument -> ValueError, bad_alloc -> MemoryError, others -> RuntimeError).
  py::register_exception<gsl::fail_fast>(m, "ContractError", PyExc_ValueError).doc() =
      "A precondition of the library failed (bad range, wrong element type, ...). "
      "The message names the library source position of the check.";

  bind_multi_vector(m);
  bind_math(m.def_submodule("math", "Elementwise arithmetic, statistics, line geometry and random fills."));
  bind_range(m.def_submodule("range", "Minimum, maximum and order of channels; clamping, clipping and limits."));
  bind_convert(m.def_submodule("convert", "Coordinate channels to points and back; field-vector components."));
  bind_predict(m.def_submodule("predict", "Filling dummy gaps by linear prediction."));
  bind_spline(m.def_submodule("spline", "Akima spline interpolation."));
  bind_filter(m.def_submodule("filter", "Convolution and despiking."));
  bind_fft(m.def_submodule("fft", "Real discrete Fourier transforms."));
  bind_text(m.def_submodule("text", "Number lists typed as text, and fixed-width text comparison."));
  bind_io(m.def_submodule("io", "Whole surveys in ASEG-GDF2 and delimited text."));
}
