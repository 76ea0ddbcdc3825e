// vorlith._core.io: whole surveys read from and written to ASEG-GDF2 and delimited text,
// their channels and lines as NumPy views of the survey's memory.

#include <vorlith/survey/aseg_gdf2.h>
#include <vorlith/survey/delimited.h>
#include <vorlith/survey/survey.h>

#include "bindings.h"

namespace vorlith::python {

using namespace py::literals;

namespace {

using survey::Channel;
using survey::Survey;

std::string format_text(const survey::Field_format& format) {
  if (format.kind == 0) return "";
  std::string text(1, format.kind);
  if (format.width > 0) text += std::to_string(format.width);
  if (format.kind != 'A' && format.kind != 'I' && (format.width > 0 || format.decimals > 0)) {
    text += '.' + std::to_string(format.decimals);
  }
  return text;
}

survey::Field_format parse_format_text(const std::string& text) {
  survey::Field_format format;
  if (text.empty()) return format;
  format.kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (std::string("AIFED").find(format.kind) == std::string::npos) {
    throw py::value_error("format must be Aw, Iw, Fw.d, Ew.d or Dw.d, not " + text);
  }
  const auto point = text.find('.');
  try {
    if (text.size() > 1)
      format.width =
          std::stoi(text.substr(1, point == std::string::npos ? std::string::npos : point - 1));
    if (point != std::string::npos) format.decimals = std::stoi(text.substr(point + 1));
  } catch (const std::exception&) {
    throw py::value_error("format must be Aw, Iw, Fw.d, Ew.d or Dw.d, not " + text);
  }
  return format;
}

// Rows `first` .. `first + count - 1` of a channel as an array over the survey's memory;
// its base holds the survey's Python object.
py::array channel_rows(py::object owner, const Channel& channel, std::int64_t first,
                       std::int64_t count) {
  const py::dtype dtype = dtype_of_type(channel.values.get_type());
  std::vector<py::ssize_t> shape{count};
  if (channel.columns > 1) shape.push_back(channel.columns);
  if (channel.values.get_length() == 0) return py::array(dtype, shape);
  const auto* memory = static_cast<const char*>(channel.values.get_vector_memory());
  void* start =
      const_cast<char*>(memory) + first * channel.columns * channel.values.get_element_size();
  return py::array(dtype, shape, {}, start, owner);
}

struct Channel_ref {
  std::shared_ptr<Survey> survey;
  std::size_t index;
  Channel& get() const { return survey->channels.at(index); }
};

py::dict line_channels(py::object owner, const Survey& s, std::int64_t first, std::int64_t count) {
  py::dict channels;
  for (const auto& channel : s.channels)
    channels[py::str(channel.name)] = channel_rows(owner, channel, first, count);
  return channels;
}

py::object dummy_of(const Channel& channel) {
  const py::object numpy = py::module_::import("numpy");
  if (channel.is_text()) return py::bytes("");
  switch (channel.values.get_type().get_data_type()) {
    case integration::type_int32:
      return numpy.attr("int32")(common::dummy_value<std::int32_t>);
    case integration::type_int64:
      return numpy.attr("int64")(common::dummy_value<std::int64_t>);
    default:
      return numpy.attr("float64")(common::dummy_value<double>);
  }
}

// A contiguous int32, int64, float64 or S<w> copy of `data`, flattened, with the
// number of values per row.
std::pair<Multi_vector, std::int64_t> values_of_array(py::handle data) {
  const py::object numpy = py::module_::import("numpy");
  py::array array = numpy.attr("ascontiguousarray")(data);
  if (array.ndim() == 0 || array.ndim() > 2)
    throw py::value_error("a channel is a 1-D array, or 2-D for an array channel");
  const std::int64_t columns = array.ndim() == 2 ? array.shape(1) : 1;
  const char kind = array.dtype().kind();
  const auto size = array.dtype().itemsize();
  const char* target = kind == 'f'                                                ? "float64"
                       : (kind == 'i' && size <= 4) || (kind == 'u' && size <= 2) ? "int32"
                       : kind == 'i' || kind == 'u' || kind == 'b'                ? "int64"
                       : kind == 'S'                                              ? nullptr
                                                                                  : "";
  if (target != nullptr && *target == 0) {
    throw py::type_error("channels hold integers, floats or bytes (numpy 'S'), not " +
                         py::str(array.dtype()).cast<std::string>());
  }
  if (target != nullptr) array = array.attr("astype")(target);
  array = numpy.attr("ascontiguousarray")(array.attr("reshape")(-1));
  std::unique_ptr<Vector> vector = vector_from_array(array, false);
  return {std::move(vector->get()), columns};
}

}  // namespace

void bind_io(py::module_ m) {
  py::register_exception<survey::Survey_error>(m, "SurveyError", PyExc_ValueError).doc() =
      "A survey file that cannot be read or written; the message names file, record and field.";

  py::class_<survey::Line>(m, "Line",
                           "One survey line: consecutive rows of one line number or label.")
      .def_readonly("label", &survey::Line::label, "The line field's value as text.")
      .def_readonly("number", &survey::Line::number,
                    "The line number, or DUMMY_DOUBLE when the label is no number.")
      .def_readonly("first_row", &survey::Line::first_row)
      .def_readonly("row_count", &survey::Line::row_count)
      .def(py::pickle(
          [](const survey::Line& l) {
            return py::make_tuple(l.label, l.number, l.first_row, l.row_count);
          },
          [](const py::tuple& t) {
            return survey::Line{t[0].cast<std::string>(), t[1].cast<double>(),
                                t[2].cast<std::int64_t>(), t[3].cast<std::int64_t>()};
          }))
      .def("__repr__", [](const survey::Line& l) {
        return "Line(" + l.label + ", first_row=" + std::to_string(l.first_row) +
               ", row_count=" + std::to_string(l.row_count) + ")";
      });

  // A channel is reached through its survey and index: adding channels may move the
  // Channel records (never their values), so no Python object holds a pointer to one.
  using Ref = Channel_ref;
  auto text_property = [](std::string Channel::*member) {
    return std::make_pair([member](const Ref& r) { return r.get().*member; },
                          [member](const Ref& r, const std::string& v) { r.get().*member = v; });
  };
  auto [get_unit, set_unit] = text_property(&Channel::unit);
  auto [get_long, set_long] = text_property(&Channel::long_name);
  auto [get_description, set_description] = text_property(&Channel::description);
  auto [get_null, set_null] = text_property(&Channel::null_text);
  py::class_<Ref>(m, "Channel", "A channel of a survey: its name, unit, dummy, format and values.")
      .def_property_readonly("name", [](const Ref& r) { return r.get().name; })
      .def_property("unit", get_unit, set_unit)
      .def_property("long_name", get_long, set_long)
      .def_property("description", get_description, set_description)
      .def_property("null", get_null, set_null, "The NULL text the file declared ('' for none).")
      .def_property(
          "format", [](const Ref& r) { return format_text(r.get().format); },
          [](const Ref& r, const std::string& text) { r.get().format = parse_format_text(text); },
          "Fortran-style format ('F10.2', 'I8', 'A8'; '' when unknown).")
      .def_property_readonly(
          "columns", [](const Ref& r) { return r.get().columns; },
          "Values per row (an array field has more than one).")
      .def_property_readonly("dtype",
                             [](const Ref& r) { return dtype_of_type(r.get().values.get_type()); })
      .def_property_readonly(
          "dummy", [](const Ref& r) { return dummy_of(r.get()); },
          "The value that marks a missing sample.")
      .def("__repr__", [](const Ref& r) {
        return "Channel(" + r.get().name + ", " + format_text(r.get().format) + ")";
      });

  py::class_<Survey, std::shared_ptr<Survey>>(m, "Survey", R"doc(
A whole survey: channels of equal row count and its lines (runs of rows with one line
number). Arrays handed out are views of the survey's memory.)doc")
      .def(py::init<>())
      .def_property_readonly("rows", &Survey::rows)
      .def_property_readonly(
          "channels",
          [](const std::shared_ptr<Survey>& self) {
            std::vector<Channel_ref> list;
            for (std::size_t i = 0; i < self->channels.size(); ++i)
              list.push_back(Channel_ref{self, i});
            return list;
          },
          "The channels in file order.")
      .def_property_readonly("names",
                             [](const Survey& s) {
                               std::vector<std::string> names;
                               for (const auto& c : s.channels) names.push_back(c.name);
                               return names;
                             })
      .def_readonly("lines", &Survey::lines)
      .def_property_readonly(
          "line_field",
          [](const Survey& s) -> py::object {
            if (s.line_channel < 0) return py::none();
            return py::str(s.channels[static_cast<std::size_t>(s.line_channel)].name);
          })
      .def(
          "channel",
          [](const std::shared_ptr<Survey>& self, const std::string& name) {
            const Channel* channel = self->find(name);
            if (channel == nullptr) throw py::key_error(name);
            return Channel_ref{self, static_cast<std::size_t>(channel - self->channels.data())};
          },
          "name"_a)
      .def(
          "__getitem__",
          [](py::object self, const std::string& name) {
            const Survey& s = self.cast<const Survey&>();
            const Channel* channel = s.find(name);
            if (channel == nullptr) throw py::key_error(name);
            return channel_rows(self, *channel, 0, s.rows());
          },
          "The channel's values over every row (a view).")
      .def(
          "line",
          [](py::object self, std::int64_t i) {
            const Survey& s = self.cast<const Survey&>();
            const auto n = static_cast<std::int64_t>(s.lines.size());
            if (i < 0) i += n;
            if (i < 0 || i >= n)
              throw py::index_error("line " + std::to_string(i) + " of " + std::to_string(n));
            const survey::Line& line = s.lines[static_cast<std::size_t>(i)];
            return line_channels(self, s, line.first_row, line.row_count);
          },
          "i"_a, "The channels of line i as a dict of views: name -> array of the line's rows.")
      .def("index_lines", &Survey::index_lines, "field"_a = "",
           "Rebuilds the lines from the named channel, or from LINE/FLTLINE when field is ''.")
      .def("select_lines", &Survey::select_lines, "ranges"_a,
           "Indices of the lines matching '1010, 1020-1050' (numbers, ranges or labels).")
      .def(
          "add_channel",
          [](Survey& s, const std::string& name, py::handle data, const std::string& unit,
             const std::string& null, const std::string& format) {
            auto [values, columns] = values_of_array(data);
            Channel channel(name, std::move(values), columns);
            channel.unit = unit;
            channel.null_text = null;
            channel.format = parse_format_text(format);
            s.add(std::move(channel));
          },
          "name"_a, "data"_a, py::kw_only(), "unit"_a = "", "null"_a = "", "format"_a = "", R"doc(
Adds a channel holding a copy of `data` (1-D, or 2-D for an array channel): floats as
float64, integers as int32 or int64, bytes ('S') as text. Its row count must match.)doc");

  m.def(
      "read",
      [](const std::string& path, const std::string& line_field, py::object delimiter,
         std::optional<std::string> format) {
        const bool aseg = format ? *format == "aseg-gdf2"
                                 : survey::format_from_path(path) == survey::File_format::aseg_gdf2;
        if (format && !aseg && *format != "delimited")
          throw py::value_error("format is 'aseg-gdf2' or 'delimited'");
        const char delimiter_char = delimiter.is_none() ? '\0' : delimiter.cast<char>();
        py::gil_scoped_release released;
        return std::make_shared<Survey>(
            aseg ? survey::read_aseg_gdf2(path, {line_field})
                 : survey::read_delimited(path, {delimiter_char, line_field}));
      },
      "path"_a, py::kw_only(), "line_field"_a = "", "delimiter"_a = py::none(),
      "format"_a = py::none());

  m.def(
      "write",
      [](const Survey& s, const std::string& path, std::optional<std::string> format,
         char delimiter) {
        const bool aseg = format ? *format == "aseg-gdf2"
                                 : survey::format_from_path(path) == survey::File_format::aseg_gdf2;
        if (format && !aseg && *format != "delimited")
          throw py::value_error("format is 'aseg-gdf2' or 'delimited'");
        py::gil_scoped_release released;
        if (aseg)
          survey::write_aseg_gdf2(s, path);
        else
          survey::write_delimited(s, path, {delimiter});
      },
      "survey"_a, "path"_a, py::kw_only(), "format"_a = py::none(), "delimiter"_a = ',');
}

}  // namespace vorlith::python
