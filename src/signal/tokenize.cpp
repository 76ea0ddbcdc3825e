// Number-list tokenizing.

#include <vorlith/dummy.h>
#include <vorlith/integration_string.h>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/lexical_cast.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/contracts.h"

namespace vorlith::integration {

void Integration_string::tokenize_to_doubles(const std::string& text, const std::string& delimiters,
                                             Multi_vector& output) {
  // Checked before anything is parsed, so a wrong output type never loses the
  // caller's previous contents.
  VORLITH_EXPECTS(output.get_type().get_data_type() == type_double,
                  "tokenize_to_doubles: the output is ", output.get_type().get_name(),
                  ", not double");

  std::vector<std::string> pieces;
  boost::algorithm::split(pieces, text, boost::algorithm::is_any_of(delimiters),
                          boost::algorithm::token_compress_on);

  std::vector<double> values;
  values.reserve(pieces.size());
  for (const std::string& piece : pieces) {
    double value = common::dummy_value<double>;
    try {
      value = boost::lexical_cast<double>(piece);
    } catch (const boost::bad_lexical_cast&) {
      // Anything that does not read as a number stays a dummy; other failures (an
      // allocation) reach the caller instead of turning a number into a dummy.
    }
    values.push_back(value);
  }

  const auto count = static_cast<std::int64_t>(values.size());
  output.set_length(0);
  output.set_range_double(0, count, values.data());
}

}  // namespace vorlith::integration
