#pragma once
// Multi_vector: one typed channel of survey data in contiguous or block storage.

#include <vorlith/export.h>
#include <vorlith/legacy_type.h>

#include <boost/dynamic_bitset.hpp>
#include <cstdint>
#include <memory>
#include <string>

namespace vorlith::storage {
struct Multi_vector_access;
}

namespace vorlith::integration {

namespace detail {
struct Store_deleter {
  void (*destroy)(void*) = nullptr;
  void operator()(void* store) const {
    if (destroy) destroy(store);
  }
};
}  // namespace detail

/// Result of comparing element a with element b of one vector.
enum class compare_direction : std::int32_t { less = 0, greater = 1, equal = 2 };

/// Taken by Multi_vector::dummy_repeat_n, which has no effect.
enum class DUMMY_REPEAT_MODE : std::int32_t {
  dummy_repeat_none = 0,
  dummy_repeat_previous = 1,
  dummy_repeat_next = 2
};

/// A growable vector of elements of one Legacy_type, held either in one contiguous
/// store or in 4096-byte blocks. Both modes offer the same block view: elements per
/// block = 4096 / element size. Movable, not copyable (values move between vectors
/// with copy()).
///
/// Range rules, used by every member that takes start and count:
/// - input ranges must lie inside the vector (the shortest one when several are read);
///   count -1 means to the end;
/// - output ranges lengthen the receiving vector when they pass its end (new elements
///   hold zero bytes), never shorten it;
/// - a failed check is a contract failure (gsl::fail_fast by default) before any
///   element changes.
///
/// Pointers to the caller's memory (buffers, values, the vector list of
/// erase_dummies_n) may be null only when the call uses none of their elements, i.e.
/// when the resolved count is 0; otherwise a null pointer is a contract failure before
/// anything changes.
///
/// Threads: a vector has no lock. Const members only read it, so any number of them
/// may run at the same time on one vector. A non-const member, or a call that takes
/// the vector as a non-const argument (the index of sort_index_1..4, the channels of
/// extend_mask_pos, the vectors of erase_dummies_n), needs the vector to itself: no
/// other call on it, const or not, may overlap. Calls on different vectors are
/// independent. Several members split long ranges over OpenMP threads themselves
/// (serially when the host's external_is_smp_active answers true).
class VORLITH_API Multi_vector {
 public:
  /// A vector of `length` elements of zero bytes (not dummies).
  Multi_vector(Legacy_type type, bool block_vector, std::int64_t length);
  Multi_vector(Multi_vector&& other) noexcept;
  Multi_vector& operator=(Multi_vector&& other) noexcept;
  Multi_vector(const Multi_vector&) = delete;
  Multi_vector& operator=(const Multi_vector&) = delete;
  ~Multi_vector();

  /// A contiguous vector over `length` elements of `type` at `memory`, which the caller
  /// keeps alive and in place while the vector lives and which the vector never frees
  /// (no copy is made). It may shrink and grow back within those elements; growing past
  /// them throws std::length_error and leaves the vector as it was. Switching it to
  /// block storage copies the elements out into the vector's own memory.
  static Multi_vector over_memory(Legacy_type type, void* memory, std::int64_t length);
  /// Whether the vector lies in memory lent by its caller (over_memory).
  bool uses_outside_memory() const;

  // --- type and storage -----------------------------------------------------
  const Legacy_type& get_type() const { return type_; }
  std::int64_t get_length() const { return length_; }
  std::int64_t get_element_size() const { return element_size_; }
  bool is_opaque_type() const { return opaque_; }
  /// Opaque of width 8, 12, 16, 24 or 4096. The width must lie in 1..4096.
  bool is_optimized_opaque_type() const;
  bool is_point_type() const { return type_.is_point(); }
  bool is_block_vector() const { return block_vector_; }
  bool is_same_type(const Multi_vector& other) const { return type_.is_same(other.type_); }
  bool is_same_storage(const Multi_vector& other) const {
    return block_vector_ == other.block_vector_;
  }
  bool is_same_type_and_storage(const Multi_vector& other) const {
    return is_same_type(other) && is_same_storage(other);
  }

  /// Resizes to n >= 0 elements; kept elements keep their values, new ones are zero bytes.
  void set_length(std::int64_t n);
  /// As set_length, but in contiguous mode new elements are left unset: for a caller
  /// that writes them all next, so that the memory is written once.
  void set_length_for_overwrite(std::int64_t n);

  // --- single elements --------------------------------------------------------
  /// Copies the element_size bytes of element i (0 <= i < length) to out.
  void get(std::int64_t i, void* out) const;
  /// Copies element_size bytes from in into element i (0 <= i < length).
  void set(std::int64_t i, const void* in);
  /// Element i converted to double (dummies become the double dummy; opaque text goes
  /// through the host's string conversion). An index outside the vector is a contract
  /// failure for double and opaque vectors and throws std::out_of_range for the
  /// other types.
  double get_double(std::int64_t i) const;
  /// Stores v converted to the vector's type; an index outside the vector fails as in
  /// get_double.
  void set_double(std::int64_t i, double v);
  bool is_element_dummy(std::int64_t i) const;
  void set_element_dummy(std::int64_t i);
  /// Address of element i; get_elements_remaining_in_block(i) elements follow contiguously.
  void* get_data(std::int64_t i);
  const void* get_data(std::int64_t i) const;
  /// The whole contiguous array: contiguous mode only, length >= 1.
  void* get_vector_memory();
  const void* get_vector_memory() const;

  // --- range rules ----------------------------------------------------------
  static void validate_input_range(std::int64_t start, std::int64_t& count, std::int64_t length);
  static void validate_input_range(std::int64_t start, std::int64_t& count, const Multi_vector& a);
  static void validate_input_range(std::int64_t start, std::int64_t& count, const Multi_vector& a,
                                   const Multi_vector& b);
  static void validate_input_range(std::int64_t start, std::int64_t& count, const Multi_vector& a,
                                   const Multi_vector& b, const Multi_vector& c);
  static void validate_input_range(std::int64_t start, std::int64_t& count, const Multi_vector& a,
                                   const Multi_vector& b, const Multi_vector& c,
                                   const Multi_vector& d);
  /// Resolves count -1 to the end and lengthens this vector when the range passes it.
  void validate_output_range(std::int64_t start, std::int64_t& count);
  /// For walks from start down towards 0: count -1 means down to element 0; start comes
  /// back as the same element's index in the reversed sequence.
  static void validate_reverse_input_range(std::int64_t& start, std::int64_t& count,
                                           std::int64_t length);
  /// Sets the length to exactly start + count (both >= 0).
  void ensure_output_range(std::int64_t start, std::int64_t count);

  // --- block view -------------------------------------------------------------
  std::int64_t get_block_elements() const { return block_elements_; }
  /// Number of blocks the length touches (0 when empty).
  std::int64_t get_block_count() const;
  /// Bytes used in one block: element size times elements per block.
  std::int64_t get_block_size() const;
  void* get_block(std::int64_t b);
  const void* get_block(std::int64_t b) const;
  std::int64_t get_block_for_element(std::int64_t i) const;
  /// min(block_elements - i % block_elements, length - i), in both modes.
  std::int64_t get_elements_remaining_in_block(std::int64_t i) const;
  /// Moves the elements into a block store (the vector must be contiguous).
  void switch_to_block_vector();
  /// Moves the elements into one contiguous store (the vector must be in block mode).
  void switch_to_vector();

  // --- range transfer -------------------------------------------------------
  /// Raw copy of elements in the vector's own type.
  void get_range(std::int64_t start, std::int64_t count, void* out) const;
  /// Elements converted to `type`; a raw copy when type is the vector's own.
  void get_range(const Legacy_type& type, std::int64_t start, std::int64_t count, void* out) const;
  void set_range(std::int64_t start, std::int64_t count, const void* in);
  void set_range(const Legacy_type& type, std::int64_t start, std::int64_t count, const void* in);
  void get_range_double(std::int64_t start, std::int64_t count, double* out) const;
  void set_range_double(std::int64_t start, std::int64_t count, const double* in);
  void get_range_int64(std::int64_t start, std::int64_t count, std::int64_t* out) const;
  /// Reads the range with `before` and `after` extra elements; positions outside the
  /// vector read as the double dummy. out receives before + count + after values.
  void get_expanded_range_double(std::int64_t start, std::int64_t count, std::int64_t before,
                                 std::int64_t after, double* out) const;

  // --- editing ----------------------------------------------------------------
  /// Takes src's length and its values converted to this vector's type.
  void copy(const Multi_vector& src);
  /// Within this vector, overlap-safe.
  void copy(std::int64_t dst_start, std::int64_t src_start, std::int64_t count);
  /// From src, converted; the output range may lengthen this vector.
  void copy(std::int64_t dst_start, const Multi_vector& src, std::int64_t src_start,
            std::int64_t count);
  /// Every stride-th element of src from src_start into consecutive elements from
  /// dst_start (stride >= 1). count -1 takes as many as src holds at that stride.
  void copy_stride(std::int64_t dst_start, const Multi_vector& src, std::int64_t src_start,
                   std::int64_t count, std::int64_t stride);
  void append(const Multi_vector& src);
  void append(const Multi_vector& src, std::int64_t start, std::int64_t count);
  /// Inserts count dummies at position (0 <= position <= length, count >= 0).
  void insert_dummies(std::int64_t position, std::int64_t count);
  /// Inserts src's elements (converted); src must not be this vector.
  void insert(std::int64_t position, const Multi_vector& src, std::int64_t src_start,
              std::int64_t count);
  /// n dummies in front and n behind.
  void extend(std::int64_t n);
  void erase(std::int64_t start, std::int64_t count);
  /// Removes the dummies of the range, keeping the order of the others.
  void erase_dummies(std::int64_t start, std::int64_t count);
  /// Keeps elements 0, n, 2n, ... (n >= 1).
  void decimate(std::int64_t n);
  /// Repeats every element n times (n >= 1).
  void expand(std::int64_t n);
  void reverse();
  /// Reverses elements start .. start + count - 1; the range must lie inside the vector
  /// (no count -1 here), else the contract fails. Nothing happens for count <= 0 or
  /// length <= 1.
  void reverse(std::int64_t start, std::int64_t count);

  // --- fill, search and replace ---------------------------------------------
  /// `value` points at one element of the vector's type. Output range.
  void fill_value(const void* value, std::int64_t start, std::int64_t count);
  /// Element i becomes first + (i - start) * increment, converted from int64. Output
  /// range. int32 vectors wrap as 32-bit two's complement, and every run of the block
  /// view (n elements) must satisfy increment * n + first < 2147483647.
  void fill_increasing(std::int64_t first, std::int64_t increment, std::int64_t start,
                       std::int64_t count);
  void filldummy();
  void filldummy(std::int64_t start, std::int64_t count);
  /// Lowest index in the range whose element equals value, else -1.
  std::int64_t find(const void* value, std::int64_t start, std::int64_t count) const;
  std::int64_t find_not(const void* value, std::int64_t start, std::int64_t count) const;
  std::int64_t finddummy(std::int64_t start, std::int64_t count) const;
  std::int64_t findnondummy(std::int64_t start, std::int64_t count) const;
  /// Highest index in [start - count + 1, start] whose element equals value, else -1.
  std::int64_t reverse_find(const void* value, std::int64_t start, std::int64_t count) const;
  std::int64_t reverse_find_not(const void* value, std::int64_t start, std::int64_t count) const;
  std::int64_t reverse_finddummy(std::int64_t start, std::int64_t count) const;
  std::int64_t reverse_findnondummy(std::int64_t start, std::int64_t count) const;
  void replace(const void* old_value, const void* new_value, std::int64_t start,
               std::int64_t count);
  std::int64_t count_dummy(std::int64_t start, std::int64_t count) const;
  /// Upper-cases every byte of the opaque elements of the range.
  void strupr(std::int64_t start, std::int64_t count);

  // --- sorting --------------------------------------------------------------
  // Comparison rules of the sorts:
  // - exact: integers by value; float and double by value, with NaN after every
  //   number (NaN equal to NaN); points by x, then y, then z, each by that rule;
  // - tolerant: integers exact; double values equal when |a - b| < max(|a|, |b|) * 1e-14,
  //   float values within 1e-7 (taken in float); NaN as in the exact rule; points
  //   component by component;
  // - opaque: compare_opaque_case_sensitive or compare_opaque_case_insensitive
  //   (opaque.h) over the element width, as the case flag chooses.
  // Descending order reverses the comparison, so NaN comes first there. Dummies get
  // no special place: they are ordered by their stored value, so in ascending order
  // the dummies of the signed integer, float, double and point types come first (a
  // point with a dummy x before all others) and those of the unsigned types last;
  // opaque dummies are the empty text.

  /// Unstable sort of the whole vector by the exact rule; desc for descending. The
  /// second flag matters only for opaque vectors (case-insensitive when true). Integer
  /// and floating vectors of 8192 elements or more are sorted by their bits, which puts
  /// -0.0 before 0.0 (the exact rule calls them equal).
  void sort(bool desc, bool case_insensitive);
  /// Stable sort of the whole vector by the tolerant rule: elements the rule calls
  /// equal keep their order. Flags as in sort.
  void stable_sort(bool desc, bool case_insensitive);
  /// Whether no element orders strictly before its predecessor (equal neighbours are
  /// in order): the exact rule, or for opaque vectors the opaque rule of the case
  /// flag. An empty vector is sorted.
  bool is_sorted(bool desc, bool case_insensitive) const;
  /// Sets index (int32 or int64) to key's length and fills it with the permutation
  /// of 0 .. n-1 that orders key stably by the tolerant rule. Flag order: descending
  /// first, then case_sensitive (opaque keys compare case-sensitively when true) --
  /// the reverse sense of sort_index_on_data. Another index type is a contract
  /// failure after the index has been resized.
  static void sort_index_1(Multi_vector& index, const Multi_vector& key, bool desc,
                           bool case_sensitive);
  /// As sort_index_1 over two keys: key2 decides where key1 calls two elements equal;
  /// each key has its own direction flag. Opaque keys always compare case-
  /// insensitively. Every key must have key1's length (a contract failure before the
  /// index changes).
  static void sort_index_2(Multi_vector& index, const Multi_vector& key1, bool desc1,
                           const Multi_vector& key2, bool desc2);
  /// As sort_index_2 with three keys.
  static void sort_index_3(Multi_vector& index, const Multi_vector& key1, bool desc1,
                           const Multi_vector& key2, bool desc2, const Multi_vector& key3,
                           bool desc3);
  /// As sort_index_2 with four keys.
  static void sort_index_4(Multi_vector& index, const Multi_vector& key1, bool desc1,
                           const Multi_vector& key2, bool desc2, const Multi_vector& key3,
                           bool desc3, const Multi_vector& key4, bool desc4);
  /// sort_index_1 called on the index vector. Flag order: case_insensitive first, then
  /// ascending (descending when false) -- the reverse sense of sort_index_1's flags.
  void sort_index_on_data(const Multi_vector& key, bool case_insensitive, bool ascending);
  /// Output range: element i becomes source element index[i] (index converted to
  /// int64, floating values rounded half away from zero), or the dummy where that
  /// position lies outside source or the index is a dummy. The input range is
  /// checked against index; source must have this vector's type. source and index may
  /// be this vector.
  void insert_index(const Multi_vector& source, const Multi_vector& index, std::int64_t start,
                    std::int64_t count);

  // --- masks ------------------------------------------------------------------
  // A mask is any vector; element i of the mask governs element i of the target.
  // Bit i of a bitset belongs to element i (not to i - start); a set bit means "not a
  // dummy".

  /// Input range checked against mask, then the output range on this vector (which
  /// may grow; new elements are zero bytes). Every element whose mask element is a
  /// dummy becomes a dummy; others are untouched. The mask may be this vector.
  void apply_mask(const Multi_vector& mask, std::int64_t start, std::int64_t count);
  /// As apply_mask, but an element becomes a dummy where its mask element equals
  /// *value (one element of the mask's type): integers bit for bit, float and double
  /// numerically (0.0 equals -0.0, NaN equals nothing), points with the dummy-aware
  /// point equality, opaque values when all bytes are equal.
  void apply_mask_value(const Multi_vector& mask, const void* value, std::int64_t start,
                        std::int64_t count);
  /// Range checked against this vector and the mask (the shorter length). With
  /// erase_mask_dummies, erases the elements whose mask element is a dummy, else those
  /// whose mask element is not; the others keep their order and the tail moves down.
  /// The mask may be this vector.
  void erase_mask(const Multi_vector& mask, bool erase_mask_dummies, std::int64_t start,
                  std::int64_t count);
  /// erase_dummies(start, count) on each of the n vectors in turn. n must be
  /// positive, and every vector and its range are checked before any vector changes.
  static void erase_dummies_n(Multi_vector** vectors, std::int64_t n, std::int64_t start,
                              std::int64_t count);
  /// Bit i := element i is not a dummy, for i in the range; a bitset shorter than
  /// start + count first grows to that size (new bits clear). The bitset is written
  /// by several threads, in whole words each: it must not be shared meanwhile.
  void set_bitmask(boost::dynamic_bitset<unsigned long>& bits, std::int64_t start,
                   std::int64_t count) const;
  /// Clears bit i where element i is a dummy; never sets a bit. Grows the bitset as
  /// set_bitmask does.
  void and_bitmask(boost::dynamic_bitset<unsigned long>& bits, std::int64_t start,
                   std::int64_t count) const;
  /// Element i becomes a dummy where bit i is clear. The bitset must hold at least
  /// start + count bits (a contract failure otherwise); it is only read.
  void apply_bitmask(const boost::dynamic_bitset<unsigned long>& bits, std::int64_t start,
                     std::int64_t count);
  /// Trims both channels to the mask's first .. last non-dummy element and extends
  /// both by `extension` samples at each end: the mask with 1, the positions
  /// continuing from the kept end positions at spacing step (decreasing when the
  /// positions decrease). Neither channel may be opaque, both must have one length,
  /// step > 0 and extension >= 0, all checked before any change. A mask without a
  /// non-dummy element changes nothing.
  static void extend_mask_pos(Multi_vector& position, Multi_vector& mask, double step,
                              std::int64_t extension);
  /// Does nothing.
  static void and_bitmask_n(boost::dynamic_bitset<unsigned long>& bits, std::int64_t start,
                            std::int64_t count);
  /// Does nothing.
  static void dummy_repeat_n(std::int64_t start, std::int64_t count, DUMMY_REPEAT_MODE mode);

  // --- debug dump -------------------------------------------------------------
  /// Writes a 25-byte header (type tag 0 int64, 1 uint64, 2 float, 3 double; the
  /// element count, little-endian; two zero words) and the raw elements. int64,
  /// uint64, float and double vectors only (other types fail the contract before the
  /// file is touched). A file that cannot be opened or written throws
  /// std::runtime_error naming the path.
  void debug_write_to_file(const std::string& path) const;
  /// Replaces the elements with those of a file written by debug_write_to_file, in
  /// either storage mode. A file shorter than its header, or holding another type,
  /// leaves the vector empty without an error. A body shorter than its header announces
  /// throws std::runtime_error("Read failed") and keeps the elements read so far. A
  /// file that cannot be opened throws std::runtime_error naming the path.
  void debug_read_from_file(const std::string& path);

 private:
  friend struct vorlith::storage::Multi_vector_access;

  // A store owned through a type-erased pointer; its concrete type follows from the
  // vector's type and mode.
  using Store = std::unique_ptr<void, detail::Store_deleter>;

  std::int64_t compute_block_elements() const;
  void make_store();

  /// a is double and every other vector has a's type and storage mode.
  static bool is_double_and_same_storage(const Multi_vector& a, const Multi_vector& b);
  static bool is_double_and_same_storage(const Multi_vector& a, const Multi_vector& b,
                                         const Multi_vector& c);
  static bool is_double_and_same_storage(const Multi_vector& a, const Multi_vector& b,
                                         const Multi_vector& c, const Multi_vector& d);
  /// Element i against element j by the tolerant rule; opaque case-sensitively or
  /// case-insensitively.
  compare_direction compare_data_values_sensative(std::int64_t i, std::int64_t j) const;
  compare_direction compare_data_values_insensative(std::int64_t i, std::int64_t j) const;

  Legacy_type type_;
  bool block_vector_;
  bool opaque_;
  std::int64_t element_size_;
  std::int64_t block_elements_;
  std::int64_t length_;
  Store vector_store_;
  Store block_store_;
};

}  // namespace vorlith::integration
