#pragma once
// Shared pieces of the survey fuzz targets: input written to files in a private folder,
// and the comparison of a survey with the one read back from what it wrote.

#include <unistd.h>
#include <vorlith/survey/survey.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_support.h"

namespace vorlith::fuzzing {

inline const std::filesystem::path& scratch_folder() {
  static const std::filesystem::path folder = [] {
    const std::filesystem::path shm = "/dev/shm";
    std::filesystem::path base =
        std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    base /= "vorlith-survey-fuzz-" + std::to_string(::getpid());
    std::filesystem::create_directories(base);
    return base;
  }();
  return folder;
}

inline std::filesystem::path write_input(const std::string& name, const std::string& bytes) {
  const auto path = scratch_folder() / name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

/// Same names, units, long names, descriptions, kinds, columns and values (text up to
/// its first zero byte), and the same lines.
inline void check_same(const survey::Survey& a, const survey::Survey& b) {
  VORLITH_FUZZ_CHECK(a.channels.size() == b.channels.size());
  for (std::size_t c = 0; c < a.channels.size(); ++c) {
    const auto& x = a.channels[c];
    const auto& y = b.channels[c];
    VORLITH_FUZZ_CHECK(x.name == y.name && x.unit == y.unit && x.columns == y.columns);
    VORLITH_FUZZ_CHECK(x.long_name == y.long_name && x.description == y.description);
    VORLITH_FUZZ_CHECK(x.values.get_length() == y.values.get_length());
    VORLITH_FUZZ_CHECK(x.values.get_type().get_data_type() == y.values.get_type().get_data_type());
    for (std::int64_t i = 0; i < x.values.get_length(); ++i) {
      if (x.is_text()) {
        const auto text = [](const survey::Channel& ch, std::int64_t k) {
          const auto* p = static_cast<const char*>(ch.values.get_data(k));
          return std::string(p, strnlen(p, static_cast<std::size_t>(ch.values.get_element_size())));
        };
        VORLITH_FUZZ_CHECK(text(x, i) == text(y, i));
      } else {
        VORLITH_FUZZ_CHECK(std::memcmp(x.values.get_data(i), y.values.get_data(i),
                                       static_cast<std::size_t>(x.values.get_element_size())) == 0);
      }
    }
  }
  VORLITH_FUZZ_CHECK(a.lines.size() == b.lines.size());
  for (std::size_t i = 0; i < a.lines.size(); ++i) {
    VORLITH_FUZZ_CHECK(a.lines[i].label == b.lines[i].label &&
                       a.lines[i].first_row == b.lines[i].first_row &&
                       a.lines[i].row_count == b.lines[i].row_count);
  }
}

}  // namespace vorlith::fuzzing
