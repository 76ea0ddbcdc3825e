// The range rules of the vector operations: random vectors of every type in both
// storage modes, and random starts and counts (extremes included) through the editing,
// fill, search and transfer members. Each call must either do what the rules say,
// checked against a byte model of the vector, or fail the contract and change nothing.
// After every call the length equals the store's and the contents equal the model.

#include <vorlith/fail_fast.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "runtime/parallel.h"
#include "storage/multi_vector_access.h"
#include "types/type_list.h"

namespace {

using namespace vorlith::integration;
using vorlith::fuzzing::Input;
using Bytes = std::vector<unsigned char>;

constexpr std::int64_t int64_max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64_min = std::numeric_limits<std::int64_t>::min();
// Valid calls that would grow a vector beyond this many elements (at most 2 MB) are
// not made; set per input from the element size.
std::int64_t max_length = 20000;

struct Model {
  std::int64_t size;
  Bytes bytes;
  std::int64_t length() const { return static_cast<std::int64_t>(bytes.size()) / size; }
  Bytes slice(std::int64_t start, std::int64_t count) const {
    return Bytes(bytes.begin() + start * size, bytes.begin() + (start + count) * size);
  }
  void write(std::int64_t start, const Bytes& values) {
    std::copy(values.begin(), values.end(), bytes.begin() + start * size);
  }
  void resize(std::int64_t n) { bytes.resize(static_cast<std::size_t>(n * size), 0); }
  void insert(std::int64_t at, const Bytes& values) {
    bytes.insert(bytes.begin() + at * size, values.begin(), values.end());
  }
  void erase(std::int64_t start, std::int64_t count) {
    bytes.erase(bytes.begin() + start * size, bytes.begin() + (start + count) * size);
  }
};

// Deterministic element bytes from a seed in the input; about one element in eight a dummy.
class Filler {
 public:
  Filler(const Legacy_type& type, std::uint32_t seed) : type_(type), state_(seed | 1) {}
  Bytes elements(std::int64_t n) {
    const auto size = static_cast<std::size_t>(type_.get_element_size());
    Bytes out(static_cast<std::size_t>(n) * size);
    for (std::int64_t i = 0; i < n; ++i) {
      unsigned char* e = out.data() + i * size;
      if (next() % 8 == 0) {
        type_.set_dummy(e);
      } else {
        for (std::size_t b = 0; b < size; ++b) e[b] = static_cast<unsigned char>(next() >> 24);
        // Short texts now and then, so opaque elements compare and upper-case as text.
        if (type_.is_opaque() && size > 2 && next() % 2 == 0) e[size / 2] = 0;
      }
    }
    return out;
  }

 private:
  std::uint32_t next() { return state_ = state_ * 1664525u + 1013904223u; }
  Legacy_type type_;
  std::uint32_t state_;
};

// Starts and counts: mostly near the vector's ends, sometimes -1 or an extreme value.
std::int64_t pick(Input& in, std::int64_t length) {
  const std::uint8_t b = in.byte();
  const std::int64_t small = b >> 4;
  switch (b % 12) {
    case 0:
      return -1;
    case 1:
      return small;
    case 2:
      return length - small;
    case 3:
      return length + small;
    case 4:
      return static_cast<std::int64_t>(in.take<std::uint16_t>()) % (length + 3);
    case 5:
      return int64_max - small;
    case 6:
      return int64_min + small;
    case 7:
      return -2 - small;
    case 8:
      return length / 2 + small;
    case 9:
      return in.take<std::int64_t>();
    default:
      return small % 3;
  }
}

bool input_ok(std::int64_t start, std::int64_t& count, std::int64_t length) {
  if (start < 0) return false;
  if (count == -1) count = length - start;
  return count >= 0 && static_cast<__int128>(start) + count <= length;
}

enum class Expect { succeed, fail, skip };

Expect output_ok(std::int64_t start, std::int64_t& count, std::int64_t length,
                 std::int64_t& new_length) {
  if (start < 0) return Expect::fail;
  if (count == -1) count = length - start;
  if (count < 0) return Expect::fail;
  const __int128 end = static_cast<__int128>(start) + count;
  if (end > int64_max) return Expect::fail;
  new_length = std::max<std::int64_t>(length, static_cast<std::int64_t>(end));
  return new_length > max_length ? Expect::skip : Expect::succeed;
}

template <class F>
bool fails_contract(F&& call) {
  try {
    call();
  } catch (const gsl::fail_fast&) {
    return true;
  }
  return false;
}

std::int64_t store_length(const Multi_vector& v) {
  using vorlith::storage::Multi_vector_access;
  if (!v.is_block_vector()) return Multi_vector_access::contiguous(v).size();
  return Multi_vector_access::visit_block_store(
      v, [](const auto& store) { return static_cast<std::int64_t>(store.size()); });
}

Bytes contents(const Multi_vector& v) {
  Bytes out(static_cast<std::size_t>(v.get_length() * v.get_element_size()));
  if (v.get_length() > 0) v.get_range(0, v.get_length(), out.data());
  return out;
}

void check_consistent(const Multi_vector& v, const Model& m) {
  VORLITH_FUZZ_CHECK(v.get_length() == m.length());
  VORLITH_FUZZ_CHECK(store_length(v) == v.get_length());
  VORLITH_FUZZ_CHECK(contents(v) == m.bytes);
  // The block view agrees with the bulk read.
  for (std::int64_t i = 0; i < v.get_length(); i += v.get_elements_remaining_in_block(i)) {
    const std::int64_t n = v.get_elements_remaining_in_block(i);
    VORLITH_FUZZ_CHECK(n >= 1 && i + n <= v.get_length());
    VORLITH_FUZZ_CHECK(std::memcmp(v.get_data(i), m.bytes.data() + i * m.size,
                                   static_cast<std::size_t>(n * m.size)) == 0);
  }
}

Legacy_type pick_type(Input& in) {
  const std::uint8_t b = in.byte();
  const std::size_t code = b % 16u;
  if (code < std::size(vorlith::types::value_type_codes))
    return Legacy_type(vorlith::types::value_type_codes[code]);
  static const std::int64_t widths[] = {1, 2, 3, 5, 8, 12, 16, 24, 31, 100, 1000, 4096};
  return Legacy_type(widths[(b >> 4) % 12]);
}

class Run {
 public:
  Run(Input& in, const Legacy_type& type)
      : in_(in),
        type_(type),
        size_(type.get_element_size()),
        filler_(type, in.take<std::uint32_t>()),
        a_(type, in.flag(), 0),
        b_(type, in.flag(), 0),
        ma_{size_, {}},
        mb_{size_, {}} {
    // 4096-byte elements make one element per block; keep those vectors short.
    const std::int64_t limit = size_ >= 1000 ? 40 : 3000;
    fill(a_, ma_, in.take<std::uint16_t>() % limit);
    fill(b_, mb_, in.take<std::uint16_t>() % limit);
    dummy_.resize(static_cast<std::size_t>(size_));
    type.set_dummy(dummy_.data());
  }

  void step();
  void check() const { check_consistent(a_, ma_), check_consistent(b_, mb_); }

 private:
  void fill(Multi_vector& v, Model& m, std::int64_t n) {
    m.bytes = filler_.elements(n);
    if (n > 0) v.set_range(0, n, m.bytes.data());
  }
  bool is_dummy(const unsigned char* e) const { return type_.is_dummy(e); }
  // A call that must fail the contract and leave both vectors unchanged.
  template <class F>
  void expect_failure(F&& call) {
    VORLITH_FUZZ_CHECK(fails_contract(call));
  }
  template <class F>
  void expect(bool ok, F&& call) {
    if (ok)
      call();
    else
      expect_failure(call);
  }

  Input& in_;
  Legacy_type type_;
  std::int64_t size_;
  Filler filler_;
  Multi_vector a_, b_;
  Model ma_, mb_;
  Bytes dummy_;
};

void Run::step() {
  const std::int64_t len = ma_.length();
  const std::uint8_t op = in_.byte();
  std::int64_t s = pick(in_, len);
  std::int64_t c = pick(in_, len);
  std::int64_t new_len = 0;
  switch (op % 22) {
    case 0: {  // get_range
      std::int64_t n = c;
      const bool ok = input_ok(s, n, len);
      Bytes out(ok ? static_cast<std::size_t>(n * size_) : 0);
      expect(ok, [&] { a_.get_range(s, c, out.data()); });
      if (ok) VORLITH_FUZZ_CHECK(out == ma_.slice(s, n));
      break;
    }
    case 1:    // set_range
    case 2:    // fill_value
    case 3: {  // filldummy
      std::int64_t n = c;
      const Expect e = output_ok(s, n, len, new_len);
      if (e == Expect::skip) break;
      const Bytes one = filler_.elements(1);
      Bytes values = e == Expect::succeed && op % 22 == 1 ? filler_.elements(n) : Bytes{};
      if (e == Expect::succeed && op % 22 != 1) {
        for (std::int64_t i = 0; i < n; ++i)
          values.insert(values.end(), op % 22 == 2 ? one.begin() : dummy_.begin(),
                        op % 22 == 2 ? one.end() : dummy_.end());
      }
      expect(e == Expect::succeed, [&] {
        if (op % 22 == 1)
          a_.set_range(s, c, values.data());
        else if (op % 22 == 2)
          a_.fill_value(one.data(), s, c);
        else
          a_.filldummy(s, c);
      });
      if (e == Expect::succeed) ma_.resize(new_len), ma_.write(s, values);
      break;
    }
    case 4: {  // erase
      std::int64_t n = c;
      const bool ok = input_ok(s, n, len);
      expect(ok, [&] { a_.erase(s, c); });
      if (ok) ma_.erase(s, n);
      break;
    }
    case 5: {  // insert_dummies
      const bool ok = s >= 0 && s <= len && c >= 0;
      if (ok && c > max_length - len) break;
      expect(ok, [&] { a_.insert_dummies(s, c); });
      if (ok) {
        Bytes dummies;
        for (std::int64_t i = 0; i < c; ++i)
          dummies.insert(dummies.end(), dummy_.begin(), dummy_.end());
        ma_.insert(s, dummies);
      }
      break;
    }
    case 6:    // copy within the vector
    case 7: {  // copy from another vector (or from itself)
      const bool self = op % 22 == 6 || in_.flag();
      const Model& src = self ? ma_ : mb_;
      const std::int64_t d = pick(in_, len);
      std::int64_t n = c;
      Expect e = input_ok(s, n, src.length()) ? output_ok(d, n, len, new_len) : Expect::fail;
      if (e == Expect::skip) break;
      const Bytes moved = e == Expect::succeed ? src.slice(s, n) : Bytes{};
      expect(e == Expect::succeed, [&] {
        if (op % 22 == 6)
          a_.copy(d, s, c);
        else
          a_.copy(d, self ? a_ : b_, s, c);
      });
      if (e == Expect::succeed) ma_.resize(new_len), ma_.write(d, moved);
      break;
    }
    case 8: {  // append, from another vector or from itself
      const bool self = in_.flag();
      const Model& src = self ? ma_ : mb_;
      std::int64_t n = c;
      const bool ok = input_ok(s, n, src.length());
      if (ok && n > max_length - len) break;
      const Bytes moved = ok ? src.slice(s, n) : Bytes{};
      expect(ok, [&] { a_.append(self ? a_ : b_, s, c); });
      if (ok) ma_.insert(len, moved);
      break;
    }
    case 9: {  // insert from another vector; never from itself
      const bool self = (in_.byte() % 8) == 0;
      const std::int64_t at = pick(in_, len);
      std::int64_t n = c;
      const bool ok = !self && at >= 0 && at <= len && input_ok(s, n, mb_.length());
      if (ok && n > max_length - len) break;
      expect(ok, [&] { a_.insert(at, self ? a_ : b_, s, c); });
      if (ok) ma_.insert(at, mb_.slice(s, n));
      break;
    }
    case 10: {  // reverse part of the vector
      const bool noop = len <= 1 || c <= 0;
      const bool ok = noop || (s >= 0 && s <= len - c);
      expect(ok, [&] { a_.reverse(s, c); });
      if (ok && !noop) {
        for (std::int64_t i = 0; i < c / 2; ++i) {
          const Bytes x = ma_.slice(s + i, 1), y = ma_.slice(s + c - 1 - i, 1);
          ma_.write(s + i, y), ma_.write(s + c - 1 - i, x);
        }
      }
      break;
    }
    case 11: {  // count_dummy
      std::int64_t n = c;
      const bool ok = input_ok(s, n, len);
      std::int64_t got = -1;
      expect(ok, [&] { got = a_.count_dummy(s, c); });
      if (ok) {
        std::int64_t want = 0;
        for (std::int64_t i = s; i < s + n; ++i) want += is_dummy(ma_.bytes.data() + i * size_);
        VORLITH_FUZZ_CHECK(got == want);
      }
      break;
    }
    case 12: {  // erase_dummies
      std::int64_t n = c;
      const bool ok = input_ok(s, n, len);
      expect(ok, [&] { a_.erase_dummies(s, c); });
      if (ok) {
        Model kept{size_, ma_.slice(0, s)};
        for (std::int64_t i = s; i < s + n; ++i)
          if (!is_dummy(ma_.bytes.data() + i * size_)) kept.insert(kept.length(), ma_.slice(i, 1));
        kept.insert(kept.length(), ma_.slice(s + n, len - s - n));
        ma_ = kept;
      }
      break;
    }
    case 13: {  // copy_stride
      const bool self = in_.flag();
      const Model& src = self ? ma_ : mb_;
      const std::uint8_t sb = in_.byte();
      const std::int64_t stride = sb < 240 ? sb % 5 : pick(in_, len);
      const std::int64_t d = pick(in_, len);
      std::int64_t n = c;
      Expect e = Expect::succeed;
      if (stride < 1) {
        e = Expect::fail;
      } else {
        if (n == -1) {
          std::int64_t rest = -1;
          if (!input_ok(s, rest, src.length()))
            e = Expect::fail;
          else
            n = rest / stride + (rest % stride != 0);
        }
        if (e == Expect::succeed) {
          const __int128 span = n > 0 ? static_cast<__int128>(n - 1) * stride + 1 : n;
          if (n < 0 || span > int64_max || s < 0 || s + span > src.length()) e = Expect::fail;
        }
        if (e == Expect::succeed) e = output_ok(d, n, len, new_len);
      }
      if (e == Expect::skip) break;
      Bytes moved;
      if (e == Expect::succeed)
        for (std::int64_t i = 0; i < n; ++i) {
          const Bytes one = src.slice(s + i * stride, 1);
          moved.insert(moved.end(), one.begin(), one.end());
        }
      expect(e == Expect::succeed, [&] { a_.copy_stride(d, self ? a_ : b_, s, c, stride); });
      // Reading a vector while writing it walks upwards element by element (a stride
      // of 1 is a plain overlap-safe copy).
      if (e == Expect::succeed) {
        ma_.resize(new_len);
        if (self && stride > 1)
          for (std::int64_t i = 0; i < n; ++i) ma_.write(d + i, ma_.slice(s + i * stride, 1));
        else
          ma_.write(d, moved);
      }
      break;
    }
    case 14: {  // set_length
      if (s > max_length) break;
      expect(s >= 0, [&] { a_.set_length(s); });
      if (s >= 0) ma_.resize(s);
      break;
    }
    case 15: {  // storage mode switches, including the one that does not apply
      const bool to_blocks = in_.flag();
      const bool ok = to_blocks != a_.is_block_vector();
      expect(ok, [&] {
        if (to_blocks)
          a_.switch_to_block_vector();
        else
          a_.switch_to_vector();
      });
      break;
    }
    case 16: {  // get_range_double
      std::int64_t n = c;
      const bool ok = input_ok(s, n, len);
      std::vector<double> out(ok ? static_cast<std::size_t>(n) : 0), want(out.size());
      expect(ok, [&] { a_.get_range_double(s, c, out.data()); });
      if (ok && n > 0) {
        type_.convert_to_double(ma_.bytes.data() + s * size_, want.data(), n);
        VORLITH_FUZZ_CHECK(std::memcmp(out.data(), want.data(), out.size() * sizeof(double)) == 0);
      }
      break;
    }
    case 17: {  // decimate
      expect(s >= 1, [&] { a_.decimate(s); });
      if (s >= 1) {
        Model kept{size_, {}};
        for (std::int64_t i = 0; i < len; i += s) kept.insert(kept.length(), ma_.slice(i, 1));
        ma_ = kept;
      }
      break;
    }
    case 18: {  // expand
      const bool noop = s == 1 || (s >= 1 && len == 0);
      const bool ok = s >= 1 && (noop || len <= int64_max / s);
      if (ok && !noop && len * s > max_length) break;
      expect(ok, [&] { a_.expand(s); });
      if (ok && !noop) {
        Model repeated{size_, {}};
        for (std::int64_t i = 0; i < len; ++i)
          for (std::int64_t r = 0; r < s; ++r) repeated.insert(repeated.length(), ma_.slice(i, 1));
        ma_ = repeated;
      }
      break;
    }
    case 19: {  // finddummy and reverse_finddummy
      std::int64_t got = -2, want = -1;
      if (in_.flag()) {
        std::int64_t n = c;
        const bool ok = input_ok(s, n, len);
        expect(ok, [&] { got = a_.finddummy(s, c); });
        if (!ok) break;
        for (std::int64_t i = s; i < s + n && want < 0; ++i)
          if (is_dummy(ma_.bytes.data() + i * size_)) want = i;
      } else {
        const std::int64_t n = c == -1 && s >= 0 && s < len ? s + 1 : c;
        const bool ok = s >= 0 && s < len && n >= 0 && s - n + 1 >= 0;
        expect(ok, [&] { got = a_.reverse_finddummy(s, c); });
        if (!ok) break;
        for (std::int64_t i = s; i > s - n && want < 0; --i)
          if (is_dummy(ma_.bytes.data() + i * size_)) want = i;
      }
      VORLITH_FUZZ_CHECK(got == want);
      break;
    }
    case 20: {  // strupr: opaque vectors only
      std::int64_t n = c;
      const bool ok = type_.is_opaque() && input_ok(s, n, len);
      expect(ok, [&] { a_.strupr(s, c); });
      if (ok)
        for (std::int64_t i = s * size_; i < (s + n) * size_; ++i)
          ma_.bytes[static_cast<std::size_t>(i)] =
              static_cast<unsigned char>(std::toupper(ma_.bytes[static_cast<std::size_t>(i)]));
      break;
    }
    default: {  // single elements
      const bool ok = s >= 0 && s < len;
      const Bytes one = filler_.elements(1);
      Bytes out(static_cast<std::size_t>(size_));
      expect(ok, [&] { a_.get(s, out.data()); });
      if (ok) VORLITH_FUZZ_CHECK(out == ma_.slice(s, 1));
      expect(ok, [&] { a_.set(s, one.data()); });
      if (ok) ma_.write(s, one);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  const Legacy_type type = pick_type(in);
  max_length = std::min<std::int64_t>(20000, (std::int64_t{2} << 20) / type.get_element_size());
  // Small minimum blocks put the parallel members on their multi-chunk path.
  const bool parallel = in.flag();
  set_integration_min_thread_block(parallel ? 64 : 16384);
  vorlith::parallel::set_processor_count_override(parallel ? 3 : 0);

  Run run(in, type);
  run.check();
  for (int steps = 0; steps < 64 && !in.empty(); ++steps) {
    run.step();
    run.check();
  }
  set_integration_min_thread_block(16384);
  vorlith::parallel::set_processor_count_override(0);
  return 0;
}
