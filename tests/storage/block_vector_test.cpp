#include "storage/block_vector.h"

#include <gtest/gtest.h>
#include <vorlith/point.h>

#include <bit>
#include <cstring>
#include <random>
#include <vector>

#include "support/contracts.h"
#include "support/typed_lists.h"

namespace vorlith::storage {
namespace {

using common::Point_3d;
using testing_support::fails_contract;

TEST(BlockVector, BlockFiguresAndBothFormsOfAnEndOnABorder) {
  Block_vector<Point_3d<double>> points;
  points.resize(400, Point_3d<double>{1, 2, 3});
  EXPECT_EQ(Block_vector<Point_3d<double>>::elements_per_block, 170u);
  EXPECT_EQ(points.allocated_blocks(), 3u);
  EXPECT_EQ(points.elements_remaining_in_block(169), 1u);  // element 170 starts block 2
  EXPECT_EQ(points.elements_remaining_in_block(170), 170u);
  EXPECT_EQ(points.elements_remaining_in_block(340), 60u);

  // insert keeps an end on a border in the previous block, erase in the next one.
  Block_vector<double> store;
  store.insert(0, 512, 1.0);
  store.push_back(2.0);
  EXPECT_EQ(store.at(512), 2.0);
  store.insert(513, 511, 3.0);
  store.erase(512, 1024);
  store.push_back(4.0);
  EXPECT_EQ(store.size(), 513u);
  EXPECT_EQ(store.at(512), 4.0);
  EXPECT_EQ(store.allocated_blocks(), 2u);
}

TEST(BlockVector, ShrinkKeepsBlocksAndRegrowthReusesThemZeroFilled) {
  Block_vector<std::int32_t> store;
  store.resize(3000, 7);
  const std::int32_t* third_block = store.data(2048);
  store.resize(5);
  EXPECT_EQ(store.allocated_blocks(), 3u);
  store.resize(3000);
  EXPECT_EQ(store.data(2048), third_block);
  for (std::uint64_t i = 0; i < 3000; ++i) ASSERT_EQ(store.at(i), i < 5 ? 7 : 0) << i;

  Block_vector<std::int32_t> copy(store);
  copy.at(2500) = 9;
  EXPECT_EQ(store.at(2500), 0);
  EXPECT_EQ(copy.capacity(), store.capacity());
}

TEST(BlockVector, BadIndicesAndRangesChangeNothing) {
  Block_vector<double> store;
  store.resize(600, 1.5);
  try {
    (void)store.at(600);
    ADD_FAILURE();
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "");
  }
  EXPECT_TRUE(fails_contract([&] { store.erase(10, 10); },
                             "block store: erase range 10..10 does not fit the size 600"));
  EXPECT_TRUE(fails_contract([&] { store.erase(0, 601); },
                             "block store: erase range 0..601 does not fit the size 600"));
  EXPECT_TRUE(fails_contract([&] { store.insert(601, 1, 0.0); },
                             "block store: insert position 601 is beyond the size 600"));
  EXPECT_TRUE(fails_contract([&] { (void)store.data(600); },
                             "block store: index 600 is not below the size 600"));
  EXPECT_EQ(store.size(), 600u);
}

template <class T>
class BlockVectorOperations : public ::testing::Test {};
TYPED_TEST_SUITE(BlockVectorOperations, testing_support::all_value_types);

// Random edits spread over several blocks, checked byte for byte against std::vector
// (floating-point patterns may be NaN), together with the runs of the block view.
TYPED_TEST(BlockVectorOperations, FollowStdVector) {
  using T = TypeParam;
  constexpr std::uint64_t per_block = Block_vector<T>::elements_per_block;
  std::mt19937 random(12345);
  auto below = [&](std::uint64_t n) {
    return std::uniform_int_distribution<std::uint64_t>(0, n)(random);
  };
  auto value = [&] {
    unsigned char bytes[sizeof(T)];
    for (auto& b : bytes) b = static_cast<unsigned char>(below(255));
    return std::bit_cast<T>(bytes);
  };
  Block_vector<T> store;
  std::vector<T> reference;
  for (int step = 0; step < 150; ++step) {
    const std::uint64_t size = reference.size(), first = size ? below(size - 1) : 0;
    const std::uint64_t count = size ? 1 + below(std::min(size - first - 1, per_block + 3)) : 0;
    const T v = value();
    switch (below(4)) {
      case 0: {
        const std::uint64_t position = below(size);
        store.insert(position, count + 1, v);
        reference.insert(reference.begin() + position, count + 1, v);
        break;
      }
      case 1:
        if (size) store.erase(first, first + count);
        if (size) reference.erase(reference.begin() + first, reference.begin() + first + count);
        break;
      case 2:
        if (size) store.erase(first);
        if (size) reference.erase(reference.begin() + first);
        break;
      case 3:
        store.resize(below(3 * per_block), v);
        reference.resize(store.size(), v);
        break;
      default:
        for (std::uint64_t k = below(per_block); k > 0; --k)
          store.push_back(v), reference.push_back(v);
    }
    ASSERT_EQ(store.size(), reference.size());
    for (std::uint64_t i = 0; i < store.size(); ++i)
      ASSERT_EQ(std::memcmp(&store.at(i), &reference[i], sizeof(T)), 0) << step;
    for (std::uint64_t i = 0, run = 0; i < store.size(); i += run) {
      run = store.elements_remaining_in_block(i);
      ASSERT_TRUE(run == store.size() - i || (i + run) % per_block == 0);
      ASSERT_EQ(store.data(i) + (run - 1), store.data(i + run - 1));
    }
  }
}

}  // namespace
}  // namespace vorlith::storage
