#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
namespace fs = std::filesystem;

using File_bytes = std::vector<unsigned char>;

class DumpFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vorlith_dump_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  static File_bytes read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static void write(const std::string& p, const File_bytes& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  // A header as the format defines it: tag, little-endian count, two zero words.
  static File_bytes header(unsigned char tag, std::uint64_t count) {
    File_bytes h(25, 0);
    h[0] = tag;
    for (int b = 0; b < 8; ++b) h[1 + b] = static_cast<unsigned char>(count >> (8 * b));
    return h;
  }
  template <class T>
  static void add(File_bytes& file, T value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    file.insert(file.end(), bytes, bytes + sizeof(T));
  }

  fs::path dir_;
};

TEST_F(DumpFile, WritesTheExactLayoutAndReadsOnlyItsOwnType) {
  // Each dumpable type across several blocks, both modes, read back in the other mode.
  const auto check = [&](unsigned char tag, auto element) {
    using T = decltype(element);
    std::vector<T> values(1500);
    File_bytes file = header(tag, values.size());
    for (std::size_t k = 0; k < values.size(); ++k)
      add(file, values[k] = static_cast<T>(k * 1000003) - element);
    for (bool block : {false, true}) {
      make_vector(values, block).debug_write_to_file(path("v"));
      EXPECT_EQ(read(path("v")), file);
      Multi_vector back(vorlith::types::type_traits<T>::code, !block, 4);
      back.debug_read_from_file(path("v"));
      EXPECT_TRUE(values_of<T>(back) == values && back.is_block_vector() == !block);
      Multi_vector other(tag == 2 ? type_double : type_float, block, 3);
      other.debug_read_from_file(path("v"));
      EXPECT_EQ(other.get_length(), 0);
    }
  };
  check(0, std::int64_t{7});
  check(1, std::uint64_t{0});
  check(2, 1.5f);
  check(3, 0.25);
  Multi_vector(type_double, true, 0).debug_write_to_file(path("empty"));
  EXPECT_EQ(read(path("empty")), header(3, 0));

  Multi_vector i32(type_int32, false, 2), text(Legacy_type(std::int64_t{4}), true, 1);
  for (const auto& [vector, code] : {std::pair{&i32, "4"}, {&text, "14"}}) {
    Multi_vector* v = vector;  // clang 14 cannot capture a structured binding
    const std::string reason =
        std::string("type code ") + code + " is not int64, uint64, float or double";
    EXPECT_TRUE(fails_contract([&] { v->debug_write_to_file(path("never")); },
                               "debug_write_to_file: " + reason));
    EXPECT_TRUE(fails_contract([&] { v->debug_read_from_file(path("v")); },
                               "debug_read_from_file: " + reason));
  }
  EXPECT_FALSE(fs::exists(path("never")));
  EXPECT_EQ(i32.get_length(), 2);
}

// A runtime_error whose message contains the text.
template <class Fn>
::testing::AssertionResult fails_with(Fn&& fn, const std::string& text) {
  try {
    fn();
  } catch (const std::runtime_error& e) {
    if (std::string(e.what()).find(text) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << e.what();
  }
  return ::testing::AssertionFailure() << "no error";
}

TEST_F(DumpFile, BadFiles) {
  const std::string missing = path("no_such_dir/file");
  for (bool block : {false, true}) {
    Multi_vector v = make_doubles({1, 2}, block);
    EXPECT_TRUE(fails_with([&] { v.debug_read_from_file(missing); }, missing));
    EXPECT_TRUE(
        fails_with([&] { make_doubles({1}, block).debug_write_to_file(missing); }, missing));

    File_bytes short_header = header(3, 1);
    short_header.resize(10);
    write(path("short"), short_header);
    v = make_doubles({1, 2}, block);
    v.debug_read_from_file(path("short"));
    EXPECT_EQ(v.get_length(), 0);

    // Truncated bodies: the elements read so far stay and the length matches them.
    // A header that announces far more than memory holds grows only with the data.
    for (std::uint64_t announced : {std::uint64_t{10}, std::uint64_t{1} << 60, ~std::uint64_t{0}}) {
      File_bytes truncated = header(3, announced);
      for (double x : {1.0, 2.0, 3.0}) add(truncated, x);
      truncated.push_back(0x7f);  // part of a fourth element
      write(path("truncated"), truncated);
      EXPECT_TRUE(fails_with([&] { v.debug_read_from_file(path("truncated")); }, "Read failed"));
      EXPECT_EQ(values_of<double>(v), (std::vector<double>{1, 2, 3}));
    }

    // A full device: the write fails at the latest when the buffered bytes are flushed.
    std::vector<double> many(100000, 1.5);
    Multi_vector large(type_double, block, 0);
    large.set_range_double(0, static_cast<std::int64_t>(many.size()), many.data());
    EXPECT_TRUE(
        fails_with([&] { large.debug_write_to_file("/dev/full"); }, "Write failed: /dev/full"));
    EXPECT_TRUE(fails_with([&] { make_doubles({1}, block).debug_write_to_file("/dev/full"); },
                           "Write failed: /dev/full"));
  }
}

}  // namespace
