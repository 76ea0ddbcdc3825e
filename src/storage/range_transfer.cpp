// Range transfer between a Multi_vector and a caller's flat buffer.

#include <vorlith/multi_vector.h>

#include <cstring>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "storage/multi_vector_access.h"
#include "types/convert.h"

namespace vorlith::integration {

using storage::cursor;
using storage::for_each_run;

namespace {

// Typed transfers above this many elements are split over threads.

void read_raw(const Multi_vector& v, std::int64_t start, std::int64_t count, void* out) {
  const std::int64_t size = v.get_element_size();
  char* target = static_cast<char*>(out);
  for_each_run(
      count,
      [&](std::int64_t n, const void* p) {
        std::memcpy(target, p, static_cast<std::size_t>(n * size));
        target += n * size;
      },
      cursor(v, start));
}

void write_raw(Multi_vector& v, std::int64_t start, std::int64_t count, const void* in) {
  const std::int64_t size = v.get_element_size();
  const char* source = static_cast<const char*>(in);
  for_each_run(
      count,
      [&](std::int64_t n, void* p) {
        std::memcpy(p, source, static_cast<std::size_t>(n * size));
        source += n * size;
      },
      cursor(v, start));
}

// Converts the range into `type` at out on the calling thread, one call per run.
void read_converted(const Multi_vector& v, const Legacy_type& type, std::int64_t start,
                    std::int64_t count, void* out) {
  const std::int64_t size = type.get_element_size();
  char* target = static_cast<char*>(out);
  for_each_run(
      count,
      [&](std::int64_t n, const void* p) {
        types::convert(v.get_type(), p, target, type, n);
        target += n * size;
      },
      cursor(v, start));
}

void write_converted(Multi_vector& v, const Legacy_type& type, std::int64_t start,
                     std::int64_t count, const void* in) {
  const std::int64_t size = type.get_element_size();
  const char* source = static_cast<const char*>(in);
  for_each_run(
      count,
      [&](std::int64_t n, void* p) {
        types::convert(type, source, p, v.get_type(), n);
        source += n * size;
      },
      cursor(v, start));
}

// Splits a converting transfer over threads when it is long; each thread converts
// its own part of the range and of the buffer.
template <class Transfer>
void split_transfer(std::int64_t start, std::int64_t count, std::int64_t buffer_element_size,
                    Transfer&& transfer) {
  if (count <= sizes::min_chunk) {
    transfer(start, count, std::int64_t{0});
    return;
  }
  parallel::run_over_range(start, start + count, sizes::min_chunk,
                           [&](std::int64_t first, std::int64_t last) {
                             transfer(first, last - first, (first - start) * buffer_element_size);
                           });
}

}  // namespace

void Multi_vector::get_range(std::int64_t start, std::int64_t count, void* out) const {
  validate_input_range(start, count, length_);
  storage::expect_caller_data(out, count, "get_range", "out");
  read_raw(*this, start, count, out);
}

void Multi_vector::get_range(const Legacy_type& type, std::int64_t start, std::int64_t count,
                             void* out) const {
  validate_input_range(start, count, length_);
  storage::expect_caller_data(out, count, "get_range", "out");
  if (type.is_same(type_)) {
    read_raw(*this, start, count, out);
    return;
  }
  char* target = static_cast<char*>(out);
  split_transfer(start, count, type.get_element_size(),
                 [&](std::int64_t first, std::int64_t n, std::int64_t offset) {
                   read_converted(*this, type, first, n, target + offset);
                 });
}

void Multi_vector::set_range(std::int64_t start, std::int64_t count, const void* in) {
  storage::validate_output_range(*this, start, count, in, "set_range", "in");
  write_raw(*this, start, count, in);
}

void Multi_vector::set_range(const Legacy_type& type, std::int64_t start, std::int64_t count,
                             const void* in) {
  storage::validate_output_range(*this, start, count, in, "set_range", "in");
  if (type.is_same(type_)) {
    write_raw(*this, start, count, in);
    return;
  }
  const char* source = static_cast<const char*>(in);
  split_transfer(start, count, type.get_element_size(),
                 [&](std::int64_t first, std::int64_t n, std::int64_t offset) {
                   write_converted(*this, type, first, n, source + offset);
                 });
}

void Multi_vector::get_range_double(std::int64_t start, std::int64_t count, double* out) const {
  validate_input_range(start, count, length_);
  storage::expect_caller_data(out, count, "get_range_double", "out");
  if (type_.get_data_type() == type_double) {
    read_raw(*this, start, count, out);
  } else {
    read_converted(*this, Legacy_type(type_double), start, count, out);
  }
}

void Multi_vector::set_range_double(std::int64_t start, std::int64_t count, const double* in) {
  storage::validate_output_range(*this, start, count, in, "set_range_double", "in");
  if (type_.get_data_type() == type_double) {
    write_raw(*this, start, count, in);
  } else {
    write_converted(*this, Legacy_type(type_double), start, count, in);
  }
}

void Multi_vector::get_range_int64(std::int64_t start, std::int64_t count,
                                   std::int64_t* out) const {
  validate_input_range(start, count, length_);
  storage::expect_caller_data(out, count, "get_range_int64", "out");
  if (type_.get_data_type() == type_int64) {
    read_raw(*this, start, count, out);
  } else {
    read_converted(*this, Legacy_type(type_int64), start, count, out);
  }
}

void Multi_vector::get_expanded_range_double(std::int64_t start, std::int64_t count,
                                             std::int64_t before, std::int64_t after,
                                             double* out) const {
  validate_input_range(start, count, length_);
  VORLITH_EXPECTS(before >= 0, "get_expanded_range_double: before ", before, " is negative");
  VORLITH_EXPECTS(after >= 0, "get_expanded_range_double: after ", after, " is negative");
  storage::expect_caller_data(out, before + count + after, "get_expanded_range_double", "out");
  std::int64_t first = start - before;
  std::int64_t n = before + count + after;
  if (first < 0) {
    std::fill_n(out, -first, common::dummy_value<double>);
    out += -first;
    n += first;
    first = 0;
  }
  if (first + n > length_) {
    const std::int64_t beyond = first + n - length_;
    std::fill_n(out + (n - beyond), beyond, common::dummy_value<double>);
    n -= beyond;
  }
  if (n > 0) get_range_double(first, n, out);
}

}  // namespace vorlith::integration
