#pragma once
// Host hooks and process-wide settings. The host may replace the abort method and
// the three function tables before it starts work; until then the library's
// defaults apply. A null pointer, as the abort method or in any slot of a table,
// stands for the library's default of that slot: a host that replaces one text
// conversion registers a table with only that slot set, and a value-initialised
// table ({}) restores every default. Registration is not synchronised with running
// operations.

#include <vorlith/export.h>
#include <vorlith/point.h>

#include <cstdint>

/// Progress callbacks. The library stores and hands them out but never calls them.
/// Defaults: the three void slots do nothing, is_cancelled returns false.
struct external_progress_functions {
  void (*start)(const char* title);
  void (*update)(std::int64_t done, std::int64_t total);
  bool (*is_cancelled)();
  void (*finish)();
};

/// Text conversions used for opaque (fixed-width text) elements. A from-text function
/// reads a field of `width` bytes that need not be zero-terminated; a to-text function
/// fills exactly `width` bytes (zero-padded, cut when longer).
///
/// The defaults read and write numbers by the C locale's rules whatever locale the
/// host has set. From text: a width outside 0..4096 is a contract failure; the text
/// ends at the first zero byte and loses C whitespace at both ends; an empty text, a
/// text starting with '*' or one that does not parse whole gives the target's dummy.
/// Integers are an optional sign and decimal digits; out-of-range values give what
/// strtol/strtoul of the target's width give (signed ones saturate; unsigned ones
/// saturate on magnitude, and a '-' negates modulo 2^N, so '-1' is all ones). Doubles
/// use digits, signs, '.', 'e' and 'E' only ('inf' and 'nan' are dummies); a value
/// beyond the double range reads as an infinity, one below it as a signed zero.
/// Points are '{x,y}' or '{x,y,z}' (a wrong shape gives the all-dummy point; a bad
/// component is that component's dummy); float points narrow each component with
/// saturation at the float range. To text: integers in decimal, doubles as "%f",
/// points as "{%f,%f}" or "{%f,%f,%f}"; a width of 0 or less writes nothing.
struct external_string_functions {
  std::int32_t (*int32_from_string)(const char* text, std::int64_t width);
  std::uint32_t (*uint32_from_string)(const char* text, std::int64_t width);
  std::int64_t (*int64_from_string)(const char* text, std::int64_t width);
  std::uint64_t (*uint64_from_string)(const char* text, std::int64_t width);
  double (*double_from_string)(const char* text, std::int64_t width);
  vorlith::common::Point_2d<float> (*float_point_2d_from_string)(const char* text,
                                                                 std::int64_t width);
  vorlith::common::Point_2d<double> (*double_point_2d_from_string)(const char* text,
                                                                   std::int64_t width);
  vorlith::common::Point_3d<float> (*float_point_3d_from_string)(const char* text,
                                                                 std::int64_t width);
  vorlith::common::Point_3d<double> (*double_point_3d_from_string)(const char* text,
                                                                   std::int64_t width);
  void (*int32_to_string)(std::int32_t value, char* text, std::int64_t width);
  void (*uint32_to_string)(std::uint32_t value, char* text, std::int64_t width);
  void (*int64_to_string)(std::int64_t value, char* text, std::int64_t width);
  void (*uint64_to_string)(std::uint64_t value, char* text, std::int64_t width);
  void (*double_to_string)(double value, char* text, std::int64_t width);
  void (*float_point_2d_to_string)(vorlith::common::Point_2d<float> value, char* text,
                                   std::int64_t width);
  void (*double_point_2d_to_string)(vorlith::common::Point_2d<double> value, char* text,
                                    std::int64_t width);
  void (*float_point_3d_to_string)(vorlith::common::Point_3d<float> value, char* text,
                                   std::int64_t width);
  void (*double_point_3d_to_string)(vorlith::common::Point_3d<double> value, char* text,
                                    std::int64_t width);
};

/// System queries. is_smp_active answers whether the host already runs work in
/// parallel; when true every operation runs on the calling thread. Default: false.
struct external_sys_functions {
  bool (*is_smp_active)();
};

namespace vorlith::integration {

/// Gives code built on the library access to the registered progress functions.
class VORLITH_API IntegrationProgressReporter {
 public:
  explicit IntegrationProgressReporter(const external_progress_functions* functions)
      : functions_(functions) {}
  /// The registered progress table.
  const external_progress_functions& functions() const { return *functions_; }

 private:
  const external_progress_functions* functions_;
};

}  // namespace vorlith::integration

/// Replaces the abort method called on a failed contract check; null restores the
/// default. The default throws vorlith::integration::Contract_failure (a
/// gsl::fail_fast) with the message and the check's reason. If a host method returns,
/// the failed check throws gsl::fail_fast itself: no operation goes on past a failed
/// check.
VORLITH_API void register_external_abort_method(void (*method)(const char* const message));
/// Calls the current abort method with the message.
VORLITH_API void external_abort(const char* const message);
/// While the abort method runs for a failed check: that check's plain reason
/// ("clamp_to_range: minimum 5 is above maximum 2"), for hosts that log it. Empty otherwise.
VORLITH_API const char* external_abort_reason();

/// Copies the table; a null slot gets the default of that slot.
VORLITH_API void register_external_progress_functions(const external_progress_functions& functions);
/// The table in use (never a null slot); copy it to restore it later.
VORLITH_API const external_progress_functions& get_external_progress_functions();
VORLITH_API vorlith::integration::IntegrationProgressReporter& get_integration_progress_reporter();

/// Copies the table; a null slot gets the library's own conversion for that slot.
VORLITH_API void register_external_string_conversions(const external_string_functions& functions);
/// The table in use (never a null slot); copy it to restore it later.
VORLITH_API const external_string_functions& get_external_string_functions();
/// Copies the table; a null is_smp_active gets the default (answers false).
VORLITH_API void register_external_sys_functions(const external_sys_functions& functions);
/// The table in use (never a null slot); copy it to restore it later.
VORLITH_API const external_sys_functions& get_external_sys_functions();
/// Calls the registered is_smp_active.
VORLITH_API bool external_is_smp_active();

/// Each forwards to its slot of the registered external_string_functions.
VORLITH_API std::int32_t external_int32_from_string(const char* text, std::int64_t width);
VORLITH_API std::uint32_t external_uint32_from_string(const char* text, std::int64_t width);
VORLITH_API std::int64_t external_int64_from_string(const char* text, std::int64_t width);
VORLITH_API std::uint64_t external_uint64_from_string(const char* text, std::int64_t width);
VORLITH_API double external_double_from_string(const char* text, std::int64_t width);
VORLITH_API vorlith::common::Point_2d<float> external_float_point_2d_from_string(
    const char* text, std::int64_t width);
VORLITH_API vorlith::common::Point_2d<double> external_double_point_2d_from_string(
    const char* text, std::int64_t width);
VORLITH_API vorlith::common::Point_3d<float> external_float_point_3d_from_string(
    const char* text, std::int64_t width);
VORLITH_API vorlith::common::Point_3d<double> external_double_point_3d_from_string(
    const char* text, std::int64_t width);
VORLITH_API void external_int32_to_string(std::int32_t value, char* text, std::int64_t width);
VORLITH_API void external_uint32_to_string(std::uint32_t value, char* text, std::int64_t width);
VORLITH_API void external_int64_to_string(std::int64_t value, char* text, std::int64_t width);
VORLITH_API void external_uint64_to_string(std::uint64_t value, char* text, std::int64_t width);
VORLITH_API void external_double_to_string(double value, char* text, std::int64_t width);
VORLITH_API void external_float_point_2d_to_string(vorlith::common::Point_2d<float> value,
                                                   char* text, std::int64_t width);
VORLITH_API void external_double_point_2d_to_string(vorlith::common::Point_2d<double> value,
                                                    char* text, std::int64_t width);
VORLITH_API void external_float_point_3d_to_string(vorlith::common::Point_3d<float> value,
                                                   char* text, std::int64_t width);
VORLITH_API void external_double_point_3d_to_string(vorlith::common::Point_3d<double> value,
                                                    char* text, std::int64_t width);

/// The minimum number of indices per thread for parallel operations (default 16384).
/// Stored unchanged; set it only while no operation runs.
VORLITH_API std::int64_t get_integration_min_thread_block();
VORLITH_API void set_integration_min_thread_block(std::int64_t block);

/// Caps the processor count parallel operations plan their chunks with: min(cap, the
/// processors of the machine). 0, the default, means no cap. Results depend only on
/// the planned count, so a given cap gives the same results on any larger machine.
/// Set it only while no operation runs; a negative cap is a contract failure.
VORLITH_API int get_integration_max_threads();
VORLITH_API void set_integration_max_threads(int cap);

/// Whether NaN is a missing sample for the members computed on pieces of doubles (among
/// them add, subtract, multiply, divide, the masks, sum and mean) called on this thread:
/// while set, NaN in a float or double input reads as the dummy and a float or double
/// output receives NaN where the member writes the dummy. Off by default; the dummy
/// itself stays missing. Members with other loops ignore it.
VORLITH_API bool get_integration_nan_missing();
VORLITH_API void set_integration_nan_missing(bool missing);
