#pragma once
// Text input and output shared by the survey readers and writers: a buffered record
// reader, an output file that appears only when complete, and number parsing and
// formatting in the C locale.

#include <vorlith/survey/survey.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith::survey::detail {

/// "<file>: record <n>: field <name>: <what>", leaving out the parts that are empty or 0.
[[noreturn]] void fail(const std::filesystem::path& file, std::int64_t record,
                       std::string_view field, std::string_view what);

/// Reads a file record by record in large pieces; a record is the text up to "\n" or
/// "\r\n" (the last one may lack it). Views stay valid until the next call. A record
/// holding a zero byte is a Survey_error.
class Record_reader {
 public:
  explicit Record_reader(const std::filesystem::path& path);
  ~Record_reader();
  Record_reader(const Record_reader&) = delete;
  Record_reader& operator=(const Record_reader&) = delete;

  bool next(std::string_view& record);
  /// 1-based number of the record last returned.
  std::int64_t record_number() const { return record_number_; }
  /// Counts the records left (an upper bound for the rows they hold) and starts over.
  std::int64_t count_and_rewind();
  void rewind();

 private:
  bool fill();

  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
  std::int64_t record_number_ = 0;
};

/// A file written under a temporary name beside its target and renamed onto it by
/// commit(); dropped without commit() the temporary file is removed.
class Output_file {
 public:
  explicit Output_file(std::filesystem::path path);
  ~Output_file();
  Output_file(const Output_file&) = delete;
  Output_file& operator=(const Output_file&) = delete;

  /// Room for at least n more characters at the returned pointer; advance() takes them.
  char* reserve(std::size_t n);
  void advance(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
  void write(std::string_view text);
  /// Writes out and closes the temporary file; write errors are reported here, before
  /// any file is replaced, so that a writer of several files can finish them all first.
  void finish();
  /// finish() if not done yet, then replaces the file by the temporary one.
  void commit();

 private:
  void flush();

  std::filesystem::path path_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  bool replaced_ = false;
};

enum class Parsed { number, dummy, bad };

/// A field that holds no value: empty, blanks only or `*` only (a Fortran overflow mark).
inline bool is_empty_field(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos ||
         text.find_first_not_of('*') == std::string_view::npos;
}

/// The usual field, a plain decimal ([sign] digits [. digits], no exponent, at most 19
/// digits making at most 2^53, at most 22 decimals), read from `first` up to the first
/// character that cannot continue it, without the general parser: the digits as an integer
/// divided by a power of ten, both exact, so the one rounding of the division gives the
/// correctly rounded value the general parser gives. Returns where reading stopped, or
/// nullptr when the text there is not such a decimal (parse_real reads the rest).
inline const char* read_plain_decimal(const char* first, const char* last, double& value,
                                      int& decimals) {
  static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = first;
  const bool negative = p != last && *p == '-';
  if (p != last && (*p == '-' || *p == '+')) ++p;
  std::uint64_t mantissa = 0;
  int digits = 0;
  const char* point = nullptr;
  for (; p != last; ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit < 10) {
      mantissa = mantissa * 10 + digit;
      ++digits;
    } else if (*p == '.' && point == nullptr) {
      point = p;
    } else {
      break;
    }
  }
  if (digits == 0 || digits > 19 || mantissa > (std::uint64_t{1} << 53)) return nullptr;
  if (p != last && (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D')) return nullptr;
  decimals = point == nullptr ? 0 : static_cast<int>(p - point - 1);
  if (decimals > 22) return nullptr;
  const double magnitude = static_cast<double>(mantissa) / powers[decimals];
  value = negative ? -magnitude : magnitude;
  return p;
}

/// read_plain_decimal over the whole of `text`.
inline bool parse_plain_decimal(std::string_view text, double& value, int& decimals) {
  const char* last = text.data() + text.size();
  const char* end = read_plain_decimal(text.data(), last, value, decimals);
  return end != nullptr && end == last;  // an empty view may lie at nullptr
}

/// A whole field as a real number: an optional sign, Fortran `D` exponents accepted.
/// Empty text, text of only `*`, `nan` and `inf` are the dummy.
Parsed parse_real(std::string_view text, double& value);
/// A whole field as an integer; a real of integral value ("5.0") is accepted.
Parsed parse_integer(std::string_view text, std::int64_t& value);
/// Digits after the decimal point of a number text (0 without a point).
int decimals_of(std::string_view text);

std::string_view trim(std::string_view text);
/// The text of an opaque element: up to the first zero byte, trailing blanks dropped
/// unless `keep_blanks`.
std::string_view opaque_text(const char* element, std::int64_t width, bool keep_blanks = false);

/// Shortest text that reads back to v, without an exponent for magnitudes from 1e-5 to 1e16.
char* format_shortest(char* out, double v);
/// Fixed notation with `decimals` decimals (at most most_decimals).
char* format_fixed(char* out, double v, int decimals);
/// Scientific notation, the fewest digits that read back to v.
char* format_scientific(char* out, double v);
char* format_integer(char* out, std::int64_t v);
/// Decimals past which a double's fixed text only adds zeros (its smallest subnormal is 2^-1074).
inline constexpr int most_decimals = 1074;
/// Room any one formatted number needs: a sign, 309 digits, the point and the decimals.
inline constexpr std::size_t number_room = 1 + 309 + 1 + most_decimals + 15;

/// Typed view of a channel's contiguous values (nullptr when empty).
template <class T>
T* values_of(Multi_vector& values) {
  return values.get_length() == 0 ? nullptr : static_cast<T*>(values.get_vector_memory());
}
template <class T>
const T* values_of(const Multi_vector& values) {
  return values.get_length() == 0 ? nullptr : static_cast<const T*>(values.get_vector_memory());
}

/// The storage kind of a channel: what the readers parse and the writers format.
enum class Value_kind { int32, int64, real, text };
Value_kind kind_of(const Multi_vector& values);
/// A contiguous vector of `length` dummies of that kind (text: `width` bytes).
Multi_vector make_values(Value_kind kind, std::int64_t length, std::int64_t width = 0);

}  // namespace vorlith::survey::detail
