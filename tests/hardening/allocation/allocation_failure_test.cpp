// Fails the Nth allocation, for N = 0, 1, 2, ... until the operation completes, through
// every operation of the shared table, in both storage modes, serially and on three
// threads. This executable replaces the global operator new and delete.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "support/operations.h"
#include "support/small_blocks.h"

namespace {

// Negative: disarmed. Otherwise the allocation that finds it at 0 fails (exactly one per
// arming, whichever thread asks), and `fired` records that it did.
std::atomic<std::int64_t> countdown{-1};
std::atomic<bool> fired{false};

bool fail_this_one() {
  if (countdown.load(std::memory_order_relaxed) < 0) return false;
  if (countdown.fetch_sub(1) != 0) return false;
  fired = true;
  return true;
}

void* allocate(std::size_t size, std::size_t alignment) {
  if (fail_this_one()) return nullptr;
  if (size == 0) size = 1;
  if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
  return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void* allocate_or_throw(std::size_t size, std::size_t alignment) {
  if (void* p = allocate(size, alignment)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return allocate_or_throw(n, 0); }
void* operator new[](std::size_t n) { return allocate_or_throw(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) {
  return allocate_or_throw(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
  return allocate_or_throw(n, static_cast<std::size_t>(a));
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocate(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocate(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using namespace vorlith::testing_support;

std::vector<std::vector<unsigned char>> contents(const Workspace& w) {
  std::vector<std::vector<unsigned char>> all;
  for (const auto* v : w.vectors()) {
    all.emplace_back(static_cast<std::size_t>(v->get_length() * v->get_element_size()));
    if (v->get_length() > 0) v->get_range(0, v->get_length(), all.back().data());
  }
  return all;
}

struct Family_count {
  std::int64_t points = 0;   // failures injected that reached the caller
  std::int64_t partial = 0;  // of those, left the vectors neither unchanged nor complete
};
std::map<std::string, Family_count> families;

class AllocationFailure : public ::testing::TestWithParam<Operation> {};

TEST_P(AllocationFailure, ReachesTheCallerAsBadAllocAndLeavesValidVectors) {
  const Operation& op = GetParam();
  for (int threads : {1, 3}) {
    for (bool block : {false, true}) {
      // Members with a fixed minimum chunk split only on long vectors.
      const std::int64_t n = threads > 1 && op.fixed_chunk ? 2 * 16384 + 100 : 40;
      const Small_blocks chunking(4, threads);
      Workspace done(n, block);
      op.run(done);
      const auto before = contents(Workspace(n, block)), after = contents(done);
      for (std::int64_t point = 0;; ++point) {
        SCOPED_TRACE(std::string(block ? "block" : "contiguous") + ", threads " +
                     std::to_string(threads) + ", allocation " + std::to_string(point));
        Workspace w(n, block);
        bool failed = false;
        fired = false;
        countdown = point;
        try {
          op.run(w);
        } catch (const std::bad_alloc&) {
          failed = true;
        }
        countdown = -1;
        for (const auto* v : w.vectors()) ASSERT_TRUE(consistent(*v));
        const auto now = contents(w);
        if (!failed) {
          // A failure handled inside the library still has to give the full result.
          EXPECT_TRUE(now == after);
          if (fired) continue;
          break;
        }
        ASSERT_TRUE(fired) << "bad_alloc without an injected failure";
        ++families[op.family].points;
        families[op.family].partial += now != before && now != after;
        ASSERT_NO_THROW(op.run(w)) << "the next call fails";
        for (const auto* v : w.vectors()) ASSERT_TRUE(consistent(*v));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, AllocationFailure, ::testing::ValuesIn(operations()),
                         [](const auto& info) { return operation_test_name(info.param); });

// Prints the injection points per family once every test has run.
class Report : public ::testing::Environment {
 public:
  void TearDown() override {
    for (const auto& [family, count] : families) {
      std::printf("[allocation] %-18s %6lld injected failures, %lld left a partial result\n",
                  family.c_str(), static_cast<long long>(count.points),
                  static_cast<long long>(count.partial));
    }
  }
};
const auto* const report = ::testing::AddGlobalTestEnvironment(new Report);

}  // namespace
