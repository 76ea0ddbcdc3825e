// The delimited-text reader on any bytes: it reads or throws Survey_error, and what it
// reads is written (comma-separated) and read back unchanged.

#include <vorlith/survey/delimited.h>

#include <string>

#include "fuzz/survey_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vorlith::survey;
  const auto path = vorlith::fuzzing::write_input(
      "in.txt", std::string(reinterpret_cast<const char*>(data), size));
  Survey survey;
  try {
    survey = read_delimited(path);
  } catch (const Survey_error&) {
    return 0;
  }
  const auto copy = vorlith::fuzzing::scratch_folder() / "copy.csv";
  try {
    write_delimited(survey, copy);
  } catch (const Survey_error&) {
    return 0;  // text the delimiter cannot carry
  }
  vorlith::fuzzing::check_same(survey, read_delimited(copy));
  return 0;
}
