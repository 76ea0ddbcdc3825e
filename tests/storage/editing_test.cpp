#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "support/contracts.h"
#include "support/element_cases.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

std::vector<std::int16_t> int16s(const Multi_vector& v) { return values_of<std::int16_t>(v); }
constexpr std::int16_t d16 = vorlith::common::dummy_value<std::int16_t>;

// Every editing operation on every element type and both modes, with ranges that
// start and end inside blocks, against the same edit of a std::vector of elements.
TEST(Editing, EveryTypeMatchesAVectorModel) {
  for (const Legacy_type& type : every_element_type()) {
    const std::int64_t n = three_blocks(type);
    const std::int64_t per_block = 4096 / type.get_element_size();
    const auto base = sample_elements(type, n);
    const auto is_dummy = [&](const Bytes& e) { return type.is_dummy(e.data()); };
    for (bool block : {false, true}) {
      SCOPED_TRACE(type.get_name() + (block ? " block" : " contiguous"));
      const std::int64_t a = per_block / 2 + 1, count = per_block + 3;

      Multi_vector v = vector_of(type, base, block);
      auto model = base;
      const auto fresh = [&] {
        v = vector_of(type, base, block);
        model = base;
      };
      v.copy(a + 2, a, count);  // overlapping, upwards
      std::copy_backward(base.begin() + a, base.begin() + a + count, model.begin() + a + 2 + count);
      ASSERT_EQ(elements_of(v), model);
      v.copy(a, a + 2, count);  // overlapping, downwards
      std::copy(model.begin() + a + 2, model.begin() + a + 2 + count, model.begin() + a);
      ASSERT_EQ(elements_of(v), model);

      fresh();
      v.append(v);
      model.insert(model.end(), base.begin(), base.end());
      ASSERT_EQ(elements_of(v), model);

      fresh();
      v.erase_dummies(1, n - 3);
      model.erase(std::remove_if(model.begin() + 1, model.end() - 2, is_dummy), model.end() - 2);
      ASSERT_EQ(elements_of(v), model);

      v = vector_of(type, base, block);
      v.decimate(3);
      model.clear();
      for (std::int64_t k = 0; k < n; k += 3) model.push_back(base[static_cast<std::size_t>(k)]);
      ASSERT_EQ(elements_of(v), model);

      v.expand(3);
      std::vector<Bytes> expanded;
      for (const Bytes& e : model) expanded.insert(expanded.end(), 3, e);
      ASSERT_EQ(elements_of(v), expanded);

      fresh();
      v.reverse(a, n - a - 1);
      std::reverse(model.begin() + a, model.end() - 1);
      ASSERT_EQ(elements_of(v), model);

      v.erase(a, count);
      model.erase(model.begin() + a, model.begin() + a + count);
      ASSERT_EQ(elements_of(v), model);

      v.insert_dummies(a, count);
      Bytes dummy(static_cast<std::size_t>(type.get_element_size()), '\0');
      type.set_dummy(dummy.data());
      model.insert(model.begin() + a, static_cast<std::size_t>(count), dummy);
      ASSERT_EQ(elements_of(v), model);

      const Multi_vector other = vector_of(type, base, !block);
      v.insert(1, other, 2, count);
      model.insert(model.begin() + 1, base.begin() + 2, base.begin() + 2 + count);
      ASSERT_EQ(elements_of(v), model);

      // Random inserts, erases, length changes and writes of random bytes reach every
      // store's own editing: new slots and slots exposed again read as zero bytes.
      std::mt19937 random(static_cast<unsigned>(n));
      const auto below = [&](std::int64_t k) {
        return std::uniform_int_distribution<std::int64_t>(0, k)(random);
      };
      const Bytes zero(static_cast<std::size_t>(type.get_element_size()), '\0');
      ASSERT_EQ(elements_of(Multi_vector(type, block, 2)), std::vector<Bytes>(2, zero));
      for (int step = 0; step < 80; ++step) {
        const std::int64_t size = v.get_length(), at = below(size);
        const std::int64_t k = below(std::min(size - at, per_block + 2));
        const auto first = model.begin() + at;
        switch (below(3)) {
          case 0:
            v.insert_dummies(at, k);
            model.insert(first, static_cast<std::size_t>(k), dummy);
            break;
          case 1:
            v.erase(at, k);
            model.erase(first, first + k);
            break;
          case 2:
            v.set_length(below(3 * per_block + 2));
            model.resize(static_cast<std::size_t>(v.get_length()), zero);
            break;
          default:
            for (auto e = first; e != first + k; ++e) {
              for (char& byte : *e) byte = static_cast<char>(below(255));
              v.set(e - model.begin(), e->data());
            }
        }
        ASSERT_EQ(elements_of(v), model) << step;
      }
    }
  }
}

TEST(Editing, CopiesConvertAndResize) {
  for (bool block : {false, true}) {
    const Multi_vector src = make_doubles({1.4, -2.5, -1e32, 3e12}, !block);
    Multi_vector ints(type_int32, block, 9);
    ints.copy(src);
    EXPECT_EQ(
        values_of<std::int32_t>(ints),
        (std::vector<std::int32_t>{1, -3, vorlith::common::dummy_value<std::int32_t>, 2147483647}));

    Multi_vector v = make_vector<std::int16_t>({0, 1, 2, 3, 4, 5}, block);
    v.copy(3, 0, 5);
    EXPECT_EQ(int16s(v), (std::vector<std::int16_t>{0, 1, 2, 0, 1, 2, 3, 4}));
    v.copy(0, 2, -1);
    EXPECT_EQ(int16s(v), (std::vector<std::int16_t>{2, 0, 1, 2, 3, 4, 3, 4}));

    const Multi_vector ten = make_vector<std::int16_t>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, block);
    Multi_vector strided(type_double, block, 0);
    strided.copy_stride(0, ten, 1, -1, 3);
    EXPECT_EQ(values_of<double>(strided), (std::vector<double>{1, 4, 7}));
    const Multi_vector nine = make_vector<std::int16_t>({0, 1, 2, 3, 4, 5, 6, 7, 8}, block);
    EXPECT_TRUE(fails_contract([&] { strided.copy_stride(0, nine, 0, 4, 3); },
                               "validate_input_range: start 0 and count 10 pass the length 9"));
    // A stride far beyond the vector is fine for one element, also into the same vector.
    const std::int64_t huge = std::numeric_limits<std::int64_t>::max() - 2;
    strided.copy_stride(1, nine, 8, 1, huge);
    strided.copy_stride(0, strided, 1, 1, huge);
    EXPECT_EQ(values_of<double>(strided), (std::vector<double>{8, 8, 7}));
    // Longer than a piece of 8192 values, raw and converted.
    std::vector<double> many(20001);
    std::iota(many.begin(), many.end(), 0.0);
    // Into the front of a longer vector, whose tail stays as it was.
    for (auto code : {type_double, type_float}) {
      std::vector<double> expected(12000, 7.0);
      Multi_vector out(code, block, 0);
      out.set_range_double(0, 12000, expected.data());
      out.copy_stride(0, make_doubles(many, !block), 1, -1, 2);
      for (std::size_t k = 0; k < 10000; ++k) expected[k] = many[2 * k + 1];
      EXPECT_EQ(doubles_of(out), expected);
    }

    Multi_vector a = make_vector<std::int16_t>({1, 2}, block);
    a.insert(2, ten, 0, -1);
    a.extend(2);
    EXPECT_EQ(int16s(a),
              (std::vector<std::int16_t>{d16, d16, 1, 2, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, d16, d16}));
    EXPECT_TRUE(fails_contract([&] { a.insert(0, a, 0, 1); }, "insert: the source is this vector"));
    EXPECT_TRUE(
        fails_contract([&] { a.insert_dummies(0, -1); }, "insert_dummies: count -1 is negative"));
    EXPECT_TRUE(fails_contract([&] { a.expand(0); }, "expand: n 0 is below 1"));
  }
}

TEST(Editing, SmallCasesAtTheEdges) {
  Multi_vector five = make_vector<std::int16_t>({0, 1, 2, 3, 4}, false);
  // A range past the end fails instead of writing beyond the vector.
  five.reverse(0, -1);  // count -1 is no count here, not "to the end"
  EXPECT_EQ(int16s(five), (std::vector<std::int16_t>{0, 1, 2, 3, 4}));
  five.reverse();
  EXPECT_EQ(int16s(five), (std::vector<std::int16_t>{4, 3, 2, 1, 0}));
  Multi_vector one = make_vector<std::int16_t>({7}, false);
  one.reverse();
  one.reverse(5, 9);
  EXPECT_EQ(int16s(one), std::vector<std::int16_t>{7});

  Multi_vector empty(type_double, false, 0);
  empty.expand(4);
  empty.decimate(4);
  empty.erase_dummies(0, -1);
  EXPECT_EQ(empty.get_length(), 0);
}

}  // namespace
