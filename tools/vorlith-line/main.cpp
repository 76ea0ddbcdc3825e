// vorlith-line: runs the library's channel operations on delimited text tables.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "output_file.h"
#include "progress.h"
#include "table_reader.h"
#include "table_writer.h"

namespace {

using namespace vorlith_line;

constexpr int usage_error = 2;

const char* const formatting_rules = R"(Tables: a header row names the columns (or --no-header: they are named 1, 2, ...);
fields are separated by commas, tabs or runs of blanks (detected from the first line);
'*' or an empty field is a dummy. Fields are not quoted. A column holding a field that
is not a number is kept as text; operations that need numbers refuse it and name the
line. Output has the input's form; numbers are written by these rules:
  - every number of a column has the column's largest count of decimals ("1.5" in a
    column that also holds "2.25" becomes "1.50");
  - a column in which a number had an exponent is written in the shortest form that
    reads back exactly ("1e3" becomes "1000", "2.5E-7" becomes "2.5e-07");
  - a leading '+' and leading zeros go, "5." becomes "5";
  - the value -1e32 is the dummy and is written as one;
  - dummies are written as '*', or as empty fields in a column whose first dummy was;
  - numbers are held as doubles, so digits beyond about 16 significant ones change;
  - blanks around fields, blank lines and the alignment of blank-separated files go
    (one space separates); CRLF line ends are kept; a missing final line end is added.
Columns made by an operation: distance takes the decimals of its coordinates, log
writes at least 6 decimals, resample gives the position column the decimals of the
spacing.

Options of the table come before the first subcommand. Subcommands run in the order
given and can repeat. The table is written to -o PATH,
or to standard output without -o unless the last subcommand is stats or spectrum.
stats prints to standard output, or to standard error when the table goes to standard
output. Any error exits with status 2 and leaves no output file.

Example:
  vorlith-line -i line.csv -o out.csv despike --column mag --width 5 \
      fill-gaps --column mag resample --position distance --spacing 2 stats
Run 'vorlith-line SUBCOMMAND --help' for a subcommand's options.)";

struct Global_options {
  std::string input;
  std::string output;
  std::string delimiter = "auto";
  bool no_header = false;
  bool quiet = false;
};

void configure_app(CLI::App& app) {
  app.formatter(std::make_shared<CLI::Formatter>());
  app.get_formatter()->column_width(32);
}

std::unique_ptr<CLI::App> make_global_app(Global_options& options) {
  auto app = std::make_unique<CLI::App>("Runs channel operations of the Vorlith integration library on a table "
                                        "of survey-line columns.",
                                        "vorlith-line");
  configure_app(*app);
  app->add_option("-i,--input", options.input, "Table to read ('-' or none: standard input)")->type_name("PATH");
  app->add_option("-o,--output", options.output, "Table to write ('-': standard output)")->type_name("PATH");
  app->add_option("-d,--delimiter", options.delimiter, "auto, comma, tab or space (runs of blanks)")
      ->check(CLI::IsMember({"auto", "comma", "tab", "space"}))
      ->capture_default_str();
  app->add_flag("--no-header", options.no_header, "The first line is data; columns are named 1, 2, ...");
  app->add_flag("-q,--quiet", options.quiet, "No progress line on standard error");
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

// True when `token` is an option of `app` that takes a value and carries none itself, so
// the next word is its value even when it spells a subcommand.
bool expects_value(const CLI::App& app, const std::string& token) {
  if (token.size() < 2 || token[0] != '-' || token.find('=') != std::string::npos) return false;
  const CLI::Option* option = app.get_option_no_throw(token);
  return option != nullptr && option->get_type_size_max() > 0;
}

struct Segment {
  const Command_entry* command = nullptr;  // none for the global options
  std::unique_ptr<CLI::App> app;
  Step step;
  std::vector<std::string> args;
};

std::unique_ptr<CLI::App> make_command_app(const Command_entry& command, Step& step) {
  auto app = std::make_unique<CLI::App>(command.summary, std::string("vorlith-line ") + command.name);
  configure_app(*app);
  command.define(*app, step);
  app->footer(std::string("Example:\n  ") + command.example);
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
    std::fprintf(stderr, "vorlith-line: %s%s%s\nRun 'vorlith-line%s%s --help' for the options.\n", name.c_str(),
                 name.empty() ? "" : ": ", error.what(), name.empty() ? "" : " ", name.c_str());
    return usage_error;
  }
  return -1;
}

Delimiter_choice delimiter_choice(const std::string& name) {
  if (name == "comma") return Delimiter_choice::comma;
  if (name == "tab") return Delimiter_choice::tab;
  if (name == "space") return Delimiter_choice::whitespace;
  return Delimiter_choice::automatic;
}

int run(int argc, char** argv) {
  Global_options options;
  std::vector<Segment> segments;
  segments.push_back(Segment{nullptr, make_global_app(options), {}, {}});
  for (int i = 1; i < argc; ++i) {
    const std::string token = argv[i];
    const Command_entry* command = find_command(token);
    const auto& current = segments.back();
    if (command != nullptr && (current.args.empty() || !expects_value(*current.app, current.args.back()))) {
      Segment segment{command, nullptr, {}, {}};
      segment.app = make_command_app(*command, segment.step);
      segments.push_back(std::move(segment));
    } else {
      segments.back().args.push_back(token);
    }
  }
  for (auto& segment : segments) {
    const int status = parse_segment(segment);
    if (status >= 0) return status;
  }

  const bool reading_stdin = options.input.empty() || options.input == "-";
  if (reading_stdin && isatty(STDIN_FILENO)) {
    throw Tool_error("no input: give -i PATH or pipe a table in (--help for more)");
  }
  const std::string last_command = segments.size() > 1 ? segments.back().command->name : "";
  const bool report_only = last_command == "stats" || last_command == "spectrum";
  const bool write_table_out = !options.output.empty() || !report_only;
  const bool table_to_stdout = write_table_out && (options.output.empty() || options.output == "-");

  install_cleanup_on_signals();
  // Created before the work, so a bad output path fails early.
  std::unique_ptr<Output_file> output;
  if (write_table_out) output = std::make_unique<Output_file>(table_to_stdout ? "-" : options.output);

  Read_options read_options;
  read_options.delimiter = delimiter_choice(options.delimiter);
  read_options.header = !options.no_header;
  std::FILE* in = stdin;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> input_file(nullptr, std::fclose);
  if (reading_stdin) {
    read_options.source_name = "standard input";
  } else {
    read_options.source_name = options.input;
    input_file.reset(std::fopen(options.input.c_str(), "rb"));
    if (!input_file) throw Tool_error("cannot open " + options.input + ": " + std::strerror(errno));
    in = input_file.get();
  }
  struct stat info {};
  if (fstat(fileno(in), &info) == 0 && S_ISREG(info.st_mode)) read_options.size = info.st_size;

  Progress progress(!options.quiet && isatty(STDERR_FILENO));
  Table table = read_table(in, read_options, progress);
  input_file.reset();

  std::vector<std::unique_ptr<Output_file>> extra_outputs;
  Run_context context{progress, table_to_stdout ? stderr : stdout, extra_outputs};
  for (std::size_t s = 1; s < segments.size(); ++s) {
    segments[s].step(table, context);
    progress.finish();
  }
  if (output) write_table(table, output->stream(), output->name(), progress);
  // Close everything first, so a write error still leaves every target untouched.
  for (auto& extra : extra_outputs) extra->close();
  if (output) output->close();
  for (auto& extra : extra_outputs) extra->commit();
  if (output) output->commit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const Tool_error& error) {
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
