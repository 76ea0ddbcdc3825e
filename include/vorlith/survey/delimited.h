#pragma once
// Delimited text surveys: a header row of names, then one row per sample.

#include <vorlith/survey/export.h>
#include <vorlith/survey/survey.h>

#include <filesystem>
#include <string>

namespace vorlith::survey {

struct Delimited_read_options {
  /// ',' ';' '\t' or ' ' (runs of blanks and tabs); 0 finds it from the header row:
  /// tab, then comma, then semicolon, else blanks.
  char delimiter = 0;
  /// The line field; empty to find it by name (see Survey::index_lines).
  std::string line_field;
  /// false: the first record is data and the columns are named 1, 2, ...
  bool header = true;
};

/// The delimiter read_delimited would use for the file when none is given (see
/// Delimited_read_options::delimiter). Throws Survey_error when the file holds no record.
VORLITH_SURVEY_API char find_delimiter(const std::filesystem::path& path);

/// Reads a delimited file. Lines starting with `#` (before the header or among the rows)
/// and blank lines are skipped; a UTF-8 byte-order mark is ignored; CRLF line ends are
/// accepted; a record holding a zero byte is an error. Blanks around a field, and then one
/// pair of double quotes around it, are dropped. A column is text when its first non-empty value is
/// not a number (text of its widest value), else int32/int64 when every value is a whole number
/// without a point, else double. Empty or blank fields, `*`, `nan` and `inf` (any case and sign)
/// read as the dummy. Headers `x[0]`, `x[1]`, ... in order form one array channel `x` (a lone
/// `x[0]` is a channel of that name). A row with more or fewer fields than the header, or a numeric
/// column holding text, throws Survey_error naming the file, the line and the column; a header that
/// yields one column while another delimiter would split it says so.
VORLITH_SURVEY_API Survey read_delimited(const std::filesystem::path& path,
                                         const Delimited_read_options& options = {});

struct Delimited_write_options {
  /// ',' ';' '\t' or ' '.
  char delimiter = ',';
  /// false: no header row.
  bool header = true;
};

/// Writes a header row and one row per sample. Numbers of a channel with a known format
/// keep its decimals; others are written in shortest round-trip form (no exponent from 1e-5
/// to 1e16); whole numbers of a
/// real channel keep a point ("20." or "20.0") so the column reads back as real. Dummies
/// are written as empty fields (`*` with blanks as delimiter, or when the row would be
/// blank); text keeps its bytes (trailing zero padding dropped), in quotes where reading
/// would change it (blanks at its ends, a quote at both ends). Array channels give
/// columns `x[0]` ... Text or names holding the delimiter or a line end, or that would
/// start a `#` comment line, throw Survey_error. The file is written to a temporary
/// name and renamed at the end, so a failure leaves nothing behind.
VORLITH_SURVEY_API void write_delimited(const Survey& survey, const std::filesystem::path& path,
                                        const Delimited_write_options& options = {});

}  // namespace vorlith::survey
