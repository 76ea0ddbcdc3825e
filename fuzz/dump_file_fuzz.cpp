// The dump-file reader on arbitrary files: either the elements the file holds or the
// documented empty vector / "Read failed", never a read past the file or an allocation
// sized by the header; what was read writes back to the same bytes.

#include <unistd.h>
#include <vorlith/fail_fast.h>
#include <vorlith/integration.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

using namespace vorlith::integration;
using vorlith::fuzzing::Input;

constexpr std::size_t header_bytes = 25;

// A file under /dev/shm (memory, not disk) per process, so parallel fuzzers never share one.
std::string scratch_path(const char* suffix) {
  return "/dev/shm/vorlith_dump_fuzz_" + std::to_string(::getpid()) + suffix;
}

void write_file(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  VORLITH_FUZZ_CHECK(file != nullptr);
  VORLITH_FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
  VORLITH_FUZZ_CHECK(std::fclose(file) == 0);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string contents(const Multi_vector& v) {
  std::string bytes(static_cast<std::size_t>(v.get_length() * v.get_element_size()), '\0');
  if (v.get_length() > 0) v.get_range(0, v.get_length(), bytes.data());
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint8_t setup = input.byte();
  const std::string file = input.rest();
  const std::string path = scratch_path(".in");
  write_file(path, file);

  static const legacy_data_type codes[] = {type_int64,  type_uint64,         type_float,
                                           type_double, type_int32,          type_float_point_2d,
                                           type_uint8,  type_double_point_3d};
  const legacy_data_type code = codes[setup % 8];
  const bool block = (setup & 0x08) != 0;
  const std::int64_t tag = setup % 8;  // 0..3 are the dumpable types, in tag order
  Multi_vector v(Legacy_type(code), block, setup >> 4);

  if (tag > 3) {
    // Not a dumpable type: the contract fails before the file is read.
    bool failed = false;
    try {
      v.debug_read_from_file(path);
    } catch (const gsl::fail_fast&) {
      failed = true;
    }
    VORLITH_FUZZ_CHECK(failed && v.get_length() == (setup >> 4));
    return 0;
  }

  const auto element = static_cast<std::size_t>(v.get_element_size());
  bool read_failed = false;
  try {
    v.debug_read_from_file(path);
  } catch (const std::runtime_error& e) {
    VORLITH_FUZZ_CHECK(std::string(e.what()) == "Read failed");
    read_failed = true;
  }

  if (file.size() < header_bytes || static_cast<unsigned char>(file[0]) != tag) {
    VORLITH_FUZZ_CHECK(!read_failed && v.get_length() == 0);
    return 0;
  }
  std::uint64_t announced = 0;
  for (int b = 0; b < 8; ++b)
    announced |= std::uint64_t{static_cast<unsigned char>(file[1 + b])} << (8 * b);
  const std::uint64_t held = (file.size() - header_bytes) / element;
  const std::uint64_t expected = announced <= held ? announced : held;
  VORLITH_FUZZ_CHECK(read_failed == (announced > held));
  VORLITH_FUZZ_CHECK(static_cast<std::uint64_t>(v.get_length()) == expected);
  VORLITH_FUZZ_CHECK(contents(v) == file.substr(header_bytes, expected * element));

  // Written back: the same tag and elements, the count read, zero reserved words.
  const std::string out_path = scratch_path(".out");
  v.debug_write_to_file(out_path);
  std::string header(header_bytes, '\0');
  header[0] = static_cast<char>(tag);
  for (int b = 0; b < 8; ++b) header[1 + b] = static_cast<char>(expected >> (8 * b));
  VORLITH_FUZZ_CHECK(read_file(out_path) == header + contents(v));
  std::remove(out_path.c_str());
  std::remove(path.c_str());
  return 0;
}
