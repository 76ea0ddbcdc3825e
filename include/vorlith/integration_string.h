#pragma once
// Integration_string: reading number lists typed as text.

#include <vorlith/export.h>
#include <vorlith/multi_vector.h>

#include <string>

namespace vorlith::integration {

class VORLITH_API Integration_string {
 public:
  /// Splits `text` at any character of `delimiters` (a run of delimiters separates once;
  /// a delimiter at either end gives an empty piece there; an empty text is one empty
  /// piece) and replaces the contents of `output` with one element per piece: its value
  /// as boost::lexical_cast<double> reads it (inf, infinity and nan spellings included),
  /// or the double dummy when it does not read as a number. `output` must be of type
  /// double; any other type is a contract failure that leaves `output` unchanged.
  static void tokenize_to_doubles(const std::string& text, const std::string& delimiters,
                                  Multi_vector& output);
};

}  // namespace vorlith::integration
