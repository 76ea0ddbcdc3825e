// Delimited text: a header row, then rows of fields. Two passes over the file: the
// first finds each column's kind, width and row count, the second parses into channels
// allocated once. A file whose first rows hold numbers only is read in one pass instead
// (see read_numbers_in_one_pass), falling back to the two passes at the first field that
// does not fit, so both give the same survey and the same errors.

#include <vorlith/dummy.h>
#include <vorlith/survey/delimited.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>

#include "survey/text_io.h"

namespace vorlith::survey {

using namespace detail;

namespace {

std::string_view delimiter_name(char delimiter) {
  switch (delimiter) {
    case ',':
      return "comma";
    case ';':
      return "semicolon";
    case '\t':
      return "tab";
    default:
      return "blanks";
  }
}

std::string_view unquote(std::string_view field) {
  while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) field.remove_prefix(1);
  while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
  if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
    field = field.substr(1, field.size() - 2);
  return field;
}

void split(std::string_view record, char delimiter, std::vector<std::string_view>& fields) {
  fields.clear();
  if (delimiter == ' ') {
    std::size_t i = 0;
    while (i < record.size()) {
      while (i < record.size() && (record[i] == ' ' || record[i] == '\t')) ++i;
      if (i == record.size()) break;
      const std::size_t start = i;
      while (i < record.size() && record[i] != ' ' && record[i] != '\t') ++i;
      fields.push_back(unquote(record.substr(start, i - start)));
    }
    return;
  }
  // Fields are short: a plain loop beats a library search call per field.
  std::size_t start = 0;
  for (std::size_t i = 0; i < record.size(); ++i) {
    if (record[i] == delimiter) {
      fields.push_back(unquote(record.substr(start, i - start)));
      start = i + 1;
    }
  }
  fields.push_back(unquote(record.substr(start)));
}

bool skipped(std::string_view record) {
  const std::string_view text = trim(record);
  return text.empty() || text.front() == '#';
}

// 'field', for messages.
std::string quoted(std::string_view field) {
  std::string text(1, '\'');
  text.append(field);
  text += '\'';
  return text;
}

bool dummy_word(std::string_view text) {
  if (is_empty_field(text)) return true;
  if (text.front() == '+' || text.front() == '-') text.remove_prefix(1);
  // Numbers, the usual field, start with a digit or a point.
  if (text.empty() || (text.front() >= '0' && text.front() <= '9') || text.front() == '.')
    return false;
  const auto lower_is = [&](std::string_view word) {
    return text.size() == word.size() &&
           std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == b;
           });
  };
  return lower_is("nan") || lower_is("inf") || lower_is("infinity");
}

enum class Column_kind { unknown, integer, real, text };

struct Column_scan {
  std::string name;
  Column_kind kind = Column_kind::unknown;
  int digits = 0;  // most digits of an integer
  int decimals = 0;
  bool exponent = false;
  std::int64_t width = 1;  // widest field
};

// What kind of value one field holds, with the digit counts the kinds need. Numbers
// follow [sign] digits [. digits] [e|E [sign] digits] with at least one digit.
Column_kind classify(std::string_view field, int& digits, int& decimals, bool& exponent) {
  if (dummy_word(field)) return Column_kind::unknown;
  std::size_t i = 0;
  const std::size_t n = field.size();
  const auto run_of_digits = [&] {
    const std::size_t start = i;
    while (i < n && field[i] >= '0' && field[i] <= '9') ++i;
    return static_cast<int>(i - start);
  };
  if (field[i] == '+' || field[i] == '-') ++i;
  const std::size_t integer_start = i;
  digits = run_of_digits();
  // Leading zeros say nothing about the size of the value (0905998165 fits an int32, and is
  // written back as 905998165).
  for (std::size_t z = integer_start; digits > 1 && field[z] == '0'; ++z) --digits;
  decimals = 0;
  bool point = false;
  if (i < n && field[i] == '.') {
    point = true;
    ++i;
    decimals = run_of_digits();
  }
  if (digits + decimals == 0) return Column_kind::text;
  exponent = i < n && (field[i] == 'e' || field[i] == 'E');
  if (exponent) {
    ++i;
    if (i < n && (field[i] == '+' || field[i] == '-')) ++i;
    if (run_of_digits() == 0) return Column_kind::text;
  }
  if (i != n) return Column_kind::text;
  return point || exponent || digits > 18 ? Column_kind::real : Column_kind::integer;
}

// A channel made of one or more columns (x[0], x[1], ... make one array channel).
struct Column_target {
  std::size_t channel;
  std::int64_t column;
};

}  // namespace

namespace {

// The first record that is not blank or a comment (a leading byte-order mark dropped),
// with its record number; 0 when there is none.
std::int64_t first_record(Record_reader& reader, std::string& text) {
  std::string_view record;
  while (reader.next(record)) {
    if (reader.record_number() == 1 && record.substr(0, 3) == "\xEF\xBB\xBF")
      record.remove_prefix(3);
    if (skipped(record)) continue;
    text = std::string(record);
    return reader.record_number();
  }
  return 0;
}

char delimiter_of(std::string_view header) {
  return header.find('\t') != std::string::npos  ? '\t'
         : header.find(',') != std::string::npos ? ','
         : header.find(';') != std::string::npos ? ';'
                                                 : ' ';
}

}  // namespace

char find_delimiter(const std::filesystem::path& path) {
  Record_reader reader(path);
  std::string header;
  if (first_record(reader, header) == 0) fail(path, 0, {}, "holds no header row");
  return delimiter_of(header);
}

namespace {

// Folds one field into its column's scan; false for text in a column that has held
// numbers, which the caller reports.
bool fold_field(Column_scan& scan, std::string_view field) {
  int digits = 0;
  int decimals = 0;
  bool exponent = false;
  const Column_kind kind = classify(field, digits, decimals, exponent);
  scan.width = std::max<std::int64_t>(scan.width, static_cast<std::int64_t>(field.size()));
  if (scan.kind == Column_kind::text || kind == Column_kind::unknown) return true;
  if (kind == Column_kind::text) {
    if (scan.kind != Column_kind::unknown) return false;
    scan.kind = Column_kind::text;
    return true;
  }
  scan.kind = kind == Column_kind::real || scan.kind == Column_kind::real ? Column_kind::real
                                                                          : Column_kind::integer;
  scan.digits = std::max(scan.digits, digits);
  scan.decimals = std::max(scan.decimals, decimals);
  scan.exponent = scan.exponent || exponent;
  return true;
}

// The value kind and format of a channel whose columns scanned as `scan`.
std::pair<Value_kind, Field_format> channel_kind(const Column_scan& scan) {
  switch (scan.kind) {
    case Column_kind::text:
      return {Value_kind::text, Field_format{'A', static_cast<int>(scan.width), 0}};
    case Column_kind::integer:
      return {scan.digits <= 9 ? Value_kind::int32 : Value_kind::int64, Field_format{'I', 0, 0}};
    case Column_kind::real:
      return {Value_kind::real,
              scan.exponent ? Field_format{0, 0, 0} : Field_format{'F', 0, scan.decimals}};
    case Column_kind::unknown:
      break;
  }
  return {Value_kind::real, Field_format{0, 0, 0}};
}

// Channels for the scanned columns, with x[0], x[1], ... of one numeric kind folded into
// one array channel, each allocated for `rows` rows; targets[c] says where column c goes.
Survey make_channels(const std::filesystem::path& path, std::int64_t header_record,
                     const std::vector<Column_scan>& scans, std::int64_t rows,
                     std::vector<Column_target>& targets) {
  Survey survey;
  targets.assign(scans.size(), Column_target{});
  for (std::size_t c = 0; c < scans.size();) {
    std::size_t end = c + 1;
    std::string base;
    if (scans[c].name.size() > 3 && scans[c].name.ends_with("[0]") &&
        scans[c].kind != Column_kind::text) {
      base = scans[c].name.substr(0, scans[c].name.size() - 3);
      while (end < scans.size() && scans[end].kind != Column_kind::text &&
             scans[end].name == base + "[" + std::to_string(end - c) + "]") {
        ++end;
      }
    }
    // A lone x[0] keeps its name: a channel of one column is written without an index, so
    // as "x" it would not read back as itself.
    if (end - c < 2) {
      base = scans[c].name;
    }
    Column_scan merged = scans[c];
    for (std::size_t k = c + 1; k < end; ++k) {
      if (scans[k].kind == Column_kind::real) merged.kind = Column_kind::real;
      if (merged.kind == Column_kind::unknown) merged.kind = scans[k].kind;
      merged.digits = std::max(merged.digits, scans[k].digits);
      merged.decimals = std::max(merged.decimals, scans[k].decimals);
      merged.exponent = merged.exponent || scans[k].exponent;
    }
    const auto columns = static_cast<std::int64_t>(end - c);
    const auto [kind, format] = channel_kind(merged);
    if (survey.find(base) != nullptr)
      fail(path, header_record, base, "appears twice in the header");
    Channel channel(base, make_values(kind, rows * columns, merged.width), columns);
    channel.format = format;
    survey.channels.push_back(std::move(channel));
    for (std::size_t k = c; k < end; ++k)
      targets[k] = Column_target{survey.channels.size() - 1, static_cast<std::int64_t>(k - c)};
    c = end;
  }
  return survey;
}

// The next data record (not the header, a blank or a comment), without a byte-order mark.
bool next_data_record(Record_reader& reader, std::int64_t header_record, std::string_view& record) {
  while (reader.next(record)) {
    if (reader.record_number() <= header_record || skipped(record)) continue;
    if (reader.record_number() == 1 && record.substr(0, 3) == "\xEF\xBB\xBF")
      record.remove_prefix(3);
    return true;
  }
  return false;
}

// What a number text that parsed shows: digits after its point, an exponent, and whether
// that is a Fortran D exponent. One loop: fields are short.
struct Number_shape {
  int decimals = 0;
  bool exponent = false;
  bool fortran = false;
};

Number_shape shape_of(std::string_view text) {
  Number_shape shape;
  bool after_point = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      shape.decimals += after_point;
      continue;
    }
    after_point = c == '.';
    shape.exponent = shape.exponent || c == 'e' || c == 'E';
    shape.fortran = shape.fortran || c == 'd' || c == 'D';
  }
  return shape;
}

// Whole numbers as the scan reads them, [sign] digits with no more than the channel's type
// holds (leading zeros do not count), from `first` up to the first character that cannot
// continue them: where reading stopped, or nullptr.
const char* read_plain_integer(const char* first, const char* last, bool narrow,
                               std::int64_t& value) {
  if (first != last && *first == '+' && last - first > 1 && first[1] != '-') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc()) return nullptr;
  const char* lead = first + (*first == '-');
  while (end - lead > 1 && *lead == '0') ++lead;
  return end - lead > (narrow ? 9 : 18) ? nullptr : end;
}

void store_integer(char* sink, std::int64_t row, bool narrow, std::int64_t value) {
  if (narrow) {
    const auto v32 = static_cast<std::int32_t>(value);
    std::memcpy(sink + row * 4, &v32, 4);
  } else {
    std::memcpy(sink + row * 8, &value, 8);
  }
}

// The usual record: every field a plain number right between its delimiters (for blanks,
// between runs of blanks and tabs), parsed where it lies without splitting the record.
// False leaves the record to the general loop, which stores the same row again.
bool store_plain_record(std::string_view record, char delimiter,
                        const std::vector<Value_kind>& kinds, const std::vector<char*>& sinks,
                        std::int64_t row, std::vector<Column_scan>& scans) {
  const char* p = record.data();
  const char* const last = p + record.size();
  const bool blanks = delimiter == ' ';
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  for (std::size_t c = 0; c < kinds.size(); ++c) {
    if (blanks) {
      while (p != last && blank(*p)) ++p;
    }
    const char* end = nullptr;
    if (kinds[c] == Value_kind::real) {
      double value = 0;
      int decimals = 0;
      end = read_plain_decimal(p, last, value, decimals);
      if (end == nullptr) return false;
      scans[c].decimals = std::max(scans[c].decimals, decimals);
      std::memcpy(sinks[c] + row * 8, &value, 8);
    } else {
      std::int64_t value = 0;
      const bool narrow = kinds[c] == Value_kind::int32;
      end = read_plain_integer(p, last, narrow, value);
      if (end == nullptr) return false;
      store_integer(sinks[c], row, narrow, value);
    }
    if (c + 1 == kinds.size()) {
      if (blanks) {
        while (end != last && blank(*end)) ++end;
      }
      return end == last;
    }
    if (end == last || (blanks ? !blank(*end) : *end != delimiter)) return false;
    p = end + 1;
  }
  return false;
}

// The usual survey file, columns of numbers only, read in one pass: the kinds come from
// the first rows, the row count from counting records, and values are parsed straight
// into channels of those kinds. Anything the first rows did not show (text, a real in an
// integer column, more digits than its type holds, a wrong field count, array columns)
// gives up, with the reader rewound, for the two-pass read to find and report.
std::optional<Survey> read_numbers_in_one_pass(Record_reader& reader,
                                               const std::filesystem::path& path,
                                               std::int64_t header_record, char delimiter,
                                               std::vector<Column_scan> scans,
                                               const Delimited_read_options& options) {
  const auto give_up = [&reader] {
    reader.rewind();
    return std::nullopt;
  };
  constexpr int sample_rows = 1000;
  std::vector<std::string_view> fields;
  std::string_view record;
  for (int sampled = 0; sampled < sample_rows && next_data_record(reader, header_record, record);
       ++sampled) {
    split(record, delimiter, fields);
    if (fields.size() != scans.size()) return give_up();
    for (std::size_t c = 0; c < scans.size(); ++c) {
      if (fields[c].size() > 4096 || !fold_field(scans[c], fields[c])) return give_up();
    }
  }
  for (const Column_scan& scan : scans) {
    if ((scan.kind != Column_kind::integer && scan.kind != Column_kind::real) ||
        scan.name.ends_with("]"))
      return give_up();
  }
  reader.rewind();
  const std::int64_t capacity = reader.count_and_rewind();
  std::vector<Column_target> targets;
  Survey survey = make_channels(path, header_record, scans, capacity, targets);

  std::vector<char*> sinks;
  std::vector<Value_kind> kinds;
  for (Channel& channel : survey.channels) {
    sinks.push_back(capacity > 0 ? static_cast<char*>(channel.values.get_vector_memory())
                                 : nullptr);
    kinds.push_back(kind_of(channel.values));
  }
  std::int64_t row = 0;
  while (next_data_record(reader, header_record, record)) {
    if (row == capacity) return give_up();
    if (store_plain_record(record, delimiter, kinds, sinks, row, scans)) {
      ++row;
      continue;
    }
    split(record, delimiter, fields);
    if (fields.size() != scans.size()) return give_up();
    for (std::size_t c = 0; c < scans.size(); ++c) {
      const std::string_view field = fields[c];
      Column_scan& scan = scans[c];
      if (kinds[c] == Value_kind::real) {
        double value = 0;
        const Parsed parsed = parse_real(field, value);
        if (parsed == Parsed::bad) return give_up();
        if (parsed == Parsed::number || !dummy_word(field)) {
          // A number as the scan reads it (-1e32 too, the dummy's value); not "nan(1)" or
          // a Fortran exponent, which the scan takes for text.
          const Number_shape shape = shape_of(field);
          if ((parsed == Parsed::dummy && value != common::dummy_value<double>) || shape.fortran)
            return give_up();
          scan.decimals = std::max(scan.decimals, shape.decimals);
          scan.exponent = scan.exponent || shape.exponent;
        }
        if (parsed == Parsed::dummy) value = common::dummy_value<double>;
        std::memcpy(sinks[c] + row * 8, &value, 8);
        continue;
      }
      std::int64_t value = 0;
      const bool narrow = kinds[c] == Value_kind::int32;
      const char* last = field.data() + field.size();
      const char* end = read_plain_integer(field.data(), last, narrow, value);
      if (end == nullptr || end != last) {
        if (!dummy_word(field)) return give_up();
        value = narrow ? common::dummy_value<std::int32_t> : common::dummy_value<std::int64_t>;
      }
      store_integer(sinks[c], row, narrow, value);
    }
    ++row;
  }
  for (std::size_t c = 0; c < scans.size(); ++c) {
    Channel& channel = survey.channels[c];
    channel.values.set_length(row);
    channel.format = channel_kind(scans[c]).second;
  }
  survey.index_lines(options.line_field);
  return survey;
}

}  // namespace

Survey read_delimited(const std::filesystem::path& path, const Delimited_read_options& options) {
  Record_reader reader(path);
  std::string_view record;
  std::vector<std::string_view> fields;
  std::string header;
  std::int64_t header_record = first_record(reader, header);
  if (header_record == 0) fail(path, 0, {}, "holds no header row");

  const char delimiter = options.delimiter != 0 ? options.delimiter : delimiter_of(header);
  split(header, delimiter, fields);
  if (fields.size() == 1) {
    for (const char other : {'\t', ',', ';', ' '}) {
      if (other == delimiter) continue;
      std::vector<std::string_view> others;
      split(header, other, others);
      if (others.size() > 1) {
        fail(path, header_record, {},
             "the header is one column when split on " + std::string(delimiter_name(delimiter)) +
                 " but " + std::to_string(others.size()) + " columns on " +
                 std::string(delimiter_name(other)) + ": is the delimiter wrong?");
      }
    }
  }
  std::vector<Column_scan> scans(fields.size());
  if (!options.header) --header_record;  // the first record is data
  for (std::size_t c = 0; c < fields.size(); ++c) {
    scans[c].name = options.header ? std::string(fields[c]) : std::to_string(c + 1);
    if (scans[c].name.empty())
      fail(path, header_record, {}, "column " + std::to_string(c + 1) + " has no name");
  }
  reader.rewind();
  if (auto survey =
          read_numbers_in_one_pass(reader, path, header_record, delimiter, scans, options))
    return std::move(*survey);

  // Pass 1: kinds, widths and the row count.
  std::int64_t rows = 0;
  while (next_data_record(reader, header_record, record)) {
    split(record, delimiter, fields);
    if (fields.size() != scans.size()) {
      fail(path, reader.record_number(), {},
           std::to_string(fields.size()) + " fields where the header has " +
               std::to_string(scans.size()));
    }
    for (std::size_t c = 0; c < scans.size(); ++c) {
      if (fields[c].size() > 4096) {
        fail(path, reader.record_number(), scans[c].name,
             "a field of " + std::to_string(fields[c].size()) + " characters (at most 4096)");
      }
      if (!fold_field(scans[c], fields[c])) {
        fail(path, reader.record_number(), scans[c].name,
             quoted(fields[c]) + " in a numeric column");
      }
    }
    ++rows;
  }

  std::vector<Column_target> targets;
  Survey survey = make_channels(path, header_record, scans, rows, targets);

  // Pass 2: values.
  struct Sink {
    Value_kind kind;
    char* values;
    std::int64_t size;
    std::int64_t columns;
  };
  std::vector<Sink> sinks;
  for (const Column_target& target : targets) {
    Channel& channel = survey.channels[target.channel];
    sinks.push_back(Sink{kind_of(channel.values),
                         rows > 0 ? static_cast<char*>(channel.values.get_vector_memory()) +
                                        target.column * channel.values.get_element_size()
                                  : nullptr,
                         channel.values.get_element_size(), channel.columns});
  }
  reader.rewind();
  std::int64_t row = 0;
  while (next_data_record(reader, header_record, record)) {
    split(record, delimiter, fields);
    for (std::size_t c = 0; c < sinks.size(); ++c) {
      const Sink& sink = sinks[c];
      char* out = sink.values + row * sink.columns * sink.size;
      const std::string_view field = fields[c];
      if (sink.kind == Value_kind::text) {
        if (!is_empty_field(field)) std::memcpy(out, field.data(), field.size());
        continue;
      }
      if (sink.kind == Value_kind::real) {
        double value = 0;
        const Parsed parsed = parse_real(field, value);
        if (parsed == Parsed::bad)
          fail(path, reader.record_number(), scans[c].name, quoted(field) + " is not a number");
        if (parsed == Parsed::dummy) value = common::dummy_value<double>;
        std::memcpy(out, &value, 8);
        continue;
      }
      std::int64_t value = 0;
      const Parsed parsed = parse_integer(field, value);
      if (parsed == Parsed::bad)
        fail(path, reader.record_number(), scans[c].name, quoted(field) + " is not a whole number");
      if (parsed == Parsed::dummy) {
        value = sink.kind == Value_kind::int32 ? common::dummy_value<std::int32_t>
                                               : common::dummy_value<std::int64_t>;
      } else if (sink.kind == Value_kind::int32 && (value < -2147483646 || value > 2147483647)) {
        fail(path, reader.record_number(), scans[c].name,
             quoted(field) + " is too large for its 32-bit channel");
      }
      if (sink.kind == Value_kind::int32) {
        const auto v32 = static_cast<std::int32_t>(value);
        std::memcpy(out, &v32, 4);
      } else if (value == common::dummy_value<std::int64_t> && parsed == Parsed::number) {
        fail(path, reader.record_number(), scans[c].name,
             quoted(field) + " is too large for its channel");
      } else {
        std::memcpy(out, &value, 8);
      }
    }
    ++row;
  }
  survey.index_lines(options.line_field);
  return survey;
}

void write_delimited(const Survey& survey, const std::filesystem::path& path,
                     const Delimited_write_options& options) {
  const char delimiter = options.delimiter;
  if (delimiter != ',' && delimiter != ';' && delimiter != '\t' && delimiter != ' ') {
    fail(path, 0, {}, "the delimiter must be a comma, semicolon, tab or blank");
  }
  if (survey.channels.empty()) fail(path, 0, {}, "a survey without channels cannot be written");
  const std::string_view dummy_text = delimiter == ' ' ? "*" : "";
  const auto unsafe = [&](std::string_view text) {
    return text.find(delimiter) != std::string_view::npos ||
           text.find_first_of(delimiter == ' ' ? " \t\r\n" : "\r\n") != std::string_view::npos;
  };

  // The reader trims blanks around a field and then one pair of quotes: a text it would
  // change goes in quotes.
  const auto needs_quotes = [](std::string_view text) {
    return !text.empty() &&
           (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' ||
            text.back() == '\t' || (text.size() >= 2 && text.front() == '"' && text.back() == '"'));
  };

  Output_file file(path);
  std::string header;
  std::size_t record_room = 1;
  for (const auto& channel : survey.channels) {
    if (unsafe(channel.name) || channel.name.empty() ||
        (header.empty() &&
         (channel.name.front() == '#' || channel.name.starts_with("\xEF\xBB\xBF")))) {
      fail(path, 0, channel.name,
           "the name is empty, holds the delimiter or a line end, or starts a comment");
    }
    for (std::int64_t k = 0; k < channel.columns; ++k) {
      if (!header.empty()) header += delimiter;
      const std::string name =
          channel.columns == 1 ? channel.name : channel.name + "[" + std::to_string(k) + "]";
      header += needs_quotes(name) ? '"' + name + '"' : name;
    }
    record_room += static_cast<std::size_t>(channel.columns) *
                   (number_room + static_cast<std::size_t>(channel.values.get_element_size()) + 1);
  }
  header += '\n';
  if (options.header) file.write(header);

  const std::int64_t rows = survey.rows();
  std::vector<const void*> memories;
  std::vector<Value_kind> kinds;
  for (const auto& channel : survey.channels) {
    memories.push_back(rows > 0 ? channel.values.get_vector_memory() : nullptr);
    kinds.push_back(kind_of(channel.values));
  }
  for (std::int64_t row = 0; row < rows; ++row) {
    char* out = file.reserve(record_room);
    char* const row_start = out;
    bool first_field = true;
    for (std::size_t c = 0; c < survey.channels.size(); ++c) {
      const Channel& channel = survey.channels[c];
      const Value_kind kind = kinds[c];
      const void* memory = memories[c];
      const bool fixed = channel.format.kind == 'F' || channel.format.kind == 'I';
      for (std::int64_t k = 0; k < channel.columns; ++k) {
        const std::int64_t i = row * channel.columns + k;
        if (!first_field) *out++ = delimiter;
        first_field = false;
        std::string_view text;
        switch (kind) {
          case Value_kind::text: {
            const std::int64_t size = channel.values.get_element_size();
            // Blanks at the end were quoted on reading: they are written in quotes again.
            text = opaque_text(static_cast<const char*>(memory) + i * size, size, true);
            if (unsafe(text) || (out == row_start && !text.empty() && text.front() == '#')) {
              fail(path, row + 2, channel.name,
                   "the text '" + std::string(text) +
                       "' holds the delimiter or a line end, or starts a comment");
            }
            if (text.empty()) {
              text = dummy_text;
            } else if (needs_quotes(text)) {
              *out++ = '"';
              out = std::copy(text.begin(), text.end(), out);
              text = "\"";
            }
            break;
          }
          case Value_kind::int32: {
            const std::int32_t v = static_cast<const std::int32_t*>(memory)[i];
            if (v == common::dummy_value<std::int32_t>)
              text = dummy_text;
            else
              out = format_integer(out, v);
            break;
          }
          case Value_kind::int64: {
            const std::int64_t v = static_cast<const std::int64_t*>(memory)[i];
            if (v == common::dummy_value<std::int64_t>)
              text = dummy_text;
            else
              out = format_integer(out, v);
            break;
          }
          case Value_kind::real: {
            const double v = static_cast<const double*>(memory)[i];
            if (v == common::dummy_value<double>) {
              text = dummy_text;
              break;
            }
            char* const number = out;
            out = fixed ? format_fixed(out, v, channel.format.decimals) : format_shortest(out, v);
            // A whole number gets its point, so the column reads back as real.
            if (std::find_if(number, out,
                             [](char ch) { return ch < '-' || ch > '9' || ch == '/'; }) == out &&
                std::find(number, out, '.') == out) {
              *out++ = '.';
              if (!fixed) *out++ = '0';
            }
            break;
          }
        }
        if (!text.empty()) std::memcpy(out, text.data(), text.size());
        out += text.size();
      }
    }
    if (out == row_start) *out++ = '*';  // a blank row would be skipped on reading
    *out++ = '\n';
    file.advance(out);
  }
  file.commit();
}

}  // namespace vorlith::survey
