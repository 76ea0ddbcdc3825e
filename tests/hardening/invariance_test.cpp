// Every operation of the shared table gives the same results in contiguous and block
// storage and for 1, 2 and 7 worker chunks.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/contracts.h"
#include "support/operations.h"
#include "support/small_blocks.h"

namespace {

using namespace vorlith::testing_support;

// Seven chunks of more than 16384 indices, so that members with their own minimum chunk
// split seven ways too.
constexpr std::int64_t length = 7 * 16384 + 1000;

struct Outcome {
  std::vector<std::vector<unsigned char>> bytes;  // every vector's elements
  std::vector<double> scalars;
  std::vector<std::pair<double, double>> sums;
  std::string flags;  // the workspace's bits
};

// Built once per storage mode; every run works on a copy.
const Workspace& original(bool block) {
  static const Workspace contiguous(length, false), blocks(length, true);
  return block ? blocks : contiguous;
}

Outcome run(const Operation& op, bool block, int chunks) {
  Workspace w(original(block));
  {
    const Small_blocks chunking(1, chunks);
    op.run(w);
  }
  Outcome o{{}, w.scalars, w.sums, {}};
  boost::to_string(w.bits, o.flags);
  for (const auto* v : w.vectors()) {
    o.bytes.emplace_back(static_cast<std::size_t>(v->get_length() * v->get_element_size()));
    if (v->get_length() > 0) v->get_range(0, v->get_length(), o.bytes.back().data());
  }
  return o;
}

class Invariance : public ::testing::TestWithParam<Operation> {};

TEST_P(Invariance, SameResultsInBothModesAndForOneTwoAndSevenChunks) {
  const Operation& op = GetParam();
  const Outcome serial = run(op, false, 1);
  for (bool block : {false, true}) {
    for (int chunks : {1, 2, 7}) {
      const Outcome o = run(op, block, chunks);
      SCOPED_TRACE(std::string(block ? "block" : "contiguous") + ", chunks " +
                   std::to_string(chunks));
      for (std::size_t v = 0; v < o.bytes.size(); ++v)
        EXPECT_TRUE(o.bytes[v] == serial.bytes[v]) << "vector " << v;
      EXPECT_TRUE(o.flags == serial.flags) << "flags";
      ASSERT_EQ(o.scalars.size(), serial.scalars.size());
      for (std::size_t s = 0; s < o.scalars.size(); ++s) {
        EXPECT_EQ(std::memcmp(&o.scalars[s], &serial.scalars[s], sizeof(double)), 0)
            << o.scalars[s];
      }
      // Sums are combined in chunk order: each order's rounding error is at most
      // (n - 1) eps sum|term|, so two orders differ by at most twice that.
      ASSERT_EQ(o.sums.size(), serial.sums.size());
      for (std::size_t s = 0; s < o.sums.size(); ++s) {
        const double bound =
            2.0 * length * std::numeric_limits<double>::epsilon() * serial.sums[s].second;
        EXPECT_NEAR(o.sums[s].first, serial.sums[s].first, bound);
      }
    }
  }
}

// Empty channels are the smallest input: each operation either finishes or refuses with
// a contract failure, and every vector can be read whole afterwards.
TEST(EmptyChannels, EveryOperationFinishesOrRefuses) {
  int refused = 0;
  for (const Operation& op : operations()) {
    for (bool block : {false, true}) {
      Workspace w(0, block);
      try {
        op.run(w);
      } catch (const gsl::fail_fast&) {
        ++refused;
      }
      for (const auto* v : w.vectors()) {
        EXPECT_EQ(v->is_block_vector(), block) << op.family << " " << op.name;
        std::vector<unsigned char> bytes(
            static_cast<std::size_t>(v->get_length() * v->get_element_size()));
        if (!bytes.empty()) v->get_range(0, v->get_length(), bytes.data());
      }
    }
  }
  EXPECT_LT(refused, static_cast<int>(2 * operations().size()));
}

INSTANTIATE_TEST_SUITE_P(Table, Invariance, ::testing::ValuesIn(operations()),
                         [](const auto& info) { return operation_test_name(info.param); });

}  // namespace
