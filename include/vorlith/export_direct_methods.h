#pragma once
// Export_direct_methods: Multi_vector operations as free-standing static calls.

#include <vorlith/export.h>
#include <vorlith/legacy_type.h>
#include <vorlith/multi_vector.h>

#include <cstdint>

namespace vorlith::integration {

/// Static wrappers that forward to Multi_vector members, the vector worked on coming
/// first. They add no checks: every range rule, contract failure and effect is the
/// member's. Wrappers of searches and counts return nothing; their observable effect
/// is the member's range check.
///
/// Threads: the wrappers of reads (countdummy, finddummy, findnondummy, get_range,
/// get_range_double, reverse_finddummy, reverse_findnondummy) only read a, like the
/// const members they call, and may run at the same time as other reads of a. Every
/// other wrapper changes a and needs it to itself.
class VORLITH_API Export_direct_methods {
 public:
  /// a.append(b, start, count).
  static void append(Multi_vector& a, Multi_vector& b, std::int64_t start, std::int64_t count);
  /// a.copy(b); a.copy(0, start, count); a.copy(0, b, start, count), in that order: a
  /// ends with b's length, b's elements from start in front, then b's from count on.
  static void copy(Multi_vector& a, Multi_vector& b, std::int64_t start, std::int64_t count);
  /// a.count_dummy(start, count); the count is dropped.
  static void countdummy(Multi_vector& a, std::int64_t start, std::int64_t count);
  /// a.erase(start, count).
  static void erase(Multi_vector& a, std::int64_t start, std::int64_t count);
  /// a.erase_mask(a, true, start, count): erases the dummies of the range, keeping the
  /// order of the others.
  static void erase_mask(Multi_vector& a, std::int64_t start, std::int64_t count);
  /// a.finddummy(start, count); the index is dropped.
  static void finddummy(Multi_vector& a, std::int64_t start, std::int64_t count);
  /// a.findnondummy(start, count); the index is dropped.
  static void findnondummy(Multi_vector& a, std::int64_t start, std::int64_t count);
  /// a.get_range(type, start, count, out).
  static void get_range(const Multi_vector& a, const Legacy_type& type, std::int64_t start,
                        std::int64_t count, void* out);
  /// a.get_range(start, count, out).
  static void get_range(const Multi_vector& a, std::int64_t start, std::int64_t count, void* out);
  /// a.get_range_double(start, count, out).
  static void get_range_double(const Multi_vector& a, std::int64_t start, std::int64_t count,
                               double* out);
  /// a.insert_dummies(position, count).
  static void insert_dummies(Multi_vector& a, std::int64_t position, std::int64_t count);
  /// a.apply_mask(a, 0, 1): the vector masks itself over element 0 only, so it
  /// changes nothing (a dummy stays a dummy).
  static void mask(Multi_vector& a);
  /// a.replace(old_value, new_value, start, count).
  static void replace(Multi_vector& a, const void* old_value, const void* new_value,
                      std::int64_t start, std::int64_t count);
  /// a.decimate(n), despite the name.
  static void replace(Multi_vector& a, std::int64_t n);
  /// a.reverse().
  static void reverse(Multi_vector& a);
  /// a.reverse_finddummy(start, count); the index is dropped.
  static void reverse_finddummy(Multi_vector& a, std::int64_t start, std::int64_t count);
  /// a.reverse_findnondummy(start, count); the index is dropped.
  static void reverse_findnondummy(Multi_vector& a, std::int64_t start, std::int64_t count);
  /// a.set_range(type, start, count, in).
  static void set_range(Multi_vector& a, const Legacy_type& type, std::int64_t start,
                        std::int64_t count, const void* in);
  /// a.set_range(start, count, in).
  static void set_range(Multi_vector& a, std::int64_t start, std::int64_t count, const void* in);
  /// a.set_range_double(start, count, in).
  static void set_range_double(Multi_vector& a, std::int64_t start, std::int64_t count,
                               const double* in);
  /// a.sort(flag, false): unstable, by the exact rule of Multi_vector::sort (NaN after
  /// every number, dummies by their stored value); descending when flag is true;
  /// opaque values case-sensitively.
  static void sort(Multi_vector& a, bool flag);
  /// a.strupr(start, count).
  static void strupr(Multi_vector& a, std::int64_t start, std::int64_t count);
};

}  // namespace vorlith::integration
