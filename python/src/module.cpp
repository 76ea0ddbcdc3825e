// The extension module vorlith._core: exceptions, constants and one submodule per
// algorithm family.

#include "bindings.h"

namespace vorlith::python {
void bind_level(py::module_ m);  // levelling.cpp: crossovers and tie-line levelling
}  // namespace vorlith::python

PYBIND11_MODULE(_core, m) {
  namespace py = pybind11;
  using namespace vorlith::python;
  m.doc() = "Compiled core of the vorlith package; import vorlith instead.";

  // Contract failures: the default abort method throws Contract_failure (a
  // gsl::fail_fast), which lands here; the other standard exceptions keep pybind11's
  // mapping (out_of_range -> IndexError, invalid_argument -> ValueError, bad_alloc ->
  // MemoryError, others -> RuntimeError).
  py::exception<gsl::fail_fast> contract_error(m, "ContractError", PyExc_ValueError);
  contract_error.doc() =
      "A precondition of the library failed (bad range, wrong element type, ...). str() gives the "
      "reason first and the library's message after it, 'count 0 is below 1 (GSL: Precondition "
      "failure at <file>: <line>)'; the attributes reason and location hold the two parts.";
  // Kept for the life of the process: a translator may run until the interpreter ends.
  static PyObject* contract_error_type = contract_error.inc_ref().ptr();
  py::register_exception_translator([](std::exception_ptr thrown) {
    const auto raise = [](const std::string& reason, const std::string& location) {
      const std::string text = reason.empty() ? location : reason + " (" + location + ")";
      py::object error = py::reinterpret_borrow<py::object>(contract_error_type)(text);
      error.attr("reason") = reason;
      error.attr("location") = location;
      PyErr_SetObject(contract_error_type, error.ptr());
    };
    try {
      std::rethrow_exception(thrown);
    } catch (const vorlith::integration::Contract_failure& failure) {
      raise(failure.reason(), failure.what());
    } catch (const gsl::fail_fast& failure) {
      raise("", failure.what());
    }
  });

  bind_multi_vector(m);
  bind_math(m.def_submodule("math",
                            "Elementwise arithmetic, statistics, line geometry and random fills."));
  bind_range(m.def_submodule(
      "range", "Minimum, maximum and order of channels; clamping, clipping and limits."));
  bind_convert(m.def_submodule("convert",
                               "Coordinate channels to points and back; field-vector components."));
  bind_predict(m.def_submodule("predict", "Filling dummy gaps by linear prediction."));
  bind_spline(m.def_submodule("spline", "Akima spline interpolation."));
  bind_filter(m.def_submodule("filter", "Convolution and despiking."));
  bind_fft(m.def_submodule("fft", "Real discrete Fourier transforms."));
  bind_text(
      m.def_submodule("text", "Number lists typed as text, and fixed-width text comparison."));
  bind_io(m.def_submodule("io", "Whole surveys in ASEG-GDF2 and delimited text."));
  bind_line(m.def_submodule(
      "line", "Line processing: gap-limited fills, Hampel despiking, lag correction, decimation."));

  // Crossovers and tie-line levelling of surveys.
  vorlith::python::bind_level(
      m.def_submodule("level", "Crossovers and tie-line levelling of whole surveys."));
}
