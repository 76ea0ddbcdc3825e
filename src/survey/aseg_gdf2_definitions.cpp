// `.dfn` records: `DEFN <n> ST=RECD,RT=<type>;<name>:<format>[:<attributes>][;...]`, in
// the spellings real files use (see read_definitions).

#include "survey/aseg_gdf2_definitions.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "survey/text_io.h"

namespace vorlith::survey::detail {

namespace {

bool starts_with_word(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return true;
}

bool is_word(std::string_view text, std::string_view word) {
  return text.size() == word.size() && starts_with_word(text, word);
}

bool is_end(std::string_view text) {
  text = trim(text);
  if (!starts_with_word(text, "END")) return false;
  return is_word(trim(text.substr(3)), "DEFN");
}

// The value of key `RT=` in a record header ("ST=RECD,RT=DATA"), upper-cased.
std::string record_type(std::string_view header) {
  for (std::size_t i = 0; i + 3 <= header.size(); ++i) {
    if (starts_with_word(header.substr(i), "RT=") &&
        (i == 0 || header[i - 1] == ',' || header[i - 1] == ' ')) {
      std::string_view value = header.substr(i + 3);
      value = trim(value.substr(0, value.find(',')));
      std::string upper(value);
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return upper;
    }
  }
  return {};
}

bool parse_count(std::string_view text, std::int64_t& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// [repeat] letter width [. decimals], letter one of A I F E D in either case.
bool parse_format(std::string_view text, Field_format& format, std::int64_t& repeat) {
  std::size_t letter = 0;
  while (letter < text.size() && std::isdigit(static_cast<unsigned char>(text[letter]))) ++letter;
  if (letter == text.size()) return false;
  repeat = 1;
  if (letter > 0 && (!parse_count(text.substr(0, letter), repeat) || repeat < 1 || repeat > 100000))
    return false;
  const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[letter])));
  if (std::string_view("AIFED").find(kind) == std::string_view::npos) return false;
  std::string_view rest = text.substr(letter + 1);
  const auto point = rest.find('.');
  std::int64_t width = 0;
  std::int64_t decimals = 0;
  if (!parse_count(rest.substr(0, point), width) || width < 1 || width > 4096) return false;
  if (point != std::string_view::npos) {
    if (kind == 'A' || kind == 'I') return false;
    if (!parse_count(rest.substr(point + 1), decimals) || decimals > width) return false;
  }
  format = Field_format{kind, static_cast<int>(width), static_cast<int>(decimals)};
  return true;
}

void append_text(std::string& to, std::string_view text) {
  if (text.empty()) return;
  if (!to.empty()) to += ' ';
  to += text;
}

// Attributes after the format: `KEY=value` pieces and free text, separated by `,` or
// `:`; `UNIT:metres` puts the unit in the piece after the key.
void parse_attributes(std::string_view text, Field_definition& field) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    const auto stop = text.find_first_of(",:");
    pieces.push_back(trim(text.substr(0, stop)));
    if (stop == std::string_view::npos) break;
    text = text.substr(stop + 1);
    if (text.empty()) pieces.emplace_back();
  }
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::string_view piece = pieces[i];
    const auto equals = piece.find('=');
    if (equals == std::string_view::npos) {
      if ((is_word(piece, "UNIT") || is_word(piece, "UNITS")) && i + 1 < pieces.size()) {
        field.unit = std::string(pieces[++i]);
      } else {
        append_text(field.description, piece);
      }
      continue;
    }
    const std::string_view key = trim(piece.substr(0, equals));
    const std::string value(trim(piece.substr(equals + 1)));
    if (is_word(key, "UNIT") || is_word(key, "UNITS")) {
      field.unit = value;
    } else if (is_word(key, "NULL")) {
      field.null_text = value;
    } else if (is_word(key, "NAME")) {
      field.long_name = value;
    } else {
      append_text(field.description, piece);
    }
  }
}

}  // namespace

Definitions read_definitions(const std::filesystem::path& dfn) {
  Definitions definitions;
  Record_reader reader(dfn);
  std::string_view record;
  bool first_data_field = true;
  std::string blanked;
  while (reader.next(record)) {
    const std::int64_t number = reader.record_number();
    if (record.find('\r') != std::string_view::npos) {
      // A carriage return inside a record reads as a blank, as the writer writes one in a
      // name or attribute, so that what is read can be written back unchanged.
      blanked.assign(record);
      std::replace(blanked.begin(), blanked.end(), '\r', ' ');
      record = blanked;
    }
    record = trim(record);
    if (record.empty()) continue;
    if (is_end(record)) break;
    if (!starts_with_word(record, "DEFN")) fail(dfn, number, {}, "does not start with DEFN");
    const auto semicolon = record.find(';');
    if (semicolon == std::string_view::npos) continue;  // a header without definitions
    const std::string type = record_type(record.substr(4, semicolon - 4));
    if (type != "" && type != "DATA") continue;  // comment, projection and other records
    std::string_view rest = record.substr(semicolon + 1);
    bool ended = false;
    while (!rest.empty() && !ended) {
      const auto stop = rest.find(';');
      const std::string_view text = trim(rest.substr(0, stop));
      rest = stop == std::string_view::npos ? std::string_view{} : rest.substr(stop + 1);
      if (text.empty()) continue;
      if (is_end(text)) {
        ended = true;
        break;
      }
      Field_definition field;
      field.record = number;
      const auto colon = text.find(':');
      field.name = std::string(trim(text.substr(0, colon)));
      if (colon == std::string_view::npos || field.name.empty()) {
        fail(dfn, number, field.name, "no NAME:FORMAT definition in '" + std::string(text) + "'");
      }
      if (field.name.find(',') != std::string::npos)
        fail(dfn, number, field.name, "a field name holds a ','");
      std::string_view after = text.substr(colon + 1);
      const auto format_end = after.find_first_of(":,");
      const std::string_view format_text = trim(after.substr(0, format_end));
      if (!parse_format(format_text, field.format, field.repeat)) {
        fail(dfn, number, field.name,
             "format '" + std::string(format_text) + "' is not known (Aw, Iw, Fw.d, Ew.d, Dw.d)");
      }
      if (format_end != std::string_view::npos)
        parse_attributes(after.substr(format_end + 1), field);
      if (first_data_field && is_record_type_field(field)) {
        definitions.record_type_field = true;
        first_data_field = false;
        continue;
      }
      first_data_field = false;
      if (field.format.kind != 'A' && !field.null_text.empty()) {
        double null_value = 0;
        if (parse_real(field.null_text, null_value) == Parsed::bad) {
          fail(dfn, number, field.name, "NULL value '" + field.null_text + "' is not a number");
        }
      }
      for (const auto& other : definitions.fields) {
        if (other.name == field.name) fail(dfn, number, field.name, "is defined twice");
      }
      definitions.fields.push_back(std::move(field));
    }
    if (ended) break;
  }
  if (definitions.fields.empty()) fail(dfn, 0, {}, "defines no data fields");
  return definitions;
}

namespace {

// Separators of the definition syntax cannot appear inside an attribute value.
std::string attribute_value(std::string_view text) {
  std::string value(text);
  std::replace_if(
      value.begin(), value.end(),
      [](char c) { return c == ';' || c == ',' || c == ':' || c == '\n' || c == '\r'; }, ' ');
  return value;
}

// Free text that reading would take for an attribute (`NULL =5`, read from the pieces
// `NULL` and `=5`) is written as those two pieces; after `UNIT` the `=` becomes a blank.
std::string free_text(std::string_view description) {
  std::string text = attribute_value(description);
  const auto equals = text.find('=');
  if (equals == std::string::npos) return text;
  const std::string key(trim(std::string_view(text).substr(0, equals)));
  if (is_word(key, "UNIT") || is_word(key, "UNITS")) {
    text[equals] = ' ';
  } else if (is_word(key, "NULL") || is_word(key, "NAME")) {
    text = key + ',' + text.substr(equals);
  }
  return text;
}

}  // namespace

bool is_record_type_field(const Field_definition& field) {
  return is_word(field.name, "RT") && field.format.kind == 'A';
}

std::string definitions_text(const std::vector<Field_definition>& fields) {
  std::string text;
  int number = 1;
  if (!fields.empty() && is_record_type_field(fields.front()))
    text += "DEFN " + std::to_string(number++) + " ST=RECD,RT=;RT:A4\n";
  for (const auto& field : fields) {
    text +=
        "DEFN " + std::to_string(number++) + " ST=RECD,RT=;" + attribute_value(field.name) + ':';
    if (field.repeat > 1) text += std::to_string(field.repeat);
    text += field.format.kind;
    text += std::to_string(field.format.width);
    if (field.format.kind != 'A' && field.format.kind != 'I')
      text += '.' + std::to_string(field.format.decimals);
    std::string attributes;
    const auto add = [&](std::string_view key, const std::string& value) {
      if (value.empty()) return;
      if (!attributes.empty()) attributes += ',';
      attributes.append(key).append(value);
    };
    add("UNIT=", attribute_value(field.unit));
    add("NULL=", attribute_value(field.null_text));
    add("NAME=", attribute_value(field.long_name));
    add("", free_text(field.description));
    if (!attributes.empty()) text += ':' + attributes;
    text += '\n';
  }
  text += "DEFN " + std::to_string(number) + " ST=RECD,RT=;END DEFN\n";
  return text;
}

}  // namespace vorlith::survey::detail
