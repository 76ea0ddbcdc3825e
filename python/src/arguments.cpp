// Arguments: dtypes and types, arrays and vectors, and the claims of one call.

#include <algorithm>
#include <bit>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "bindings.h"
#include "runtime/sizes.h"
#include "types/type_list.h"

namespace vorlith::python {

namespace {

// Imported once: the lookup would otherwise cost every call.
const py::module_& numpy() {
  static const auto* module = new py::module_(py::module_::import("numpy"));
  return *module;
}

std::int64_t components_of(const Legacy_type& type) {
  return types::visit_type(type, [](auto tag) -> std::int64_t {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      return 1;
    } else {
      using T = typename decltype(tag)::type;
      return static_cast<std::int64_t>(sizeof(T) /
                                       sizeof(typename types::point_component<T>::type));
    }
  });
}

constexpr std::int64_t max_opaque_width = vorlith::sizes::max_opaque_width;

std::string unsupported(const py::dtype& dtype) {
  return "unsupported dtype " + py::repr(dtype).cast<std::string>() +
         ": expected int8..uint64, float32, float64, bytes S1..S4096, or float32/float64 "
         "points as (n, 2) / (n, 3) arrays or structured arrays of 2 or 3 equal fields";
}

// A structured point dtype (2 or 3 packed fields of one float type) as its component
// dtype, else None.
py::object point_fields(const py::dtype& dtype, std::int64_t& components) {
  py::object names = dtype.attr("names");
  if (names.is_none()) return py::none();
  const auto n = static_cast<std::int64_t>(py::len(names));
  py::object fields = dtype.attr("fields");
  py::dtype first = fields[names[py::int_(0)]][py::int_(0)].cast<py::dtype>();
  bool packed = (n == 2 || n == 3) && dtype.itemsize() == n * first.itemsize();
  for (std::int64_t i = 0; packed && i < n; ++i) {
    py::tuple field = fields[names[py::int_(i)]];
    packed = field[0].cast<py::dtype>().equal(first) &&
             field[1].cast<std::int64_t>() == i * first.itemsize();
  }
  if (!packed || first.kind() != 'f') throw py::type_error(unsupported(dtype));
  components = n;
  return first;
}

}  // namespace

py::dtype dtype_of_type(const Legacy_type& type) {
  return types::visit_type(type, [](auto tag) {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      return py::dtype("S" + std::to_string(tag.width));
    } else {
      return py::dtype::of<typename types::point_component<typename decltype(tag)::type>::type>();
    }
  });
}

Legacy_type type_of_dtype(const py::dtype& dtype, std::int64_t components) {
  if (dtype.kind() == 'S' && components == 1) {
    if (dtype.itemsize() < 1 || dtype.itemsize() > max_opaque_width)
      throw py::type_error(unsupported(dtype));
    return Legacy_type(static_cast<std::int64_t>(dtype.itemsize()));
  }
  // Bools and characters share sizes with integers; only the integer and float kinds map.
  if (dtype.kind() == 'i' || dtype.kind() == 'u' || dtype.kind() == 'f') {
    for (const integration::legacy_data_type code : types::value_type_codes) {
      const Legacy_type type(code);
      if (components_of(type) == components && dtype_of_type(type).equal(dtype)) return type;
    }
  }
  throw py::type_error(unsupported(dtype));
}

Legacy_type type_of_dtype_like(py::handle dtype_like) {
  if (py::isinstance<integration::legacy_data_type>(dtype_like)) {
    const auto code = dtype_like.cast<integration::legacy_data_type>();
    if (code == integration::type_opaque)
      throw py::value_error("DataType.OPAQUE needs a width: use a bytes dtype such as 'S8'");
    return Legacy_type(code);
  }
  // The DataType names work as text too ("DOUBLE_POINT_2D"); lower-case names are NumPy's.
  if (py::isinstance<py::str>(dtype_like)) {
    py::dict members = py::type::of<integration::legacy_data_type>().attr("__members__");
    if (members.contains(dtype_like)) return type_of_dtype_like(members[dtype_like]);
  }
  const py::dtype dtype = py::dtype::from_args(py::reinterpret_borrow<py::object>(dtype_like));
  std::int64_t components = 1;
  py::object component = point_fields(dtype, components);
  return type_of_dtype(component.is_none() ? dtype : component.cast<py::dtype>(), components);
}

bool& nan_default() {
  static bool missing = false;
  return missing;
}

bool& nan_missing() {
  thread_local bool missing = false;
  return missing;
}

namespace {

// The type of a plain dtype (integer or float, native byte order, no fields) from a table
// made once, without the Python calls of type_of_dtype; nothing for other dtypes.
std::optional<Legacy_type> plain_type(const py::dtype& dtype) {
  constexpr char native = std::endian::native == std::endian::little ? '<' : '>';
  const char order = dtype.byteorder();
  if (dtype.has_fields() || (order != '=' && order != '|' && order != native)) return {};
  static const auto* table = [] {
    auto* types = new std::vector<std::tuple<char, py::ssize_t, Legacy_type>>;
    for (const integration::legacy_data_type code : types::value_type_codes) {
      const Legacy_type type(code);
      const py::dtype d = dtype_of_type(type);
      if (components_of(type) == 1) types->emplace_back(d.kind(), d.itemsize(), type);
    }
    return types;
  }();
  for (const auto& [kind, size, type] : *table)
    if (kind == dtype.kind() && size == dtype.itemsize()) return type;
  return {};
}

std::unique_ptr<Vector> vector_of_packed(py::array array, const Legacy_type& type, bool block,
                                         bool share) {
  const std::int64_t n = array.ndim() == 0 ? 0 : array.shape(0);
  if (share && !block) {
    // Read-only arrays are lent only to calls that read them (Call::in).
    void* memory = const_cast<void*>(array.data());
    return std::make_unique<Vector>(Multi_vector::over_memory(type, memory, n), std::move(array));
  }
  auto vector = std::make_unique<Vector>(type, block, 0);
  vector->get().set_length_for_overwrite(n);
  if (n > 0) vector->get().set_range(0, n, array.data());
  return vector;
}

}  // namespace

std::unique_ptr<Vector> vector_from_array(py::handle data, bool block, bool points,
                                          const char* name, bool share) {
  // The common case first: a packed 1-D array of a plain dtype is taken as it is.
  if (py::isinstance<py::array>(data)) {
    auto plain = py::reinterpret_borrow<py::array>(data);
    if (plain.ndim() == 1 && (plain.flags() & py::array::c_style)) {
      if (const std::optional<Legacy_type> type = plain_type(plain.dtype()))
        return vector_of_packed(std::move(plain), *type, block, share);
    }
  }
  py::array array = numpy().attr("asarray")(data);
  if (array.dtype().kind() == 'b') array = array.attr("view")(py::dtype::of<std::uint8_t>());
  std::int64_t components = 1;
  py::object component = point_fields(array.dtype(), components);
  if (!component.is_none()) {
    array = numpy().attr("ascontiguousarray")(array).attr("view")(component).attr("reshape")(
        -1, components);
  } else if (array.ndim() == 2) {
    components = array.shape(1);
    const std::string shape =
        "(" + std::to_string(array.shape(0)) + ", " + std::to_string(components) + ")";
    if (components != 2 && components != 3) {
      throw py::value_error(std::string(name) +
                            ": a 2-D array must have 2 or 3 columns (points); got shape " + shape);
    }
    // A two-column table is far more often columns than points; take it as points
    // only where points are asked for.
    if (!points) {
      throw py::value_error(std::string(name) +
                            ": expected a 1-D channel, got a 2-D array of shape " + shape +
                            "; pass one column, or points as a structured array or a MultiVector");
    }
  }
  if (array.ndim() != 1 && component.is_none() && array.ndim() != 2) {
    throw py::value_error(std::string(name) +
                          ": expected a 1-D array, or an (n, 2) / (n, 3) array of points; got " +
                          std::to_string(array.ndim()) + " dimensions");
  }
  if (!array.dtype().attr("isnative").cast<bool>()) {
    array = array.attr("astype")(array.dtype().attr("newbyteorder")("="));
  }
  const Legacy_type type = type_of_dtype(array.dtype(), components);
  // Strided input is copied into packed order here (documented: never a view).
  return vector_of_packed(numpy().attr("ascontiguousarray")(array), type, block, share);
}

namespace {

// The float components of a contiguous vector, as a pointer and a count, for f(T*, n)
// with T float or double; nothing for other types and block vectors.
template <class F>
void visit_float_components(const Multi_vector& v, F&& f) {
  if (v.get_length() == 0 || v.is_block_vector() || v.is_opaque_type()) return;
  const py::dtype component = dtype_of_type(v.get_type());
  const std::int64_t n = v.get_length() * v.get_element_size() / component.itemsize();
  void* memory = const_cast<void*>(v.get_vector_memory());
  if (component.equal(py::dtype::of<double>())) {
    f(static_cast<double*>(memory), n);
  } else if (component.equal(py::dtype::of<float>())) {
    f(static_cast<float*>(memory), n);
  }
}

// Whether the float components hold a NaN; stops at the first (in steps of a block,
// so the test vectorises).
bool holds_nan(const Multi_vector& v) {
  bool found = false;
  visit_float_components(v, [&](const auto* values, std::int64_t n) {
    constexpr std::int64_t step = 1024;
    for (std::int64_t begin = 0; begin < n && !found; begin += step) {
      const std::int64_t end = std::min(n, begin + step);
      bool any = false;
      for (std::int64_t i = begin; i < end; ++i) any |= values[i] != values[i];
      found = any;
    }
  });
  return found;
}

// NaN and the dummy trade places in the float components of a contiguous vector.
void swap_missing(Multi_vector& v, bool to_dummy) {
  visit_float_components(v, [&](auto* values, std::int64_t n) {
    using T = std::remove_pointer_t<decltype(values)>;
    constexpr T dummy = common::dummy_value<T>;
    const T nan = std::numeric_limits<T>::quiet_NaN();
    if (to_dummy) {
      for (std::int64_t i = 0; i < n; ++i) values[i] = values[i] != values[i] ? dummy : values[i];
    } else {
      for (std::int64_t i = 0; i < n; ++i) values[i] = values[i] == dummy ? nan : values[i];
    }
  });
}

// A vector of its own holding `source` with NaN as the dummy, written in one pass.
std::unique_ptr<Vector> copy_with_dummies(const Multi_vector& source) {
  auto copy = std::make_unique<Vector>(source.get_type(), false, 0);
  copy->get().set_length_for_overwrite(source.get_length());
  void* to = copy->get().get_vector_memory();
  visit_float_components(source, [&](const auto* values, std::int64_t n) {
    using T = std::remove_const_t<std::remove_pointer_t<decltype(values)>>;
    constexpr T dummy = common::dummy_value<T>;
    T* into = static_cast<T*>(to);
    for (std::int64_t i = 0; i < n; ++i) into[i] = values[i] != values[i] ? dummy : values[i];
  });
  return copy;
}

}  // namespace

py::array array_of_vector(py::object self) {
  Vector& vector = self.cast<Vector&>();
  const Multi_vector& v = vector.get();
  const std::int64_t n = v.get_length();
  const std::int64_t components = components_of(v.get_type());
  std::vector<py::ssize_t> shape{n};
  if (components > 1) shape.push_back(components);
  const py::dtype dtype = dtype_of_type(v.get_type());
  if (vector.writer)
    throw py::buffer_error("the vector is being changed by a call running in another thread");
  if (!v.is_block_vector() && n > 0) {
    // The base holds the vector's Python object; while it lives the memory must not move.
    struct View_base {
      py::object owner;
      Vector* vector;
    };
    auto* base = new View_base{std::move(self), &vector};
    ++vector.views;
    py::capsule capsule(base, [](void* p) {
      auto* held = static_cast<View_base*>(p);
      --held->vector->views;
      delete held;
    });
    return py::array(dtype, shape, {}, vector.get().get_vector_memory(), capsule);
  }
  py::array copy(dtype, shape);
  if (n > 0) v.get_range(0, n, copy.mutable_data());
  // Writes into a copy would be lost silently; make them fail instead.
  if (v.is_block_vector()) copy.attr("flags").attr("writeable") = false;
  return copy;
}

// --- Call -------------------------------------------------------------------------

Call::~Call() {
  if (claimed_) release();
}

Vector& Call::adopt(std::unique_ptr<Vector> vector, Access access, py::object array,
                    const char* name, bool input, bool fresh) {
  Vector* raw = vector.get();
  // Only a result handed out needs a Python object (made once per call: it costs).
  py::object owner = fresh ? py::cast(std::move(vector)) : py::none();
  std::shared_ptr<Vector> held = fresh ? nullptr : std::move(vector);
  arguments_.push_back(
      {std::move(owner), raw, std::move(held), access, std::move(array), name, input, fresh});
  return *raw;
}

Multi_vector& Call::add(py::handle obj, Access access, const char* name, bool input, bool points) {
  if (py::isinstance<Vector>(obj)) {
    Vector& vector = obj.cast<Vector&>();
    arguments_.push_back({py::reinterpret_borrow<py::object>(obj), &vector, nullptr, access,
                          py::none(), name, input, false});
    return vector.get();
  }
  if (obj.is_none())
    throw py::type_error(std::string(name) + ": expected a MultiVector or an array, got None");
  if (is_number(obj))
    throw py::type_error(std::string(name) +
                         ": expected a channel (a MultiVector or an array), got a number");
  py::object array = py::none();
  if (access != Access::read) {
    if (!py::isinstance<py::array>(obj)) {
      throw py::type_error(
          std::string(name) +
          ": changed in place, so it must be a MultiVector or a writable NumPy array");
    }
    const py::array a = py::reinterpret_borrow<py::array>(obj);
    if (!a.writeable()) throw py::value_error(std::string(name) + ": the array is read-only");
    if (!a.dtype().attr("isnative").cast<bool>())
      throw py::value_error(std::string(name) + ": the array is not in native byte order");
    if (a.dtype().kind() == 'b')
      throw py::type_error(std::string(name) + ": a boolean array cannot receive results");
    array = a;
  }
  arrays_ = true;
  // A channel read or changed in place (never resized) is used where it lies. With NaN
  // for missing samples, one that holds NaN is copied with dummies in their place
  // (unless the library reads NaN itself); a changed one gets NaN back after the call.
  const bool share = access != Access::resize;
  std::unique_ptr<Vector> vector = vector_from_array(obj, false, points, name, share);
  const bool point = vector->get().get_type().is_point();
  if (nan_missing() && !(library_nan_ && !point)) {
    if (!share)
      swap_missing(vector->get(), true);
    else if (holds_nan(vector->get()))
      vector = copy_with_dummies(vector->get());
  }
  return adopt(std::move(vector), access, std::move(array), name, input).get();
}

void Call::nan_in_library(std::initializer_list<py::handle> channels) {
  library_nan_ = nan_missing() && std::none_of(channels.begin(), channels.end(), [](py::handle c) {
                   return py::isinstance<Vector>(c);
                 });
}

bool Call::is_number(py::handle obj) {
  if (py::isinstance<py::array>(obj)) return py::reinterpret_borrow<py::array>(obj).ndim() == 0;
  return py::isinstance<py::float_>(obj) || py::isinstance<py::int_>(obj) ||
         py::isinstance(obj, numpy().attr("number"));
}

const Multi_vector& Call::in(py::handle obj, const char* name) {
  return add(obj, Access::read, name);
}

const Multi_vector& Call::points(py::handle obj, const char* name) {
  return add(obj, Access::read, name, true, true);
}

const Multi_vector& Call::in_or_constant(py::handle obj, const char* name, std::int64_t length) {
  if (!is_number(obj)) return in(obj, name);
  double value = obj.cast<double>();
  if (nan_missing() && value != value) value = common::dummy_value<double>;
  Multi_vector& constant = fresh(Legacy_type(integration::type_double));
  constant.set_length(length);
  if (length > 0) constant.fill_value(&value, 0, length);
  return constant;
}

Multi_vector& Call::inout(py::handle obj, const char* name) {
  return add(obj, Access::write, name);
}

Multi_vector& Call::out(py::handle obj, const Legacy_type& type, const char* name,
                        std::int64_t length) {
  if (obj.is_none()) return fresh(type);
  if (py::isinstance<Vector>(obj)) return resizable(obj, name);
  if (length >= 0 && py::isinstance<py::array>(obj)) {
    const auto a = py::reinterpret_borrow<py::array>(obj);
    bool usable = a.ndim() == 1 && a.shape(0) == length && a.writeable() &&
                  (a.flags() & py::array::c_style) && a.dtype().kind() != 'b' &&
                  a.dtype().attr("isnative").cast<bool>() && a.dtype().attr("names").is_none();
    // An out= array over an input's memory is copied: some calls read an input's
    // neighbours after writing the output at the same index.
    const auto* begin = static_cast<const char*>(a.data());
    const char* end = begin + a.nbytes();
    for (const Argument& argument : arguments_) {
      const Multi_vector& v = argument.vector->get();
      if (v.is_block_vector() || v.get_length() == 0) continue;
      const auto* first = static_cast<const char*>(v.get_vector_memory());
      if (first < end && begin < first + v.get_length() * v.get_element_size()) usable = false;
    }
    if (usable) {
      // Checked like any out= array (and refused the same way) when the call runs.
      arrays_ = true;
      std::unique_ptr<Vector> vector = vector_from_array(obj, false, false, name, true);
      return adopt(std::move(vector), Access::resize, a, name, false).get();
    }
  }
  return add(obj, Access::resize, name, false);
}

Multi_vector& Call::resizable(py::handle obj, const char* name) {
  if (!py::isinstance<Vector>(obj))
    throw py::type_error(std::string(name) + ": expected a MultiVector");
  return add(obj, Access::resize, name, false);
}

Multi_vector& Call::fresh(const Legacy_type& type, bool block) {
  return adopt(std::make_unique<Vector>(type, block, 0), Access::resize, py::none(), "result",
               false, true)
      .get();
}

void Call::equal_lengths(std::int64_t count) const {
  if (count != -1) return;
  const Argument* first = nullptr;
  for (const Argument& argument : arguments_) {
    if (!argument.input) continue;
    if (first == nullptr) {
      first = &argument;
    } else if (argument.vector->get().get_length() != first->vector->get().get_length()) {
      throw py::value_error(std::string(first->name) + " has " +
                            std::to_string(first->vector->get().get_length()) + " values and " +
                            argument.name + " has " +
                            std::to_string(argument.vector->get().get_length()) +
                            ": pass channels of one length, or the range with start= and count=");
    }
  }
}

py::object Call::result(const Multi_vector& v) const {
  for (const Argument& argument : arguments_) {
    if (&argument.vector->get() != &v) continue;
    if (!argument.array.is_none()) return argument.array;
    if (!arrays_ || !argument.fresh) return argument.owner;
    if (nan_missing() && !library_nan_) swap_missing(argument.vector->get(), false);
    return array_of_vector(argument.owner);
  }
  throw std::logic_error("result() of a vector that is not an argument of the call");
}

void Call::claim() {
  // A vector passed twice (out= one of the inputs) is claimed once, for its strongest use.
  claims_.clear();
  for (const Argument& argument : arguments_) {
    auto same = std::find_if(claims_.begin(), claims_.end(),
                             [&](const Argument& c) { return c.vector == argument.vector; });
    if (same == claims_.end())
      claims_.push_back(argument);
    else
      same->access = std::max(same->access, argument.access);
  }
  for (const Argument& claim : claims_) {
    const Vector& v = *claim.vector;
    const std::string name(claim.name);
    if (v.writer || (claim.access != Access::read && v.readers > 0)) {
      throw py::buffer_error(name + ": the vector is in use by a call running in another thread");
    }
    if (claim.access == Access::resize && v.views > 0) {
      throw py::buffer_error(name +
                             ": the vector has live arrays from numpy(); delete them before a call "
                             "that may resize it");
    }
  }
  for (const Argument& claim : claims_) {
    if (claim.access == Access::read)
      ++claim.vector->readers;
    else
      claim.vector->writer = true;
  }
  claimed_ = true;
}

void Call::refuse_growth_of_shared(const std::length_error& e) const {
  for (const Argument& argument : arguments_) {
    if (argument.access != Access::read && argument.vector->get().uses_outside_memory()) {
      throw py::buffer_error(std::string(argument.name) +
                             ": the vector shares a NumPy array's memory, which the call would "
                             "have to lengthen (" +
                             e.what() + "); pass a MultiVector of its own");
    }
  }
}

void Call::release() {
  for (const Argument& claim : claims_) {
    if (claim.access == Access::read)
      --claim.vector->readers;
    else
      claim.vector->writer = false;
  }
  claimed_ = false;
}

void Call::write_back() {
  // Every array is checked before any is written, so a refused call changes none.
  for (const Argument& argument : arguments_) {
    if (argument.array.is_none()) continue;
    const auto held = py::reinterpret_borrow<py::array>(argument.array).shape(0);
    const std::int64_t length = argument.vector->get().get_length();
    if (length != held) {
      throw py::buffer_error(std::string(argument.name) + ": the call would make it " +
                             std::to_string(length) + " values long, but the array holds " +
                             std::to_string(held) +
                             "; pass a MultiVector, or a range inside the array");
    }
  }
  for (const Argument& argument : arguments_) {
    if (argument.array.is_none()) continue;
    py::array array = py::reinterpret_borrow<py::array>(argument.array);
    Multi_vector& v = argument.vector->get();
    const std::int64_t n = v.get_length();
    if (n == 0) continue;
    const bool swap = nan_missing() && !(library_nan_ && !v.get_type().is_point());
    if (swap) swap_missing(v, false);
    // Changed where it lies: nothing to copy back.
    if (v.uses_outside_memory() && v.get_vector_memory() == array.data()) continue;
    if (array.flags() & py::array::c_style) {
      v.get_range(0, n, array.mutable_data());
    } else {
      py::array packed(array.dtype(),
                       std::vector<py::ssize_t>(array.shape(), array.shape() + array.ndim()));
      v.get_range(0, n, packed.mutable_data());
      numpy().attr("copyto")(array, packed);
    }
  }
}

}  // namespace vorlith::python
