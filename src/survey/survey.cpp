// The survey model: channels, the line index and line selection.

#include <vorlith/dummy.h>
#include <vorlith/survey/survey.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "survey/text_io.h"

namespace vorlith::survey {

using detail::Value_kind;

Channel::Channel(std::string channel_name, Multi_vector channel_values,
                 std::int64_t channel_columns)
    : columns(channel_columns), values(std::move(channel_values)) {
  name = std::move(channel_name);
  if (columns < 1 || values.get_length() % columns != 0) {
    throw Survey_error("channel " + name + ": " + std::to_string(values.get_length()) +
                       " values do not make rows of " + std::to_string(columns));
  }
  if (values.is_block_vector()) values.switch_to_vector();
  detail::kind_of(values);
}

Channel* Survey::find(std::string_view name) {
  for (auto& channel : channels) {
    if (channel.name == name) return &channel;
  }
  return nullptr;
}

const Channel* Survey::find(std::string_view name) const {
  return const_cast<Survey*>(this)->find(name);
}

Channel& Survey::add(Channel channel) {
  if (!channels.empty() && channel.rows() != rows()) {
    throw Survey_error("channel " + channel.name + " has " + std::to_string(channel.rows()) +
                       " rows, the survey " + std::to_string(rows()));
  }
  if (find(channel.name) != nullptr)
    throw Survey_error("channel " + channel.name + " exists already");
  channels.push_back(std::move(channel));
  return channels.back();
}

namespace {

bool equal_names(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

Line describe_line(const Channel& channel, std::int64_t row) {
  Line line;
  line.first_row = row;
  char text[detail::number_room];
  switch (detail::kind_of(channel.values)) {
    case Value_kind::text: {
      const std::int64_t width = channel.values.get_element_size();
      line.label = std::string(detail::trim(
          detail::opaque_text(static_cast<const char*>(channel.values.get_data(row)), width)));
      if (detail::parse_real(line.label, line.number) != detail::Parsed::number) {
        line.number = common::dummy_value<double>;
      }
      return line;
    }
    case Value_kind::int32:
    case Value_kind::int64:
      line.number = channel.values.get_double(row);
      if (!channel.values.is_element_dummy(row)) {
        std::int64_t value = 0;
        channel.values.get_range_int64(row, 1, &value);
        line.label.assign(text, detail::format_integer(text, value));
      }
      return line;
    case Value_kind::real:
      line.number = channel.values.get_double(row);
      if (!channel.values.is_element_dummy(row))
        line.label.assign(text, detail::format_shortest(text, line.number));
      return line;
  }
  return line;
}

}  // namespace

void Survey::index_lines(std::string_view line_field) {
  lines.clear();
  line_channel = -1;
  if (!line_field.empty()) {
    const Channel* named = find(line_field);
    if (named == nullptr) throw Survey_error("no line field " + std::string(line_field));
    line_channel = named - channels.data();
  } else {
    for (std::string_view candidate : {"LINE", "FLTLINE"}) {
      for (std::size_t c = 0; c < channels.size() && line_channel < 0; ++c) {
        if (equal_names(channels[c].name, candidate)) line_channel = static_cast<std::int64_t>(c);
      }
    }
  }
  const std::int64_t n = rows();
  if (line_channel < 0) {
    if (n > 0) lines.push_back(Line{"", common::dummy_value<double>, 0, n});
    return;
  }
  const Channel& channel = channels[static_cast<std::size_t>(line_channel)];
  if (channel.columns != 1) {
    line_channel = -1;
    throw Survey_error("line field " + channel.name + " is an array field");
  }
  const auto size = static_cast<std::size_t>(channel.values.get_element_size());
  const char* bytes =
      n > 0 ? static_cast<const char*>(channel.values.get_vector_memory()) : nullptr;
  for (std::int64_t row = 0; row < n; ++row) {
    if (row == 0 || std::memcmp(bytes + row * size, bytes + (row - 1) * size, size) != 0) {
      if (!lines.empty()) lines.back().row_count = row - lines.back().first_row;
      lines.push_back(describe_line(channel, row));
    }
  }
  if (!lines.empty()) lines.back().row_count = n - lines.back().first_row;
}

std::vector<std::size_t> Survey::select_lines(std::string_view ranges) const {
  struct Item {
    std::string_view label;
    double low;
    double high;
    bool numeric;
  };
  std::vector<Item> items;
  while (!ranges.empty() || items.empty()) {
    const auto comma = ranges.find(',');
    const std::string_view item = detail::trim(ranges.substr(0, comma));
    ranges = comma == std::string_view::npos ? std::string_view{} : ranges.substr(comma + 1);
    if (item.empty()) throw Survey_error("line selection: empty item");
    Item parsed{item, 0, 0, false};
    // A dash after the first character separates a range ("-5--2" is -5 to -2).
    const auto dash = item.find('-', 1);
    double low = 0;
    double high = 0;
    if (dash == std::string_view::npos) {
      parsed.numeric = detail::parse_real(item, low) == detail::Parsed::number;
      high = low;
    } else {
      parsed.numeric =
          detail::parse_real(detail::trim(item.substr(0, dash)), low) == detail::Parsed::number &&
          detail::parse_real(detail::trim(item.substr(dash + 1)), high) == detail::Parsed::number;
      if (parsed.numeric && high < low) {
        throw Survey_error("line selection: range " + std::string(item) + " ends below its start");
      }
    }
    parsed.low = low;
    parsed.high = high;
    items.push_back(parsed);
  }
  std::vector<std::size_t> selected;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    const bool numbered = line.number != common::dummy_value<double>;
    for (const Item& item : items) {
      const bool hit = item.numeric
                           ? numbered && line.number >= item.low && line.number <= item.high
                           : line.label == item.label;
      if (hit) {
        selected.push_back(i);
        break;
      }
    }
  }
  return selected;
}

File_format format_from_path(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  return equal_names(extension, ".dfn") || equal_names(extension, ".dat") ? File_format::aseg_gdf2
                                                                          : File_format::delimited;
}

}  // namespace vorlith::survey
