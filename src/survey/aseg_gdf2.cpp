// ASEG-GDF2 records: reading the `.dat` against its definitions, and writing both files.

#include <vorlith/dummy.h>
#include <vorlith/survey/aseg_gdf2.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "survey/aseg_gdf2_definitions.h"
#include "survey/text_io.h"

namespace vorlith::survey {

using namespace detail;

namespace {

std::filesystem::path with_extension(const std::filesystem::path& path, bool definitions) {
  std::filesystem::path result = path;
  const std::string extension = path.extension().string();
  const bool upper =
      !extension.empty() && std::isupper(static_cast<unsigned char>(extension.back()));
  result.replace_extension(definitions ? (upper ? ".DFN" : ".dfn") : (upper ? ".DAT" : ".dat"));
  return result;
}

// One data field of the records and the channel it fills.
struct Field_reader {
  const Field_definition* definition;
  Multi_vector* channel;
  Value_kind kind;
  char* values;        // the channel's contiguous elements
  std::int64_t width;  // element size
  bool has_null = false;
  double null_value = 0;
  // An integer field's NULL, compared exactly: as doubles, 64-bit values near a large
  // NULL would read as missing.
  bool null_is_integer = false;
  std::int64_t null_integer = 0;
  int decimals_seen = 0;
  int record_decimals = 0;     // this record's, on the plain path: kept if that path reads it
  bool exponent_seen = false;  // a real with an exponent: fixed decimals could lose it
};

class Record_parser {
 public:
  Record_parser(const std::filesystem::path& dat, const Definitions& definitions,
                std::vector<Field_reader>& fields)
      : dat_(dat), definitions_(definitions), fields_(fields) {
    for (const auto& field : fields_) {
      values_per_record_ += field.definition->repeat;
      record_width_ += field.definition->repeat * field.definition->format.width;
    }
    pieces_.reserve(static_cast<std::size_t>(values_per_record_) + 1);
  }

  // Stores record `record` as row `row`.
  void parse(std::string_view text, std::int64_t record, std::int64_t row) {
    record_ = record;
    if (definitions_.record_type_field && text.substr(0, 4) == "DATA") text.remove_prefix(4);
    if (store_plain(text, row)) return;
    split_on_blanks(text);
    if (static_cast<std::int64_t>(pieces_.size()) != values_per_record_ && !split_by_widths(text)) {
      fail(dat_, record_, {},
           std::to_string(pieces_.size()) + " values where the definitions give " +
               std::to_string(values_per_record_) + ", and its " + std::to_string(text.size()) +
               " characters do not fit the declared widths (" + std::to_string(record_width_) +
               ")");
    }
    std::size_t piece = 0;
    for (auto& field : fields_) {
      const std::int64_t repeat = field.definition->repeat;
      for (std::int64_t column = 0; column < repeat; ++column) {
        store(field, row * repeat + column, pieces_[piece++]);
      }
    }
  }

 private:
  static bool is_null(const Field_reader& field, std::int64_t value) {
    return field.has_null &&
           (field.null_is_integer ? value == field.null_integer
                                  : static_cast<double>(value) == field.null_value);
  }

  // The usual record: numbers only, each a plain one between blanks and none its field's
  // NULL or too large for its channel, stored where they lie without splitting the record.
  // False leaves the record to the general path, which stores the same row again.
  bool store_plain(std::string_view text, std::int64_t row) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const char* p = text.data();
    const char* const last = p + text.size();
    for (auto& field : fields_) {
      const std::int64_t repeat = field.definition->repeat;
      field.record_decimals = 0;
      for (std::int64_t column = 0; column < repeat; ++column) {
        while (p != last && blank(*p)) ++p;
        const std::int64_t index = row * repeat + column;
        const char* end = nullptr;
        if (field.kind == Value_kind::real) {
          double value = 0;
          int decimals = 0;
          end = read_plain_decimal(p, last, value, decimals);
          if (end == nullptr || (field.has_null && value == field.null_value)) return false;
          field.record_decimals = std::max(field.record_decimals, decimals);
          std::memcpy(field.values + index * 8, &value, 8);
        } else if (field.kind == Value_kind::int64) {
          std::int64_t value = 0;
          const auto result = std::from_chars(p, last, value);
          if (result.ec != std::errc() || is_null(field, value) ||
              value == common::dummy_value<std::int64_t>)
            return false;
          end = result.ptr;
          std::memcpy(field.values + index * 8, &value, 8);
        } else if (field.kind == Value_kind::int32) {
          std::int32_t value = 0;
          const auto result = std::from_chars(p, last, value);
          // The dummy and below widen the channel, as the general path does.
          if (result.ec != std::errc() || value < -2147483646 || is_null(field, value))
            return false;
          end = result.ptr;
          std::memcpy(field.values + index * 4, &value, 4);
        } else {
          return false;
        }
        if (end != last && !blank(*end)) return false;
        p = end;
      }
    }
    while (p != last && blank(*p)) ++p;
    if (p != last) return false;
    // A record this path gave up on is cut at the widths instead: its pieces count then.
    for (auto& field : fields_)
      field.decimals_seen = std::max(field.decimals_seen, field.record_decimals);
    return true;
  }

  void split_on_blanks(std::string_view text) {
    pieces_.clear();
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
      while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i == n) break;
      const std::size_t start = i;
      while (i < n && text[i] != ' ' && text[i] != '\t') ++i;
      pieces_.push_back(text.substr(start, i - start));
    }
  }

  // Fields that run together: cut at the declared widths. Characters past the end of a
  // short record are blank. Past the declared width only blanks and `*` (a NULL marker
  // some writers append) may follow: anything else does not fit.
  bool split_by_widths(std::string_view text) {
    if (static_cast<std::int64_t>(text.size()) > record_width_ &&
        text.find_first_not_of(" \t*", static_cast<std::size_t>(record_width_)) !=
            std::string_view::npos) {
      return false;
    }
    pieces_.clear();
    std::size_t at = 0;
    for (const auto& field : fields_) {
      const auto width = static_cast<std::size_t>(field.definition->format.width);
      for (std::int64_t column = 0; column < field.definition->repeat; ++column) {
        pieces_.push_back(at < text.size() ? trim(text.substr(at, width)) : std::string_view{});
        at += width;
      }
    }
    split_by_widths_ = true;
    return true;
  }

  [[noreturn]] void fail_value(const Field_reader& field, std::string_view text,
                               std::string_view what) {
    std::string message = "'" + std::string(text) + "' " + std::string(what);
    if (split_by_widths_) message += " (record split by the declared widths)";
    fail(dat_, record_, field.definition->name, message);
  }

  void store(Field_reader& field, std::int64_t index, std::string_view text) {
    switch (field.kind) {
      case Value_kind::text: {
        if (is_empty_field(text) || text == field.definition->null_text) {
          std::memset(field.values + index * field.width, 0, static_cast<std::size_t>(field.width));
          return;
        }
        if (static_cast<std::int64_t>(text.size()) > field.width) {
          fail_value(field, text, "is wider than its format A" + std::to_string(field.width));
        }
        char* out = field.values + index * field.width;
        std::memcpy(out, text.data(), text.size());
        std::memset(out + text.size(), 0, static_cast<std::size_t>(field.width) - text.size());
        return;
      }
      case Value_kind::int32:
      case Value_kind::int64: {
        std::int64_t value = 0;
        const Parsed parsed = parse_integer(text, value);
        // A NULL past 64 bits is still the NULL.
        const bool null_text = parsed == Parsed::bad && text == field.definition->null_text;
        if (parsed == Parsed::bad && !null_text)
          fail_value(field, text, "is not an integer that fits 64 bits");
        const bool narrow = field.kind == Value_kind::int32;
        if (parsed == Parsed::dummy || null_text || is_null(field, value)) {
          value = narrow ? common::dummy_value<std::int32_t> : common::dummy_value<std::int64_t>;
        } else if (narrow && (value < -2147483646 || value > 2147483647)) {
          widen(field);
          store(field, index, text);
          return;
        } else if (value == common::dummy_value<std::int64_t>) {
          fail_value(field, text, "is too large for its channel");
        }
        if (narrow) {
          const auto v32 = static_cast<std::int32_t>(value);
          std::memcpy(field.values + index * 4, &v32, 4);
        } else {
          std::memcpy(field.values + index * 8, &value, 8);
        }
        return;
      }
      case Value_kind::real: {
        double value = 0;
        int decimals = 0;
        if (parse_plain_decimal(text, value, decimals) &&
            !(field.has_null && value == field.null_value)) {
          field.decimals_seen = std::max(field.decimals_seen, decimals);
          std::memcpy(field.values + index * 8, &value, 8);
          return;
        }
        const Parsed parsed = parse_real(text, value);
        if (parsed == Parsed::bad) fail_value(field, text, "is not a number");
        if (parsed == Parsed::dummy || (field.has_null && value == field.null_value)) {
          value = common::dummy_value<double>;
        } else {
          field.decimals_seen = std::max(field.decimals_seen, decimals_of(text));
          field.exponent_seen =
              field.exponent_seen || text.find_first_of("eEdD") != std::string_view::npos;
        }
        std::memcpy(field.values + index * 8, &value, 8);
        return;
      }
    }
  }

  // An integer too large for the channel's 32 bits makes it a 64-bit channel.
  static void widen(Field_reader& field) {
    Multi_vector wide = make_values(Value_kind::int64, 0);
    wide.copy(*field.channel);
    *field.channel = std::move(wide);
    field.kind = Value_kind::int64;
    field.width = 8;
    field.values = static_cast<char*>(field.channel->get_vector_memory());
  }

  const std::filesystem::path& dat_;
  const Definitions& definitions_;
  std::vector<Field_reader>& fields_;
  std::vector<std::string_view> pieces_;
  std::int64_t values_per_record_ = 0;
  std::int64_t record_width_ = 0;
  std::int64_t record_ = 0;
  bool split_by_widths_ = false;
};

Value_kind kind_for(const Field_format& format) {
  switch (format.kind) {
    case 'A':
      return Value_kind::text;
    case 'I':
      // Up to 12 characters hold any int32 with a blank in front; a larger value read
      // widens the channel to int64.
      return format.width <= 12 ? Value_kind::int32 : Value_kind::int64;
    default:
      return Value_kind::real;
  }
}

}  // namespace

Survey read_aseg_gdf2(const std::filesystem::path& path, const Aseg_gdf2_read_options& options) {
  const std::filesystem::path dfn = with_extension(path, true);
  const std::filesystem::path dat = with_extension(path, false);
  std::error_code error;
  if (!std::filesystem::exists(dfn, error))
    fail(dfn, 0, {},
         "definition file not found (it must sit beside " + dat.filename().string() + ")");
  const Definitions definitions = read_definitions(dfn);

  Record_reader reader(dat);
  const std::int64_t capacity = reader.count_and_rewind();

  Survey survey;
  survey.channels.reserve(definitions.fields.size());
  for (const auto& definition : definitions.fields) {
    const Value_kind kind = kind_for(definition.format);
    Channel channel(definition.name,
                    make_values(kind, capacity * definition.repeat, definition.format.width),
                    definition.repeat);
    static_cast<Field_description&>(channel) = definition;
    survey.channels.push_back(std::move(channel));
  }
  std::vector<Field_reader> fields;
  for (std::size_t i = 0; i < definitions.fields.size(); ++i) {
    Channel& channel = survey.channels[i];
    Field_reader field{
        &definitions.fields[i], &channel.values, kind_of(channel.values),
        capacity > 0 ? static_cast<char*>(channel.values.get_vector_memory()) : nullptr,
        channel.values.get_element_size()};
    field.has_null = field.kind != Value_kind::text && !channel.null_text.empty() &&
                     parse_real(channel.null_text, field.null_value) == Parsed::number;
    if (field.has_null && (field.kind == Value_kind::int32 || field.kind == Value_kind::int64)) {
      field.null_is_integer =
          parse_integer(channel.null_text, field.null_integer) == Parsed::number;
    }
    fields.push_back(field);
  }

  Record_parser parser(dat, definitions, fields);
  std::int64_t rows = 0;
  std::string_view record;
  while (reader.next(record)) {
    if (trim(record).empty() || record.substr(0, 4) == "COMM") continue;
    parser.parse(record, reader.record_number(), rows++);
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    Channel& channel = survey.channels[i];
    channel.values.set_length(rows * channel.columns);
    if (fields[i].kind == Value_kind::real)
      channel.format.decimals = std::max(channel.format.decimals, fields[i].decimals_seen);
    // Values such as 1e-300 in an F field are written back in their shortest exact text.
    if (fields[i].exponent_seen && channel.format.kind == 'F') channel.format = Field_format{};
  }
  survey.index_lines(options.line_field);
  return survey;
}

// --- writing --------------------------------------------------------------------------

namespace {

// How one channel is written: its definition and the text of its dummies.
struct Field_writer {
  const Channel* channel;
  Value_kind kind;
  Field_definition definition;
  bool exact = false;            // computed reals: each value in its shortest exact text
  const char* values = nullptr;  // the channel's contiguous elements

  // The text of a real value in this field.
  char* real_text(char* out, double v) const {
    if (!exact) return format_fixed(out, v, definition.format.decimals);
    return definition.format.kind == 'E' ? format_scientific(out, v) : format_shortest(out, v);
  }
};

// Fixed fields wider than the scientific one read worse than it.
constexpr int widest_fixed = 25;
constexpr Field_format scientific_format{'E', 25, 16};

// The fixed format that holds the shortest exact text of every value of a computed real
// channel (the decimals and width the longest texts need), or the scientific one when a
// magnitude needs an exponent or the field would be wider than it.
Field_format exact_format(const double* values, std::int64_t n) {
  int decimals = 0;
  int longest = 1;
  char text[number_room];
  for (std::int64_t i = 0; i < n; ++i) {
    const double v = values[i];
    if (v == common::dummy_value<double> || v != v) continue;
    const double magnitude = std::fabs(v);
    if (magnitude != 0 && (magnitude < 1e-5 || magnitude >= 1e16)) return scientific_format;
    char* end = format_shortest(text, v);
    char* point = std::find(text, end, '.');
    if (point != end) decimals = std::max(decimals, static_cast<int>(end - point - 1));
    longest = std::max(longest, static_cast<int>(end - text));
  }
  if (longest + 1 > widest_fixed) return scientific_format;
  return Field_format{'F', longest + 1, decimals};
}

// A scientific field (E or D) as declared, widened for the shortest exact text of every
// value: written in fixed notation with its few decimals, small values would be lost.
Field_format scientific_field(const double* values, std::int64_t n, const Field_format& declared) {
  int longest = 1;
  char text[number_room];
  for (std::int64_t i = 0; i < n; ++i) {
    const double v = values[i];
    if (v == common::dummy_value<double> || v != v) continue;
    longest = std::max(longest, static_cast<int>(format_scientific(text, v) - text));
  }
  // Declared decimals may have grown past the width with the data read (a reader refuses
  // that), so the width covers them too.
  return Field_format{'E', std::max({declared.width, longest + 1, declared.decimals}),
                      declared.decimals};
}

int fixed_length(double v, int decimals) {
  char text[number_room];
  return static_cast<int>(format_fixed(text, v, decimals) - text);
}

// Smallest and largest non-dummy value of a numeric channel; false when all are dummies.
template <class T>
bool value_range(const T* values, std::int64_t n, double& low, double& high) {
  T smallest = std::numeric_limits<T>::max();
  T largest = std::numeric_limits<T>::lowest();
  bool any = false;
  for (std::int64_t i = 0; i < n; ++i) {
    const T v = values[i];
    if (v == common::dummy_value<T> || v != v) continue;
    smallest = std::min(smallest, v);
    largest = std::max(largest, v);
    any = true;
  }
  low = static_cast<double>(smallest);
  high = static_cast<double>(largest);
  return any;
}

bool value_range(const Channel& channel, Value_kind kind, double& low, double& high) {
  const std::int64_t n = channel.values.get_length();
  switch (kind) {
    case Value_kind::int32:
      return value_range(values_of<std::int32_t>(channel.values), n, low, high);
    case Value_kind::int64:
      return value_range(values_of<std::int64_t>(channel.values), n, low, high);
    default:
      return value_range(values_of<double>(channel.values), n, low, high);
  }
}

Field_writer plan_field(const Channel& channel) {
  Field_writer writer{&channel,
                      kind_of(channel.values),
                      {},
                      false,
                      channel.values.get_length() > 0
                          ? static_cast<const char*>(channel.values.get_vector_memory())
                          : nullptr};
  Field_definition& definition = writer.definition;
  definition.name = channel.name;
  definition.unit = channel.unit;
  definition.long_name = channel.long_name;
  definition.description = channel.description;
  definition.repeat = channel.columns;
  Field_format format = channel.format;

  if (writer.kind == Value_kind::text) {
    const std::int64_t size = channel.values.get_element_size();
    std::int64_t longest =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(channel.null_text.size()));
    const char* bytes = channel.values.get_length() > 0
                            ? static_cast<const char*>(channel.values.get_vector_memory())
                            : nullptr;
    for (std::int64_t i = 0; i < channel.values.get_length(); ++i) {
      longest = std::max<std::int64_t>(
          longest, static_cast<std::int64_t>(opaque_text(bytes + i * size, size).size()));
    }
    definition.format = Field_format{'A',
                                     static_cast<int>(std::min<std::int64_t>(
                                         4096, std::max<std::int64_t>(format.width, longest + 1))),
                                     0};
    definition.null_text = channel.null_text;
    return writer;
  }

  const bool integer = writer.kind != Value_kind::real;
  if (integer) {
    format = Field_format{'I', format.kind == 'I' ? format.width : 0, 0};
  } else if (format.kind == 'I') {
    format = Field_format{'F', format.width, 0};
  } else if (format.kind == 0 || format.kind == 'A') {
    writer.exact = true;
    format = exact_format(values_of<double>(channel.values), channel.values.get_length());
  } else if (format.kind == 'E' || format.kind == 'D') {
    writer.exact = true;
    format =
        scientific_field(values_of<double>(channel.values), channel.values.get_length(), format);
  }
  definition.format = format;
  double low = 0;
  double high = 0;
  const bool any = value_range(channel, writer.kind, low, high);
  int needed = 1;
  if (any && !writer.exact) {
    needed = std::max(fixed_length(low, format.decimals), fixed_length(high, format.decimals)) + 1;
  }
  int width = std::max(format.width, needed);
  // The reader takes I formats of up to 12 characters as int32: keep each type its side.
  if (writer.kind == Value_kind::int32) width = std::min(width, 12);
  if (writer.kind == Value_kind::int64) width = std::max(width, 13);
  // An int32 field's NULL must leave it 12 characters wide, an int64 one fit 64 bits.
  const double integer_null_limit = writer.kind == Value_kind::int32 ? 2147483648.0 : 9.2e18;
  double null_value = 0;
  char text[number_room];
  // The NULL as written (rounded to the field's decimals) must lie outside the data too.
  const auto written = [&](double v) {
    double back = v;
    if (!integer) parse_real(std::string_view(text, writer.real_text(text, v) - text), back);
    return back;
  };
  const bool keep_null =
      !channel.null_text.empty() && parse_real(channel.null_text, null_value) == Parsed::number &&
      (!any || written(null_value) < low || written(null_value) > high) &&
      (!integer ||
       (null_value == std::trunc(null_value) && std::fabs(null_value) < integer_null_limit));
  if (format.kind == 'E') {
    definition.null_text = std::string(
        text, writer.real_text(text, keep_null ? null_value : common::dummy_value<double>));
    width = std::max(width, static_cast<int>(definition.null_text.size()) + 1);
  } else if (keep_null) {
    definition.null_text =
        integer ? std::string(text, format_integer(text, static_cast<std::int64_t>(null_value)))
                : std::string(text, writer.real_text(text, null_value));
    width = std::max(width, static_cast<int>(definition.null_text.size()) + 1);
  } else {
    // Nines filling the field after a blank and the sign, below every value (for exact
    // texts whole nines, from five). Doubles hold at most 17 such digits exactly; past them an
    // integer field keeps the smallest value its type holds and a real field falls back to the
    // scientific form and the dummy.
    const bool whole = integer || writer.exact;
    const int room = whole ? 2 : 3 + format.decimals;
    bool placed = false;
    const int fewest = writer.exact ? 5 : std::clamp(width - room, 1, 17);
    for (int digits = fewest; digits <= 17 && !placed; ++digits) {
      const double nines =
          std::pow(10.0, digits) - (whole ? 1.0 : std::pow(10.0, -format.decimals));
      if (any && -nines >= low) continue;
      placed = true;
      if (integer && -nines <= (writer.kind == Value_kind::int32 ? -2147483646.0 : -9.2e18)) break;
      definition.null_text =
          integer ? std::string(text, format_integer(text, -static_cast<std::int64_t>(nines)))
                  : std::string(text, writer.real_text(text, -nines));
      width = std::max(width, static_cast<int>(definition.null_text.size()) + 1);
    }
    if (integer && definition.null_text.empty()) {
      // No room below the data in this type: the channel's dummy, which no data value
      // can equal (the lowest value a channel holds would be read back as missing).
      definition.null_text =
          std::string(text, format_integer(text, writer.kind == Value_kind::int32
                                                     ? common::dummy_value<std::int32_t>
                                                     : common::dummy_value<std::int64_t>));
      width = std::max(width, static_cast<int>(definition.null_text.size()) + 1);
    } else if (!placed) {
      writer.exact = true;
      format = scientific_format;
      definition.format = format;
      width = std::max(width, 25);
      definition.null_text = std::string(text, writer.real_text(text, common::dummy_value<double>));
    }
  }
  format.width = width;
  definition.format = format;
  return writer;
}

char* pad_to(char* out, const char* text, std::size_t length, int width) {
  const std::size_t blanks =
      static_cast<std::size_t>(width) > length ? static_cast<std::size_t>(width) - length : 0;
  std::memset(out, ' ', blanks);
  std::memcpy(out + blanks, text, length);
  return out + blanks + length;
}

}  // namespace

void write_aseg_gdf2(const Survey& survey, const std::filesystem::path& path) {
  const std::filesystem::path dfn = with_extension(path, true);
  const std::filesystem::path dat = with_extension(path, false);
  if (survey.channels.empty()) fail(dfn, 0, {}, "a survey without channels cannot be written");
  for (const auto& channel : survey.channels) {
    if (channel.name.empty() || channel.name.find_first_of(",;:\r\n") != std::string::npos ||
        trim(channel.name) != channel.name) {
      fail(dfn, 0, channel.name,
           "a field name must be non-empty, without , ; : line ends or blanks at its ends");
    }
  }

  std::vector<Field_writer> writers;
  std::vector<Field_definition> definitions;
  std::size_t record_room = 2;
  for (const auto& channel : survey.channels) {
    writers.push_back(plan_field(channel));
    definitions.push_back(writers.back().definition);
    record_room += static_cast<std::size_t>(channel.columns) *
                   (static_cast<std::size_t>(writers.back().definition.format.width) + number_room);
  }

  Output_file definition_file(dfn);
  definition_file.write(definitions_text(definitions));
  Output_file data_file(dat);
  char text[number_room];
  const std::int64_t rows = survey.rows();
  const bool tagged = is_record_type_field(definitions.front());
  for (std::int64_t row = 0; row < rows; ++row) {
    char* out = data_file.reserve(record_room);
    if (tagged) out = std::copy_n("DATA", 4, out);
    for (const auto& writer : writers) {
      const Channel& channel = *writer.channel;
      const int width = writer.definition.format.width;
      const std::string& null_text = writer.definition.null_text;
      const void* first = writer.values;
      for (std::int64_t column = 0; column < channel.columns; ++column) {
        const std::int64_t i = row * channel.columns + column;
        char* end = text;
        switch (writer.kind) {
          case Value_kind::text: {
            const std::int64_t size = channel.values.get_element_size();
            const std::string_view value =
                opaque_text(static_cast<const char*>(first) + i * size, size);
            const std::string_view shown =
                value.empty()
                    ? (null_text.empty() ? std::string_view("*") : std::string_view(null_text))
                    : value;
            out = pad_to(out, shown.data(), shown.size(), width);
            continue;
          }
          case Value_kind::int32: {
            const std::int32_t v = static_cast<const std::int32_t*>(first)[i];
            end = v == common::dummy_value<std::int32_t> ? nullptr : format_integer(text, v);
            break;
          }
          case Value_kind::int64: {
            const std::int64_t v = static_cast<const std::int64_t*>(first)[i];
            end = v == common::dummy_value<std::int64_t> ? nullptr : format_integer(text, v);
            break;
          }
          case Value_kind::real: {
            const double v = static_cast<const double*>(first)[i];
            end = v == common::dummy_value<double> ? nullptr : writer.real_text(text, v);
            break;
          }
        }
        out = end == nullptr ? pad_to(out, null_text.data(), null_text.size(), width)
                             : pad_to(out, text, static_cast<std::size_t>(end - text), width);
      }
    }
    // A record ending in a carriage return would lose it to the CRLF rule on reading.
    if (out[-1] == '\r') *out++ = ' ';
    *out++ = '\n';
    data_file.advance(out);
  }
  // Both files are complete before either replaces its old one, and the old definition
  // file is kept aside until the data file is in place: a write that fails leaves the
  // old pair as it was, never a new definition beside old records.
  definition_file.finish();
  data_file.finish();
  std::filesystem::path kept = dfn;
  kept += ".previous";
  const bool keep = std::filesystem::is_regular_file(dfn);
  std::error_code error;
  if (keep) std::filesystem::rename(dfn, kept, error);
  if (error) fail(dfn, 0, {}, "cannot replace the file: " + error.message());
  bool placed = false;
  try {
    definition_file.commit();
    placed = true;
    data_file.commit();
  } catch (...) {
    if (placed || keep) std::filesystem::remove(dfn, error);
    if (keep) std::filesystem::rename(kept, dfn, error);
    throw;
  }
  if (keep) std::filesystem::remove(kept, error);
}

}  // namespace vorlith::survey
