// vorlith.MultiVector, the element types, the dummies and the index sorts.

#include <cctype>
#include <string>

#include "bindings.h"
#include "types/type_list.h"

namespace vorlith::python {

namespace {

using namespace py::literals;
using integration::legacy_data_type;

std::unique_ptr<Vector> make_vector(py::handle dtype, std::int64_t length, bool block) {
  if (length < 0)
    throw py::value_error("length must not be negative, got " + std::to_string(length));
  return std::make_unique<Vector>(type_of_dtype_like(dtype), block, length);
}

std::string describe(const Vector& vector) {
  const Multi_vector& v = vector.get();
  return "MultiVector(" + v.get_type().get_name() + ", length=" + std::to_string(v.get_length()) +
         (v.is_block_vector() ? ", block)" : ")");
}

// A copy of `self`'s elements converted to `type` by the library's conversion rules.
py::object converted(py::handle self, const Legacy_type& type, py::object block) {
  Call call;
  const Multi_vector& source = call.in(self, "self");
  Multi_vector& copy =
      call.fresh(type, block.is_none() ? source.is_block_vector() : block.cast<bool>());
  call.run([&] { copy.copy(source); });
  return call.result(copy);
}

void bind_data_type(py::module_& m) {
  py::enum_<legacy_data_type> data_type(m, "DataType", "Element type codes of the library.");
  // The value types' names upper-cased: INT8 .. DOUBLE_POINT_3D.
  for (const legacy_data_type code : types::value_type_codes) {
    std::string name(types::value_type_name(code));
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    data_type.value(name.c_str(), code);
  }
  data_type.value("OPAQUE", integration::type_opaque);
}

void bind_dummies(py::module_& m) {
  using common::dummy_value;
  m.attr("DUMMY_INT8") = dummy_value<std::int8_t>;
  m.attr("DUMMY_UINT8") = dummy_value<std::uint8_t>;
  m.attr("DUMMY_INT16") = dummy_value<std::int16_t>;
  m.attr("DUMMY_UINT16") = dummy_value<std::uint16_t>;
  m.attr("DUMMY_INT32") = dummy_value<std::int32_t>;
  m.attr("DUMMY_UINT32") = dummy_value<std::uint32_t>;
  m.attr("DUMMY_INT64") = dummy_value<std::int64_t>;
  m.attr("DUMMY_UINT64") = dummy_value<std::uint64_t>;
  m.attr("DUMMY_FLOAT") = dummy_value<float>;
  m.attr("DUMMY_DOUBLE") = dummy_value<double>;
  m.attr("DUMMY_OPAQUE") = py::bytes("");
}

// A flag given once for all keys or once per key.
std::vector<bool> flags_per_key(py::handle flags, std::size_t keys) {
  if (py::isinstance<py::bool_>(flags)) return std::vector<bool>(keys, flags.cast<bool>());
  auto each = flags.cast<std::vector<bool>>();
  if (each.size() != keys) {
    throw py::value_error("descending: expected one flag or " + std::to_string(keys) + ", got " +
                          std::to_string(each.size()));
  }
  return each;
}

py::object sort_index(py::args keys, py::handle descending, bool case_sensitive, py::handle out) {
  if (keys.empty() || keys.size() > 4) {
    throw py::type_error("sort_index takes one to four keys, got " + std::to_string(keys.size()));
  }
  const std::vector<bool> desc = flags_per_key(descending, keys.size());
  Call call;
  std::vector<const Multi_vector*> k;
  for (py::handle key : keys) k.push_back(&call.in(key, "key"));
  Multi_vector& index = call.out(out, Legacy_type(integration::type_int64), "out");
  call.run([&] {
    switch (k.size()) {
      case 1:
        Multi_vector::sort_index_1(index, *k[0], desc[0], case_sensitive);
        break;
      case 2:
        Multi_vector::sort_index_2(index, *k[0], desc[0], *k[1], desc[1]);
        break;
      case 3:
        Multi_vector::sort_index_3(index, *k[0], desc[0], *k[1], desc[1], *k[2], desc[2]);
        break;
      default:
        Multi_vector::sort_index_4(index, *k[0], desc[0], *k[1], desc[1], *k[2], desc[2], *k[3],
                                   desc[3]);
    }
  });
  return call.result(index);
}

}  // namespace

void bind_multi_vector(py::module_ m) {
  bind_data_type(m);
  bind_dummies(m);

  py::class_<Vector>(m, "MultiVector", R"doc(
A typed channel of survey data held by the library, in contiguous or block storage.

`MultiVector(data, *, block=False, share=False)` copies `data` (anything numpy.asarray accepts);
with share=True it uses the memory of `data`, a writable C-contiguous array of a supported dtype,
without a copy, keeping the array alive (a call that would lengthen it raises BufferError). The element
type follows the dtype: int8..uint64, float32, float64; bytes S1..S4096 for opaque text;
float32/float64 points from (n, 2) / (n, 3) arrays or structured arrays of 2 or 3 equal
fields. Non-contiguous input is copied like any other. Unsupported dtypes raise TypeError,
wrong shapes ValueError.
)doc")
      .def(py::init([](py::handle data, bool block, bool share) {
             if (!share) return vector_from_array(data, block);
             if (block) throw py::value_error("share: a block vector cannot use an array's memory");
             if (!py::isinstance<py::array>(data))
               throw py::type_error("share: data must be a NumPy array");
             const auto array = py::reinterpret_borrow<py::array>(data);
             if (!array.writeable()) throw py::value_error("share: the array is read-only");
             auto vector = vector_from_array(data, false, true, "data", true);
             if (array.size() > 0 && vector->get().get_vector_memory() != array.data()) {
               throw py::value_error(
                   "share: the array is not C-contiguous in native byte order, or its dtype "
                   "needs a conversion; share=False makes a copy");
             }
             return vector;
           }),
           "data"_a, py::kw_only(), "block"_a = false, "share"_a = false)
      .def_static("zeros", &make_vector, "dtype"_a, "length"_a = 0, py::kw_only(),
                  "block"_a = false,
                  "A vector of `length` elements of zero bytes. dtype: a NumPy dtype, 'S<n>', or a "
                  "DataType.")
      .def_static(
          "dummies",
          [](py::handle dtype, std::int64_t length, bool block) {
            auto vector = make_vector(dtype, length, block);
            vector->get().filldummy();
            return vector;
          },
          "dtype"_a, "length"_a = 0, py::kw_only(), "block"_a = false,
          "A vector of `length` dummies.")
      .def_property_readonly(
          "dtype", [](const Vector& v) { return dtype_of_type(v.get().get_type()); },
          "The dtype of numpy() (the component dtype for points).")
      .def_property_readonly(
          "data_type", [](const Vector& v) { return v.get().get_type().get_data_type(); },
          "The library's type code.")
      .def_property_readonly(
          "type_name", [](const Vector& v) { return v.get().get_type().get_name(); },
          "The library's type name, e.g. 'double' or 'opaque(8)'.")
      .def_property_readonly(
          "element_size", [](const Vector& v) { return v.get().get_element_size(); },
          "Bytes per element.")
      .def_property_readonly(
          "block", [](const Vector& v) { return v.get().is_block_vector(); },
          "True for block storage, False for one contiguous store.")
      .def(py::pickle(
          [](py::handle self) {
            // (type code, element size, block, raw elements): enough to rebuild any type.
            const Multi_vector& v = self.cast<Vector&>().get();
            std::string bytes = reading(self, [](const Multi_vector& r) {
              std::string raw(static_cast<std::size_t>(r.get_length() * r.get_element_size()),
                              '\0');
              if (r.get_length() > 0) r.get_range(0, r.get_length(), raw.data());
              return raw;
            });
            return py::make_tuple(static_cast<int>(v.get_type().get_data_type()),
                                  v.get_element_size(), v.is_block_vector(), py::bytes(bytes));
          },
          [](const py::tuple& state) {
            const auto code = state[0].cast<int>();
            const auto size = state[1].cast<std::int64_t>();
            const auto block = state[2].cast<bool>();
            const auto bytes = state[3].cast<std::string>();
            const Legacy_type type = code == integration::type_opaque
                                         ? Legacy_type(size)
                                         : Legacy_type(static_cast<legacy_data_type>(code));
            if (type.get_element_size() != size ||
                bytes.size() % static_cast<std::size_t>(size) != 0) {
              throw py::value_error("MultiVector state does not match its type");
            }
            const auto n = static_cast<std::int64_t>(bytes.size()) / size;
            auto vector = std::make_unique<Vector>(type, block, n);
            if (n > 0) vector->get().set_range(0, n, bytes.data());
            return vector;
          }))
      .def("__len__", [](const Vector& v) { return v.get().get_length(); })
      .def("__repr__", &describe)
      .def("numpy", &array_of_vector, R"doc(
The elements as an array: (n,) for scalars and opaque text, (n, 2) / (n, 3) for points.

Contiguous storage gives a zero-copy view (writes go into the vector) that keeps the vector
alive; while such a view exists the vector cannot be resized or change its storage mode
(BufferError). Block storage gives a read-only copy.
)doc")
      .def(
          "__array__",
          [](py::object self, py::object dtype) {
            py::object array = array_of_vector(std::move(self));
            return dtype.is_none() ? array : array.attr("astype")(dtype);
          },
          "dtype"_a = py::none(), "NumPy interoperation: numpy.asarray(v) is v.numpy().")
      .def(
          "copy",
          [](py::handle self, py::object block) {
            return converted(self, self.cast<Vector&>().get().get_type(), block);
          },
          py::kw_only(), "block"_a = py::none(),
          "A copy, in the same storage mode unless `block` says otherwise.")
      .def(
          "astype",
          [](py::handle self, py::handle dtype, py::object block) {
            return converted(self, type_of_dtype_like(dtype), block);
          },
          "dtype"_a, py::kw_only(), "block"_a = py::none(),
          "A copy converted to another element type by the library's rules (dummies stay dummies, "
          "integers saturate, floats round half away from zero).")
      .def(
          "resize",
          [](py::handle self, std::int64_t length) {
            if (length < 0)
              throw py::value_error("length must not be negative, got " + std::to_string(length));
            resizing(self, [&](Multi_vector& v) { v.set_length(length); });
          },
          "length"_a, "Sets the length; new elements are zero bytes.")
      .def(
          "to_block",
          [](py::handle self) {
            resizing(self, [](Multi_vector& v) {
              if (!v.is_block_vector()) v.switch_to_block_vector();
            });
          },
          "Moves the elements into block storage (nothing when already there).")
      .def(
          "to_contiguous",
          [](py::handle self) {
            resizing(self, [](Multi_vector& v) {
              if (v.is_block_vector()) v.switch_to_vector();
            });
          },
          "Moves the elements into one contiguous store (nothing when already there).")
      .def(
          "append",
          [](py::handle self, py::handle other) {
            Call call;
            Multi_vector& v = call.resizable(self, "self");
            const Multi_vector& tail = call.in(other, "other");
            call.run([&] { v.append(tail); });
          },
          "other"_a, "Appends the elements of `other`, converted to this vector's type.")
      .def(
          "count_dummy",
          [](py::handle self, std::int64_t start, std::int64_t count) {
            return reading(self,
                           [&](const Multi_vector& v) { return v.count_dummy(start, count); });
          },
          py::kw_only(), "start"_a = 0, "count"_a = -1, "Number of dummies in the range.")
      .def(
          "fill_dummy",
          [](py::handle self, std::int64_t start, std::int64_t count) {
            resizing(self, [&](Multi_vector& v) { v.filldummy(start, count); });
          },
          py::kw_only(), "start"_a = 0, "count"_a = -1,
          "Sets the range to dummies; a range past the end lengthens the vector.")
      .def(
          "find_dummy",
          [](py::handle self, std::int64_t start, std::int64_t count) {
            return reading(self, [&](const Multi_vector& v) { return v.finddummy(start, count); });
          },
          py::kw_only(), "start"_a = 0, "count"_a = -1,
          "Index of the first dummy in the range, or -1.")
      .def(
          "find_non_dummy",
          [](py::handle self, std::int64_t start, std::int64_t count) {
            return reading(self,
                           [&](const Multi_vector& v) { return v.findnondummy(start, count); });
          },
          py::kw_only(), "start"_a = 0, "count"_a = -1,
          "Index of the first non-dummy in the range, or -1.")
      .def(
          "reverse", [](py::handle self) { changing(self, [](Multi_vector& v) { v.reverse(); }); },
          "Reverses the order of the elements in place.")
      .def(
          "sort",
          [](py::handle self, bool descending, bool case_sensitive) {
            changing(self, [&](Multi_vector& v) { v.sort(descending, !case_sensitive); });
          },
          py::kw_only(), "descending"_a = false, "case_sensitive"_a = true,
          "Sorts in place. Dummies sort by their stored value; NaN after every number ascending. "
          "case_sensitive matters for opaque text only.")
      .def(
          "stable_sort",
          [](py::handle self, bool descending, bool case_sensitive) {
            changing(self, [&](Multi_vector& v) { v.stable_sort(descending, !case_sensitive); });
          },
          py::kw_only(), "descending"_a = false, "case_sensitive"_a = true,
          "As sort(), keeping the order of equal elements.")
      .def(
          "is_sorted",
          [](py::handle self, bool descending, bool case_sensitive) {
            return reading(self, [&](const Multi_vector& v) {
              return v.is_sorted(descending, !case_sensitive);
            });
          },
          py::kw_only(), "descending"_a = false, "case_sensitive"_a = true,
          "Whether the vector is in order.");

  m.def("sort_index", &sort_index, py::kw_only(), "descending"_a = false, "case_sensitive"_a = true,
        "out"_a = py::none(), R"doc(
Stable argsort on one to four keys of equal length: an int64 MultiVector of positions that
orders the keys (the first key first, ties broken by the next). `descending` is one flag or
one per key; `case_sensitive` applies to a single opaque key (several keys compare
opaque text case-insensitively). Floating keys compare with the library's relative tolerance.
)doc");
  m.def(
      "take",
      [](py::handle source, py::handle index, py::handle out) {
        Call call;
        const Multi_vector& s = call.in(source, "source");
        const Multi_vector& i = call.in(index, "index");
        Multi_vector& o = call.out(out, s.get_type(), "out");
        call.run([&] { o.insert_index(s, i, 0, -1); });
        return call.result(o);
      },
      "source"_a, "index"_a, py::kw_only(), "out"_a = py::none(),
      "source[index] for every index value; an index outside the source gives a dummy. "
      "out (same type as source) receives the elements.");
  m.def("get_min_thread_block", &get_integration_min_thread_block,
        "The minimum number of elements per thread of parallel operations.");
  m.def(
      "set_min_thread_block",
      [](std::int64_t block) {
        if (block < 1) throw py::value_error("the minimum thread block must be at least 1");
        set_integration_min_thread_block(block);
      },
      "block"_a,
      "Sets the minimum number of elements per thread (default 16384). Not while calls run.");
  m.def(
      "get_nan_missing", [] { return nan_default(); },
      "Whether NaN means a missing sample by default.");
  m.def(
      "set_nan_missing", [](bool missing) { nan_default() = missing; }, "missing"_a,
      "Sets the default of the `nan` keyword: when True, NaN in float arrays is a missing sample, "
      "float "
      "arrays handed back hold NaN for dummies, and float results with no data are NaN.");
  m.def(
      "get_num_threads",
      [] {
        const int cap = get_integration_max_threads();
        const int processors =
            static_cast<int>(py::len(py::module_::import("os").attr("sched_getaffinity")(0)));
        return cap > 0 ? std::min(cap, processors) : processors;
      },
      "The number of threads parallel operations plan with.");
  m.def(
      "set_num_threads",
      [](py::object threads) {
        const int cap = threads.is_none() ? 0 : threads.cast<int>();
        if (cap < 0 || (!threads.is_none() && cap == 0)) {
          throw py::value_error("set_num_threads: expected a count of at least 1 or None, got " +
                                std::to_string(cap));
        }
        set_integration_max_threads(cap);
      },
      "threads"_a,
      "Caps the threads of parallel operations at `threads` (None: every processor). Results are "
      "reproducible for a given count. Not while calls run.");
}

}  // namespace vorlith::python
