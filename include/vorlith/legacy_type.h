#pragma once
// Legacy_type: the element type of a vector or of a raw buffer, and the conversion of
// packed element arrays between any two types.

#include <vorlith/export.h>

#include <cstdint>
#include <string>

namespace vorlith::integration {

/// Type codes. 0..7 integers, 8..9 floating, 10..13 points, 14 opaque text.
enum legacy_data_type : std::int32_t {
  type_int8 = 0,
  type_uint8 = 1,
  type_int16 = 2,
  type_uint16 = 3,
  type_int32 = 4,
  type_uint32 = 5,
  type_int64 = 6,
  type_uint64 = 7,
  type_float = 8,
  type_double = 9,
  type_float_point_2d = 10,
  type_double_point_2d = 11,
  type_float_point_3d = 12,
  type_double_point_3d = 13,
  type_opaque = 14,
};

/// A type code and an element size. Copyable value class.
///
/// Conversion rules (every member converts `count` packed elements; count >= 0; source
/// and target must not overlap):
/// - a source dummy gives the target's dummy; an integer target never receives its
///   dummy from a non-dummy value (saturation stops one short);
/// - integer to integer saturates to the target's valid range;
/// - float/double to integer adds one half (subtracts for negatives) in the source's
///   precision, truncates, and saturates; +-infinity saturate; NaN gives the dummy;
/// - double to float saturates at +-3.4028234663852886e38; float to double is exact;
/// - points convert to scalars through their magnitude, scalars to points as x with
///   the other components 0, points to points component by component;
/// - numbers to opaque text and back go through the registered text functions;
///   opaque to opaque copies, cuts or zero-pads each element.
class VORLITH_API Legacy_type {
 public:
  /// A fixed type of code 0..13; any other code (opaque included) fails its contract.
  Legacy_type(legacy_data_type code);  // NOLINT: implicit on purpose, codes read as types
  /// An opaque text type of `width` bytes (1..4096 for operations on data).
  explicit Legacy_type(std::int64_t width);
  Legacy_type(const Legacy_type&) = default;
  Legacy_type& operator=(const Legacy_type&) = default;

  /// Opaque types are the same when their widths are equal, others when codes are.
  bool is_same(const Legacy_type& other) const;
  bool operator==(const Legacy_type& other) const { return is_same(other); }
  bool operator!=(const Legacy_type& other) const { return !is_same(other); }

  legacy_data_type get_data_type() const { return data_type_; }
  std::int64_t get_element_size() const { return element_size_; }
  /// The element size for codes 0..13, 1 for opaque.
  std::uint64_t get_memory_size() const;
  /// "int8" ... "double_point_3d", or "opaque(N)".
  std::string get_name() const;

  bool is_floating() const { return data_type_ == type_float || data_type_ == type_double; }
  bool is_integral() const { return data_type_ >= type_int8 && data_type_ <= type_uint64; }
  bool is_point() const {
    return data_type_ >= type_float_point_2d && data_type_ <= type_double_point_3d;
  }
  bool is_opaque() const { return data_type_ == type_opaque; }

  /// The pointer members below refuse a null pointer (a contract failure) unless their
  /// count is 0.
  ///
  /// Whether the one element at `value` is this type's dummy. Opaque: empty text or
  /// the single character '*'. Floating: exact equality with -1.0e32 (NaN never).
  /// Points: any component is the component dummy.
  bool is_dummy(const void* value) const;
  /// Writes this type's dummy into the one element at `value` (opaque: zero bytes).
  void set_dummy(void* value) const;

  /// Converts count elements of this type at `source` into `target_type` at `target`.
  void convert_to(const void* source, void* target, const Legacy_type& target_type,
                  std::int64_t count) const;
  void convert_to_double(const void* source, double* target, std::int64_t count) const;
  void convert_from_double(const double* source, void* target, std::int64_t count) const;
  void convert_to_int64(const void* source, std::int64_t* target, std::int64_t count) const;
  void convert_from_int64(const std::int64_t* source, void* target, std::int64_t count) const;

 private:
  static std::int64_t get_known_size(legacy_data_type code);

  legacy_data_type data_type_;
  std::int64_t element_size_;
};

}  // namespace vorlith::integration
