#pragma once
// ASEG-GDF2 surveys: a `.dfn` file of field definitions and a `.dat` file of records.

#include <vorlith/survey/export.h>
#include <vorlith/survey/survey.h>

#include <filesystem>
#include <string>

namespace vorlith::survey {

struct Aseg_gdf2_read_options {
  /// The line field; empty to find it by name (see Survey::index_lines).
  std::string line_field;
};

/// Reads the survey named by either file of the pair (the other has the same stem).
/// Channels: `A` fields give text of the field width, `I` fields int32 (width up to 12,
/// widened to int64 when a value needs it) or int64, real fields double; an array field (`256F5.0`)
/// is one channel of that many columns. A record-type field `RT:A4` in front of the data fields is
/// no channel; its `DATA` tag is skipped where records carry it. Records starting `COMM` are
/// skipped. The field's NULL value, fields of only `*` and empty fields read as the dummy; `nan`
/// and `inf` texts too. Records are split on blanks and tabs; a record with the wrong number of
/// pieces is split by the declared widths instead (missing trailing characters are blank; blanks
/// and `*` past the declared width are ignored). A carriage return inside a definition record
/// reads as a blank. A zero byte in a record is an error. Any error
/// throws Survey_error naming the file, the record (1-based) and the field.
VORLITH_SURVEY_API Survey read_aseg_gdf2(const std::filesystem::path& path,
                                         const Aseg_gdf2_read_options& options = {});

/// Writes `<stem>.dfn` and `<stem>.dat` for either file name given. Every record is
/// fixed-width by the declared formats, with at least one blank in front of each
/// field, so both blank-splitting and width-based readers read it back. Formats widen
/// where a value needs it; computed real channels (no format) are written with each
/// value's shortest text that reads back to the same double, in a fixed field wide
/// enough for all of them (E25.16 when a magnitude needs an exponent); channels of `E` or
/// `D` fields likewise in scientific notation, as `E` fields. Dummies are written
/// as the field's NULL, kept from the read when it fits and lies below every value, else a
/// new one of nines that does.
/// Text dummies are written as `*`. Both files are written to temporary names and
/// renamed at the end, so a failure leaves nothing behind. Throws Survey_error.
VORLITH_SURVEY_API void write_aseg_gdf2(const Survey& survey, const std::filesystem::path& path);

}  // namespace vorlith::survey
