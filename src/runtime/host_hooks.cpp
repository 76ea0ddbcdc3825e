#include <vorlith/fail_fast.h>
#include <vorlith/host_hooks.h>

#include "runtime/text_conversions.h"

namespace {

void default_abort(const char* const message) {
  throw vorlith::integration::Contract_failure(message, external_abort_reason());
}
void progress_start(const char*) {}
void progress_update(std::int64_t, std::int64_t) {}
bool progress_is_cancelled() { return false; }
void progress_finish() {}
bool smp_inactive() { return false; }

// Plain statics, read without locks; the host registers before it starts work.
void (*abort_method)(const char* const) = default_abort;
external_progress_functions progress_functions{progress_start, progress_update,
                                               progress_is_cancelled, progress_finish};
external_string_functions string_functions = vorlith::text::default_string_functions();
external_sys_functions sys_functions{smp_inactive};
std::int64_t min_thread_block = 16384;
vorlith::integration::IntegrationProgressReporter progress_reporter(&progress_functions);

}  // namespace

void register_external_abort_method(void (*method)(const char* const)) { abort_method = method; }
void external_abort(const char* const message) { abort_method(message); }

void register_external_progress_functions(const external_progress_functions& functions) {
  progress_functions = functions;
}
const external_progress_functions& get_external_progress_functions() { return progress_functions; }
vorlith::integration::IntegrationProgressReporter& get_integration_progress_reporter() {
  return progress_reporter;
}

void register_external_string_conversions(const external_string_functions& functions) {
  string_functions = functions;
}
void register_external_sys_functions(const external_sys_functions& functions) {
  sys_functions = functions;
}
bool external_is_smp_active() { return sys_functions.is_smp_active(); }

std::int64_t get_integration_min_thread_block() { return min_thread_block; }
void set_integration_min_thread_block(std::int64_t block) { min_thread_block = block; }

using vorlith::common::Point_2d;
using vorlith::common::Point_3d;

std::int32_t external_int32_from_string(const char* t, std::int64_t w) { return string_functions.int32_from_string(t, w); }
std::uint32_t external_uint32_from_string(const char* t, std::int64_t w) { return string_functions.uint32_from_string(t, w); }
std::int64_t external_int64_from_string(const char* t, std::int64_t w) { return string_functions.int64_from_string(t, w); }
std::uint64_t external_uint64_from_string(const char* t, std::int64_t w) { return string_functions.uint64_from_string(t, w); }
double external_double_from_string(const char* t, std::int64_t w) { return string_functions.double_from_string(t, w); }
Point_2d<float> external_float_point_2d_from_string(const char* t, std::int64_t w) { return string_functions.float_point_2d_from_string(t, w); }
Point_2d<double> external_double_point_2d_from_string(const char* t, std::int64_t w) { return string_functions.double_point_2d_from_string(t, w); }
Point_3d<float> external_float_point_3d_from_string(const char* t, std::int64_t w) { return string_functions.float_point_3d_from_string(t, w); }
Point_3d<double> external_double_point_3d_from_string(const char* t, std::int64_t w) { return string_functions.double_point_3d_from_string(t, w); }
void external_int32_to_string(std::int32_t v, char* t, std::int64_t w) { string_functions.int32_to_string(v, t, w); }
void external_uint32_to_string(std::uint32_t v, char* t, std::int64_t w) { string_functions.uint32_to_string(v, t, w); }
void external_int64_to_string(std::int64_t v, char* t, std::int64_t w) { string_functions.int64_to_string(v, t, w); }
void external_uint64_to_string(std::uint64_t v, char* t, std::int64_t w) { string_functions.uint64_to_string(v, t, w); }
void external_double_to_string(double v, char* t, std::int64_t w) { string_functions.double_to_string(v, t, w); }
void external_float_point_2d_to_string(Point_2d<float> v, char* t, std::int64_t w) { string_functions.float_point_2d_to_string(v, t, w); }
void external_double_point_2d_to_string(Point_2d<double> v, char* t, std::int64_t w) { string_functions.double_point_2d_to_string(v, t, w); }
void external_float_point_3d_to_string(Point_3d<float> v, char* t, std::int64_t w) { string_functions.float_point_3d_to_string(v, t, w); }
void external_double_point_3d_to_string(Point_3d<double> v, char* t, std::int64_t w) { string_functions.double_point_3d_to_string(v, t, w); }
