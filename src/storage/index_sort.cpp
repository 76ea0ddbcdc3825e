// Index sorts over one to four keys, and the gather through an index vector.

#include <vorlith/host_hooks.h>
#include <vorlith/multi_vector.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <optional>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "storage/element_model.h"
#include "storage/element_order.h"
#include "storage/element_view.h"
#include "storage/merge_sort.h"
#include "storage/multi_vector_access.h"
#include "types/convert.h"
#include "types/type_list.h"

namespace vorlith::integration {

namespace {

using Order = std::vector<std::int64_t>;

// One key of an index sort: compares the elements at two positions by the tolerant
// rule (or the opaque rule of its case flag). The type is resolved once, here.
class Sort_key {
  // Declared before the constructor takes their addresses: clang 14 leaves member
  // templates named in a generic lambda uninstantiated when they are declared later.
  using Compare = compare_direction (*)(const unsigned char*, const unsigned char*, std::int64_t);

  template <class T>
  static compare_direction compare_values(const unsigned char* a, const unsigned char* b,
                                          std::int64_t) {
    T x, y;
    std::memcpy(&x, a, sizeof(T));
    std::memcpy(&y, b, sizeof(T));
    return storage::tolerant_compare(x, y);
  }
  template <bool Insensitive>
  static compare_direction compare_opaque(const unsigned char* a, const unsigned char* b,
                                          std::int64_t width) {
    return storage::direction_of(storage::opaque_comparison(Insensitive)(a, b, width));
  }

 public:
  Sort_key(const Multi_vector& key, bool desc, bool case_insensitive)
      : address_(key), width_(key.get_element_size()), desc_(desc) {
    compare_ = types::visit_type(key.get_type(), [&](auto tag) -> Compare {
      if constexpr (types::is_opaque_tag_v<decltype(tag)>) {
        return case_insensitive ? &compare_opaque<true> : &compare_opaque<false>;
      } else {
        return &compare_values<typename decltype(tag)::type>;
      }
    });
  }

  compare_direction operator()(std::int64_t p, std::int64_t q) const {
    return compare_(address_(p), address_(q), width_);
  }
  bool desc() const { return desc_; }

 private:
  storage::Element_addresses<const unsigned char> address_;
  std::int64_t width_;
  bool desc_;
  Compare compare_;
};

void sort_by_keys(Order& order, const std::vector<Sort_key>& keys) {
  storage::stable_merge_sort(
      order.begin(), static_cast<std::int64_t>(order.size()), [&](std::int64_t p, std::int64_t q) {
        for (const Sort_key& key : keys) {
          const compare_direction c = key(p, q);
          if (c != compare_direction::equal) {
            return c == (key.desc() ? compare_direction::greater : compare_direction::less);
          }
        }
        return false;
      });
}

// One numeric key: the values are sorted together with their positions, so the merge
// passes read memory in order instead of reaching into the key at every comparison.
// The comparisons are those of a sort of the positions alone, so is the result.
// Positions of NaN keys are set aside first (after the numbers ascending, before
// them descending), as the whole-vector sorts do.
template <class T>
void sort_by_values(Order& order, const Multi_vector& key, bool desc) {
  struct Keyed {
    T value;
    std::int64_t position;
  };
  std::vector<Keyed> keyed(order.size());
  storage::with_element_iterators<const T>(key, [&](auto values, auto) {
    for (std::size_t p = 0; p < keyed.size(); ++p) {
      keyed[p] = {values[static_cast<std::int64_t>(p)], static_cast<std::int64_t>(p)};
    }
  });
  auto lo = keyed.begin(), hi = keyed.end();
  if constexpr (types::is_floating_v<T>) {
    const auto is_nan = [](const Keyed& k) { return storage::is_nan_value(k.value); };
    if (std::any_of(lo, hi, is_nan)) {
      if (desc)
        lo = std::stable_partition(lo, hi, is_nan);
      else
        hi = std::stable_partition(lo, hi, [&](const Keyed& k) { return !is_nan(k); });
    }
  }
  const auto less = [](const Keyed& a, const Keyed& b) {
    if constexpr (types::is_floating_v<T>)
      return storage::tolerant_less_number(a.value, b.value);
    else
      return a.value < b.value;
  };
  if (desc) {
    storage::stable_merge_sort<true>(lo, hi - lo,
                                     [&](const Keyed& a, const Keyed& b) { return less(b, a); });
  } else {
    storage::stable_merge_sort<true>(lo, hi - lo, less);
  }
  std::transform(keyed.begin(), keyed.end(), order.begin(),
                 [](const Keyed& k) { return k.position; });
}

// Writes the positions into the index vector in its own type (int32 or int64).
void store_order(Multi_vector& index, const Order& order) {
  const bool wide = index.get_type().get_data_type() == type_int64;
  parallel::run_over_range(
      0, index.get_length(), get_integration_min_thread_block(),
      [&](std::int64_t first, std::int64_t last) {
        const std::int64_t* from = order.data() + first;
        storage::for_each_run(
            last - first,
            [&](std::int64_t n, void* run) {
              if (wide) {
                std::memcpy(run, from, static_cast<std::size_t>(n) * sizeof(std::int64_t));
              } else {
                auto* out = static_cast<std::int32_t*>(run);
                for (std::int64_t k = 0; k < n; ++k) out[k] = static_cast<std::int32_t>(from[k]);
              }
              from += n;
            },
            storage::cursor(index, first));
      });
}

bool is_index_type(const Multi_vector& index) {
  const legacy_data_type code = index.get_type().get_data_type();
  return !index.is_opaque_type() && (code == type_int32 || code == type_int64);
}

// The steps shared by every index sort, after the key lengths are checked: size and
// check the index vector, then order the positions 0 .. n-1 and store them.
void sort_index(Multi_vector& index, const Multi_vector& first_key,
                const std::vector<Sort_key>& keys, bool single_numeric) {
  const std::int64_t n = first_key.get_length();
  index.set_length(n);
  VORLITH_EXPECTS(is_index_type(index), "index sort: the index vector has type code ",
                  static_cast<int>(index.get_type().get_data_type()), ", not int32 or int64");
  Order order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), std::int64_t{0});
  if (n >= 2) {
    if (single_numeric) {
      types::visit_type(first_key.get_type(), [&](auto tag) {
        if constexpr (!types::is_opaque_tag_v<decltype(tag)>) {
          using T = typename decltype(tag)::type;
          if constexpr (!types::is_point_v<T>)
            sort_by_values<T>(order, first_key, keys.front().desc());
        }
      });
    } else {
      sort_by_keys(order, keys);
    }
  }
  store_order(index, order);
}

void sort_index_on_one_key(Multi_vector& index, const Multi_vector& key, bool desc,
                           bool case_insensitive) {
  const bool numeric = !key.is_opaque_type() && !key.is_point_type();
  sort_index(index, key, {Sort_key(key, desc, case_insensitive)}, numeric);
}

}  // namespace

void Multi_vector::sort_index_1(Multi_vector& index, const Multi_vector& key, bool desc,
                                bool case_sensitive) {
  sort_index_on_one_key(index, key, desc, !case_sensitive);
}

void Multi_vector::sort_index_2(Multi_vector& index, const Multi_vector& key1, bool desc1,
                                const Multi_vector& key2, bool desc2) {
  VORLITH_EXPECTS(key2.get_length() == key1.get_length(), "sort_index_2: key2 length ",
                  key2.get_length(), " differs from key1 length ", key1.get_length());
  sort_index(index, key1, {Sort_key(key1, desc1, true), Sort_key(key2, desc2, true)}, false);
}

void Multi_vector::sort_index_3(Multi_vector& index, const Multi_vector& key1, bool desc1,
                                const Multi_vector& key2, bool desc2, const Multi_vector& key3,
                                bool desc3) {
  VORLITH_EXPECTS(key2.get_length() == key1.get_length(), "sort_index_3: key2 length ",
                  key2.get_length(), " differs from key1 length ", key1.get_length());
  VORLITH_EXPECTS(key3.get_length() == key1.get_length(), "sort_index_3: key3 length ",
                  key3.get_length(), " differs from key1 length ", key1.get_length());
  sort_index(
      index, key1,
      {Sort_key(key1, desc1, true), Sort_key(key2, desc2, true), Sort_key(key3, desc3, true)},
      false);
}

void Multi_vector::sort_index_4(Multi_vector& index, const Multi_vector& key1, bool desc1,
                                const Multi_vector& key2, bool desc2, const Multi_vector& key3,
                                bool desc3, const Multi_vector& key4, bool desc4) {
  VORLITH_EXPECTS(key2.get_length() == key1.get_length(), "sort_index_4: key2 length ",
                  key2.get_length(), " differs from key1 length ", key1.get_length());
  VORLITH_EXPECTS(key3.get_length() == key1.get_length(), "sort_index_4: key3 length ",
                  key3.get_length(), " differs from key1 length ", key1.get_length());
  VORLITH_EXPECTS(key4.get_length() == key1.get_length(), "sort_index_4: key4 length ",
                  key4.get_length(), " differs from key1 length ", key1.get_length());
  sort_index(index, key1,
             {Sort_key(key1, desc1, true), Sort_key(key2, desc2, true), Sort_key(key3, desc3, true),
              Sort_key(key4, desc4, true)},
             false);
}

void Multi_vector::sort_index_on_data(const Multi_vector& key, bool case_insensitive,
                                      bool ascending) {
  sort_index_on_one_key(*this, key, !ascending, case_insensitive);
}

namespace {

// A copy of v in contiguous storage, for a gather that reads the vector it writes.
Multi_vector snapshot_of(const Multi_vector& v) {
  Multi_vector copy(v.get_type(), false, v.get_length());
  const auto width = static_cast<std::size_t>(v.get_element_size());
  storage::for_each_run(
      v.get_length(),
      [width](std::int64_t n, const void* from, void* to) {
        std::memcpy(to, from, static_cast<std::size_t>(n) * width);
      },
      storage::cursor(v, 0), storage::cursor(copy, 0));
  return copy;
}

// Writes target[i] = source[index[i]] over [first, last), the dummy where an index lies
// outside the source. Each piece of index values is converted before its outputs are
// written, so the index vector may also be the target.
template <class Model>
void gather_chunk(const Model& model, Multi_vector& target, const Multi_vector& source,
                  const Multi_vector& index, std::int64_t first, std::int64_t last) {
  const storage::Element_addresses<const unsigned char> source_address(source);
  const std::int64_t source_length = source.get_length();
  const Legacy_type& index_type = index.get_type();
  const std::int64_t index_width = index.get_element_size();
  const std::int64_t width = model.size();
  constexpr std::int64_t piece = sizes::piece_elements;
  std::vector<std::int64_t> positions(static_cast<std::size_t>(std::min(piece, last - first)));
  storage::for_each_run(
      last - first,
      [&](std::int64_t n, const void* index_run, void* out_run) {
        const auto* in = static_cast<const unsigned char*>(index_run);
        auto* out = static_cast<unsigned char*>(out_run);
        for (std::int64_t done = 0; done < n; done += piece) {
          const std::int64_t m = std::min(piece, n - done);
          types::convert(index_type, in + done * index_width, positions.data(),
                         Legacy_type(type_int64), m);
          for (std::int64_t k = 0; k < m; ++k) {
            unsigned char* element = out + (done + k) * width;
            const std::int64_t at = positions[static_cast<std::size_t>(k)];
            if (at >= 0 && at < source_length)
              model.copy(element, source_address(at));
            else
              model.fill_dummy(element, 1);
          }
        }
      },
      storage::cursor(index, first), storage::cursor(target, first));
}

}  // namespace

void Multi_vector::insert_index(const Multi_vector& source, const Multi_vector& index,
                                std::int64_t start, std::int64_t count) {
  validate_input_range(start, count, index);
  validate_output_range(start, count);
  VORLITH_EXPECTS(is_same_type(source), "insert_index: the source type differs from this vector's");
  if (count == 0) return;

  // Gathering a vector into itself would read elements that other threads have
  // already overwritten; it reads from a copy instead.
  std::optional<Multi_vector> snapshot;
  if (&source == this) snapshot.emplace(snapshot_of(*this));
  const Multi_vector& from = snapshot ? *snapshot : source;
  storage::visit_element_model(type_, [&](const auto& model) {
    parallel::run_over_range(start, start + count, sizes::min_chunk,
                             [&](std::int64_t first, std::int64_t last) {
                               gather_chunk(model, *this, from, index, first, last);
                             });
  });
}

}  // namespace vorlith::integration
