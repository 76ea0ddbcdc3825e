// The debug dump file: a 25-byte header (type tag, element count, two reserved words)
// followed by the raw elements of an int64, uint64, float or double vector.

#include <vorlith/multi_vector.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <type_traits>

#include "runtime/contracts.h"
#include "storage/multi_vector_access.h"
#include "types/type_list.h"

namespace vorlith::integration {

using storage::cursor;
using storage::for_each_run;

namespace {

// Elements are stored as their in-memory bytes, which the file defines as little-endian.
static_assert(std::endian::native == std::endian::little,
              "the dump file holds little-endian elements");

constexpr std::size_t header_bytes = 25;

// Elements read per request: 8192 bytes' worth.
constexpr std::int64_t read_piece_bytes = 8192;

// The file's tag for a vector type, or -1 when the type cannot be dumped.
int dump_tag(const Legacy_type& type) {
  return types::visit_type(type, [](auto tag) {
    if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
      return -1;
    } else {
      using T = typename decltype(tag)::type;
      if constexpr (std::is_same_v<T, std::int64_t>)
        return 0;
      else if constexpr (std::is_same_v<T, std::uint64_t>)
        return 1;
      else if constexpr (std::is_same_v<T, float>)
        return 2;
      else if constexpr (std::is_same_v<T, double>)
        return 3;
      else
        return -1;
    }
  });
}

struct File_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, File_closer>;

File open_file(const std::string& path, const char* mode, const char* purpose) {
  File file(std::fopen(path.c_str(), mode));
  if (!file)
    throw std::runtime_error(std::string("Cannot open dump file for ") + purpose + ": " + path);
  return file;
}

void write_bytes(std::FILE* file, const void* data, std::size_t bytes, const std::string& path) {
  if (bytes != 0 && std::fwrite(data, 1, bytes, file) != bytes)
    throw std::runtime_error("Write failed: " + path);
}

}  // namespace

void Multi_vector::debug_write_to_file(const std::string& path) const {
  const int tag = dump_tag(type_);
  VORLITH_ENSURES(tag >= 0, "debug_write_to_file: type code ",
                  static_cast<int>(type_.get_data_type()),
                  " is not int64, uint64, float or double");
  File file = open_file(path, "wb", "writing");

  unsigned char header[header_bytes] = {};
  header[0] = static_cast<unsigned char>(tag);
  const auto count = static_cast<std::uint64_t>(length_);
  for (int b = 0; b < 8; ++b) header[1 + b] = static_cast<unsigned char>(count >> (8 * b));
  write_bytes(file.get(), header, header_bytes, path);

  const auto size = static_cast<std::size_t>(element_size_);
  for_each_run(
      length_,
      [&](std::int64_t n, const void* p) {
        write_bytes(file.get(), p, static_cast<std::size_t>(n) * size, path);
      },
      cursor(*this, 0));

  // Buffered data only reaches the file on close, so a failing close is a failed write.
  if (std::fclose(file.release()) != 0) throw std::runtime_error("Write failed: " + path);
}

void Multi_vector::debug_read_from_file(const std::string& path) {
  const int tag = dump_tag(type_);
  VORLITH_ENSURES(tag >= 0, "debug_read_from_file: type code ",
                  static_cast<int>(type_.get_data_type()),
                  " is not int64, uint64, float or double");
  set_length(0);
  File file = open_file(path, "rb", "reading");

  unsigned char header[header_bytes];
  if (std::fread(header, 1, header_bytes, file.get()) != header_bytes) return;
  if (header[0] != tag) return;
  std::uint64_t count = 0;
  for (int b = 0; b < 8; ++b) count |= static_cast<std::uint64_t>(header[1 + b]) << (8 * b);

  // The vector grows by what each read delivers, never by what the header announces, so
  // a header that promises more than the file holds cannot cause a huge allocation.
  const std::int64_t size = element_size_;
  const std::int64_t piece = read_piece_bytes / size;
  alignas(8) unsigned char buffer[read_piece_bytes];
  std::uint64_t done = 0;
  while (done < count) {
    const auto wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>(count - done, static_cast<std::uint64_t>(piece)));
    const std::size_t got = std::fread(buffer, static_cast<std::size_t>(size), wanted, file.get());
    if (got == 0) throw std::runtime_error("Read failed");
    const std::int64_t at = length_;
    set_length(at + static_cast<std::int64_t>(got));
    const unsigned char* source = buffer;
    for_each_run(
        static_cast<std::int64_t>(got),
        [&](std::int64_t n, void* p) {
          std::memcpy(p, source, static_cast<std::size_t>(n * size));
          source += n * size;
        },
        cursor(*this, at));
    done += got;
  }
}

}  // namespace vorlith::integration
