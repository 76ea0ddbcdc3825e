#pragma once
// Shared pieces of the fuzz targets: a reader that takes typed values from the input
// bytes (zeros once they run out) and a check that aborts, so both libFuzzer and the
// plain replay main stop on the first wrong result.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define VORLITH_FUZZ_CHECK(cond)                                                           \
  do {                                                                                     \
    if (!(cond)) {                                                                         \
      std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

namespace vorlith::fuzzing {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t remaining() const { return size_ - at_; }
  bool empty() const { return at_ == size_; }

  template <class T>
  T take() {
    T value{};
    const std::size_t n = sizeof(T) < remaining() ? sizeof(T) : remaining();
    if (n != 0) std::memcpy(&value, data_ + at_, n);
    at_ += n;
    return value;
  }
  std::uint8_t byte() { return take<std::uint8_t>(); }
  bool flag() { return (byte() & 1) != 0; }
  /// Up to n bytes as a string (fewer when the input runs out).
  std::string bytes(std::size_t n) {
    if (n > remaining()) n = remaining();
    std::string s(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return s;
  }
  std::string rest() { return bytes(remaining()); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace vorlith::fuzzing
