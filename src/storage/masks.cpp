// Masks and bitmasks: dummies of one vector (or equality with a value) decide which
// elements of another become dummies, are erased, or set bits.

#include <vorlith/host_hooks.h>
#include <vorlith/multi_vector.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "storage/bitset_chunks.h"
#include "storage/element_model.h"
#include "storage/element_view.h"
#include "storage/multi_vector_access.h"
#include "types/convert.h"
#include "types/opaque_text.h"
#include "types/type_list.h"

namespace vorlith::integration {

namespace {

using Flags = unsigned char;

// Runs are cut into pieces whose flags live on the stack.
constexpr std::int64_t piece = sizes::piece_elements;

// flags[k] = element k of a run is a dummy (or equals *value).
using Flag_fn = void (*)(const void* run, std::int64_t n, std::int64_t width, const void* value,
                         Flags* flags);
// Element k of a run becomes the dummy where flags[k] is set.
using Apply_fn = void (*)(void* run, std::int64_t n, std::int64_t width, const Flags* flags);

// The element model of each type decides what a dummy is, what equal means (the type's
// own equality, dummy-aware for points; every byte for opaque values, the rule of the
// vector searches) and how a dummy is written.
Flag_fn dummy_flags_for(const Legacy_type& type) {
  return storage::visit_element_model(type, [](const auto& model) -> Flag_fn {
    using Model = std::decay_t<decltype(model)>;
    return [](const void* run, std::int64_t n, std::int64_t width, const void*, Flags* flags) {
      const Model m(width);
      const char* p = static_cast<const char*>(run);
      for (std::int64_t k = 0; k < n; ++k) flags[k] = m.is_dummy(p + k * m.size());
    };
  });
}

Flag_fn equal_flags_for(const Legacy_type& type) {
  return storage::visit_element_model(type, [](const auto& model) -> Flag_fn {
    using Model = std::decay_t<decltype(model)>;
    return
        [](const void* run, std::int64_t n, std::int64_t width, const void* value, Flags* flags) {
          const Model m(width);
          const auto is_value = m.equal_to(value);
          const char* p = static_cast<const char*>(run);
          for (std::int64_t k = 0; k < n; ++k) flags[k] = is_value(p + k * m.size());
        };
  });
}

Apply_fn dummy_writer_for(const Legacy_type& type) {
  return storage::visit_element_model(type, [](const auto& model) -> Apply_fn {
    using Model = std::decay_t<decltype(model)>;
    return [](void* run, std::int64_t n, std::int64_t width, const Flags* flags) {
      Model(width).fill_dummy_where(run, n, flags);
    };
  });
}

// Calls fn(n, position, flags) for the pieces of [first, last) of v, with flags from
// flag_fn over v's elements.
template <class Fn>
void for_each_flag_piece(const Multi_vector& v, std::int64_t first, std::int64_t last,
                         Flag_fn flag_fn, const void* value, Fn&& fn) {
  Flags flags[piece];
  const std::int64_t width = v.get_element_size();
  std::int64_t position = first;
  storage::for_each_run(
      last - first,
      [&](std::int64_t n, const void* run) {
        const auto* p = static_cast<const unsigned char*>(run);
        for (std::int64_t done = 0; done < n; done += piece) {
          const std::int64_t m = std::min(piece, n - done);
          flag_fn(p + done * width, m, width, value, flags);
          fn(m, position, flags);
          position += m;
        }
      },
      storage::cursor(v, first));
}

// Target elements of the range become dummies where the mask's flags are set. When
// flag_fn compares with the caller's value, `operation` names the member for the
// value's null check, made before the target grows.
void mask_elements(Multi_vector& target, const Multi_vector& mask, Flag_fn flag_fn,
                   const void* value, const char* operation, std::int64_t start,
                   std::int64_t count) {
  Multi_vector::validate_input_range(start, count, mask);
  if (operation != nullptr) storage::expect_caller_data(value, count, operation, "value");
  target.validate_output_range(start, count);
  if (count == 0) return;
  const Apply_fn write_dummies = dummy_writer_for(target.get_type());
  const std::int64_t mask_width = mask.get_element_size();
  const std::int64_t width = target.get_element_size();
  parallel::run_over_range(start, start + count, get_integration_min_thread_block(),
                           [&](std::int64_t first, std::int64_t last) {
                             Flags flags[piece];
                             storage::for_each_run(
                                 last - first,
                                 [&](std::int64_t n, const void* mask_run, void* run) {
                                   const auto* m = static_cast<const unsigned char*>(mask_run);
                                   auto* t = static_cast<unsigned char*>(run);
                                   // Flags of a piece are taken before it is written, so a
                                   // vector may be its own mask.
                                   for (std::int64_t done = 0; done < n; done += piece) {
                                     const std::int64_t k = std::min(piece, n - done);
                                     flag_fn(m + done * mask_width, k, mask_width, value, flags);
                                     write_dummies(t + done * width, k, width, flags);
                                   }
                                 },
                                 storage::cursor(mask, first), storage::cursor(target, first));
                           });
}

// Runs fn(first, last) over the range in chunks whose borders fall on bitset words.
template <class Fn>
void over_bitset_chunks(std::int64_t start, std::int64_t count, Fn&& fn) {
  const std::int64_t end = start + count;
  parallel::run_over_range(start, end, get_integration_min_thread_block(),
                           [&](std::int64_t first, std::int64_t last) {
                             fn(storage::bitset_chunk_border(first, start, end),
                                storage::bitset_chunk_border(last, start, end));
                           });
}

}  // namespace

void Multi_vector::apply_mask(const Multi_vector& mask, std::int64_t start, std::int64_t count) {
  mask_elements(*this, mask, dummy_flags_for(mask.get_type()), nullptr, nullptr, start, count);
}

void Multi_vector::apply_mask_value(const Multi_vector& mask, const void* value, std::int64_t start,
                                    std::int64_t count) {
  mask_elements(*this, mask, equal_flags_for(mask.get_type()), value, "apply_mask_value", start,
                count);
}

void Multi_vector::erase_mask(const Multi_vector& mask, bool erase_mask_dummies, std::int64_t start,
                              std::int64_t count) {
  validate_input_range(start, count, *this, mask);
  if (count == 0) return;
  const storage::Element_addresses<unsigned char> at(*this);
  // Kept elements move down to w. Flags of a piece are taken before any element of it
  // moves, and w never passes the element being tested, so the mask may be this vector.
  std::int64_t w = start;
  storage::visit_element_model(type_, [&](const auto& model) {
    for_each_flag_piece(mask, start, start + count, dummy_flags_for(mask.get_type()), nullptr,
                        [&](std::int64_t n, std::int64_t position, const Flags* flags) {
                          for (std::int64_t k = 0; k < n; ++k) {
                            if (static_cast<bool>(flags[k]) == erase_mask_dummies) continue;
                            if (w != position + k) model.copy(at(w), at(position + k));
                            ++w;
                          }
                        });
  });
  const std::int64_t erased = start + count - w;
  if (erased == 0) return;
  const std::int64_t tail = length_ - start - count;
  if (tail > 0) copy(w, start + count, tail);
  set_length(length_ - erased);
}

namespace {

// Grows bits to cover the range, then calls fn(n, position, flags) with v's dummy flags
// over the range, in chunks whose borders fall on words of bits.
template <class Fn>
void dummy_flags_for_bitset(const Multi_vector& v, boost::dynamic_bitset<unsigned long>& bits,
                            std::int64_t start, std::int64_t count, Fn&& fn) {
  Multi_vector::validate_input_range(start, count, v.get_length());
  if (static_cast<std::int64_t>(bits.size()) < start + count)
    bits.resize(static_cast<std::size_t>(start + count));
  const Flag_fn flag_fn = dummy_flags_for(v.get_type());
  over_bitset_chunks(start, count, [&](std::int64_t first, std::int64_t last) {
    for_each_flag_piece(v, first, last, flag_fn, nullptr, fn);
  });
}

}  // namespace

void Multi_vector::set_bitmask(boost::dynamic_bitset<unsigned long>& bits, std::int64_t start,
                               std::int64_t count) const {
  dummy_flags_for_bitset(*this, bits, start, count,
                         [&](std::int64_t n, std::int64_t position, const Flags* flags) {
                           for (std::int64_t k = 0; k < n; ++k)
                             bits.set(static_cast<std::size_t>(position + k), !flags[k]);
                         });
}

void Multi_vector::and_bitmask(boost::dynamic_bitset<unsigned long>& bits, std::int64_t start,
                               std::int64_t count) const {
  dummy_flags_for_bitset(*this, bits, start, count,
                         [&](std::int64_t n, std::int64_t position, const Flags* flags) {
                           for (std::int64_t k = 0; k < n; ++k)
                             if (flags[k]) bits.reset(static_cast<std::size_t>(position + k));
                         });
}

void Multi_vector::apply_bitmask(const boost::dynamic_bitset<unsigned long>& bits,
                                 std::int64_t start, std::int64_t count) {
  validate_input_range(start, count, length_);
  // A bitset that does not cover the range is a caller error: the call fails before
  // any element changes rather than read past the bitset or guess the missing bits.
  VORLITH_EXPECTS(static_cast<std::int64_t>(bits.size()) >= start + count,
                  "apply_bitmask: the bitset has ", bits.size(), " bits, the range needs ",
                  start + count);
  if (count == 0) return;
  const Apply_fn write_dummies = dummy_writer_for(type_);
  const std::int64_t width = element_size_;
  parallel::run_over_range(start, start + count, get_integration_min_thread_block(),
                           [&](std::int64_t first, std::int64_t last) {
                             Flags flags[piece];
                             std::int64_t position = first;
                             storage::for_each_run(
                                 last - first,
                                 [&](std::int64_t n, void* run) {
                                   auto* p = static_cast<unsigned char*>(run);
                                   for (std::int64_t done = 0; done < n; done += piece) {
                                     const std::int64_t m = std::min(piece, n - done);
                                     for (std::int64_t k = 0; k < m; ++k) {
                                       flags[k] =
                                           !bits.test(static_cast<std::size_t>(position + k));
                                     }
                                     write_dummies(p + done * width, m, width, flags);
                                     position += m;
                                   }
                                 },
                                 storage::cursor(*this, first));
                           });
}

void Multi_vector::erase_dummies_n(Multi_vector** vectors, std::int64_t n, std::int64_t start,
                                   std::int64_t count) {
  VORLITH_EXPECTS(n > 0, "erase_dummies_n: vector count ", n, " is not positive");
  storage::expect_caller_data(vectors, n, "erase_dummies_n", "vectors");
  // Every vector and its range are checked before the first one changes.
  for (std::int64_t i = 0; i < n; ++i) {
    VORLITH_EXPECTS(vectors[i] != nullptr, "erase_dummies_n: vectors[", i, "] is null");
    std::int64_t resolved = count;
    validate_input_range(start, resolved, *vectors[i]);
  }
  for (std::int64_t i = 0; i < n; ++i) vectors[i]->erase_dummies(start, count);
}

namespace {
// Elements [start, start + count) of v become the value 1 in v's type.
void fill_with_one(Multi_vector& v, std::int64_t start, std::int64_t count) {
  const double one_double = 1.0;
  unsigned char one[24];
  v.get_type().convert_from_double(&one_double, one, 1);
  const auto width = static_cast<std::size_t>(v.get_element_size());
  parallel::run_over_range(
      start, start + count, sizes::min_chunk, [&](std::int64_t first, std::int64_t last) {
        storage::for_each_run(
            last - first,
            [&](std::int64_t n, void* run) {
              auto* p = static_cast<unsigned char*>(run);
              for (std::int64_t k = 0; k < n; ++k)
                std::memcpy(p + static_cast<std::size_t>(k) * width, one, width);
            },
            storage::cursor(v, first));
      });
}
}  // namespace

void Multi_vector::extend_mask_pos(Multi_vector& position, Multi_vector& mask, double step,
                                   std::int64_t extension) {
  VORLITH_EXPECTS(!position.is_opaque_type(), "extend_mask_pos: the position channel is opaque");
  VORLITH_EXPECTS(!mask.is_opaque_type(), "extend_mask_pos: the mask is opaque");
  VORLITH_EXPECTS(position.get_length() == mask.get_length(), "extend_mask_pos: position length ",
                  position.get_length(), " differs from mask length ", mask.get_length());
  VORLITH_EXPECTS(step > 0, "extend_mask_pos: step ", step, " is not positive");
  const std::int64_t first = mask.findnondummy(0, -1);
  if (first < 0) return;
  const std::int64_t last = mask.reverse_findnondummy(mask.get_length() - 1, -1);
  // extend() rejects a negative extension too, but only after both channels have
  // been trimmed; checking here fails the call before anything changes.
  VORLITH_EXPECTS(extension >= 0, "extend_mask_pos: extension ", extension, " is negative");

  const double first_position = position.get_double(first);
  const double last_position = position.get_double(last);
  const double increment = first_position > last_position ? -step : step;

  // Both channels are built aside and replace the originals only once everything has
  // succeeded: a failure on the way (an allocation) leaves the pair as it was instead
  // of channels of different lengths.
  const std::int64_t kept = last - first + 1;
  const std::int64_t length = extension + kept + extension;
  Multi_vector new_mask(mask.get_type(), mask.is_block_vector(), length);
  Multi_vector new_position(position.get_type(), position.is_block_vector(), length);
  new_mask.copy(extension, mask, first, kept);
  new_position.copy(extension, position, first, kept);
  fill_with_one(new_mask, 0, extension);
  fill_with_one(new_mask, extension + kept, extension);

  std::vector<double> front(static_cast<std::size_t>(extension)),
      back(static_cast<std::size_t>(extension));
  for (std::int64_t k = 0; k < extension; ++k) {
    front[static_cast<std::size_t>(k)] =
        first_position - static_cast<double>(extension - k) * increment;
    back[static_cast<std::size_t>(k)] = last_position + static_cast<double>(k + 1) * increment;
  }
  new_position.set_range_double(0, extension, front.data());
  new_position.set_range_double(extension + kept, extension, back.data());
  mask = std::move(new_mask);
  position = std::move(new_position);
}

void Multi_vector::and_bitmask_n(boost::dynamic_bitset<unsigned long>&, std::int64_t,
                                 std::int64_t) {}

void Multi_vector::dummy_repeat_n(std::int64_t, std::int64_t, DUMMY_REPEAT_MODE) {}

}  // namespace vorlith::integration
