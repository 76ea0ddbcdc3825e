#include "output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "table.h"

namespace vorlith_line {

namespace {

// Temporary paths that a signal handler may remove; a slot is free when it starts with 0.
constexpr int max_slots = 8;
constexpr std::size_t max_path = 4096;
char temporary_paths[max_slots][max_path];

int take_slot(const std::string& path) {
  if (path.size() >= max_path) return -1;
  for (int i = 0; i < max_slots; ++i) {
    if (temporary_paths[i][0] == '\0') {
      std::memcpy(temporary_paths[i], path.c_str(), path.size() + 1);
      return i;
    }
  }
  return -1;
}

void release_slot(int slot) {
  if (slot >= 0) temporary_paths[slot][0] = '\0';
}

extern "C" void remove_temporaries(int signal_number) {
  for (auto& path : temporary_paths) {
    if (path[0] != '\0') unlink(path);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

std::string system_error() { return std::strerror(errno); }

}  // namespace

void install_cleanup_on_signals() {
  for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, remove_temporaries);
}

Output_file::Output_file(std::string path) : path_(std::move(path)) {
  if (path_ == "-") {
    name_ = "standard output";
    stream_ = stdout;
    return;
  }
  name_ = path_;
  const auto slash = path_.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  if (base.empty()) throw Tool_error("output path '" + path_ + "' names a directory");
  std::string pattern = directory + "." + base + ".tmp.XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) throw Tool_error("cannot create a file beside " + path_ + ": " + system_error());
  temporary_ = pattern;
  slot_ = take_slot(temporary_);
  // mkstemp makes the file private; the result gets the permissions of a new file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  stream_ = fdopen(fd, "wb");
  if (stream_ == nullptr) {
    ::close(fd);
    discard();
    throw Tool_error("cannot write " + path_ + ": " + system_error());
  }
}

Output_file::~Output_file() {
  if (!committed_) discard();
}

void Output_file::close() {
  if (stream_ == stdout) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) throw Tool_error("cannot write standard output");
    return;
  }
  if (stream_ == nullptr) return;
  const bool failed = std::ferror(stream_) != 0;
  const int closed = std::fclose(stream_);
  stream_ = nullptr;
  if (failed || closed != 0) throw Tool_error("cannot write " + path_ + ": " + system_error());
}

void Output_file::commit() {
  close();
  if (!temporary_.empty()) {
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
      throw Tool_error("cannot rename the finished output to " + path_ + ": " + system_error());
    }
    release_slot(slot_);
  }
  committed_ = true;
}

void Output_file::discard() {
  if (stream_ != nullptr && stream_ != stdout) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) std::remove(temporary_.c_str());
  release_slot(slot_);
  slot_ = -1;
}

}  // namespace vorlith_line
