#pragma once
// Writes a table in the delimited text form it was read from.

#include <cstdio>

#include "progress.h"
#include "table.h"

namespace vorlith_line {

/// Writes the header (when the table had one) and every row. Numbers follow their
/// column's Number_format, dummies are written as '*' (or as empty fields when the
/// column's first dummy was empty), text as read. Throws Tool_error when writing fails.
void write_table(const Table& table, std::FILE* out, const std::string& target_name, Progress& progress);

}  // namespace vorlith_line
