#pragma once
// One table of library operations on a shared set of vectors, used by the hardening
// tests (worker failures, storage and chunking invariance, allocation failures).

#include <vorlith/integration.h>

#include <boost/dynamic_bitset.hpp>
#include <cstdint>
#include <string>
#include <vector>

namespace vorlith::testing_support {

using integration::Multi_vector;

/// Inputs with dummies and empty outputs, all in one storage mode.
struct Workspace {
  Workspace(std::int64_t n, bool block);
  /// A copy of every vector (cheaper than building the contents again).
  Workspace(const Workspace& from);

  std::int64_t n;
  Multi_vector x, y, z;          // doubles with dummies
  Multi_vector f;                // floats with a NaN, an infinity and subnormals
  Multi_vector i32;              // int32 with dummies
  Multi_vector text;             // opaque width 8: numbers, words and dummies
  Multi_vector permutation;      // int32: n-1 .. 0
  Multi_vector codes;            // int32: duplicate-sample codes 0, 1, 2
  Multi_vector ramp;             // doubles 0 .. n-1
  Multi_vector dpoint3;          // double 3-D points from x, y, z
  Multi_vector segments;         // opaque width 32: double segments from x, y
  Multi_vector out, out2, out3;  // double outputs, empty
  Multi_vector index;            // int32 output, empty
  Multi_vector fpoint2;          // float 2-D point output, empty
  boost::dynamic_bitset<unsigned long> bits;
  std::vector<double> buffer;   // 3n + 8 doubles for range transfers
  std::vector<double> scalars;  // results that are not vectors
  /// Order-dependent sums: (value, sum of the magnitudes of its terms).
  std::vector<std::pair<double, double>> sums;

  std::vector<const Multi_vector*> vectors() const;
  std::vector<std::int64_t> lengths() const;
  /// Takes the vectors whose lengths differ (and the other members) from a workspace
  /// of the same length and mode.
  void restore(const Workspace& from);
};

struct Operation {
  const char* family;
  const char* name;
  /// Runs the parallel driver.
  bool driver;
  /// Sets its own minimum chunk of 16384 indices (or hands out chunks of 1000 passes)
  /// instead of the configured minimum thread block: needs long vectors to split.
  bool fixed_chunk;
  void (*run)(Workspace&);
};

/// Every operation of the table; the driver entries cover every call of the driver.
const std::vector<Operation>& operations();

/// The entries that run the parallel driver.
std::vector<Operation> driver_operations();
/// The operation's name as a test name (letters, digits and underscores).
std::string operation_test_name(const Operation& op);

/// Each vector's length equals its store's element count (the library's internal view).
bool consistent(const Multi_vector& v);

}  // namespace vorlith::testing_support
