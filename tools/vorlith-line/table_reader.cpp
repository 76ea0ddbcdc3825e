#include "table_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace vorlith_line {

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t chunk_rows = 8192;
constexpr std::int64_t max_text_width = 4096;

// Lines of a stream through one buffer that grows only for a line longer than it.
class Line_source {
 public:
  Line_source(std::FILE* in, std::string name) : in_(in), name_(std::move(name)), buffer_(1 << 20) {}

  bool next(std::string_view& line) {
    for (;;) {
      const char* begin = buffer_.data() + begin_;
      const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', end_ - begin_));
      if (newline != nullptr || (eof_ && begin_ < end_)) {
        const char* stop = newline != nullptr ? newline : buffer_.data() + end_;
        line = std::string_view(begin, static_cast<std::size_t>(stop - begin));
        begin_ = static_cast<std::size_t>(stop - buffer_.data()) + (newline != nullptr ? 1 : 0);
        consumed_ += static_cast<std::int64_t>(line.size()) + (newline != nullptr ? 1 : 0);
        ++line_number_;
        if (!line.empty() && line.back() == '\r') {
          line.remove_suffix(1);
          if (line_number_ == 1) crlf_ = true;
        }
        return true;
      }
      if (eof_) return false;
      fill();
    }
  }

  std::int64_t line_number() const { return line_number_; }
  std::int64_t consumed() const { return consumed_; }
  bool crlf() const { return crlf_; }

 private:
  void fill() {
    if (begin_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    const std::size_t n = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, in_);
    if (n == 0) {
      if (std::ferror(in_)) throw Tool_error("cannot read " + name_);
      eof_ = true;
    }
    end_ += n;
  }

  std::FILE* in_;
  std::string name_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool crlf_ = false;
  std::int64_t line_number_ = 0;
  std::int64_t consumed_ = 0;
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_blank_line(std::string_view line) { return std::all_of(line.begin(), line.end(), is_blank); }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

void split(std::string_view line, Delimiter delimiter, std::vector<std::string_view>& fields) {
  fields.clear();
  if (delimiter == Delimiter::whitespace) {
    std::size_t i = 0;
    for (;;) {
      while (i < line.size() && is_blank(line[i])) ++i;
      if (i == line.size()) return;
      const std::size_t start = i;
      while (i < line.size() && !is_blank(line[i])) ++i;
      fields.push_back(line.substr(start, i - start));
    }
  }
  const char separator = delimiter == Delimiter::comma ? ',' : '\t';
  for (;;) {
    const std::size_t at = line.find(separator);
    fields.push_back(trim(line.substr(0, at)));
    if (at == std::string_view::npos) return;
    line.remove_prefix(at + 1);
  }
}

Delimiter detect(std::string_view first_line, Delimiter_choice choice) {
  switch (choice) {
    case Delimiter_choice::comma: return Delimiter::comma;
    case Delimiter_choice::tab: return Delimiter::tab;
    case Delimiter_choice::whitespace: return Delimiter::whitespace;
    case Delimiter_choice::automatic: break;
  }
  if (first_line.find('\t') != std::string_view::npos) return Delimiter::tab;
  if (first_line.find(',') != std::string_view::npos) return Delimiter::comma;
  return Delimiter::whitespace;
}

bool is_dummy_field(std::string_view field) { return field.empty() || field == "*"; }

// One column while it is read: values wait in `pending` until the chunk is flushed.
struct Column_reader {
  Column* column;
  std::vector<double> pending;
  bool dummy_seen = false;
  std::vector<char> element;  // one text element

  void write_text(std::int64_t row, std::string_view field, const std::string& source,
                  std::int64_t line) {
    vi::Multi_vector& values = column->values;
    if (static_cast<std::int64_t>(field.size()) > values.get_element_size()) {
      if (static_cast<std::int64_t>(field.size()) > max_text_width) {
        throw Tool_error(source + ":" + std::to_string(line) + ": column '" + column->name +
                         "': field longer than " + std::to_string(max_text_width) + " characters");
      }
      const auto width = std::min(max_text_width, std::max<std::int64_t>(2 * values.get_element_size(),
                                                                          static_cast<std::int64_t>(field.size())));
      vi::Multi_vector wider(vi::Legacy_type(width), true, 0);
      wider.copy(values);
      values = std::move(wider);
    }
    element.assign(static_cast<std::size_t>(values.get_element_size()), '\0');
    if (!is_dummy_field(field)) std::memcpy(element.data(), field.data(), field.size());
    values.set_range(row, 1, element.data());
  }

  // The column holds text from `row` on: earlier numbers become their written text.
  void become_text(std::int64_t chunk_start, std::int64_t pending_rows, std::string_view field,
                   std::int64_t line) {
    vi::Multi_vector& values = column->values;
    if (pending_rows > 0) values.set_range_double(chunk_start, pending_rows, pending.data());
    const std::int64_t rows = values.get_length();
    const auto width = std::max<std::int64_t>(16, static_cast<std::int64_t>(field.size()));
    vi::Multi_vector text(vi::Legacy_type(std::min(width, max_text_width)), true, rows);
    std::vector<double> numbers(chunk_rows);
    std::vector<char> bytes;
    char formatted[512];
    for (std::int64_t first = 0; first < rows; first += chunk_rows) {
      const std::int64_t n = std::min(chunk_rows, rows - first);
      values.get_range_double(first, n, numbers.data());
      bytes.assign(static_cast<std::size_t>(n * text.get_element_size()), '\0');
      for (std::int64_t i = 0; i < n; ++i) {
        if (numbers[i] == dummy) continue;
        const char* end = format_number(formatted, numbers[i], column->format);
        const auto length = std::min<std::ptrdiff_t>(end - formatted, text.get_element_size());
        std::memcpy(bytes.data() + i * text.get_element_size(), formatted, static_cast<std::size_t>(length));
      }
      text.set_range(first, n, bytes.data());
    }
    values = std::move(text);
    column->first_text_line = line;
    column->first_text = std::string(field);
  }
};

}  // namespace

Table read_table(std::FILE* in, const Read_options& options, Progress& progress) {
  Line_source source(in, options.source_name);
  std::string_view line;
  do {
    if (!source.next(line)) throw Tool_error(options.source_name + ": no table (the input is empty)");
  } while (is_blank_line(line));

  Table table;
  table.header = options.header;
  table.delimiter = detect(line, options.delimiter);
  std::vector<std::string_view> fields;
  split(line, table.delimiter, fields);
  const std::size_t width = fields.size();
  for (std::size_t c = 0; c < width; ++c) {
    std::string name = options.header ? std::string(fields[c]) : std::to_string(c + 1);
    if (name.empty()) {
      throw Tool_error(options.source_name + ":" + std::to_string(source.line_number()) + ": column " +
                       std::to_string(c + 1) + " has no name");
    }
    if (table.has_column(name)) {
      throw Tool_error(options.source_name + ":" + std::to_string(source.line_number()) +
                       ": two columns are named '" + name + "'");
    }
    table.columns.push_back(Column{std::move(name), make_double_channel(0), {}, false, 0, {}});
  }
  std::vector<Column_reader> readers(width);
  for (std::size_t c = 0; c < width; ++c) {
    readers[c].column = &table.columns[c];
    readers[c].pending.resize(chunk_rows);
  }

  progress.begin("reading", options.size);
  std::int64_t chunk_start = 0;
  std::int64_t pending_rows = 0;
  const auto flush = [&] {
    for (auto& reader : readers) {
      if (!reader.column->is_text() && pending_rows > 0) {
        reader.column->values.set_range_double(chunk_start, pending_rows, reader.pending.data());
      }
    }
    chunk_start += pending_rows;
    pending_rows = 0;
    progress.update(chunk_start, source.consumed());
  };

  bool have_line = !options.header;  // without a header the first line is data
  for (;;) {
    if (!have_line) {
      if (!source.next(line)) break;
      if (is_blank_line(line)) continue;
      split(line, table.delimiter, fields);
    }
    have_line = false;
    if (fields.size() != width) {
      throw Tool_error(options.source_name + ":" + std::to_string(source.line_number()) + ": " +
                       std::to_string(fields.size()) + " fields where the table has " + std::to_string(width));
    }
    const std::int64_t row = chunk_start + pending_rows;
    for (std::size_t c = 0; c < width; ++c) {
      Column_reader& reader = readers[c];
      const std::string_view field = fields[c];
      const bool is_dummy = is_dummy_field(field);
      if (is_dummy && !reader.dummy_seen) {
        reader.column->empty_dummy = field.empty();
        reader.dummy_seen = true;
      }
      if (reader.column->is_text()) {
        reader.write_text(row, field, options.source_name, source.line_number());
        continue;
      }
      double value;
      Number_format format;
      if (is_dummy) {
        reader.pending[pending_rows] = dummy;
      } else if (parse_number(field, value, format)) {
        reader.pending[pending_rows] = value;
        reader.column->format.widen(format);
      } else {
        reader.become_text(chunk_start, pending_rows, field, source.line_number());
        reader.write_text(row, field, options.source_name, source.line_number());
      }
    }
    if (++pending_rows == chunk_rows) flush();
  }
  flush();
  table.crlf = source.crlf();
  // Every column has the table's length, also a text column whose last rows were dummies.
  for (auto& column : table.columns) column.values.set_length(chunk_start);
  progress.finish();
  return table;
}

}  // namespace vorlith_line
