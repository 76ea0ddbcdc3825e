#pragma once
// What every binding file shares: the Python-side vector, the conversion of
// "MultiVector or array" arguments, and the one way to run a library call without the
// GIL while the vectors it touches are kept safe.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <vorlith/integration.h>

#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace vorlith::python {

namespace py = pybind11;
using integration::Legacy_type;
using integration::Multi_vector;

/// The object behind vorlith.MultiVector: the library vector plus the counts that keep
/// its memory from moving while NumPy views of it exist or a call without the GIL runs
/// on it. The counts are only read and changed with the GIL held.
class Vector {
 public:
  Vector(Legacy_type type, bool block, std::int64_t length) : v_(type, block, length) {}
  /// A vector over an array's memory; `lender` keeps the array alive while it is used.
  Vector(Multi_vector v, py::object lender) : lender_(std::move(lender)), v_(std::move(v)) {}
  Multi_vector& get() { return v_; }
  const Multi_vector& get() const { return v_; }

  std::int64_t views = 0;    // live arrays returned by numpy()
  std::int64_t readers = 0;  // running calls that read the vector
  bool writer = false;       // a running call that writes the vector

 private:
  py::object lender_;  // the array whose memory v_ uses, if any
  Multi_vector v_;
};

/// How a call uses a vector. `write` changes values in place (views stay valid),
/// `resize` may change the length or move the memory.
enum class Access { read, write, resize };

/// The Legacy_type of a NumPy dtype and the shape it came with (points: (n, 2) or
/// (n, 3) component arrays, or structured arrays of 2 or 3 equal float fields).
/// Raises TypeError for dtypes the library has no type for.
Legacy_type type_of_dtype(const py::dtype& dtype, std::int64_t components);
/// The dtype numpy() gives for a type: the component dtype for points, S<width> for opaque.
py::dtype dtype_of_type(const Legacy_type& type);
/// Parses a dtype-like argument (np.float64, "int32", "S8", a DataType).
Legacy_type type_of_dtype_like(py::handle dtype_like);

/// Whether NaN in float arrays stands for a missing sample on this thread (the `nan`
/// keyword of the package's functions sets it around one call).
bool& nan_missing();

/// A new vector holding a copy of `data` (anything NumPy turns into an array; booleans
/// become uint8 0/1). A plain (n, 2) / (n, 3) array is points only when `points`;
/// otherwise it is refused with a message that names `name`. Strided arrays are packed
/// while copied. With `share`, a contiguous vector uses the (packed) array's memory
/// instead of a copy: no copy of a C-contiguous array of a supported dtype.
std::unique_ptr<Vector> vector_from_array(py::handle data, bool block, bool points = true,
                                          const char* name = "data", bool share = false);
/// The elements as an array: a view for contiguous storage (its base keeps `self`
/// alive and counts as a view), a read-only copy for block storage.
py::array array_of_vector(py::object self);

/// One library call: collects its vector arguments (converting arrays), claims them
/// for the call, runs it without the GIL and writes in-place results back into arrays
/// the caller passed.
///
/// Results follow one rule: when every channel argument is a MultiVector, result()
/// gives MultiVectors; when any is an array (or a list, a Series, ...), it gives NumPy
/// arrays that view the result's memory. An array given for an in-place or out=
/// argument receives the values and must keep its length: a call that would lengthen
/// it raises BufferError and leaves it unchanged. With nan_missing(), NaN in float
/// arrays reads as the dummy, and float arrays handed back hold NaN for dummies.
class Call {
 public:
  Call() = default;
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
  ~Call();

  /// A vector read by the call: a MultiVector, or an array copied into a new vector.
  const Multi_vector& in(py::handle obj, const char* name);
  /// As in(), where a plain (n, 2) / (n, 3) array is a point channel.
  const Multi_vector& points(py::handle obj, const char* name);
  /// As in(), where a number is also taken: a constant channel of `length` values.
  const Multi_vector& in_or_constant(py::handle obj, const char* name, std::int64_t length);
  /// Whether `obj` is a number rather than a channel.
  static bool is_number(py::handle obj);
  /// A vector changed in place: a MultiVector, or a writable array, changed where it lies
  /// when C-contiguous of a supported dtype, else copied in and, after the call, back.
  Multi_vector& inout(py::handle obj, const char* name);
  /// A vector the call writes and may resize: `obj` when it is a MultiVector or a
  /// writable array (which must keep its length), a new vector of `type` when None. An
  /// array is written where it lies when the caller knows the call makes the output
  /// `length` values long and the array is a writable C-contiguous 1-D array of a
  /// supported dtype and that length; otherwise it is copied in and back.
  Multi_vector& out(py::handle obj, const Legacy_type& type, const char* name,
                    std::int64_t length = -1);
  /// As inout(), for calls that lengthen the vector when their range passes its end.
  Multi_vector& growing(py::handle obj, const char* name) { return add(obj, Access::resize, name); }
  /// A MultiVector the call may resize or move to another storage mode.
  Multi_vector& resizable(py::handle obj, const char* name);
  /// A new vector of `type`, owned by the call until result() hands it out.
  Multi_vector& fresh(const Legacy_type& type, bool block = false);
  /// With count -1, every channel read so far must have one length: ValueError naming
  /// the first two that differ.
  void equal_lengths(std::int64_t count) const;
  /// Declares, before any channel is added, that the library call reads NaN as missing
  /// itself (get_integration_nan_missing): with nan_missing() and none of `channels` a
  /// MultiVector, float arrays are then used where they lie and nothing is swapped.
  void nan_in_library(std::initializer_list<py::handle> channels);

  /// Runs f() without the GIL, then copies in-place results back into arrays.
  template <class F>
  auto run(F&& f) {
    claim();
    const Library_nan library_nan(library_nan_);
    struct Release {
      Call& call;
      ~Release() { call.release(); }
    } release_claims{*this};
    try {
      if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
        run_released(f);
        write_back();
      } else {
        auto result = run_released(f);
        write_back();
        return result;
      }
    } catch (const std::length_error& e) {
      refuse_growth_of_shared(e);
      throw;
    }
  }

  /// The Python object of an out() or fresh() vector, by the rule above.
  py::object result(const Multi_vector& v) const;

 private:
  struct Argument {
    py::object owner;  // the MultiVector object (keeps it alive during the call)
    Vector* vector;
    std::shared_ptr<Vector> held;  // a vector made from an array that no Python object holds
    Access access;
    py::object array;  // an array to copy the result back into, or None
    const char* name;
    bool input;  // a channel the caller passed to be read or changed (not out=, not fresh)
    bool fresh;  // made by the call for its result
  };

  // Sets the library's NaN rule for the call and puts back the previous one.
  struct Library_nan {
    explicit Library_nan(bool on) : saved(::get_integration_nan_missing()) {
      ::set_integration_nan_missing(on);
    }
    ~Library_nan() { ::set_integration_nan_missing(saved); }
    Library_nan(const Library_nan&) = delete;
    Library_nan& operator=(const Library_nan&) = delete;
    bool saved;
  };

  template <class F>
  static auto run_released(F& f) {
    py::gil_scoped_release released;
    return f();
  }

  Multi_vector& add(py::handle obj, Access access, const char* name, bool input = true,
                    bool points = false);
  Vector& adopt(std::unique_ptr<Vector> vector, Access access, py::object array, const char* name,
                bool input, bool fresh = false);
  void claim();
  // A vector over an array's memory that the call had to lengthen: BufferError naming it.
  void refuse_growth_of_shared(const std::length_error& e) const;
  void release();
  void write_back();

  std::vector<Argument> arguments_;
  std::vector<Argument> claims_;  // the distinct vectors, each with its strongest use
  bool claimed_ = false;
  bool arrays_ = false;       // some channel argument is not a MultiVector
  bool library_nan_ = false;  // the library reads and writes NaN for missing (nan_in_library)
};

/// Runs f(v) on the MultiVector `self` read, changed in place, or resized.
template <class F>
auto reading(py::handle self, F&& f) {
  Call call;
  const Multi_vector& v = call.in(self, "self");
  return call.run([&] { return f(v); });
}
template <class F>
auto changing(py::handle self, F&& f) {
  Call call;
  Multi_vector& v = call.inout(self, "self");
  return call.run([&] { return f(v); });
}
template <class F>
auto resizing(py::handle self, F&& f) {
  Call call;
  Multi_vector& v = call.resizable(self, "self");
  return call.run([&] { return f(v); });
}

/// Adapters for the library's members of the form F(v, scalars..., start, count):
/// Ranged<R, Scalars...>::in_place<F> changes v in place, ::output_range<F> may also
/// lengthen it, ::read<F> and ::read2<F> (two vectors) only read, and ::reduce<F> reads
/// for a member that reads NaN as missing itself (Call::nan_in_library).
template <class R, class... Scalars>
struct Ranged {
  template <R (*F)(Multi_vector&, Scalars..., std::int64_t, std::int64_t)>
  static R in_place(py::handle v, Scalars... s, std::int64_t start, std::int64_t count) {
    Call call;
    Multi_vector& vector = call.inout(v, "v");
    return call.run([&] { return F(vector, s..., start, count); });
  }
  template <R (*F)(Multi_vector&, Scalars..., std::int64_t, std::int64_t)>
  static R output_range(py::handle v, Scalars... s, std::int64_t start, std::int64_t count) {
    Call call;
    Multi_vector& vector = call.growing(v, "v");
    return call.run([&] { return F(vector, s..., start, count); });
  }
  template <R (*F)(const Multi_vector&, Scalars..., std::int64_t, std::int64_t)>
  static R read(py::handle v, Scalars... s, std::int64_t start, std::int64_t count) {
    Call call;
    const Multi_vector& vector = call.in(v, "v");
    return call.run([&] { return F(vector, s..., start, count); });
  }
  template <R (*F)(const Multi_vector&, Scalars..., std::int64_t, std::int64_t)>
  static R reduce(py::handle v, Scalars... s, std::int64_t start, std::int64_t count) {
    Call call;
    call.nan_in_library({v});
    const Multi_vector& vector = call.in(v, "v");
    return call.run([&] { return F(vector, s..., start, count); });
  }
  template <R (*F)(const Multi_vector&, const Multi_vector&, Scalars..., std::int64_t,
                   std::int64_t)>
  static R read2(py::handle a, py::handle b, Scalars... s, std::int64_t start, std::int64_t count) {
    Call call;
    const Multi_vector& first = call.in(a, "first");
    const Multi_vector& second = call.in(b, "second");
    call.equal_lengths(count);
    return call.run([&] { return F(first, second, s..., start, count); });
  }
};

/// Lets an enum also be given by its member's name as text, in any case.
template <class E>
void accept_names(py::enum_<E>& e) {
  e.def(
      py::init([](const std::string& text) {
        py::object type = py::type::of<E>();
        py::dict members = type.attr("__members__");
        std::string upper = text, names;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const std::pair<py::handle, py::handle> member : members) {
          const std::string name = py::str(member.first);
          if (name == upper) return py::cast<E>(member.second);
          names += (names.empty() ? "" : ", ") + name;
        }
        const std::string type_name = py::str(type.attr("__name__"));
        throw py::value_error("unknown " + type_name + " '" + text + "': expected one of " + names);
      }),
      py::arg("name"));
  py::implicitly_convertible<py::str, E>();
}

/// The module default of the `nan` keyword (vorlith.set_nan_missing).
bool& nan_default();

/// Sets nan_missing() for one call from its `nan` keyword (None: the module default)
/// and puts back the previous setting after it.
class Nan_scope {
 public:
  explicit Nan_scope(const std::optional<bool>& nan) : saved_(nan_missing()) {
    nan_missing() = nan.value_or(nan_default());
  }
  ~Nan_scope() { nan_missing() = saved_; }
  Nan_scope(const Nan_scope&) = delete;
  Nan_scope& operator=(const Nan_scope&) = delete;

 private:
  bool saved_;
};

/// A float result: NaN instead of the double dummy while nan_missing().
inline double missing(double value) {
  return nan_missing() && value == common::dummy_value<double>
             ? std::numeric_limits<double>::quiet_NaN()
             : value;
}
template <class R>
R missing_result(R result) {
  if constexpr (std::is_same_v<R, double>) {
    return missing(result);
  } else if constexpr (std::is_same_v<R, std::pair<double, double>>) {
    return {missing(result.first), missing(result.second)};
  } else {
    return result;
  }
}

/// f with a trailing `nan` argument that runs it in a Nan_scope.
template <class F>
struct With_nan : With_nan<decltype(&std::decay_t<F>::operator())> {};
template <class R, class... A>
struct With_nan<R (*)(A...)> {
  template <class G>
  static auto wrap(G g) {
    return [g](A... a, std::optional<bool> nan) -> R {
      Nan_scope scope(nan);
      if constexpr (std::is_void_v<R>) {
        g(std::forward<A>(a)...);
      } else {
        return missing_result<R>(g(std::forward<A>(a)...));
      }
    };
  }
};
template <class C, class R, class... A>
struct With_nan<R (C::*)(A...) const> : With_nan<R (*)(A...)> {};

/// Defines a function that takes channels: its last keyword argument is `nan`.
template <class F, class... Extra>
void def_channels(py::module_& m, const char* name, F&& f, Extra&&... extra) {
  m.def(name, With_nan<std::decay_t<F>>::wrap(std::forward<F>(f)), std::forward<Extra>(extra)...,
        py::arg("nan") = py::none());
}

/// Defines a function whose last keyword arguments are the library's range, start=0
/// and count=-1 (to the end), and `nan`. `extra` holds the other arguments and
/// py::kw_only().
template <class F, class... Extra>
void def_ranged(py::module_& m, const char* name, F&& f, const char* doc, Extra&&... extra) {
  def_channels(m, name, std::forward<F>(f), doc, std::forward<Extra>(extra)...,
               py::arg("start") = 0, py::arg("count") = -1);
}

// The bindings of each family, called once from the module definition.
void bind_multi_vector(py::module_ m);
void bind_math(py::module_ m);
void bind_range(py::module_ m);
void bind_convert(py::module_ m);
void bind_predict(py::module_ m);
void bind_spline(py::module_ m);
void bind_filter(py::module_ m);
void bind_fft(py::module_ m);
void bind_text(py::module_ m);
void bind_io(py::module_ m);
void bind_line(py::module_ m);

}  // namespace vorlith::python
