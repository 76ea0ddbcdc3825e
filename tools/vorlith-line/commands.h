#pragma once
// The subcommands: their options (CLI11) and the work they do on a survey, line by line.

#include <vorlith/integration.h>
#include <vorlith/survey/survey.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorlith_line {

/// A failure the user can act on: printed as "vorlith-line: <message>", exit status 2.
struct Tool_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// A file a step makes besides the survey (a spectrum), written when the whole run succeeded.
struct Extra_output {
  std::string path;
  vorlith::survey::Survey survey;
};

struct Run_context {
  vorlith::survey::Survey& survey;
  /// The line field's name, empty when the whole survey is one line.
  std::string line_field;
  /// Where stats prints (standard output unless the survey goes there).
  std::FILE* report = stdout;
  bool quiet = false;
  /// Decimals of computed channels; -1 writes the shortest text that reads back exactly.
  int decimals = -1;
  std::vector<Extra_output> extra_outputs;

  /// One line on standard error saying what a step changed, unless quiet.
  void summary(const std::string& text) const;
  /// Rebuilds the line index after rows changed.
  void index_lines() { survey.index_lines(line_field); }
};

/// One subcommand of a chain, ready to run after its options were parsed.
using Step = std::function<void(Run_context&)>;

struct Command_entry {
  const char* name;
  const char* summary;
  const char* example;
  /// Adds the subcommand's options to `app` and sets `step` to run with their values.
  void (*define)(CLI::App& app, Step& step);
};

const std::vector<Command_entry>& command_entries();

}  // namespace vorlith_line
