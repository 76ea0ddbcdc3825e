// The ASEG-GDF2 reader on any definition and record bytes (the input up to its first
// zero byte is the .dfn, the rest the .dat): it reads or throws Survey_error, and what it
// reads is written and read back unchanged.

#include <vorlith/survey/aseg_gdf2.h>

#include <string>

#include "fuzz/survey_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vorlith::survey;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const auto split = input.find('\0');
  vorlith::fuzzing::write_input("in.dfn", input.substr(0, split));
  const auto dat = vorlith::fuzzing::write_input(
      "in.dat", split == std::string::npos ? "" : input.substr(split + 1));
  Survey survey;
  try {
    survey = read_aseg_gdf2(dat);
  } catch (const Survey_error&) {
    return 0;
  }
  const auto copy = vorlith::fuzzing::scratch_folder() / "copy.dfn";
  write_aseg_gdf2(survey, copy);
  vorlith::fuzzing::check_same(survey, read_aseg_gdf2(copy));
  return 0;
}
