#pragma once
// The in-memory table of the tool: one Multi_vector channel per column, plus what is
// needed to write the columns back the way they were read.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <vorlith/integration.h>

namespace vorlith_line {

/// A failure the user can act on: printed as "vorlith-line: <message>", exit status 2.
struct Tool_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

inline constexpr double dummy = vorlith::common::dummy_value<double>;

/// How the numbers of a column are written: with the largest number of decimals seen,
/// or in shortest round-trip form once any value used an exponent.
struct Number_format {
  int decimals = 0;
  bool exponent = false;

  void widen(const Number_format& other) {
    if (other.decimals > decimals) decimals = other.decimals;
    exponent = exponent || other.exponent;
  }
};

/// Reads `field` as a whole number (an optional leading '+' is accepted) and reports its
/// format; false when it is not one.
bool parse_number(std::string_view field, double& value, Number_format& format);

/// Writes v in the format (at most 400 characters) and returns the end pointer.
char* format_number(char* out, double v, const Number_format& format);

enum class Delimiter { comma, tab, whitespace };

struct Column {
  std::string name;
  /// double values in block storage, or opaque text (zero-padded) for a text column.
  vorlith::integration::Multi_vector values;
  Number_format format;
  /// Dummies are written as empty fields rather than '*' (the first dummy read was empty).
  bool empty_dummy = false;
  /// For a text column: where the first field that is not a number stood.
  std::int64_t first_text_line = 0;
  std::string first_text;

  bool is_text() const { return values.is_opaque_type(); }
};

struct Table {
  std::vector<Column> columns;
  Delimiter delimiter = Delimiter::comma;
  bool header = true;
  bool crlf = false;

  std::int64_t rows() const { return columns.empty() ? 0 : columns.front().values.get_length(); }
  /// The column of that name, or a Tool_error listing the names there are.
  Column& column(const std::string& name);
  /// As column(), and a Tool_error when it holds text.
  Column& numeric_column(const std::string& name);
  bool has_column(const std::string& name) const;
};

/// A new double column of `rows` dummies in block storage.
vorlith::integration::Multi_vector make_double_channel(std::int64_t rows);

}  // namespace vorlith_line
