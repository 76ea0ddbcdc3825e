#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "storage/opaque_block_vector.h"
#include "storage/opaque_vector.h"
#include "support/contracts.h"

namespace vorlith::storage {
namespace {

using Element = std::vector<std::uint8_t>;
using testing_support::fails_contract;

template <class Store>
Element read(const Store& store, std::int64_t i) {
  return Element(store.data(i), store.data(i) + store.width());
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

TEST(OpaqueBlockVector, GrowthOverCutOffSlotsReadsZero) {
  Opaque_block_vector store(12);
  store.resize(1000);
  for (int i = 0; i < 1000; ++i) std::memset(store.data(i), 0xAB, 12);
  for (std::int64_t n : {10, 400, 700, 1000}) store.resize(n);  // a kept block, then new ones
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(read(store, i), Element(12, i < 10 ? 0xAB : 0)) << i;
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

template <class Store>
void follow_reference(Store& store, std::int64_t per_block) {
  const std::int64_t width = store.width();
  std::mt19937 random(static_cast<unsigned>(width));
  auto below = [&](std::int64_t n) {
    return std::uniform_int_distribution<std::int64_t>(0, n)(random);
  };
  std::vector<Element> reference;
  for (int step = 0; step < 120; ++step) {
    const std::int64_t size = static_cast<std::int64_t>(reference.size()), position = below(size);
    const std::int64_t count =
        position < size ? 1 + below(std::min(size - position - 1, per_block + 2)) : 0;
    switch (below(3)) {
      case 0:
        store.insert_zeroed(position, count);
        reference.insert(reference.begin() + position, count, Element(width, 0));
        break;
      case 1:
        if (count > 0) store.erase(position, count);
        reference.erase(reference.begin() + position, reference.begin() + position + count);
        break;
      case 2:
        store.resize(below(3 * per_block + 2));
        reference.resize(store.size(), Element(width, 0));
        break;
      default:  // marks elements so that every moved byte is checked
        for (std::int64_t i = position; i < position + count; ++i) {
          for (auto& byte : reference[i]) byte = static_cast<std::uint8_t>(below(255));
          std::memcpy(store.data(i), reference[i].data(), width);
        }
    }
    ASSERT_EQ(store.size(), static_cast<std::int64_t>(reference.size())) << step;
    for (std::int64_t i = 0; i < store.size(); ++i) ASSERT_EQ(read(store, i), reference[i]) << step;
  }
}

// Widths that divide the block, leave a tail in it, or fill it whole.
class OpaqueStoreOperations : public ::testing::TestWithParam<std::int64_t> {};

TEST_P(OpaqueStoreOperations, FollowAReference) {
  Opaque_block_vector block_store(GetParam());
  follow_reference(block_store, block_store.get_elements_per_block());
  Opaque_vector contiguous_store(GetParam());
  follow_reference(contiguous_store, 4096 / GetParam());
}

INSTANTIATE_TEST_SUITE_P(Widths, OpaqueStoreOperations, ::testing::Values(1, 12, 100, 1000, 4096));

}  // namespace
}  // namespace vorlith::storage
