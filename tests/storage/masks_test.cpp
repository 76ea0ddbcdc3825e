#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <string>
#include <vector>

#include "storage/bitset_chunks.h"
#include "support/contracts.h"
#include "support/small_blocks.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

constexpr double D = -1e32;
const std::int16_t D16 = vorlith::types::typed_dummy<std::int16_t>();

TEST(ApplyMask, ShortMaskSubRangeAndGrowth) {
  Multi_vector v = make_doubles({1, 2, 3, 4, 5});
  const Multi_vector mask = make_vector<std::int16_t>({0, D16, 7}, true);
  v.apply_mask(mask, 0, -1);  // reaches the end of the mask only
  EXPECT_EQ(values_of<double>(v), (std::vector<double>{1, D, 3, 4, 5}));

  Multi_vector grows = make_doubles({1});
  const Multi_vector long_mask = make_vector<std::int16_t>({0, 0, D16, 0}, false);
  grows.apply_mask(long_mask, 1, 3);
  EXPECT_EQ(values_of<double>(grows), (std::vector<double>{1, 0, D, 0}));

  Multi_vector text = make_opaque({"a", "b", "c"}, 9, false);
  text.apply_mask(make_opaque({"x", "*", ""}, 3, false), 1, 2);
  EXPECT_TRUE(opaque_text(text, 0) == "a" && text.is_element_dummy(1) && text.is_element_dummy(2));
}

TEST(ApplyMask, ValueMaskIncludingSelfMaskAndPoints) {
  Multi_vector v = make_doubles({2, 1, 2, 3});
  const double two = 2;
  v.apply_mask_value(v, &two, 0, -1);
  EXPECT_EQ(values_of<double>(v), (std::vector<double>{D, 1, D, 3}));

  using P = vorlith::common::Point_2d<float>;
  const float fd = vorlith::types::typed_dummy<float>();
  const Multi_vector points = make_vector<P>({{1, 2}, {fd, 0}, {1, 2.5f}}, true);
  Multi_vector target = make_vector<std::uint8_t>({1, 2, 3}, false);
  const P dummy_point{0, fd};  // equal to every dummy point
  target.apply_mask_value(points, &dummy_point, 0, -1);
  EXPECT_EQ(values_of<std::uint8_t>(target), (std::vector<std::uint8_t>{1, 255, 3}));

  Multi_vector text = make_opaque({"ab", "ab ", "ab"}, 4, false);
  const char ab[4] = {'a', 'b', 0, 0};
  text.apply_mask_value(text, ab, 0, -1);  // all bytes must match
  EXPECT_TRUE(text.is_element_dummy(0));
  EXPECT_EQ(opaque_text(text, 1), "ab ");
}

TEST(EraseMask, KeepsOrderAndShiftsTheTail) {
  for (bool block : {false, true}) {
    const Multi_vector mask = make_doubles({1, D, 3, D}, !block);
    Multi_vector v = make_opaque({"a", "b", "c", "d"}, 5, block);
    v.erase_mask(mask, true, 0, -1);
    ASSERT_EQ(v.get_length(), 2);
    EXPECT_EQ(opaque_text(v, 0) + opaque_text(v, 1), "ac");
    Multi_vector w = make_opaque({"a", "b", "c", "d"}, 5, block);
    w.erase_mask(mask, false, 0, -1);
    EXPECT_EQ(opaque_text(w, 0) + opaque_text(w, 1), "bd");

    Multi_vector sub = make_doubles({0, 1, 2, 3, 4, 5}, block);
    sub.erase_mask(make_doubles({9, D, 9, D, 9, 9}), true, 1, 3);  // erases 1 and 3
    EXPECT_EQ(values_of<double>(sub), (std::vector<double>{0, 2, 4, 5}));
    // The vector as its own mask, over several blocks.
    std::vector<double> values(3 * 512 + 11), kept;
    for (std::size_t i = 0; i < values.size(); ++i) {
      values[i] = i % 3 == 1 ? D : static_cast<double>(i);
      if (i % 3 != 1) kept.push_back(values[i]);
    }
    Multi_vector self = make_doubles(values, block);
    self.erase_mask(self, true, 0, -1);
    EXPECT_EQ(values_of<double>(self), kept);
  }
}

TEST(Bitmask, SetAndApplyOnSubRanges) {
  Multi_vector v = make_vector<std::int16_t>({1, 2, 3, D16, 5, D16, 7, 8, 9, 10}, true);
  boost::dynamic_bitset<unsigned long> bits;
  v.set_bitmask(bits, 3, 4);
  ASSERT_EQ(bits.size(), 7u);
  EXPECT_EQ(bits.to_ulong(), 0b1010000ul);  // bits 4 and 6 set; 0..2 untouched and clear

  bits.set();
  v.and_bitmask(bits, 0, -1);  // grows to 10 bits; never sets a bit
  ASSERT_EQ(bits.size(), 10u);
  EXPECT_EQ(bits.to_ulong(), 0b0001010111ul);
  boost::dynamic_bitset<unsigned long> clear(10);
  v.and_bitmask(clear, 0, -1);
  EXPECT_TRUE(clear.none());
  // The reserved n-forms change nothing.
  Multi_vector::and_bitmask_n(bits, 0, 10);
  Multi_vector::dummy_repeat_n(0, 10, DUMMY_REPEAT_MODE::dummy_repeat_previous);
  EXPECT_EQ(bits.to_ulong(), 0b0001010111ul);

  Multi_vector target = make_doubles({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, true);
  target.apply_bitmask(bits, 2, 5);
  EXPECT_EQ(values_of<double>(target), (std::vector<double>{1, 2, 3, D, 5, D, 7, 8, 9, 10}));
}

TEST(Bitmask, ChunkBordersFallOnWordsAndPartitionTheRange) {
  const std::int64_t word = vorlith::storage::Bitset::bits_per_block;
  for (std::int64_t start : {0, 5, 64, 100}) {
    for (std::int64_t end : {start, start + 3, start + 64, start + 1000}) {
      std::int64_t previous = start;
      for (std::int64_t border = start; border <= end; ++border) {
        const std::int64_t b = vorlith::storage::bitset_chunk_border(border, start, end);
        ASSERT_TRUE(b == start || b == end || b % word == 0) << b;
        ASSERT_GE(b, previous);
        ASSERT_GE(b, border);
        previous = b;
      }
      EXPECT_EQ(vorlith::storage::bitset_chunk_border(start, start, end), start);
      EXPECT_EQ(vorlith::storage::bitset_chunk_border(end, start, end), end);
    }
  }
}

// The driver's chunk borders (every 500 elements or so) fall inside 64-bit words. The
// results of and_bitmask and apply_bitmask over several chunks: tests/hardening.
TEST(Bitmask, ParallelWritesLoseNoBit) {
  const Small_blocks chunks(37, 4);
  const std::int64_t n = 2000;
  std::vector<double> values(n);
  for (std::int64_t i = 0; i < n; ++i) values[i] = (i * 7919) % 3 == 0 ? D : 1.0;
  boost::dynamic_bitset<unsigned long> bits;
  make_doubles(values).set_bitmask(bits, 3, -1);
  for (std::int64_t i = 0; i < n; ++i) ASSERT_EQ(bits.test(i), i >= 3 && values[i] != D) << i;
}

TEST(ExtendMaskPos, TrimsAndContinuesThePositionsLinearly) {
  Multi_vector mask = make_doubles({D, 1, 1, D});
  Multi_vector position = make_doubles({0, 10, 20, 30}, true);
  Multi_vector::extend_mask_pos(position, mask, 10, 2);
  EXPECT_EQ(values_of<double>(mask), (std::vector<double>(6, 1.0)));
  EXPECT_EQ(values_of<double>(position), (std::vector<double>{-10, 0, 10, 20, 30, 40}));

  // Decreasing positions keep decreasing; an integer channel gets converted values.
  Multi_vector small_mask = make_vector<std::int16_t>({1, 1, D16, D16}, false);
  Multi_vector decreasing = make_vector<std::int32_t>({50, 40, 30, 20}, false);
  Multi_vector::extend_mask_pos(decreasing, small_mask, 5, 1);
  EXPECT_EQ(values_of<std::int32_t>(decreasing), (std::vector<std::int32_t>{55, 50, 40, 35}));
  EXPECT_EQ(values_of<std::int16_t>(small_mask), (std::vector<std::int16_t>{1, 1, 1, 1}));
}

TEST(ExtendMaskPos, AllDummyMaskAndBadArgumentsChangeNothing) {
  Multi_vector mask = make_doubles({D, D});
  Multi_vector position = make_doubles({1, 2});
  Multi_vector::extend_mask_pos(position, mask, 1, 3);
  EXPECT_EQ(values_of<double>(position), (std::vector<double>{1, 2}));
  EXPECT_EQ(mask.get_length(), 2);

  Multi_vector live = make_doubles({D, 1, D});
  Multi_vector three = make_doubles({1, 2, 3});
  Multi_vector text = make_opaque({"a", "b", "c"}, 4, false);
  EXPECT_TRUE(fails_contract([&] { Multi_vector::extend_mask_pos(text, live, 1, 1); },
                             "extend_mask_pos: the position channel is opaque"));
  EXPECT_TRUE(fails_contract([&] { Multi_vector::extend_mask_pos(three, text, 1, 1); },
                             "extend_mask_pos: the mask is opaque"));
  EXPECT_TRUE(fails_contract([&] { Multi_vector::extend_mask_pos(position, live, 1, 1); },
                             "extend_mask_pos: position length 2 differs from mask length 3"));
  EXPECT_EQ(values_of<double>(three), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(live.get_length(), 3);
}

TEST(EraseDummiesN, ErasesFromEveryVectorInTurn) {
  Multi_vector a = make_doubles({1, D, 3});
  Multi_vector b = make_vector<std::int16_t>({D16, D16, 5, 6}, true);
  Multi_vector* vectors[] = {&a, &b};
  Multi_vector::erase_dummies_n(vectors, 2, 0, -1);
  EXPECT_EQ(values_of<double>(a), (std::vector<double>{1, 3}));
  EXPECT_EQ(values_of<std::int16_t>(b), (std::vector<std::int16_t>{5, 6}));
  EXPECT_TRUE(fails_contract([&] { Multi_vector::erase_dummies_n(vectors, 0, 0, -1); },
                             "erase_dummies_n: vector count 0 is not positive"));
}

}  // namespace
