// Buffered record reading, complete-or-nothing output files, and C-locale numbers.

#include "survey/text_io.h"

#include <unistd.h>
#include <vorlith/dummy.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace vorlith::survey::detail {

namespace {
constexpr std::size_t piece_size = std::size_t{1} << 20;
constexpr double double_dummy = common::dummy_value<double>;
}  // namespace

void fail(const std::filesystem::path& file, std::int64_t record, std::string_view field,
          std::string_view what) {
  std::string message = file.string();
  if (record > 0) message += ": record " + std::to_string(record);
  if (!field.empty()) message.append(": field ").append(field);
  message.append(": ").append(what);
  throw Survey_error(message);
}

// --- Record_reader ------------------------------------------------------------------

Record_reader::Record_reader(const std::filesystem::path& path) : path_(path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) fail(path, 0, {}, "is a directory, not a file");
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) fail(path, 0, {}, std::string("cannot open: ") + std::strerror(errno));
  buffer_.resize(piece_size);
}

Record_reader::~Record_reader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool Record_reader::fill() {
  if (at_end_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // one record longer than a piece
  const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  if (got == 0) {
    if (std::ferror(file_)) fail(path_, record_number_ + 1, {}, "read error");
    at_end_ = true;
    return false;
  }
  end_ += got;
  return true;
}

bool Record_reader::next(std::string_view& record) {
  std::size_t searched = begin_;
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const void* found = std::memchr(buffer_.data() + searched, '\n', end_ - searched);
    if (found != nullptr) {
      const auto stop = static_cast<const char*>(found);
      record = std::string_view(start, static_cast<std::size_t>(stop - start));
      begin_ = static_cast<std::size_t>(stop - buffer_.data()) + 1;
      break;
    }
    const std::size_t pending = end_ - begin_;
    if (!fill()) {
      if (begin_ == end_) return false;
      record = std::string_view(buffer_.data() + begin_, end_ - begin_);
      begin_ = end_;
      break;
    }
    searched = begin_ + pending;
  }
  if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
  ++record_number_;
  // Text values end at a zero byte in memory, so one inside a record could not be kept.
  if (std::memchr(record.data(), 0, record.size()) != nullptr) {
    fail(path_, record_number_, {}, "holds a zero byte: not a text file");
  }
  return true;
}

std::int64_t Record_reader::count_and_rewind() {
  std::int64_t count = 0;
  bool open_record = false;
  for (;;) {
    if (end_ > begin_) {
      count += std::count(buffer_.data() + begin_, buffer_.data() + end_, '\n');
      open_record = buffer_[end_ - 1] != '\n';
    }
    begin_ = end_;
    if (!fill()) break;
  }
  rewind();
  return count + (open_record ? 1 : 0);
}

void Record_reader::rewind() {
  std::rewind(file_);
  begin_ = end_ = 0;
  at_end_ = false;
  record_number_ = 0;
}

// --- Output_file --------------------------------------------------------------------

Output_file::Output_file(std::filesystem::path path) : path_(std::move(path)) {
  // rename() would replace a file the user may not write; refuse it as opening it would.
  if (std::filesystem::exists(path_) && access(path_.c_str(), W_OK) != 0)
    fail(path_, 0, {}, std::string("cannot write: ") + std::strerror(errno));
  temporary_ = path_;
  temporary_ += ".partial";
  file_ = std::fopen(temporary_.c_str(), "wb");
  if (file_ == nullptr) fail(path_, 0, {}, std::string("cannot write: ") + std::strerror(errno));
  buffer_.resize(piece_size);
}

Output_file::~Output_file() {
  if (file_ != nullptr) std::fclose(file_);
  if (!replaced_) {
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
  }
}

char* Output_file::reserve(std::size_t n) {
  if (buffer_.size() - used_ < n) {
    flush();
    if (buffer_.size() < n) buffer_.resize(n);
  }
  return buffer_.data() + used_;
}

void Output_file::write(std::string_view text) {
  char* out = reserve(text.size());
  std::memcpy(out, text.data(), text.size());
  used_ += text.size();
}

void Output_file::flush() {
  if (used_ != 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) {
    fail(path_, 0, {}, std::string("write failed: ") + std::strerror(errno));
  }
  used_ = 0;
}

void Output_file::finish() {
  flush();
  const int closed = std::fclose(file_);
  file_ = nullptr;
  std::error_code error;
  if (closed != 0) {
    std::filesystem::remove(temporary_, error);
    fail(path_, 0, {}, "write failed on close");
  }
}

void Output_file::commit() {
  if (file_ != nullptr) finish();
  std::error_code error;
  std::filesystem::rename(temporary_, path_, error);
  if (error) {
    std::filesystem::remove(temporary_, error);
    fail(path_, 0, {}, "cannot replace the file: " + error.message());
  }
  replaced_ = true;
}

// --- numbers ------------------------------------------------------------------------

Parsed parse_real(std::string_view text, double& value) {
  int decimals = 0;
  if (parse_plain_decimal(text, value, decimals)) return Parsed::number;
  if (is_empty_field(text)) return Parsed::dummy;
  const char* first = text.data();
  const char* last = first + text.size();
  if (*first == '+' && text.size() > 1 && first[1] != '-') ++first;
  auto result = std::from_chars(first, last, value);
  if (result.ec == std::errc() && result.ptr != last &&
      (*result.ptr == 'D' || *result.ptr == 'd')) {
    // Fortran double-precision exponent: read it as an E.
    char copy[128];
    const auto n = static_cast<std::size_t>(last - first);
    if (n >= sizeof copy) return Parsed::bad;
    std::memcpy(copy, first, n);
    copy[result.ptr - first] = 'e';
    result = std::from_chars(copy, copy + n, value);
    if (result.ptr != copy + n) return Parsed::bad;
    result.ptr = last;
  }
  if (result.ptr != last) return Parsed::bad;
  if (result.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a value a channel can hold.
    const bool tiny = text.find_first_of("eEdD") != std::string_view::npos &&
                      text.find("-", text.find_first_of("eEdD")) != std::string_view::npos;
    if (!tiny) return Parsed::bad;
    value = 0.0;
  } else if (result.ec != std::errc()) {
    return Parsed::bad;
  }
  if (!std::isfinite(value)) return Parsed::dummy;
  if (value == double_dummy) return Parsed::dummy;
  return Parsed::number;
}

Parsed parse_integer(std::string_view text, std::int64_t& value) {
  if (is_empty_field(text)) return Parsed::dummy;
  const char* first = text.data();
  const char* last = first + text.size();
  if (*first == '+' && text.size() > 1 && first[1] != '-') ++first;
  const auto result = std::from_chars(first, last, value);
  if (result.ec == std::errc() && result.ptr == last) return Parsed::number;
  if (result.ec == std::errc::result_out_of_range) return Parsed::bad;
  double real = 0;
  const Parsed as_real = parse_real(text, real);
  if (as_real != Parsed::number) return as_real;
  // Integral reals inside the int64 range (2^63 itself is not).
  if (real != std::trunc(real) || std::fabs(real) >= 9.2233720368547758e18) return Parsed::bad;
  value = static_cast<std::int64_t>(real);
  return Parsed::number;
}

int decimals_of(std::string_view text) {
  const auto point = text.find('.');
  if (point == std::string_view::npos) return 0;
  int digits = 0;
  for (std::size_t i = point + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    ++digits;
  return digits;
}

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view opaque_text(const char* element, std::int64_t width, bool keep_blanks) {
  const auto n = static_cast<std::size_t>(width);
  const void* zero = std::memchr(element, 0, n);
  std::string_view text(
      element, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - element) : n);
  while (!keep_blanks && !text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

char* format_shortest(char* out, double v) {
  // Survey values (coordinates, fields) read best without an exponent: 500000 rather
  // than 5e+05. Only very large or small magnitudes keep the shortest general form.
  const double magnitude = std::fabs(v);
  if (magnitude == 0 || (magnitude >= 1e-5 && magnitude < 1e16))
    return std::to_chars(out, out + number_room, v, std::chars_format::fixed).ptr;
  return std::to_chars(out, out + number_room, v).ptr;
}

char* format_fixed(char* out, double v, int decimals) {
  decimals = std::clamp(decimals, 0, most_decimals);
  char* end = std::to_chars(out, out + number_room, v, std::chars_format::fixed, decimals).ptr;
  // Past 15 significant digits a fixed text may show the binary value's noise
  // (59226.843999999997 for 59226.844 at 12 decimals): the shortest exact text, padded with
  // zeros, reads back the same and is used when it needs no more decimals than asked.
  if (end - out > 16) {
    const char* first = std::find_if(out, end, [](char c) { return c >= '1' && c <= '9'; });
    if (std::count_if(first, static_cast<const char*>(end), [](char c) { return c != '.'; }) > 15) {
      char shortest[number_room];
      char* shortest_end =
          std::to_chars(shortest, shortest + number_room, v, std::chars_format::fixed).ptr;
      const char* point = std::find(shortest, shortest_end, '.');
      const int places = point == shortest_end ? 0 : static_cast<int>(shortest_end - point - 1);
      if (places <= decimals) {
        end = std::copy(shortest, shortest_end, out);
        if (point == shortest_end && decimals > 0) *end++ = '.';
        end = std::fill_n(end, decimals - places, '0');
      }
    }
  }
  // A tiny negative value rounds to "-0.00": written without the sign, as zero reads back.
  // A zero keeps its sign, which reads back.
  if (v != 0 && *out == '-' &&
      std::all_of(out + 1, end, [](char c) { return c == '0' || c == '.'; })) {
    std::copy(out + 1, end, out);
    --end;
  }
  return end;
}

char* format_scientific(char* out, double v) {
  return std::to_chars(out, out + number_room, v, std::chars_format::scientific).ptr;
}

char* format_integer(char* out, std::int64_t v) {
  return std::to_chars(out, out + number_room, v).ptr;
}

Value_kind kind_of(const Multi_vector& values) {
  using namespace vorlith::integration;
  if (values.is_opaque_type()) return Value_kind::text;
  switch (values.get_type().get_data_type()) {
    case type_int32:
      return Value_kind::int32;
    case type_int64:
      return Value_kind::int64;
    case type_double:
      return Value_kind::real;
    default:
      throw Survey_error("survey channels hold int32, int64, double or text, not " +
                         values.get_type().get_name());
  }
}

Multi_vector make_values(Value_kind kind, std::int64_t length, std::int64_t width) {
  using namespace vorlith::integration;
  switch (kind) {
    case Value_kind::int32:
      return Multi_vector(Legacy_type(type_int32), false, length);
    case Value_kind::int64:
      return Multi_vector(Legacy_type(type_int64), false, length);
    case Value_kind::real:
      return Multi_vector(Legacy_type(type_double), false, length);
    case Value_kind::text:
      break;
  }
  return Multi_vector(Legacy_type(std::max<std::int64_t>(width, 1)), false, length);
}

}  // namespace vorlith::survey::detail
