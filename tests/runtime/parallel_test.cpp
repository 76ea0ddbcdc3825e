#include "runtime/parallel.h"

#include <gtest/gtest.h>
#include <omp.h>
#include <vorlith/integration.h>

#include <atomic>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using vorlith::parallel::Chunk_plan;
using vorlith::parallel::plan_chunks;

TEST(ChunkPlan, DocumentedFigures) {
  // n, minimum chunk, processors -> chunk, threads
  const std::int64_t plans[][5] = {{0, 16384, 8, 0, 1},
                                   {16384, 16384, 8, 16384, 1},
                                   {16385, 16384, 4, 16384, 2},  //
                                   {100000, 16384, 8, 16384, 7},
                                   {100000, 0, 8, 12500, 8},
                                   {7, -5, 4, 2, 4},  //
                                   {1, 0, 4, 1, 1},
                                   {1000000, 16384, 2, 500000, 2},
                                   {100000, 0, 1, 100000, 1}};
  for (const auto& p : plans) {
    const Chunk_plan plan = plan_chunks(p[0], p[1], static_cast<int>(p[2]));
    EXPECT_TRUE(plan.chunk == p[3] && plan.threads == p[4]) << p[0] << " " << p[1] << " " << p[2];
  }
}

// 2^24 + 1 is not a float: a ceiling taken in single precision would lose the last index.
TEST(ChunkPlan, LastChunkAlwaysReachesTheEnd) {
  for (int p : {1, 2, 3, 5, 7, 16, 64})
    for (std::int64_t m : {0, 1, 1000, 16384})
      for (std::int64_t size : {1, 2, 999, 16385, 123457, (1 << 24) + 1, 10000019}) {
        const Chunk_plan q = plan_chunks(size, m, p);
        EXPECT_TRUE(q.threads >= 1 && q.chunk * (q.threads - 1) >= 0 &&
                    q.chunk * (q.threads - 1) <= size)
            << size << " " << m << " " << p;
      }
}

class Driver : public ::testing::Test {
 protected:
  void SetUp() override { vorlith::parallel::set_processor_count_override(4); }
  void TearDown() override {
    vorlith::parallel::set_processor_count_override(0);
    register_external_sys_functions({[] { return false; }});
  }
};

TEST_F(Driver, RunOverRangeCoversEveryIndexOnce) {
  std::vector<int> hits(100001, 0);
  vorlith::parallel::run_over_range(1, 100001, 1000, [&](std::int64_t first, std::int64_t last) {
    for (std::int64_t i = first; i < last; ++i) ++hits[static_cast<std::size_t>(i)];
  });
  EXPECT_EQ(hits[0], 0);
  for (std::size_t i = 1; i < hits.size(); ++i) ASSERT_EQ(hits[i], 1) << i;
}

TEST_F(Driver, SumCombinesChunksInOrder) {
  // Chunk sums whose order of addition matters in floating point.
  const std::vector<double> values = {1e16, 1.0, -1e16};
  const double sum = vorlith::parallel::run_and_sum(
      0, 3, 1, [&](std::int64_t first, std::int64_t last, double& slot) {
        for (std::int64_t i = first; i < last; ++i) slot += values[static_cast<std::size_t>(i)];
      });
  // ((s0 + s1) + s2) with one index per chunk on four processors... three chunks.
  EXPECT_EQ(sum, (1e16 + 1.0) + -1e16);
}

TEST_F(Driver, CapLimitsThePlannedProcessors) {
  for (auto [cap, planned] : {std::pair{0, 4}, {2, 2}, {1, 1}, {9, 4}}) {
    set_integration_max_threads(cap);
    EXPECT_EQ(vorlith::parallel::processor_count(), planned) << "cap " << cap;
  }
  EXPECT_THROW(set_integration_max_threads(-1), gsl::fail_fast);
  EXPECT_EQ(get_integration_max_threads(), 9);
  set_integration_max_threads(0);
  vorlith::parallel::set_processor_count_override(0);  // none: the machine's processors
  EXPECT_EQ(vorlith::parallel::processor_count(), omp_get_num_procs());
}

TEST_F(Driver, HostVetoRunsOnTheCallingThread) {
  register_external_sys_functions({[] { return true; }});
  int calls = 0;
  vorlith::parallel::run_over_range(0, 1000000, 1, [&](std::int64_t first, std::int64_t last) {
    ++calls;
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 1000000);
    EXPECT_FALSE(omp_in_parallel());
  });
  EXPECT_EQ(calls, 1);
  const double sum = vorlith::parallel::run_and_sum(
      0, 10, 1, [](std::int64_t first, std::int64_t last, double& slot) {
        slot += static_cast<double>(last - first);
      });
  EXPECT_EQ(sum, 10.0);
}

// Exceptions of every kind and from every operation's workers: tests/hardening. Whatever
// the timing, the first chunk's failure wins.
TEST_F(Driver, FirstChunksExceptionReachesTheCaller) {
  for (int repeat = 0; repeat < 20; ++repeat) {
    try {
      vorlith::parallel::run_over_range(0, 4000, 1000, [](std::int64_t first, std::int64_t) {
        throw std::runtime_error(std::to_string(first));
      });
      ADD_FAILURE();
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "0");
    }
  }
  int calls = 0;
  vorlith::parallel::run_over_range(0, 10, 1000, [&](std::int64_t, std::int64_t) { ++calls; });
  EXPECT_EQ(calls, 1);
}

TEST_F(Driver, ReductionKeepsOneStatePerChunk) {
  using Best = std::pair<int, std::int64_t>;  // the largest value and its index
  std::vector<int> data(10000, 1);
  data[9999] = data[10] = 5;
  const Best result = vorlith::parallel::run_and_reduce(
      0, 10000, 100, Best{-1, -1},
      [&](std::int64_t first, std::int64_t last, Best& state) {
        for (std::int64_t i = first; i < last; ++i)
          if (data[i] > state.first) state = {data[i], i};
      },
      [](Best& into, const Best& from) {
        if (from.first > into.first) into = from;
      });
  EXPECT_EQ(result, Best(5, 10));  // ties resolved towards the earlier chunk
}

// Each pass finishes before the after-pass step runs and the next pass begins.
TEST_F(Driver, StridedDynamicRunsThePassesInTurn) {
  const std::int64_t n = 5003, stride = 4;
  std::vector<int> pass_of(static_cast<std::size_t>(n), -1);
  std::atomic<int> current{0};
  std::atomic<bool> out_of_order{false};
  std::vector<std::int64_t> done_before;  // indices finished when each after-pass step ran
  std::atomic<std::int64_t> finished{0};
  vorlith::parallel::run_strided_dynamic(
      n, stride,
      [&](std::int64_t i) {
        const int pass = static_cast<int>(i % stride);
        if (pass != current.load()) out_of_order = true;
        pass_of[static_cast<std::size_t>(i)] = pass;
        finished.fetch_add(1);
      },
      [&](std::int64_t k) {
        current.store(static_cast<int>(k + 1));
        done_before.push_back(finished.load());
      });
  EXPECT_FALSE(out_of_order.load());
  for (std::int64_t i = 0; i < n; ++i) ASSERT_EQ(pass_of[static_cast<std::size_t>(i)], i % stride);
  EXPECT_EQ(done_before, (std::vector<std::int64_t>{1251, 2502, 3753, 5003}));
  auto fail_at_4000 = [](std::int64_t i) {
    if (i == 4000) throw std::runtime_error("x");
  };
  EXPECT_THROW(vorlith::parallel::run_strided_dynamic(n, stride, fail_at_4000), std::runtime_error);
}

}  // namespace
