#pragma once
// The field definitions of an ASEG-GDF2 `.dfn` file, read and written.

#include <vorlith/survey/survey.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vorlith::survey::detail {

struct Field_definition : Field_description {
  std::int64_t repeat = 1;
  /// Record number in the .dfn, for messages.
  std::int64_t record = 0;
};

struct Definitions {
  std::vector<Field_definition> fields;
  /// The data definition starts with the record-type field `RT:A4`.
  bool record_type_field = false;
};

/// Reads the data field definitions; every fault throws Survey_error naming the record.
Definitions read_definitions(const std::filesystem::path& dfn);

/// Whether a first data field is the record-type field (`RT:A4`, any case and text width).
bool is_record_type_field(const Field_definition& field);

/// The definition file text for these fields; a first field that reading would take for
/// the record-type field gets a record-type field in front, whose `DATA` tag the records
/// then carry.
std::string definitions_text(const std::vector<Field_definition>& fields);

}  // namespace vorlith::survey::detail
