// Multi_vector editing: copies within and between vectors, strided copies, appending,
// inserting, erasing, dummy removal, decimation, expansion and reversal.

#include <vorlith/multi_vector.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "storage/element_model.h"
#include "storage/multi_vector_access.h"
#include "types/convert.h"

namespace vorlith::integration {

using storage::cursor;
using storage::Element_locator;
using storage::for_each_run;
using storage::Multi_vector_access;
using storage::Opaque_block_vector;

namespace {

// Strided copies gather source elements into a buffer of about this many bytes before
// converting them, so conversion runs once per piece rather than once per element.
constexpr std::int64_t gather_bytes = 65536;

// Elements count from src_start of src into dst from dst_start (distinct vectors),
// converted into dst's type; one conversion call per run.
void copy_between(Multi_vector& dst, std::int64_t dst_start, const Multi_vector& src,
                  std::int64_t src_start, std::int64_t count) {
  const Legacy_type& from = src.get_type();
  const Legacy_type& to = dst.get_type();
  const bool raw = from.is_same(to);
  const auto size = static_cast<std::size_t>(to.get_element_size());
  for_each_run(
      count,
      [&](std::int64_t n, const void* source, void* target) {
        if (raw)
          std::memcpy(target, source, static_cast<std::size_t>(n) * size);
        else
          types::convert(from, source, target, to, n);
      },
      cursor(src, src_start), cursor(dst, dst_start));
}

// Moves count elements within v from source to target, overlap-safe: the block store's
// run mover picks the direction that never overwrites an element before it moves.
void move_within(Multi_vector& v, std::int64_t target, std::int64_t source, std::int64_t count) {
  const std::int64_t per_run =
      v.is_block_vector() ? v.get_block_elements() : std::numeric_limits<std::int64_t>::max();
  storage::detail::move_element_runs(target, source, count, per_run,
                                     static_cast<std::size_t>(v.get_element_size()),
                                     [&v](std::int64_t i) { return v.get_data(i); });
}

// Elements src_start, src_start + stride, ... of src into count consecutive elements of
// dst from dst_start, in increasing order (which is what makes a copy within one
// vector well defined). Same types are gathered straight into dst; other types go
// through a staging buffer and one conversion per piece.
void copy_strided(Multi_vector& dst, std::int64_t dst_start, const Multi_vector& src,
                  std::int64_t src_start, std::int64_t count, std::int64_t stride) {
  const Legacy_type& from = src.get_type();
  const Legacy_type& to = dst.get_type();
  const bool raw = from.is_same(to);
  const std::int64_t source_size = from.get_element_size();
  const std::int64_t target_size = to.get_element_size();
  const std::int64_t piece = raw ? std::numeric_limits<std::int64_t>::max()
                                 : std::max<std::int64_t>(1, gather_bytes / source_size);
  std::vector<char> staging(raw ? 0
                                : static_cast<std::size_t>(std::min(piece, count) * source_size));
  Element_locator<const Multi_vector> source(src);
  // Positions are computed from the count taken so far: stepping a running position
  // past the last element could overflow when that element lies near the int64 limit.
  std::int64_t taken = 0;
  for_each_run(
      count,
      [&](std::int64_t n, void* target) {
        char* out = static_cast<char*>(target);
        for (std::int64_t done = 0; done < n;) {
          const std::int64_t m = std::min(n - done, piece);
          char* gather = raw ? out + done * target_size : staging.data();
          for (std::int64_t k = 0; k < m; ++k, ++taken) {
            std::memmove(gather + k * source_size, source.address(src_start + taken * stride),
                         static_cast<std::size_t>(source_size));
          }
          if (!raw) types::convert(from, staging.data(), out + done * target_size, to, m);
          done += m;
        }
      },
      cursor(dst, dst_start));
}

// Removes the elements of [start, start + count) that are dummies, packing the others
// down from start in order; returns how many were removed. Every element is written to
// the current write slot and the slot only advances past kept ones, which keeps the
// loop free of branches; the write slot never passes the element being read.
template <class Model>
std::int64_t pack_non_dummies(const Model& model, Multi_vector& v, std::int64_t start,
                              std::int64_t count) {
  const std::int64_t size = model.size();
  Element_locator<Multi_vector> writer(v);
  std::int64_t w = start;
  char* out = nullptr;
  std::int64_t out_left = 0;
  for_each_run(
      count,
      [&](std::int64_t n, void* p) {
        const char* in = static_cast<const char*>(p);
        for (std::int64_t k = 0; k < n;) {
          if (out_left == 0) {
            out = writer.address(w);
            out_left = writer.contiguous_from(w);
          }
          const std::int64_t stop = k + std::min(n - k, out_left);
          char* o = out;
          for (; k < stop; ++k) {
            const char* e = in + k * size;
            const bool keep = !model.is_dummy(e);
            model.copy(o, e);
            o += keep ? size : 0;
          }
          const std::int64_t kept = (o - out) / size;
          out = o;
          out_left -= kept;
          w += kept;
        }
      },
      cursor(v, start));
  return count - (w - start);
}

// Inserts count zero-byte slots at position into v's store; the caller updates the length.
void insert_zeroed_slots(Multi_vector& v, std::int64_t position, std::int64_t count) {
  if (!v.is_block_vector()) {
    Multi_vector_access::contiguous(v).insert_zeroed(position, count);
    return;
  }
  Multi_vector_access::visit_block_store(v, [&](auto& store) {
    using S = std::decay_t<decltype(store)>;
    if constexpr (std::is_same_v<S, Opaque_block_vector>) {
      store.insert_zeroed(position, count);
    } else {
      store.insert(static_cast<std::uint64_t>(position), static_cast<std::uint64_t>(count),
                   typename S::value_type{});
    }
  });
}

// Removes count >= 1 elements from start out of v's store; the caller updates the length.
void erase_slots(Multi_vector& v, std::int64_t start, std::int64_t count) {
  if (!v.is_block_vector()) {
    Multi_vector_access::contiguous(v).erase(start, count);
    return;
  }
  Multi_vector_access::visit_block_store(v, [&](auto& store) {
    using S = std::decay_t<decltype(store)>;
    if constexpr (std::is_same_v<S, Opaque_block_vector>) {
      store.erase(start, count);
    } else {
      store.erase(static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(start + count));
    }
  });
}

}  // namespace

// --- copying --------------------------------------------------------------------

void Multi_vector::copy(const Multi_vector& src) {
  if (&src == this) return;
  set_length(src.length_);
  if (length_ > 0) copy(0, src, 0, src.length_);
}

void Multi_vector::copy(std::int64_t dst_start, std::int64_t src_start, std::int64_t count) {
  validate_input_range(src_start, count, length_);
  validate_output_range(dst_start, count);
  if (count > 0) move_within(*this, dst_start, src_start, count);
}

void Multi_vector::copy(std::int64_t dst_start, const Multi_vector& src, std::int64_t src_start,
                        std::int64_t count) {
  if (&src == this) {
    copy(dst_start, src_start, count);
    return;
  }
  validate_input_range(src_start, count, src);
  validate_output_range(dst_start, count);
  if (count == 0) return;
  parallel::run_over_range(0, count, sizes::min_chunk, [&](std::int64_t first, std::int64_t last) {
    copy_between(*this, dst_start + first, src, src_start + first, last - first);
  });
}

void Multi_vector::copy_stride(std::int64_t dst_start, const Multi_vector& src,
                               std::int64_t src_start, std::int64_t count, std::int64_t stride) {
  VORLITH_EXPECTS(stride >= 1, "copy_stride: stride ", stride, " is below 1");
  if (stride == 1) {
    copy(dst_start, src, src_start, count);
    return;
  }
  if (count == -1) {
    std::int64_t rest = -1;
    validate_input_range(src_start, rest, src);
    count = rest / stride + (rest % stride != 0);
  }
  // The span of source elements the copy reads; a count of 0 reads none.
  std::int64_t span = count;
  if (count > 0) {
    VORLITH_EXPECTS(count - 1 <= (std::numeric_limits<std::int64_t>::max() - 1) / stride,
                    "copy_stride: count ", count, " at stride ", stride, " passes the int64 range");
    span = (count - 1) * stride + 1;
  }
  validate_input_range(src_start, span, src);
  validate_output_range(dst_start, count);
  if (count == 0) return;
  if (&src == this) {
    // Reads and writes of one vector interleave, so the element order must be kept.
    copy_strided(*this, dst_start, *this, src_start, count, stride);
    return;
  }
  parallel::run_over_range(0, count, sizes::min_chunk, [&](std::int64_t first, std::int64_t last) {
    copy_strided(*this, dst_start + first, src, src_start + first * stride, last - first, stride);
  });
}

void Multi_vector::append(const Multi_vector& src) { append(src, 0, src.length_); }

void Multi_vector::append(const Multi_vector& src, std::int64_t start, std::int64_t count) {
  validate_input_range(start, count, src);
  if (count > 0) copy(length_, src, start, count);
}

// --- inserting ------------------------------------------------------------------

void Multi_vector::insert_dummies(std::int64_t position, std::int64_t count) {
  VORLITH_EXPECTS(position >= 0 && position <= length_, "insert_dummies: position ", position,
                  " is outside 0..", length_);
  VORLITH_EXPECTS(count >= 0, "insert_dummies: count ", count, " is negative");
  if (count == 0) return;
  insert_zeroed_slots(*this, position, count);
  length_ += count;
  filldummy(position, count);
}

void Multi_vector::insert(std::int64_t position, const Multi_vector& src, std::int64_t src_start,
                          std::int64_t count) {
  VORLITH_EXPECTS(&src != this, "insert: the source is this vector");
  VORLITH_EXPECTS(position >= 0 && position <= length_, "insert: position ", position,
                  " is outside 0..", length_);
  validate_input_range(src_start, count, src);
  if (count == 0) return;
  if (position == length_) {
    append(src, src_start, count);
    return;
  }
  insert_dummies(position, count);
  copy(position, src, src_start, count);
}

void Multi_vector::extend(std::int64_t n) {
  VORLITH_EXPECTS(n >= 0, "extend: n ", n, " is negative");
  insert_dummies(0, n);
  insert_dummies(length_, n);
}

// --- erasing --------------------------------------------------------------------

void Multi_vector::erase(std::int64_t start, std::int64_t count) {
  validate_input_range(start, count, length_);
  if (count == 0) return;
  erase_slots(*this, start, count);
  length_ -= count;
}

void Multi_vector::erase_dummies(std::int64_t start, std::int64_t count) {
  validate_input_range(start, count, length_);
  if (count == 0) return;
  const std::int64_t removed = storage::visit_element_model(
      type_, [&](const auto& model) { return pack_non_dummies(model, *this, start, count); });
  if (removed == 0) return;
  const std::int64_t tail = length_ - start - count;
  if (tail > 0) copy(start + count - removed, start + count, tail);
  set_length(length_ - removed);
}

// --- resampling and order ---------------------------------------------------------

void Multi_vector::decimate(std::int64_t n) {
  VORLITH_EXPECTS(n >= 1, "decimate: n ", n, " is below 1");
  if (n == 1 || length_ == 0) return;
  const std::int64_t kept = (length_ - 1) / n + 1;
  storage::visit_element_model(type_, [&](const auto& model) {
    const std::int64_t size = model.size();
    Element_locator<Multi_vector> source(*this);
    std::int64_t k = 1;
    // Element k reads k * n >= k, so increasing k never reads an overwritten element.
    for_each_run(
        kept - 1,
        [&](std::int64_t run, void* p) {
          char* out = static_cast<char*>(p);
          for (std::int64_t j = 0; j < run; ++j, ++k)
            model.copy(out + j * size, source.address(k * n));
        },
        cursor(*this, 1));
  });
  set_length(kept);
}

void Multi_vector::expand(std::int64_t n) {
  VORLITH_EXPECTS(n >= 1, "expand: n ", n, " is below 1");
  if (n == 1 || length_ == 0) return;
  VORLITH_EXPECTS(length_ <= std::numeric_limits<std::int64_t>::max() / n, "expand: length ",
                  length_, " times ", n, " overflows int64");
  const std::int64_t old_length = length_;
  set_length(old_length * n);
  storage::visit_element_model(type_, [&](const auto& model) {
    Element_locator<Multi_vector> source(*this);
    Element_locator<Multi_vector> target(*this);
    alignas(16) unsigned char value[sizes::max_opaque_width];
    // Downwards, so element k is read before the copies of lower elements reach it.
    for (std::int64_t k = old_length - 1; k >= 0; --k) {
      model.copy(value, source.address(k));
      for (std::int64_t r = 0; r < n; ++r) model.copy(target.address(k * n + r), value);
    }
  });
}

void Multi_vector::reverse() { reverse(0, length_); }

void Multi_vector::reverse(std::int64_t start, std::int64_t count) {
  if (length_ <= 1 || count <= 0) return;
  // No range rule applies here, but a range outside the vector must not be written.
  VORLITH_EXPECTS(start >= 0 && start <= length_ - count, "reverse: start ", start, " and count ",
                  count, " do not fit the length ", length_);
  storage::visit_element_model(type_, [&](const auto& model) {
    const std::int64_t size = model.size();
    const std::int64_t mirror = 2 * start + count - 1;  // i pairs with mirror - i
    Element_locator<Multi_vector> back(*this);
    std::int64_t i = start;
    for_each_run(
        count / 2,
        [&](std::int64_t n, void* p) {
          char* front = static_cast<char*>(p);
          for (std::int64_t k = 0; k < n; ++k, ++i)
            model.swap(front + k * size, back.address(mirror - i));
        },
        cursor(*this, start));
  });
}

}  // namespace vorlith::integration
