#pragma once
// An output written to a temporary file beside its target and renamed into place only
// when the whole run succeeded, so a failed run leaves no partial file behind.

#include <cstdio>
#include <string>

namespace vorlith_line {

class Output_file {
 public:
  /// "-" writes to standard output directly. Otherwise a temporary file is created in
  /// the target's directory now (a Tool_error when that is impossible).
  explicit Output_file(std::string path);
  Output_file(const Output_file&) = delete;
  Output_file& operator=(const Output_file&) = delete;
  /// Removes the temporary file unless commit() succeeded.
  ~Output_file();

  std::FILE* stream() { return stream_; }
  /// Names the target in messages.
  const std::string& name() const { return name_; }
  /// Closes the temporary file, checking for write errors (a Tool_error).
  void close();
  /// Renames the closed temporary file to the target.
  void commit();

 private:
  void discard();

  std::string path_;
  std::string name_;
  std::string temporary_;
  std::FILE* stream_ = nullptr;
  int slot_ = -1;
  bool committed_ = false;
};

/// Removes the temporary files of the run when SIGINT, SIGTERM or SIGHUP arrives.
void install_cleanup_on_signals();

}  // namespace vorlith_line
