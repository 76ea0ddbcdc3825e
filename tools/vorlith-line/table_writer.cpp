#include "table_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vorlith_line {

namespace {

constexpr std::int64_t chunk_rows = 8192;
constexpr std::size_t flush_size = 1 << 20;
// The longest number format_number writes, with room for a delimiter.
constexpr std::size_t max_number = 420;

class Output_buffer {
 public:
  Output_buffer(std::FILE* out, const std::string& name) : out_(out), name_(name) { data_.reserve(2 * flush_size); }

  // Room for `bytes` more characters at the returned pointer; commit() what was used.
  char* reserve(std::size_t bytes) {
    if (used_ + bytes > data_.capacity() || used_ >= flush_size) flush();
    if (bytes > data_.capacity()) data_.reserve(bytes);
    data_.resize(data_.capacity());
    return data_.data() + used_;
  }
  void commit(const char* end) { used_ = static_cast<std::size_t>(end - data_.data()); }

  void flush() {
    if (used_ > 0 && std::fwrite(data_.data(), 1, used_, out_) != used_) throw Tool_error("cannot write " + name_);
    used_ = 0;
  }

 private:
  std::FILE* out_;
  const std::string& name_;
  std::vector<char> data_;
  std::size_t used_ = 0;
};

}  // namespace

void write_table(const Table& table, std::FILE* out, const std::string& target_name, Progress& progress) {
  const char separator = table.delimiter == Delimiter::comma ? ',' : table.delimiter == Delimiter::tab ? '\t' : ' ';
  const std::string_view line_end = table.crlf ? "\r\n" : "\n";
  Output_buffer buffer(out, target_name);

  std::size_t row_size = line_end.size();
  for (const auto& column : table.columns) {
    row_size += 1 + (column.is_text() ? static_cast<std::size_t>(column.values.get_element_size()) : max_number);
  }

  if (table.header) {
    std::size_t size = line_end.size();
    for (const auto& column : table.columns) size += column.name.size() + 1;
    char* p = buffer.reserve(size);
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
      if (c > 0) *p++ = separator;
      p = std::copy(table.columns[c].name.begin(), table.columns[c].name.end(), p);
    }
    p = std::copy(line_end.begin(), line_end.end(), p);
    buffer.commit(p);
  }

  const std::size_t width = table.columns.size();
  std::vector<std::vector<double>> numbers(width);
  std::vector<std::vector<char>> texts(width);
  const std::int64_t rows = table.rows();
  progress.begin("writing", rows);
  for (std::int64_t first = 0; first < rows; first += chunk_rows) {
    const std::int64_t n = std::min(chunk_rows, rows - first);
    for (std::size_t c = 0; c < width; ++c) {
      const auto& values = table.columns[c].values;
      if (values.is_opaque_type()) {
        texts[c].resize(static_cast<std::size_t>(n * values.get_element_size()));
        values.get_range(first, n, texts[c].data());
      } else {
        numbers[c].resize(static_cast<std::size_t>(n));
        values.get_range_double(first, n, numbers[c].data());
      }
    }
    for (std::int64_t i = 0; i < n; ++i) {
      char* p = buffer.reserve(row_size);
      for (std::size_t c = 0; c < width; ++c) {
        const Column& column = table.columns[c];
        if (c > 0) *p++ = separator;
        if (column.is_text()) {
          const auto element = static_cast<std::size_t>(column.values.get_element_size());
          const char* text = texts[c].data() + static_cast<std::size_t>(i) * element;
          const std::size_t length = strnlen(text, element);
          if (length == 0 && !column.empty_dummy) *p++ = '*';
          p = std::copy(text, text + length, p);
          continue;
        }
        const double value = numbers[c][static_cast<std::size_t>(i)];
        if (value == dummy) {
          if (!column.empty_dummy) *p++ = '*';
        } else {
          p = format_number(p, value, column.format);
        }
      }
      p = std::copy(line_end.begin(), line_end.end(), p);
      buffer.commit(p);
    }
    progress.update(rows, first + n);
  }
  buffer.flush();
  progress.finish();
}

}  // namespace vorlith_line
