#pragma once
// The subcommands: their options (CLI11) and the operations they run on a table.

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <CLI/CLI.hpp>

#include "output_file.h"
#include "progress.h"
#include "table.h"

namespace vorlith_line {

struct Run_context {
  Progress& progress;
  /// Where stats prints (standard output unless the table goes there).
  std::FILE* report;
  /// Further outputs (spectrum files); committed with the table at the end.
  std::vector<std::unique_ptr<Output_file>>& extra_outputs;
};

/// One subcommand of a chain, ready to run after its options were parsed.
using Step = std::function<void(Table&, Run_context&)>;

struct Command_entry {
  const char* name;
  const char* summary;
  const char* example;
  /// Adds the subcommand's options to `app` and sets `step` to run with their values.
  void (*define)(CLI::App& app, Step& step);
};

const std::vector<Command_entry>& command_entries();

}  // namespace vorlith_line
