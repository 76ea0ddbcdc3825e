#include "line_work.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace vorlith_line {

namespace vi = vorlith::integration;
namespace vs = vorlith::survey;

void Run_context::summary(const std::string& text) const {
  if (!quiet) std::fprintf(stderr, "vorlith-line: %s\n", text.c_str());
}

vs::Channel& find_channel(vs::Survey& survey, const std::string& name) {
  if (vs::Channel* channel = survey.find(name)) return *channel;
  std::string known;
  for (const auto& channel : survey.channels) known += (known.empty() ? "" : ", ") + channel.name;
  throw Tool_error("unknown column '" + name + "' (the columns are: " + known + ")");
}

vs::Channel& numeric_channel(vs::Survey& survey, const std::string& name) {
  vs::Channel& channel = find_channel(survey, name);
  if (channel.is_text()) throw Tool_error("column '" + name + "' holds text, not numbers");
  if (channel.columns != 1) {
    throw Tool_error("column '" + name + "' is an array of " + std::to_string(channel.columns) +
                     " values per row; operations take one-value columns");
  }
  return channel;
}

void set_computed_format(const Run_context& context, vs::Channel& channel) {
  channel.format =
      context.decimals < 0 ? vs::Field_format{} : vs::Field_format{'F', 0, context.decimals};
}

vs::Channel& computed_channel(Run_context& context, const std::string& name) {
  vs::Channel& channel = numeric_channel(context.survey, name);
  if (channel.values.get_type().get_data_type() != vi::type_double) {
    vi::Multi_vector values(vi::Legacy_type(vi::type_double), false, 0);
    values.copy(channel.values);
    channel.values = std::move(values);
  }
  set_computed_format(context, channel);
  return channel;
}

vi::Multi_vector copy_rows(const vs::Channel& channel, std::int64_t first, std::int64_t count) {
  vi::Multi_vector values(vi::Legacy_type(vi::type_double), false, 0);
  if (count > 0) values.copy(0, channel.values, first, count);
  return values;
}

vi::Multi_vector dummies(std::int64_t length) {
  vi::Multi_vector values(vi::Legacy_type(vi::type_double), false, length);
  values.filldummy();
  return values;
}

std::int64_t count_changed(const vi::Multi_vector& before, const vi::Multi_vector& after) {
  const std::int64_t n = before.get_length();
  if (n == 0) return 0;
  const auto* a = static_cast<const char*>(before.get_vector_memory());
  const auto* b = static_cast<const char*>(after.get_vector_memory());
  std::int64_t changed = 0;
  for (std::int64_t i = 0; i < n; ++i) changed += std::memcmp(a + 8 * i, b + 8 * i, 8) != 0;
  return changed;
}

void keep_rows(Run_context& context, const std::vector<Row_range>& ranges,
               const std::vector<const vs::Channel*>& replaced) {
  std::int64_t rows = 0;
  for (const auto& range : ranges) rows += range.count;
  for (auto& channel : context.survey.channels) {
    if (std::find(replaced.begin(), replaced.end(), &channel) != replaced.end()) continue;
    vi::Multi_vector kept(channel.values.get_type(), false, 0);
    kept.set_length(rows * channel.columns);
    std::int64_t at = 0;
    for (const auto& range : ranges) {
      kept.copy(at * channel.columns, channel.values, range.first * channel.columns,
                range.count * channel.columns);
      at += range.count;
    }
    channel.values = std::move(kept);
  }
  context.index_lines();
}

std::string number_text(double value, int decimals) {
  if (value == dummy) return "*";
  char text[400];
  const auto result = decimals < 0 ? std::to_chars(text, text + sizeof text, value)
                                   : std::to_chars(text, text + sizeof text, value,
                                                   std::chars_format::fixed, decimals);
  return std::string(text, result.ptr);
}

std::string report_text(double value, int decimals) {
  if (value == dummy || decimals >= 0) return number_text(value, decimals);
  char text[64];
  return std::string(
      text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 12).ptr);
}

}  // namespace vorlith_line
