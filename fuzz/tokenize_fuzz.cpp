// tokenize_to_doubles against a split written here and boost::lexical_cast, in both
// storage modes, over previous contents; a wrong output type must leave the vector as
// it was.

#include <vorlith/fail_fast.h>
#include <vorlith/integration.h>

#include <boost/lexical_cast.hpp>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

using namespace vorlith::integration;
using vorlith::fuzzing::Input;

// Maximal runs of delimiter characters separate pieces; a run at either end leaves an
// empty piece there; an empty text is one empty piece.
std::vector<std::string> split(const std::string& text, const std::string& delimiters) {
  std::vector<std::string> pieces(1);
  bool in_run = false;
  for (char c : text) {
    if (delimiters.find(c) != std::string::npos) {
      if (!in_run) pieces.emplace_back();
      in_run = true;
    } else {
      pieces.back() += c;
      in_run = false;
    }
  }
  return pieces;
}

double reference_value(const std::string& piece) {
  try {
    return boost::lexical_cast<double>(piece);
  } catch (const boost::bad_lexical_cast&) {
    return vorlith::common::dummy_value<double>;
  }
}

bool same_value(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint8_t setup = input.byte();
  const std::string delimiters = input.bytes(setup % 5);
  const std::string text = input.rest();
  const bool block = (setup & 0x08) != 0;
  const auto previous = static_cast<std::int64_t>(setup >> 4);

  if ((setup & 0x07) == 7) {
    // A vector of another type keeps its contents.
    Multi_vector wrong(Legacy_type(type_float), block, previous);
    bool failed = false;
    try {
      Integration_string::tokenize_to_doubles(text, delimiters, wrong);
    } catch (const gsl::fail_fast&) {
      failed = true;
    }
    VORLITH_FUZZ_CHECK(failed && wrong.get_length() == previous);
    return 0;
  }

  Multi_vector output(Legacy_type(type_double), block, previous);
  Integration_string::tokenize_to_doubles(text, delimiters, output);

  const std::vector<std::string> pieces = split(text, delimiters);
  VORLITH_FUZZ_CHECK(output.get_length() == static_cast<std::int64_t>(pieces.size()));
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    VORLITH_FUZZ_CHECK(
        same_value(output.get_double(static_cast<std::int64_t>(i)), reference_value(pieces[i])));
  }
  return 0;
}
