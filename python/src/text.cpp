// vorlith.text: number lists typed as text, and the opaque text comparison.

#include <algorithm>
#include <string>
#include <vector>

#include "bindings.h"

namespace vorlith::python {

using namespace py::literals;

void bind_text(py::module_ m) {
  m.def(
      "tokenize_to_doubles",
      [](const std::string& text, const std::string& delimiters) {
        Call call;
        Multi_vector& output = call.fresh(Legacy_type(integration::type_double));
        call.run([&] {
          integration::Integration_string::tokenize_to_doubles(text, delimiters, output);
        });
        return call.result(output);
      },
      "text"_a, "delimiters"_a = " ,;\t\n",
      "One float64 per piece of `text` split at any delimiter (a run of delimiters separates "
      "once); "
      "pieces that are not numbers give the dummy.");
  m.def(
      "compare",
      [](const std::string& a, const std::string& b, bool case_sensitive) {
        // Both texts as fields of one width, zero-padded, as opaque elements are stored.
        const std::size_t width = std::max<std::size_t>({a.size(), b.size(), 1});
        std::string fa = a, fb = b;
        fa.resize(width, '\0');
        fb.resize(width, '\0');
        const auto n = static_cast<std::int64_t>(width);
        return case_sensitive
                   ? integration::compare_opaque_case_sensitive(fa.data(), fb.data(), n)
                   : integration::compare_opaque_case_insensitive(fa.data(), fb.data(), n);
      },
      "a"_a, "b"_a, py::kw_only(), "case_sensitive"_a = true,
      "Compares two fixed-width texts as the sorts do, after trimming spaces: case-sensitive (-1, "
      "0, 1), or "
      "case-insensitive on upper-cased bytes (their difference).");
}

}  // namespace vorlith::python
