#pragma once
// Channel access and row editing shared by the subcommands: every operation works on one
// survey line at a time, so no result reaches across a line change.

#include <cstdint>
#include <string>
#include <vector>

#include "commands.h"

namespace vorlith_line {

inline constexpr double dummy = vorlith::common::dummy_value<double>;

/// The channel named `name`, or a Tool_error listing the channels there are.
vorlith::survey::Channel& find_channel(vorlith::survey::Survey& survey, const std::string& name);
/// As find_channel(), refusing text and array channels: the channels operations read.
vorlith::survey::Channel& numeric_channel(vorlith::survey::Survey& survey, const std::string& name);
/// As numeric_channel(), held as doubles from now on and written as a computed channel
/// (the shortest exact text, or the run's --decimals).
vorlith::survey::Channel& computed_channel(Run_context& context, const std::string& name);
/// Marks a channel as computed: its format no longer rounds what it holds.
void set_computed_format(const Run_context& context, vorlith::survey::Channel& channel);

/// A contiguous double copy of rows [first, first + count) of a one-column channel.
vorlith::integration::Multi_vector copy_rows(const vorlith::survey::Channel& channel,
                                             std::int64_t first, std::int64_t count);
/// A contiguous double vector of `length` dummies.
vorlith::integration::Multi_vector dummies(std::int64_t length);

/// A run of rows kept by keep_rows().
struct Row_range {
  std::int64_t first = 0;
  std::int64_t count = 0;
};
/// Keeps only the rows of `ranges` (in order, not overlapping) in every channel except
/// those in `replaced`, which already hold the new row count; then reindexes the lines.
void keep_rows(Run_context& context, const std::vector<Row_range>& ranges,
               const std::vector<const vorlith::survey::Channel*>& replaced = {});

/// Counts the elements of two equally long double vectors whose bits differ.
std::int64_t count_changed(const vorlith::integration::Multi_vector& before,
                           const vorlith::integration::Multi_vector& after);

/// "1234.5" in shortest round-trip form, or with `decimals` decimals when >= 0; "*" for a dummy.
std::string number_text(double value, int decimals = -1);
/// As number_text(), but at most 12 significant digits without --decimals: for reports.
std::string report_text(double value, int decimals);

/// Runs `work` on a double copy of each line of a numeric channel and writes the
/// result back (converted to the channel's type); returns how many samples changed.
template <class Work>
std::int64_t change_each_line(Run_context& context, vorlith::survey::Channel& channel,
                              Work&& work) {
  std::int64_t changed = 0;
  for (const auto& line : context.survey.lines) {
    vorlith::integration::Multi_vector values = copy_rows(channel, line.first_row, line.row_count);
    const vorlith::integration::Multi_vector before =
        copy_rows(channel, line.first_row, line.row_count);
    work(values, line);
    changed += count_changed(before, values);
    channel.values.copy(line.first_row, values, 0, line.row_count);
  }
  return changed;
}

}  // namespace vorlith_line
