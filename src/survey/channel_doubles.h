#pragma once
// Numeric survey channels read as doubles, for the crossover search and the levelling.

#include <vorlith/survey/survey.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vorlith::survey::detail {

/// A numeric one-column channel as doubles: the channel's own memory when it holds
/// doubles, a converted copy otherwise (dummies become the double dummy). A missing,
/// text or array channel is a Survey_error naming `operation` and `role`.
class Channel_doubles {
 public:
  Channel_doubles(const Survey& survey, const std::string& name, const char* operation,
                  const char* role);
  double operator[](std::int64_t row) const { return data_[row]; }
  const double* data() const { return data_; }

 private:
  std::vector<double> copy_;
  const double* data_ = nullptr;
};

/// A usable number: neither the dummy nor NaN nor infinite.
bool is_value(double v);

/// Cumulative distance along the rows of a line from its first row with a position (the
/// library's distance rule); rows without a position hold the distance before them.
std::vector<double> line_distance(const double* x, const double* y, const Line& line);

}  // namespace vorlith::survey::detail
