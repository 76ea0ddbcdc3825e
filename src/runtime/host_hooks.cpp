#include <vorlith/fail_fast.h>
#include <vorlith/host_hooks.h>

#include "runtime/parallel.h"
#include "runtime/sizes.h"
#include "types/text_conversions.h"

namespace {

void default_abort(const char* const message) {
  throw vorlith::integration::Contract_failure(message, external_abort_reason());
}
void progress_start(const char*) {}
void progress_update(std::int64_t, std::int64_t) {}
bool progress_is_cancelled() { return false; }
void progress_finish() {}
bool smp_inactive() { return false; }

const external_progress_functions default_progress_functions{
    progress_start, progress_update, progress_is_cancelled, progress_finish};
const external_sys_functions default_sys_functions{smp_inactive};

// Plain statics, read without locks; the host registers before it starts work.
void (*abort_method)(const char* const) = default_abort;
external_progress_functions progress_functions = default_progress_functions;
external_string_functions string_functions = vorlith::text::default_string_functions();
external_sys_functions sys_functions = default_sys_functions;
std::int64_t min_thread_block = vorlith::sizes::min_chunk;
thread_local bool nan_missing = false;  // per calling thread: two callers may differ
vorlith::integration::IntegrationProgressReporter progress_reporter(&progress_functions);

// A null slot stands for the library's own function, so a stored table never holds
// one and no call goes through a null pointer later, far from the registration.
template <class Slot>
void default_if_null(Slot& slot, Slot library_default) {
  if (slot == nullptr) slot = library_default;
}

}  // namespace

void register_external_abort_method(void (*method)(const char* const)) {
  abort_method = method;
  default_if_null(abort_method, &default_abort);
}
void external_abort(const char* const message) { abort_method(message); }

void register_external_progress_functions(const external_progress_functions& functions) {
  progress_functions = functions;
  const external_progress_functions& d = default_progress_functions;
  default_if_null(progress_functions.start, d.start);
  default_if_null(progress_functions.update, d.update);
  default_if_null(progress_functions.is_cancelled, d.is_cancelled);
  default_if_null(progress_functions.finish, d.finish);
}
const external_progress_functions& get_external_progress_functions() { return progress_functions; }
vorlith::integration::IntegrationProgressReporter& get_integration_progress_reporter() {
  return progress_reporter;
}

void register_external_string_conversions(const external_string_functions& functions) {
  string_functions = functions;
  external_string_functions& s = string_functions;
  const external_string_functions& d = vorlith::text::default_string_functions();
  default_if_null(s.int32_from_string, d.int32_from_string);
  default_if_null(s.uint32_from_string, d.uint32_from_string);
  default_if_null(s.int64_from_string, d.int64_from_string);
  default_if_null(s.uint64_from_string, d.uint64_from_string);
  default_if_null(s.double_from_string, d.double_from_string);
  default_if_null(s.float_point_2d_from_string, d.float_point_2d_from_string);
  default_if_null(s.double_point_2d_from_string, d.double_point_2d_from_string);
  default_if_null(s.float_point_3d_from_string, d.float_point_3d_from_string);
  default_if_null(s.double_point_3d_from_string, d.double_point_3d_from_string);
  default_if_null(s.int32_to_string, d.int32_to_string);
  default_if_null(s.uint32_to_string, d.uint32_to_string);
  default_if_null(s.int64_to_string, d.int64_to_string);
  default_if_null(s.uint64_to_string, d.uint64_to_string);
  default_if_null(s.double_to_string, d.double_to_string);
  default_if_null(s.float_point_2d_to_string, d.float_point_2d_to_string);
  default_if_null(s.double_point_2d_to_string, d.double_point_2d_to_string);
  default_if_null(s.float_point_3d_to_string, d.float_point_3d_to_string);
  default_if_null(s.double_point_3d_to_string, d.double_point_3d_to_string);
}
const external_string_functions& get_external_string_functions() { return string_functions; }

void register_external_sys_functions(const external_sys_functions& functions) {
  sys_functions = functions;
  default_if_null(sys_functions.is_smp_active, default_sys_functions.is_smp_active);
}
const external_sys_functions& get_external_sys_functions() { return sys_functions; }
bool external_is_smp_active() { return sys_functions.is_smp_active(); }

std::int64_t get_integration_min_thread_block() { return min_thread_block; }
void set_integration_min_thread_block(std::int64_t block) { min_thread_block = block; }

int get_integration_max_threads() { return vorlith::parallel::processor_count_cap(); }
void set_integration_max_threads(int cap) { vorlith::parallel::set_processor_count_cap(cap); }

bool get_integration_nan_missing() { return nan_missing; }
void set_integration_nan_missing(bool missing) { nan_missing = missing; }

using vorlith::common::Point_2d;
using vorlith::common::Point_3d;

std::int32_t external_int32_from_string(const char* t, std::int64_t w) {
  return string_functions.int32_from_string(t, w);
}
std::uint32_t external_uint32_from_string(const char* t, std::int64_t w) {
  return string_functions.uint32_from_string(t, w);
}
std::int64_t external_int64_from_string(const char* t, std::int64_t w) {
  return string_functions.int64_from_string(t, w);
}
std::uint64_t external_uint64_from_string(const char* t, std::int64_t w) {
  return string_functions.uint64_from_string(t, w);
}
double external_double_from_string(const char* t, std::int64_t w) {
  return string_functions.double_from_string(t, w);
}
Point_2d<float> external_float_point_2d_from_string(const char* t, std::int64_t w) {
  return string_functions.float_point_2d_from_string(t, w);
}
Point_2d<double> external_double_point_2d_from_string(const char* t, std::int64_t w) {
  return string_functions.double_point_2d_from_string(t, w);
}
Point_3d<float> external_float_point_3d_from_string(const char* t, std::int64_t w) {
  return string_functions.float_point_3d_from_string(t, w);
}
Point_3d<double> external_double_point_3d_from_string(const char* t, std::int64_t w) {
  return string_functions.double_point_3d_from_string(t, w);
}
void external_int32_to_string(std::int32_t v, char* t, std::int64_t w) {
  string_functions.int32_to_string(v, t, w);
}
void external_uint32_to_string(std::uint32_t v, char* t, std::int64_t w) {
  string_functions.uint32_to_string(v, t, w);
}
void external_int64_to_string(std::int64_t v, char* t, std::int64_t w) {
  string_functions.int64_to_string(v, t, w);
}
void external_uint64_to_string(std::uint64_t v, char* t, std::int64_t w) {
  string_functions.uint64_to_string(v, t, w);
}
void external_double_to_string(double v, char* t, std::int64_t w) {
  string_functions.double_to_string(v, t, w);
}
void external_float_point_2d_to_string(Point_2d<float> v, char* t, std::int64_t w) {
  string_functions.float_point_2d_to_string(v, t, w);
}
void external_double_point_2d_to_string(Point_2d<double> v, char* t, std::int64_t w) {
  string_functions.double_point_2d_to_string(v, t, w);
}
void external_float_point_3d_to_string(Point_3d<float> v, char* t, std::int64_t w) {
  string_functions.float_point_3d_to_string(v, t, w);
}
void external_double_point_3d_to_string(Point_3d<double> v, char* t, std::int64_t w) {
  string_functions.double_point_3d_to_string(v, t, w);
}
