#pragma once
// Streaming reader of delimited text tables into Multi_vector columns.

#include <cstdio>
#include <string>

#include "progress.h"
#include "table.h"

namespace vorlith_line {

enum class Delimiter_choice { automatic, comma, tab, whitespace };

struct Read_options {
  Delimiter_choice delimiter = Delimiter_choice::automatic;
  bool header = true;
  /// Named in messages ("in.csv", "standard input").
  std::string source_name;
  /// Size of the input in bytes when known (for progress), else 0.
  std::int64_t size = 0;
};

/// Reads the whole table from `in`, one buffered line at a time; values reach the
/// columns in chunks. A column holding a field that is not a number becomes a text
/// column (remembering where). Throws Tool_error for malformed input.
Table read_table(std::FILE* in, const Read_options& options, Progress& progress);

}  // namespace vorlith_line
