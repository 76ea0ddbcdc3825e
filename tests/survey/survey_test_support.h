#pragma once
// Scratch folders, file helpers and survey descriptions for the survey tests.

#include <gtest/gtest.h>
#include <vorlith/dummy.h>
#include <vorlith/survey/delimited.h>
#include <vorlith/survey/survey.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace survey_test {

/// A fresh folder, removed with its contents at the end of the test.
class Scratch {
 public:
  Scratch() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("vorlith-survey-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~Scratch() { std::filesystem::remove_all(path_); }
  std::filesystem::path file(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return path_ / name;
  }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_), {}));
  }

 private:
  std::filesystem::path path_;
};

/// The survey read from delimited text.
inline vorlith::survey::Survey read_text(const std::string& text,
                                         const std::string& line_field = {}) {
  Scratch scratch;
  return vorlith::survey::read_delimited(scratch.file("s.csv", text), {0, line_field});
}

/// The message of the Survey_error that fn throws, or "no error".
template <class Fn>
std::string error_of(Fn&& fn) {
  try {
    fn();
  } catch (const vorlith::survey::Survey_error& error) {
    return error.what();
  }
  return "no error";
}

/// Each channel as name:kind:unit:null (kinds i32, i64, real and text), ';' between them.
inline std::string channels_of(const vorlith::survey::Survey& survey) {
  std::string text;
  for (const auto& channel : survey.channels) {
    const auto type = channel.values.get_type().get_data_type();
    const char* kind = channel.is_text()                          ? "text"
                       : type == vorlith::integration::type_int32 ? "i32"
                       : type == vorlith::integration::type_int64 ? "i64"
                                                                  : "real";
    text += (text.empty() ? "" : ";") + channel.name + ":" + kind + ":" + channel.unit + ":" +
            channel.null_text;
  }
  return text;
}

/// The numbers of a text such as "1.5 * -2": '*' stands for the dummy.
inline std::vector<double> numbers(const std::string& text) {
  std::vector<double> values;
  std::istringstream in(text);
  for (std::string word; in >> word;)
    values.push_back(word == "*" ? vorlith::common::dummy_value<double> : std::stod(word));
  return values;
}

/// Every value of a numeric vector, as doubles.
inline std::vector<double> doubles(const vorlith::integration::Multi_vector& vector) {
  std::vector<double> values;
  for (std::int64_t i = 0; i < vector.get_length(); ++i) values.push_back(vector.get_double(i));
  return values;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Same channels (names, units, element types, columns, every byte of the values) and
/// the same lines.
inline void expect_same_survey(const vorlith::survey::Survey& a, const vorlith::survey::Survey& b) {
  ASSERT_EQ(a.channels.size(), b.channels.size());
  for (std::size_t c = 0; c < a.channels.size(); ++c) {
    const auto& x = a.channels[c];
    const auto& y = b.channels[c];
    SCOPED_TRACE(x.name);
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.unit, y.unit);
    EXPECT_EQ(x.long_name, y.long_name);
    EXPECT_EQ(x.description, y.description);
    EXPECT_EQ(x.columns, y.columns);
    ASSERT_EQ(x.values.get_length(), y.values.get_length());
    ASSERT_EQ(x.values.get_type().get_data_type(), y.values.get_type().get_data_type());
    for (std::int64_t i = 0; i < x.values.get_length(); ++i) {
      if (x.is_text()) {
        ASSERT_STREQ(
            std::string(static_cast<const char*>(x.values.get_data(i)), x.values.get_element_size())
                .c_str(),
            std::string(static_cast<const char*>(y.values.get_data(i)), y.values.get_element_size())
                .c_str())
            << "element " << i;
      } else {
        ASSERT_EQ(
            0, std::memcmp(x.values.get_data(i), y.values.get_data(i), x.values.get_element_size()))
            << "element " << i << ": " << x.values.get_double(i) << " and "
            << y.values.get_double(i);
      }
    }
  }
  ASSERT_EQ(a.lines.size(), b.lines.size());
  for (std::size_t i = 0; i < a.lines.size(); ++i) {
    EXPECT_EQ(a.lines[i].label, b.lines[i].label);
    EXPECT_EQ(a.lines[i].first_row, b.lines[i].first_row);
    EXPECT_EQ(a.lines[i].row_count, b.lines[i].row_count);
  }
}

}  // namespace survey_test
