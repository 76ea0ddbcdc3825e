// Direct-method wrappers: each forwards to the Multi_vector members it names.

#include <vorlith/export_direct_methods.h>

namespace vorlith::integration {

void Export_direct_methods::append(Multi_vector& a, Multi_vector& b, std::int64_t start,
                                   std::int64_t count) {
  a.append(b, start, count);
}

void Export_direct_methods::copy(Multi_vector& a, Multi_vector& b, std::int64_t start,
                                 std::int64_t count) {
  a.copy(b);
  a.copy(0, start, count);
  a.copy(0, b, start, count);
}

void Export_direct_methods::countdummy(Multi_vector& a, std::int64_t start, std::int64_t count) {
  static_cast<void>(a.count_dummy(start, count));
}

void Export_direct_methods::erase(Multi_vector& a, std::int64_t start, std::int64_t count) {
  a.erase(start, count);
}

void Export_direct_methods::erase_mask(Multi_vector& a, std::int64_t start, std::int64_t count) {
  a.erase_mask(a, true, start, count);
}

void Export_direct_methods::finddummy(Multi_vector& a, std::int64_t start, std::int64_t count) {
  static_cast<void>(a.finddummy(start, count));
}

void Export_direct_methods::findnondummy(Multi_vector& a, std::int64_t start, std::int64_t count) {
  static_cast<void>(a.findnondummy(start, count));
}

void Export_direct_methods::get_range(const Multi_vector& a, const Legacy_type& type,
                                      std::int64_t start, std::int64_t count, void* out) {
  a.get_range(type, start, count, out);
}

void Export_direct_methods::get_range(const Multi_vector& a, std::int64_t start, std::int64_t count,
                                      void* out) {
  a.get_range(start, count, out);
}

void Export_direct_methods::get_range_double(const Multi_vector& a, std::int64_t start,
                                             std::int64_t count, double* out) {
  a.get_range_double(start, count, out);
}

void Export_direct_methods::insert_dummies(Multi_vector& a, std::int64_t position,
                                           std::int64_t count) {
  a.insert_dummies(position, count);
}

void Export_direct_methods::mask(Multi_vector& a) { a.apply_mask(a, 0, 1); }

void Export_direct_methods::replace(Multi_vector& a, const void* old_value, const void* new_value,
                                    std::int64_t start, std::int64_t count) {
  a.replace(old_value, new_value, start, count);
}

void Export_direct_methods::replace(Multi_vector& a, std::int64_t n) { a.decimate(n); }

void Export_direct_methods::reverse(Multi_vector& a) { a.reverse(); }

void Export_direct_methods::reverse_finddummy(Multi_vector& a, std::int64_t start,
                                              std::int64_t count) {
  static_cast<void>(a.reverse_finddummy(start, count));
}

void Export_direct_methods::reverse_findnondummy(Multi_vector& a, std::int64_t start,
                                                 std::int64_t count) {
  static_cast<void>(a.reverse_findnondummy(start, count));
}

void Export_direct_methods::set_range(Multi_vector& a, const Legacy_type& type, std::int64_t start,
                                      std::int64_t count, const void* in) {
  a.set_range(type, start, count, in);
}

void Export_direct_methods::set_range(Multi_vector& a, std::int64_t start, std::int64_t count,
                                      const void* in) {
  a.set_range(start, count, in);
}

void Export_direct_methods::set_range_double(Multi_vector& a, std::int64_t start,
                                             std::int64_t count, const double* in) {
  a.set_range_double(start, count, in);
}

void Export_direct_methods::sort(Multi_vector& a, bool flag) { a.sort(flag, false); }

void Export_direct_methods::strupr(Multi_vector& a, std::int64_t start, std::int64_t count) {
  a.strupr(start, count);
}

}  // namespace vorlith::integration
