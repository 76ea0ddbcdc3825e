#pragma once
// A survey held in memory: named, typed channels of equal row count and the index of the
// survey lines (runs of consecutive rows with one line number or label).

#include <vorlith/multi_vector.h>
#include <vorlith/survey/export.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith::survey {

using vorlith::integration::Multi_vector;

/// A file that cannot be read or written, or whose contents contradict themselves. The
/// message names the file and, where they apply, the record (1-based) and the field.
struct VORLITH_SURVEY_API Survey_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// How a channel's values are laid out as text, in the Fortran edit-descriptor terms of
/// survey definition files. `kind` is 'A' (text), 'I' (integer), 'F', 'E' or 'D' (real);
/// kind 0 means no format is known (a computed channel): numbers are then written in the
/// shortest form that reads back to the same value.
struct Field_format {
  char kind = 0;
  int width = 0;
  int decimals = 0;
};

/// What a file says of a field besides its values.
struct Field_description {
  std::string name;
  std::string unit;
  /// The long name (`NAME=` of a definition file) and any free description text.
  std::string long_name;
  std::string description;
  /// The NULL text the file declared for this field; empty when it declared none.
  std::string null_text;
  Field_format format;
};

/// One channel: a field of every row. `values` holds rows * columns elements in
/// contiguous storage, row after row: int32, int64, double, or opaque text of the field
/// width (left-aligned, zero-padded). Missing values are the type's dummy.
struct VORLITH_SURVEY_API Channel : Field_description {
  Channel(std::string name, Multi_vector values, std::int64_t columns = 1);

  /// Values per row: 1, or the repeat count of an array field (a spectrum of 256
  /// channels is one channel of 256 columns).
  std::int64_t columns = 1;
  Multi_vector values;

  std::int64_t rows() const { return columns == 0 ? 0 : values.get_length() / columns; }
  bool is_text() const { return values.is_opaque_type(); }
};

/// One survey line: consecutive rows whose line field holds one value. A line number
/// that comes back after other lines starts a new entry, so the entries always cover
/// the rows in file order and never overlap.
struct Line {
  /// The line field's value as text: the trimmed text, or the number in shortest form.
  std::string label;
  /// The numeric value, or the double dummy when the label is not a number.
  double number = 0;
  std::int64_t first_row = 0;
  std::int64_t row_count = 0;
};

class VORLITH_SURVEY_API Survey {
 public:
  std::vector<Channel> channels;
  std::vector<Line> lines;
  /// The index of the channel the lines come from, or -1 (then one line covers all rows).
  std::int64_t line_channel = -1;

  std::int64_t rows() const { return channels.empty() ? 0 : channels.front().rows(); }
  /// The channel named `name` (exact match), or nullptr.
  Channel* find(std::string_view name);
  const Channel* find(std::string_view name) const;

  /// Adds a channel; its row count must match the survey's (any count for the first).
  Channel& add(Channel channel);

  /// Rebuilds `lines` from the channel named `line_field`, or, when it is empty, from the
  /// first channel named LINE, then FLTLINE (either in any case). Without such a channel
  /// the whole survey is one line with an empty label. A named channel that does not
  /// exist, or an array channel, throws Survey_error.
  void index_lines(std::string_view line_field = {});

  /// The indices of the lines selected by `ranges`: numbers and ranges separated by
  /// commas ("1010, 1020-1050"), matched against the line numbers (both ends of a range
  /// included); an item that is not a number matches a label exactly. Throws
  /// Survey_error for an empty item or a range whose end is below its start.
  std::vector<std::size_t> select_lines(std::string_view ranges) const;
};

/// Which file layout to use.
enum class File_format { aseg_gdf2, delimited };

/// The format the file name implies: `.dfn` or `.dat` give ASEG-GDF2, others delimited.
VORLITH_SURVEY_API File_format format_from_path(const std::filesystem::path& path);

}  // namespace vorlith::survey
