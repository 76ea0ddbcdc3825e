#include <gtest/gtest.h>
#include <vorlith/point.h>

#include "storage/block_vector.h"
#include "storage/opaque_block_vector.h"
#include "storage/opaque_vector.h"
#include "support/contracts.h"

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

TEST(OpaqueBlockVector, WholeElementsPerBlock) {
  Opaque_block_vector store(100);
  EXPECT_EQ(store.block_count(), 1);  // a new store holds one zeroed block
  store.resize(41);
  EXPECT_EQ(store.get_elements_per_block(), 40);
  EXPECT_EQ(store.block_count(), 2);
  EXPECT_EQ(store.elements_remaining_in_block(39), 1);  // element 40 opens the next block
  store.resize(0);
  EXPECT_EQ(store.block_count(), 0);
}

TEST(OpaqueStores, BadArgumentsChangeNothing) {
  Opaque_vector vector(8);
  vector.resize(5);
  EXPECT_TRUE(fails_contract([&] { vector.resize(-1); }, "opaque store: length -1 is negative"));
  EXPECT_TRUE(fails_contract([&] { vector.insert_zeroed(6, 1); },
                             "opaque store: insert position 6 is outside 0..5"));
  EXPECT_TRUE(fails_contract([&] { vector.erase(0, 0); },
                             "opaque store: erase count 0 from 0 does not fit the length 5"));
  EXPECT_TRUE(fails_contract(
      [&] { vector.erase(1, INT64_MAX); },
      "opaque store: erase count 9223372036854775807 from 1 does not fit the length 5"));
  EXPECT_THROW(vector.resize(INT64_MAX), std::length_error);
  EXPECT_EQ(vector.size(), 5);

  Opaque_block_vector blocks(8);
  blocks.resize(600);
  EXPECT_TRUE(fails_contract([&] { blocks.insert_zeroed(601, 1); },
                             "opaque block store: insert position 601 is outside 0..600"));
  EXPECT_TRUE(fails_contract([&] { blocks.erase(600, 1); },
                             "opaque block store: erase position 600 is outside the length 600"));
  EXPECT_TRUE(fails_contract(
      [&] { blocks.erase(1, INT64_MAX); },
      "opaque block store: erase count 9223372036854775807 from 1 does not fit the length 600"));
  EXPECT_THROW(blocks.resize(INT64_MAX), std::length_error);
  EXPECT_THROW(blocks.insert_zeroed(0, INT64_MAX), std::length_error);
  EXPECT_EQ(blocks.size(), 600);
  EXPECT_EQ(blocks.block_count(), 2);
}

}  // namespace
}  // namespace vorlith::storage
