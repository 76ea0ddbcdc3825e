#include "storage/block_vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <vorlith/fail_fast.h>
#include <vorlith/point.h>

#include "support/typed_lists.h"

namespace vorlith::storage {
namespace {

using common::Point_2d;
using common::Point_3d;

// Values are built and compared as bytes, so every type (points and floats whose
// patterns may be NaN included) goes through one reference check.
template <class T>
T make_value(std::uint32_t seed) {
  unsigned char bytes[sizeof(T)];
  for (std::size_t b = 0; b < sizeof(T); ++b) bytes[b] = static_cast<unsigned char>(seed * 31 + b + 1);
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

template <class T>
bool same_bytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T>
void expect_matches(const Block_vector<T>& store, const std::vector<T>& reference) {
  ASSERT_EQ(store.size(), reference.size());
  for (std::uint64_t i = 0; i < reference.size(); ++i) {
    ASSERT_TRUE(same_bytes(store.at(i), reference[i])) << "element " << i;
  }
  // Every run the block view reports must really be contiguous and end at a block border.
  for (std::uint64_t i = 0; i < store.size();) {
    const std::uint64_t run = store.elements_remaining_in_block(i);
    ASSERT_GE(run, 1u);
    ASSERT_TRUE(run == store.size() - i || (i + run) % Block_vector<T>::elements_per_block == 0);
    for (std::uint64_t k = 0; k < run; ++k) ASSERT_EQ(store.data(i) + k, store.data(i + k));
    i += run;
  }
  ASSERT_GE(store.capacity(), store.size());
}

void expect_contract_failure(const std::function<void()>& action) {
  try {
    action();
    ADD_FAILURE() << "no contract failure";
  } catch (const gsl::fail_fast& failure) {
    const std::string message = failure.what();
    EXPECT_EQ(message.rfind("GSL: Precondition failure at src/storage/block_vector.h: ", 0), 0u)
        << message;
  }
}

TEST(BlockVector, ElementsPerBlockLeaveTheTailOfEachBlockUnused) {
  EXPECT_EQ(Block_vector<double>::elements_per_block, 512u);
  EXPECT_EQ(Block_vector<Point_3d<float>>::elements_per_block, 341u);
  EXPECT_EQ(Block_vector<Point_3d<double>>::elements_per_block, 170u);
  EXPECT_EQ(Block_vector<std::uint8_t>::elements_per_block, 4096u);

  Block_vector<Point_3d<double>> points;
  points.resize(400, Point_3d<double>{1, 2, 3});
  EXPECT_EQ(points.allocated_blocks(), 3u);
  EXPECT_EQ(points.elements_remaining_in_block(169), 1u);
  EXPECT_EQ(points.elements_remaining_in_block(170), 170u);
  EXPECT_EQ(points.elements_remaining_in_block(340), 60u);

  Block_vector<double> doubles;
  doubles.resize(1000);
  EXPECT_EQ(doubles.elements_remaining_in_block(510), 2u);
  EXPECT_EQ(doubles.elements_remaining_in_block(512), 488u);
}

TEST(BlockVector, EndsOnABlockBorderInBothForms) {
  // insert stores an end on a border in the previous block, erase in the next one;
  // appending must work from either.
  Block_vector<double> store;
  store.insert(0, 512, 1.0);
  EXPECT_EQ(store.allocated_blocks(), 1u);
  store.push_back(2.0);
  EXPECT_EQ(store.size(), 513u);
  EXPECT_EQ(store.at(512), 2.0);
  EXPECT_EQ(store.allocated_blocks(), 2u);

  store.insert(513, 511, 3.0);
  store.erase(512, 1024);
  EXPECT_EQ(store.size(), 512u);
  store.push_back(4.0);
  EXPECT_EQ(store.at(512), 4.0);
  EXPECT_EQ(store.allocated_blocks(), 2u);

  Block_vector<double> appended;
  for (int i = 0; i < 1100; ++i) appended.push_back(i);
  for (int i = 0; i < 1100; ++i) ASSERT_EQ(appended.at(i), i);
  EXPECT_EQ(appended.capacity(), 1536u);
}

TEST(BlockVector, ShrinkKeepsBlocksAndRegrowthReusesThemZeroFilled) {
  Block_vector<std::int32_t> store;
  store.resize(3000, 7);
  const std::uint64_t blocks = store.allocated_blocks();
  const std::int32_t* first_block = store.data(0);
  const std::int32_t* third_block = store.data(2048);

  store.resize(5);
  EXPECT_EQ(store.size(), 5u);
  EXPECT_EQ(store.allocated_blocks(), blocks);
  EXPECT_THROW(store.at(5), std::out_of_range);

  store.resize(3000);
  EXPECT_EQ(store.allocated_blocks(), blocks);
  EXPECT_EQ(store.data(0), first_block);
  EXPECT_EQ(store.data(2048), third_block);
  for (std::uint64_t i = 0; i < 3000; ++i) ASSERT_EQ(store.at(i), i < 5 ? 7 : 0) << i;

  store.reserve(5000);
  EXPECT_EQ(store.capacity(), 5120u);
  EXPECT_EQ(store.size(), 3000u);
}

TEST(BlockVector, CopyIsDeep) {
  Block_vector<Point_2d<float>> original;
  original.resize(700, Point_2d<float>{1, 2});
  Block_vector<Point_2d<float>> copy(original);
  copy.at(600) = {5, 6};
  EXPECT_EQ(copy.size(), 700u);
  EXPECT_EQ(copy.capacity(), original.capacity());
  EXPECT_EQ(original.at(600).x, 1.0f);
  EXPECT_EQ(copy.at(600).x, 5.0f);
  EXPECT_NE(copy.data(0), original.data(0));
}

TEST(BlockVector, AtPastTheEndThrowsOutOfRangeWithEmptyMessage) {
  Block_vector<std::int16_t> store;
  const auto& view = store;
  EXPECT_THROW(store.at(0), std::out_of_range);
  store.resize(2048);
  try {
    (void)view.at(2048);
    ADD_FAILURE();
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "");
  }
}

TEST(BlockVector, BadArgumentsFailBeforeAnythingChanges) {
  Block_vector<double> store;
  store.resize(600, 1.5);
  expect_contract_failure([&] { store.erase(10, 10); });
  expect_contract_failure([&] { store.erase(11, 10); });
  expect_contract_failure([&] { store.erase(600, 601); });
  expect_contract_failure([&] { store.erase(0, 601); });
  expect_contract_failure([&] { store.erase(600); });
  expect_contract_failure([&] { store.insert(601, 1, 0.0); });
  expect_contract_failure([&] { (void)store.data(600); });
  expect_contract_failure([&] { (void)store.elements_remaining_in_block(600); });
  expect_contract_failure([] { Block_vector<double>{}.erase(0, 1); });
  EXPECT_EQ(store.size(), 600u);
  for (std::uint64_t i = 0; i < 600; ++i) ASSERT_EQ(store.at(i), 1.5);
}

template <class T>
class BlockVectorOperations : public ::testing::Test {};
TYPED_TEST_SUITE(BlockVectorOperations, testing_support::all_value_types);

// Random inserts, erases, resizes and appends, with positions and counts spread over
// several blocks, checked against std::vector after every step.
TYPED_TEST(BlockVectorOperations, FollowStdVector) {
  using T = TypeParam;
  constexpr std::uint32_t per_block = Block_vector<T>::elements_per_block;
  std::mt19937 random(12345);
  auto below = [&](std::uint64_t n) { return std::uniform_int_distribution<std::uint64_t>(0, n)(random); };
  Block_vector<T> store;
  std::vector<T> reference;
  std::uint32_t next = 0;
  for (int step = 0; step < 150; ++step) {
    const std::uint64_t size = reference.size();
    const T value = make_value<T>(++next);
    switch (below(4)) {
      case 0: {
        const std::uint64_t position = below(size);
        const std::uint64_t count = below(per_block + 3);
        store.insert(position, count, value);
        reference.insert(reference.begin() + position, count, value);
        break;
      }
      case 1:
        if (size > 0) {
          const std::uint64_t first = below(size - 1);
          const std::uint64_t last = first + 1 + below(std::min<std::uint64_t>(size - first - 1, per_block + 3));
          store.erase(first, last);
          reference.erase(reference.begin() + first, reference.begin() + last);
        }
        break;
      case 2:
        if (size > 0) {
          const std::uint64_t position = below(size - 1);
          store.erase(position);
          reference.erase(reference.begin() + position);
        }
        break;
      case 3: {
        const std::uint64_t n = below(3 * per_block);
        store.resize(n, value);
        reference.resize(n, value);
        break;
      }
      default:
        for (std::uint64_t k = below(per_block); k > 0; --k) {
          store.push_back(make_value<T>(++next));
          reference.push_back(make_value<T>(next));
        }
    }
    expect_matches(store, reference);
    if (::testing::Test::HasFatalFailure()) FAIL() << "after step " << step;
  }
}

}  // namespace
}  // namespace vorlith::storage
