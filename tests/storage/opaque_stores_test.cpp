#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <vorlith/fail_fast.h>

#include "storage/opaque_block_vector.h"
#include "storage/opaque_vector.h"

namespace vorlith::storage {
namespace {

using Element = std::vector<std::uint8_t>;

template <class Store>
Element read(const Store& store, std::int64_t i) {
  const std::uint8_t* bytes = store.data(i);
  return Element(bytes, bytes + store.width());
}

template <class Store>
void write_text(Store& store, std::int64_t i, const std::string& text) {
  std::memset(store.data(i), 0, store.width());
  std::memcpy(store.data(i), text.data(), std::min<std::size_t>(text.size(), store.width()));
}

template <class Store>
std::string read_text(const Store& store, std::int64_t i) {
  const char* bytes = reinterpret_cast<const char*>(store.data(i));
  return std::string(bytes, strnlen(bytes, store.width()));
}

void expect_contract_failure(const char* file, const std::function<void()>& action) {
  try {
    action();
    ADD_FAILURE() << "no contract failure";
  } catch (const gsl::fail_fast& failure) {
    const std::string message = failure.what();
    const std::string prefix = std::string("GSL: Precondition failure at ") + file + ": ";
    EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
  }
}

TEST(OpaqueBlockVector, ElementsNeverStraddleBlocks) {
  Opaque_block_vector store(100);
  EXPECT_EQ(store.get_elements_per_block(), 40);
  EXPECT_EQ(store.block_count(), 1);
  EXPECT_EQ(store.size(), 0);
  store.resize(41);
  EXPECT_EQ(store.block_count(), 2);
  EXPECT_EQ(store.data(0) + 39 * 100, store.data(39));
  EXPECT_EQ(store.elements_remaining_in_block(39), 1);
  EXPECT_EQ(store.elements_remaining_in_block(40), 1);
  store.resize(200);
  EXPECT_EQ(store.block_count(), 5);
  EXPECT_EQ(store.elements_remaining_in_block(40), 40);
  EXPECT_EQ(store.data(40) + 100, store.data(41));
  store.resize(0);
  EXPECT_EQ(store.block_count(), 0);

  Opaque_block_vector whole_block(4096);
  whole_block.resize(3);
  EXPECT_EQ(whole_block.get_elements_per_block(), 1);
  EXPECT_EQ(whole_block.block_count(), 3);
  EXPECT_EQ(whole_block.elements_remaining_in_block(1), 1);
}

TEST(OpaqueBlockVector, TextsSurviveEraseAndInsertAcrossBlocks) {
  Opaque_block_vector store(12);  // 341 per block, so 400 elements take two blocks
  store.resize(400);
  for (int i = 0; i < 400; ++i) write_text(store, i, "text " + std::to_string(i));

  store.erase(0, 1);
  ASSERT_EQ(store.size(), 399);
  for (int i = 0; i < 399; ++i) ASSERT_EQ(read_text(store, i), "text " + std::to_string(i + 1));

  store.insert_zeroed(0, 5);
  store.insert_zeroed(404, 5);
  ASSERT_EQ(store.size(), 409);
  for (int i = 0; i < 409; ++i) {
    const bool zero = i < 5 || i >= 404;
    ASSERT_EQ(read_text(store, i), zero ? "" : "text " + std::to_string(i - 4)) << i;
    if (zero) {
      ASSERT_EQ(read(store, i), Element(12, 0)) << i;
    }
  }
}

TEST(OpaqueBlockVector, GrowthOverCutOffSlotsReadsZero) {
  Opaque_block_vector store(12);
  store.resize(1000);
  for (int i = 0; i < 1000; ++i) std::memset(store.data(i), 0xAB, 12);
  store.resize(10);   // stale slots left inside the kept first block
  store.resize(400);  // and a block dropped, then added again
  store.resize(700);
  store.resize(1000);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(read(store, i), i < 10 ? Element(12, 0xAB) : Element(12, 0)) << i;
}

TEST(OpaqueVector, ElementsArePackedEndToEnd) {
  Opaque_vector store(7);
  store.resize(3);
  EXPECT_EQ(store.size(), 3);
  EXPECT_EQ(store.data(0) + 14, store.data(2));
  EXPECT_EQ(store.elements_remaining(1), 2);
  for (int i = 0; i < 3; ++i) write_text(store, i, std::to_string(i));
  store.insert_zeroed(1, 2);
  store.insert_zeroed(5, 1);
  ASSERT_EQ(store.size(), 6);
  const char* expected[] = {"0", "", "", "1", "2", ""};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(read_text(store, i), expected[i]);
  store.erase(1, 3);
  EXPECT_EQ(store.size(), 3);
  EXPECT_EQ(read_text(store, 1), "2");
}

TEST(OpaqueStores, BadArgumentsFailBeforeAnythingChanges) {
  const char* contiguous = "src/storage/opaque_vector.cpp";
  Opaque_vector vector(8);
  vector.resize(5);
  expect_contract_failure(contiguous, [&] { vector.resize(-1); });
  expect_contract_failure(contiguous, [&] { (void)vector.data(5); });
  expect_contract_failure(contiguous, [&] { (void)vector.data(-1); });
  expect_contract_failure(contiguous, [&] { (void)vector.elements_remaining(5); });
  expect_contract_failure(contiguous, [&] { vector.insert_zeroed(6, 1); });
  expect_contract_failure(contiguous, [&] { vector.insert_zeroed(0, -1); });
  expect_contract_failure(contiguous, [&] { vector.erase(5, 1); });
  expect_contract_failure(contiguous, [&] { vector.erase(0, 0); });
  expect_contract_failure(contiguous, [&] { vector.erase(3, 3); });
  expect_contract_failure(contiguous, [&] { vector.erase(1, INT64_MAX); });
  EXPECT_EQ(vector.size(), 5);

  const char* blocks = "src/storage/opaque_block_vector.cpp";
  Opaque_block_vector block_vector(8);
  block_vector.resize(600);
  expect_contract_failure(blocks, [&] { block_vector.resize(-1); });
  expect_contract_failure(blocks, [&] { (void)block_vector.data(600); });
  expect_contract_failure(blocks, [&] { (void)block_vector.elements_remaining_in_block(-1); });
  expect_contract_failure(blocks, [&] { block_vector.insert_zeroed(601, 1); });
  expect_contract_failure(blocks, [&] { block_vector.insert_zeroed(0, -1); });
  expect_contract_failure(blocks, [&] { block_vector.erase(600, 1); });
  expect_contract_failure(blocks, [&] { block_vector.erase(0, 0); });
  expect_contract_failure(blocks, [&] { block_vector.erase(1, INT64_MAX); });
  expect_contract_failure(blocks, [] { Opaque_block_vector{0}; });
  EXPECT_EQ(block_vector.size(), 600);
  EXPECT_EQ(block_vector.block_count(), 2);

  EXPECT_THROW(vector.resize(INT64_MAX), std::length_error);
  EXPECT_THROW(block_vector.resize(INT64_MAX), std::length_error);
  EXPECT_THROW(block_vector.insert_zeroed(0, INT64_MAX), std::length_error);
  EXPECT_EQ(block_vector.size(), 600);
}

// Random edits on both stores against a vector of byte strings, for widths that
// divide the block, leave a tail, or fill it whole.
class OpaqueStoreOperations : public ::testing::TestWithParam<std::int64_t> {};

template <class Store>
void follow_reference(Store& store, std::int64_t per_block) {
  const std::int64_t width = store.width();
  std::mt19937 random(static_cast<unsigned>(width));
  auto below = [&](std::int64_t n) { return std::uniform_int_distribution<std::int64_t>(0, n)(random); };
  std::vector<Element> reference;
  std::uint8_t next = 0;
  for (int step = 0; step < 120; ++step) {
    const std::int64_t size = static_cast<std::int64_t>(reference.size());
    switch (below(3)) {
      case 0: {
        const std::int64_t position = below(size), count = below(per_block + 2);
        store.insert_zeroed(position, count);
        reference.insert(reference.begin() + position, count, Element(width, 0));
        break;
      }
      case 1:
        if (size > 0) {
          const std::int64_t position = below(size - 1);
          const std::int64_t count = 1 + below(std::min(size - position - 1, per_block + 2));
          store.erase(position, count);
          reference.erase(reference.begin() + position, reference.begin() + position + count);
        }
        break;
      case 2: {
        const std::int64_t n = below(3 * per_block + 2);
        store.resize(n);
        reference.resize(n, Element(width, 0));
        break;
      }
      default: {
        // Mark a few elements so moves of every byte are visible.
        for (std::int64_t k = std::min<std::int64_t>(size, 5); k > 0; --k) {
          const std::int64_t i = below(size - 1);
          std::fill(reference[i].begin(), reference[i].end(), ++next);
          reference[i][0] = static_cast<std::uint8_t>(i);
          std::memcpy(store.data(i), reference[i].data(), width);
        }
      }
    }
    ASSERT_EQ(store.size(), static_cast<std::int64_t>(reference.size())) << step;
    for (std::int64_t i = 0; i < store.size(); ++i) ASSERT_EQ(read(store, i), reference[i]) << step << " " << i;
  }
}

TEST_P(OpaqueStoreOperations, FollowAReference) {
  const std::int64_t width = GetParam();
  Opaque_block_vector block_store(width);
  follow_reference(block_store, block_store.get_elements_per_block());
  Opaque_vector contiguous_store(width);
  follow_reference(contiguous_store, 4096 / width);
}

INSTANTIATE_TEST_SUITE_P(Widths, OpaqueStoreOperations, ::testing::Values(1, 12, 100, 1000, 4096));

}  // namespace
}  // namespace vorlith::storage
