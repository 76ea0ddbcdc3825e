// vorlith-line: runs the library's channel operations on survey files, line by line.

#include <unistd.h>
#include <vorlith/survey/aseg_gdf2.h>
#include <vorlith/survey/delimited.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "line_work.h"

namespace {

using namespace vorlith_line;
namespace vs = vorlith::survey;
namespace fs = std::filesystem;

constexpr int usage_error = 2;

const char* const formatting_rules =
    R"(Surveys: delimited text (a header row naming the columns, fields separated by commas,
tabs, semicolons or runs of blanks, found from the header) or ASEG-GDF2 (a .dfn and a .dat
file; either name will do), chosen from the file name or by --format. Lines starting with
'#' are comments. '*', an empty field, nan and inf are dummies. A column whose first value
is not a number is text; a numeric column holding text is an error naming the row.

Lines: the line field (--line, else a column named LINE or FLTLINE in any case) cuts the
survey into lines, and every subcommand works on each line on its own: nothing reaches
across a line change. --lines keeps only the lines given ("1010,1020-1050").

Output has the input's format and delimiter unless the output name or --output-format and
--output-delimiter say otherwise. Columns no subcommand changed are written as they were
read (text keeps its bytes; numbers keep the column's decimals; ASEG-GDF2 keeps names,
units and NULLs). Columns a subcommand computed are written in the shortest form that
reads back to the same double, or with --decimals N decimals.

Options may come before or after the subcommands; an option a subcommand has itself
(spectrum's --output) belongs to it there. Subcommands run in the order given and can
repeat. The survey is written to -o PATH, or to standard output without -o unless the
last subcommand is stats or spectrum. stats prints to standard output, or to standard
error when the survey goes to standard output. Each step says on standard error what it
changed unless -q. Any error exits with status 2 and leaves no output file.

Example:
  vorlith-line -i survey.dfn -o clean.dfn --lines 1010-1050 despike --column mag --width 5 \
      fill-gaps --column mag resample --position distance --spacing 2 stats --per-line
Run 'vorlith-line SUBCOMMAND --help' for a subcommand's options.)";

struct Global_options {
  std::string input;
  std::string output;
  std::string format = "auto";
  std::string output_format = "auto";
  std::string delimiter = "auto";
  std::string output_delimiter = "auto";
  std::string line_field;
  std::string lines;
  int decimals = -1;
  bool no_header = false;
  bool quiet = false;
  bool dry_run = false;
  bool version = false;
};

const std::vector<std::string> delimiter_names{"comma", "tab", "semicolon", "space"};
constexpr char delimiter_chars[] = {',', '\t', ';', ' '};

char delimiter_char(const std::string& name) {
  for (std::size_t i = 0; i < delimiter_names.size(); ++i) {
    if (name == delimiter_names[i]) return delimiter_chars[i];
  }
  return 0;
}

void configure_app(CLI::App& app) {
  app.formatter(std::make_shared<CLI::Formatter>());
  app.get_formatter()->column_width(32);
}

std::unique_ptr<CLI::App> make_global_app(Global_options& options) {
  auto app = std::make_unique<CLI::App>(
      "Runs channel operations of the Vorlith integration library on the lines of a survey file.",
      "vorlith-line");
  configure_app(*app);
  app->add_option("-i,--input", options.input,
                  "Survey to read ('-' or none: standard input, delimited)")
      ->type_name("PATH");
  app->add_option("-o,--output", options.output, "Survey to write ('-': standard output)")
      ->type_name("PATH");
  const auto formats = CLI::IsMember({"auto", "delimited", "aseg-gdf2"});
  app->add_option("--format", options.format,
                  "Input format: auto (from the name), delimited or aseg-gdf2")
      ->check(formats)
      ->capture_default_str();
  app->add_option("--output-format", options.output_format,
                  "Output format: auto (from the name), delimited or aseg-gdf2")
      ->check(formats)
      ->capture_default_str();
  std::vector<std::string> with_auto{"auto"};
  with_auto.insert(with_auto.end(), delimiter_names.begin(), delimiter_names.end());
  app->add_option("-d,--delimiter", options.delimiter,
                  "Input delimiter: auto, comma, tab, semicolon or space (blanks)")
      ->check(CLI::IsMember(with_auto))
      ->capture_default_str();
  app->add_option("--output-delimiter", options.output_delimiter,
                  "Output delimiter: auto (the input's, else comma) or as -d")
      ->check(CLI::IsMember(with_auto))
      ->capture_default_str();
  app->add_flag("--no-header", options.no_header,
                "Delimited text without a header row: columns are named 1, 2, ...");
  app->add_option("--line", options.line_field,
                  "The line field (default: LINE or FLTLINE, else one line)")
      ->type_name("NAME");
  app->add_option("--lines", options.lines,
                  "Keep only these lines: numbers and ranges, e.g. 1010,1020-1050")
      ->type_name("LIST");
  app->add_option("--decimals", options.decimals,
                  "Decimals of computed columns (default: as many as they need)")
      ->check(CLI::Range(0, 17));
  app->add_flag("--dry-run", options.dry_run,
                "Read the survey and run the chain, but write no file");
  app->add_flag("-q,--quiet", options.quiet, "No summary of each step on standard error");
  app->add_flag("--version", options.version, "Print the version and exit");
  for (const auto& command : command_entries()) app->add_subcommand(command.name, command.summary);
  app->footer(formatting_rules);
  return app;
}

const Command_entry* find_command(const std::string& word) {
  for (const auto& command : command_entries()) {
    if (word == command.name) return &command;
  }
  return nullptr;
}

const CLI::Option* option_of(const CLI::App& app, const std::string& token) {
  if (token.size() < 2 || token[0] != '-') return nullptr;
  return app.get_option_no_throw(token.substr(0, token.find('=')));
}

// True when `token` is an option of `app` that takes a value and carries none itself, so
// the next word is its value even when it spells a subcommand.
bool expects_value(const CLI::App& app, const std::string& token) {
  const CLI::Option* option = option_of(app, token);
  return option != nullptr && token.find('=') == std::string::npos &&
         option->get_expected_max() > 0;
}

struct Segment {
  const Command_entry* command = nullptr;  // none for the global options
  std::unique_ptr<CLI::App> app;
  Step step;
  std::vector<std::string> args;
};

std::unique_ptr<CLI::App> make_command_app(const Command_entry& command, Step& step) {
  auto app =
      std::make_unique<CLI::App>(command.summary, std::string("vorlith-line ") + command.name);
  configure_app(*app);
  command.define(*app, step);
  app->footer(app->get_footer() + (app->get_footer().empty() ? "" : "\n\n") + "Example:\n  " +
              command.example +
              "\nThe options of vorlith-line (-i, -o, --lines, ...) may come here too.");
  return app;
}

// Parses one segment; returns -1 to go on, or the exit status (help printed or an error).
int parse_segment(Segment& segment) {
  std::vector<std::string> reversed(segment.args.rbegin(), segment.args.rend());
  try {
    segment.app->parse(reversed);
  } catch (const CLI::CallForHelp&) {
    std::fputs(segment.app->help().c_str(), stdout);
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    std::fputs(segment.app->help("", CLI::AppFormatMode::All).c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& error) {
    const std::string name = segment.command ? segment.command->name : "";
    std::fprintf(stderr, "vorlith-line: %s%s%s\nRun 'vorlith-line%s%s --help' for the options.\n",
                 name.c_str(), name.empty() ? "" : ": ", error.what(), name.empty() ? "" : " ",
                 name.c_str());
    return usage_error;
  }
  return -1;
}

// Splits the arguments at subcommand names. An option the current subcommand does not
// know but the tool does goes to the tool's options, with its value.
std::vector<Segment> split_arguments(int argc, char** argv, Global_options& options) {
  std::vector<Segment> segments;
  segments.push_back(Segment{nullptr, make_global_app(options), {}, {}});
  bool global_value = false;
  for (int i = 1; i < argc; ++i) {
    const std::string token = argv[i];
    Segment& current = segments.back();
    if (global_value) {
      segments.front().args.push_back(token);
      global_value = false;
    } else if (const Command_entry* command = find_command(token);
               command != nullptr &&
               (current.args.empty() || !expects_value(*current.app, current.args.back()))) {
      Segment segment{command, nullptr, {}, {}};
      segment.app = make_command_app(*command, segment.step);
      segments.push_back(std::move(segment));
    } else if (current.command != nullptr && option_of(*current.app, token) == nullptr &&
               option_of(*segments.front().app, token) != nullptr) {
      segments.front().args.push_back(token);
      global_value = expects_value(*segments.front().app, token);
    } else {
      current.args.push_back(token);
    }
  }
  return segments;
}

// A folder of this run's temporary files, removed at the end.
struct Scratch {
  fs::path folder;
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "vorlith-line.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      throw Tool_error(std::string("cannot make a temporary folder: ") + std::strerror(errno));
    folder = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

void copy_stream(std::FILE* in, std::FILE* out, const std::string& from, const std::string& to) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    if (n > 0 && std::fwrite(buffer.data(), 1, n, out) != n) throw Tool_error("cannot write " + to);
    if (n < buffer.size()) break;
  }
  if (std::ferror(in)) throw Tool_error("cannot read " + from);
}

// Refuses a target that cannot be written before any work is done.
void check_writable(const fs::path& path) {
  const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  if (fs::is_directory(path))
    throw Tool_error("cannot write " + path.string() + ": it is a folder");
  if (access(folder.c_str(), W_OK) != 0 || (fs::exists(path) && access(path.c_str(), W_OK) != 0)) {
    throw Tool_error("cannot write " + path.string() + ": " + std::strerror(errno));
  }
}

bool is_aseg(const std::string& choice, const fs::path& path) {
  return choice == "aseg-gdf2" ||
         (choice == "auto" && vs::format_from_path(path) == vs::File_format::aseg_gdf2);
}

// Runs `work`, naming `path` as `name` in its Survey_error (a scratch copy of a stream).
template <class Work>
void naming(const fs::path& path, const std::string& name, Work&& work) {
  try {
    work();
  } catch (const vs::Survey_error& error) {
    std::string message = error.what();
    if (message.starts_with(path.string())) message = name + message.substr(path.string().size());
    throw Tool_error(message);
  }
}

void write_survey(const vs::Survey& survey, const fs::path& path, bool aseg, char delimiter,
                  bool header) {
  if (aseg) {
    vs::write_aseg_gdf2(survey, path);
  } else {
    vs::write_delimited(survey, path, vs::Delimited_write_options{delimiter, header});
  }
}

int run(int argc, char** argv) {
  Global_options options;
  std::vector<Segment> segments = split_arguments(argc, argv, options);
  for (auto& segment : segments) {
    const int status = parse_segment(segment);
    if (status >= 0) return status;
  }
  if (options.version) {
    std::printf("vorlith-line %s\n", VORLITH_VERSION);
    return 0;
  }

  Scratch scratch;
  const bool reading_stdin = options.input.empty() || options.input == "-";
  fs::path input = options.input;
  if (reading_stdin) {
    if (isatty(STDIN_FILENO))
      throw Tool_error("no input: give -i PATH or pipe a survey in (--help for more)");
    if (options.format == "aseg-gdf2")
      throw Tool_error("ASEG-GDF2 input needs a file name (-i PATH)");
    input = scratch.folder / "standard-input.csv";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> copy(std::fopen(input.c_str(), "wb"),
                                                         std::fclose);
    if (!copy) throw Tool_error("cannot copy standard input to " + input.string());
    copy_stream(stdin, copy.get(), "standard input", input.string());
  } else if (!fs::is_regular_file(input)) {
    throw Tool_error("cannot open " + options.input + ": " +
                     (fs::exists(input) ? "not a file" : "no such file"));
  }
  const bool aseg_in = !reading_stdin && is_aseg(options.format, input);

  const std::string last_command = segments.size() > 1 ? segments.back().command->name : "";
  const bool report_only = last_command == "stats" || last_command == "spectrum";
  const bool write_out = !options.output.empty() || !report_only;
  const bool to_stdout = write_out && (options.output.empty() || options.output == "-");
  const bool aseg_out = !to_stdout && is_aseg(options.output_format, options.output);
  if (to_stdout && options.output_format == "aseg-gdf2")
    throw Tool_error("ASEG-GDF2 output needs a file name (-o PATH)");
  if (write_out && !to_stdout) {
    const fs::path out = options.output;
    if (aseg_out) {
      for (const char* extension : {".dfn", ".dat"})
        check_writable(fs::path(out).replace_extension(extension));
    } else {
      check_writable(out);
    }
  }

  vs::Survey survey;
  char delimiter = delimiter_char(options.delimiter);
  naming(input, reading_stdin ? "standard input" : input.string(), [&] {
    if (aseg_in) {
      survey = vs::read_aseg_gdf2(input, vs::Aseg_gdf2_read_options{options.line_field});
    } else {
      if (delimiter == 0) delimiter = vs::find_delimiter(input);
      survey = vs::read_delimited(
          input, vs::Delimited_read_options{delimiter, options.line_field, !options.no_header});
    }
  });

  Run_context context{survey, {}, stdout, false, -1, {}};
  context.line_field = survey.line_channel >= 0
                           ? survey.channels[static_cast<std::size_t>(survey.line_channel)].name
                           : "";
  context.report = to_stdout ? stderr : stdout;
  context.quiet = options.quiet;
  context.decimals = options.decimals;
  if (!options.lines.empty()) {
    if (context.line_field.empty())
      throw Tool_error("--lines: the survey has no line field (name it with --line)");
    std::vector<Row_range> kept;
    for (const std::size_t l : survey.select_lines(options.lines))
      kept.push_back(Row_range{survey.lines[l].first_row, survey.lines[l].row_count});
    if (kept.empty())
      throw Tool_error("--lines " + options.lines + ": no line of the survey matches");
    const std::int64_t rows = survey.rows();
    const auto lines = survey.lines.size();
    keep_rows(context, kept);
    context.summary("lines: " + std::to_string(survey.lines.size()) + " of " +
                    std::to_string(lines) + " kept, " + std::to_string(rows - survey.rows()) +
                    " rows dropped");
  }
  for (std::size_t s = 1; s < segments.size(); ++s) segments[s].step(context);
  if (options.dry_run) {
    context.summary("dry run: nothing written");
    return 0;
  }

  const char out_delimiter = options.output_delimiter != "auto"
                                 ? delimiter_char(options.output_delimiter)
                             : aseg_in || delimiter == 0 ? ','
                                                         : delimiter;
  for (const auto& extra : context.extra_outputs) {
    write_survey(extra.survey, extra.path, is_aseg("auto", extra.path), ',', true);
  }
  if (!write_out) return 0;
  if (to_stdout) {
    const fs::path staged = scratch.folder / "output.csv";
    naming(staged, "standard output",
           [&] { write_survey(survey, staged, false, out_delimiter, !options.no_header); });
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(staged.c_str(), "rb"),
                                                       std::fclose);
    if (!in) throw Tool_error("cannot read " + staged.string());
    copy_stream(in.get(), stdout, staged.string(), "standard output");
    if (std::fflush(stdout) != 0) throw Tool_error("cannot write standard output");
  } else {
    write_survey(survey, options.output, aseg_out, out_delimiter, !options.no_header);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const Tool_error& error) {
    std::fprintf(stderr, "vorlith-line: %s\n", error.what());
  } catch (const vorlith::survey::Survey_error& error) {
    std::fprintf(stderr, "vorlith-line: %s\n", error.what());
  } catch (const vorlith::integration::Contract_failure& error) {
    std::fprintf(stderr, "vorlith-line: %s (%s)\n", error.reason(), error.what());
  } catch (const gsl::fail_fast& error) {
    std::fprintf(stderr, "vorlith-line: the library refused the operation: %s\n", error.what());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "vorlith-line: out of memory\n");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vorlith-line: %s\n", error.what());
  }
  return usage_error;
}
