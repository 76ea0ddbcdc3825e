#include "support/operations.h"

#include <unistd.h>
#include <vorlith/fft.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "storage/multi_vector_access.h"
#include "support/vectors.h"

namespace vorlith::testing_support {

using namespace integration;
using M = Integration_math;
using R = Integration_range;
using C = Integration_convert;

namespace {

Multi_vector doubles(std::int64_t n, bool block, std::int64_t a, std::int64_t m,
                     std::int64_t dummy_every) {
  std::vector<double> v(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) {
    v[static_cast<std::size_t>(i)] = i % dummy_every == 3
                                         ? common::dummy_value<double>
                                         : static_cast<double>((i * a) % m - m / 2) / 8.0 + 0.1;
  }
  return make_vector(v, block);
}

template <class T>
Multi_vector filled(std::int64_t n, bool block, T (*value)(std::int64_t)) {
  std::vector<T> v(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = value(i);
  return make_vector(v, block);
}

Multi_vector empty(legacy_data_type type, bool block) {
  return Multi_vector(Legacy_type(type), block, 0);
}

// A texts vector: numbers, words (lower and upper case) and opaque dummies.
Multi_vector texts(std::int64_t n, bool block) {
  std::vector<std::string> t(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) {
    t[static_cast<std::size_t>(i)] = i % 11 == 4  ? ""
                                     : i % 5 == 1 ? "ab" + std::to_string(i % 37)
                                                  : std::to_string((i * 37) % 1001 - 500);
  }
  return make_opaque(t, 8, block);
}

// The dump file of this process, in memory.
std::string dump_path() {
  return "/dev/shm/vorlith_operations_" + std::to_string(::getpid()) + ".bin";
}

double magnitude(const Multi_vector& v) {
  double total = 0.0;
  for (double x : values_of<double>(v))
    total += x == common::dummy_value<double> ? 0.0 : std::fabs(x);
  return total;
}

// For sum(v w) / sum(w): the error of both sums, carried through the division.
double ratio_magnitude(const Multi_vector& v, const Multi_vector& w, double ratio) {
  const std::vector<double> a = values_of<double>(v), b = values_of<double>(w);
  double products = 0.0, weights = 0.0, total = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == common::dummy_value<double> || b[i] == common::dummy_value<double>) continue;
    products += std::fabs(a[i] * b[i]);
    weights += std::fabs(b[i]);
    total += b[i];
  }
  return (products + std::fabs(ratio) * weights) / std::fabs(total);
}

constexpr double coefficients[] = {0.5, -1.25, 0.125, 0.01};
const std::vector<double> kernel = {0.25, 0.5, -0.125, 0.375};

}  // namespace

Workspace::Workspace(std::int64_t n_, bool block)
    : n(n_),
      x(doubles(n, block, 7919, 2001, 17)),
      y(doubles(n, block, 104729, 1999, 23)),
      z(doubles(n, block, 1299709, 997, 29)),
      f(filled<float>(n, block,
                      [](std::int64_t i) {
                        const float special[] = {NAN, INFINITY, 1e-42f, -1e-40f};
                        return i % 13 == 2 ? special[(i / 13) % 4]
                                           : static_cast<float>((i * 31) % 211) - 105.5f;
                      })),
      i32(filled<std::int32_t>(n, block,
                               [](std::int64_t i) {
                                 return i % 19 == 7
                                            ? common::dummy_value<std::int32_t>
                                            : static_cast<std::int32_t>((i * 7919) % 4001 - 2000);
                               })),
      text(texts(n, block)),
      permutation(filled<std::int32_t>(
          n, block, [](std::int64_t i) { return static_cast<std::int32_t>(i); })),
      codes(filled<std::int32_t>(
          n, block, [](std::int64_t i) { return static_cast<std::int32_t>((i * 5) % 3); })),
      ramp(filled<double>(n, block, [](std::int64_t i) { return static_cast<double>(i); })),
      dpoint3(empty(type_double_point_3d, block)),
      segments(Multi_vector(Legacy_type(std::int64_t{32}), block, 0)),
      out(empty(type_double, block)),
      out2(empty(type_double, block)),
      out3(empty(type_double, block)),
      index(empty(type_int32, block)),
      fpoint2(empty(type_float_point_2d, block)),
      bits(static_cast<std::size_t>(n)),
      buffer(static_cast<std::size_t>(3 * n + 8)) {
  permutation.reverse();
  C::convert_doubles_to_doublepoint3d(x, y, z, dpoint3, 0, -1);
  // A segment is two 2-D points, as the segment channel stores them.
  segments.set_length(n / 2);
  for (std::int64_t i = 0; i + 1 < n; i += 2) {
    const double s[4] = {x.get_double(i), y.get_double(i), x.get_double(i + 1),
                         y.get_double(i + 1)};
    segments.set(i / 2, s);
  }
  for (std::size_t i = 0; i < bits.size(); i += 3) bits.set(i);
  for (std::size_t i = 0; i < buffer.size(); ++i)
    buffer[i] = static_cast<double>(i % 1013) * 0.37 - 100.0;
}

std::vector<const Multi_vector*> Workspace::vectors() const {
  return {&x,    &y,       &z,        &f,   &i32,  &text, &permutation, &codes,
          &ramp, &dpoint3, &segments, &out, &out2, &out3, &index,       &fpoint2};
}

// An empty workspace of the same mode that then takes every vector of `from`.
Workspace::Workspace(const Workspace& from) : Workspace(0, from.x.is_block_vector()) {
  n = from.n;
  restore(from);
  scalars = from.scalars;
  sums = from.sums;
}

std::vector<std::int64_t> Workspace::lengths() const {
  std::vector<std::int64_t> all;
  for (const auto* v : vectors()) all.push_back(v->get_length());
  return all;
}

void Workspace::restore(const Workspace& from) {
  const auto sources = from.vectors();
  const auto targets = vectors();
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (targets[i]->get_length() != sources[i]->get_length())
      const_cast<Multi_vector*>(targets[i])->copy(*sources[i]);
  }
  bits = from.bits;
  buffer = from.buffer;
  scalars.clear();
  sums.clear();
}

bool consistent(const Multi_vector& v) {
  const std::int64_t stored =
      v.is_block_vector()
          ? storage::Multi_vector_access::visit_block_store(
                v, [](const auto& store) { return static_cast<std::int64_t>(store.size()); })
          : storage::Multi_vector_access::contiguous(v).size();
  return stored == v.get_length();
}

std::vector<Operation> driver_operations() {
  std::vector<Operation> ops;
  for (const Operation& op : operations())
    if (op.driver) ops.push_back(op);
  return ops;
}

std::string operation_test_name(const Operation& op) {
  std::string name = op.name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

// clang-format off
const std::vector<Operation>& operations() {
  static const std::vector<Operation> table = {
    // family, name, driver, fixed chunk, operation
    {"elementwise", "add", true, false, [](Workspace& w) { M::add(w.x, w.y, w.out, 0, -1); }},
    {"elementwise", "divide", true, false, [](Workspace& w) { M::divide(w.x, w.y, w.out, 0, -1); }},
    {"elementwise", "add_weighted", true, false, [](Workspace& w) { M::add_weighted(w.x, 0.3, w.i32, -2.0, w.out, 0, -1); }},
    {"elementwise", "mask_xor", true, false, [](Workspace& w) { M::mask_xor(w.x, w.y, w.out, 0, -1); }},
    {"elementwise", "hypotenuse", true, false, [](Workspace& w) { M::hypotenuse(w.x, w.y, w.z, w.out, 0, -1); }},
    {"elementwise", "abs on int32", true, false, [](Workspace& w) { M::abs(w.i32, 0, -1); }},
    {"elementwise", "log10_scaled", true, false, [](Workspace& w) { M::log10_scaled(w.x, 2.0, 0, -1); }},
    {"elementwise", "polyfillxy", true, false, [](Workspace& w) { M::polyfillxy(w.x, w.y, 3, coefficients, 0, -1); }},
    {"elementwise", "rotate", true, false, [](Workspace& w) { M::rotate(w.x, w.y, 0.7, 0, -1); }},
    {"elementwise", "reduce_bits", true, false, [](Workspace& w) { M::reduce_bits(w.x, 20, 0, -1); }},
    {"elementwise", "validate float", true, false, [](Workspace& w) { M::validate(w.f, 0, -1); }},
    {"elementwise", "swap int32", true, false, [](Workspace& w) { M::swap(w.i32, 0, -1); }},
    {"elementwise", "exp_distribution", true, false, [](Workspace& w) { M::exp_distribution(w.out, 2.0, 7, 0, w.n); }},
    {"statistics", "sum", true, false, [](Workspace& w) { w.sums.push_back({M::sum(w.x, 0, -1), magnitude(w.x)}); }},
    {"statistics", "mean", true, false, [](Workspace& w) {
       w.sums.push_back({M::mean(w.x, 0, -1), magnitude(w.x) / static_cast<double>(w.n - w.x.count_dummy(0, -1))}); }},
    {"statistics", "weighted_mean", true, false, [](Workspace& w) {
       const double mean = M::weighted_mean(w.x, w.y, 0, -1);
       w.sums.push_back({mean, ratio_magnitude(w.x, w.y, mean)}); }},
    {"statistics", "duplicate_stats", false, false, [](Workspace& w) { M::duplicate_stats(w.x, w.codes, w.out, w.out2, 0, -1); }},
    {"line geometry", "distance_non_cumulative", true, true, [](Workspace& w) { M::distance_non_cumulative(w.x, w.y, w.out, 0, -1); }},
    {"line geometry", "distance_from_line", true, true, [](Workspace& w) { M::distance_from_line(w.x, w.y, w.out, {1.0, -2.0}, 0.3, 0, -1); }},
    {"line geometry", "line_mask", true, false, [](Workspace& w) { M::line_mask(w.z, w.x, w.y, 5, 5, -20, 20, 0, -1); }},
    {"line geometry", "distance_cumulative", false, false, [](Workspace& w) { M::distance_cumulative(w.x, w.y, w.z, w.out, 1.5, 0, -1); }},
    {"line geometry", "polygon_area", false, false, [](Workspace& w) { w.scalars.push_back(M::polygon_area(w.x, w.y, 0, -1)); }},
    {"line geometry", "inflection", false, false, [](Workspace& w) { w.scalars.push_back(static_cast<double>(M::inflection(w.y, 0.0, 0, -1))); }},
    {"line geometry", "dummy_back_tracks", false, false, [](Workspace& w) { w.scalars.push_back(static_cast<double>(M::dummy_back_tracks(w.y, 0, -1))); }},
    {"range", "compute_positive_min", true, false, [](Workspace& w) { w.scalars.push_back(R::compute_positive_min(w.x, 0, -1)); }},
    {"range", "compute_max_and_index", true, false, [](Workspace& w) {
       double max; std::int64_t at; R::compute_max_and_index(w.x, max, at, 0, -1);
       w.scalars.insert(w.scalars.end(), {max, static_cast<double>(at)}); }},
    {"range", "compute_range int32", true, false, [](Workspace& w) {
       std::int32_t lo, hi; R::compute_range(w.i32, &lo, &hi, 0, -1);
       w.scalars.insert(w.scalars.end(), {static_cast<double>(lo), static_cast<double>(hi)}); }},
    {"range", "compute_range double", true, false, [](Workspace& w) {
       double lo, hi; R::compute_range(w.f, lo, hi, 0, -1); w.scalars.insert(w.scalars.end(), {lo, hi}); }},
    {"range", "compute_range_double_point3d", true, false, [](Workspace& w) {
       common::Point_3d<double> lo, hi; R::compute_range_double_point3d(w.dpoint3, lo, hi, 0, -1);
       w.scalars.insert(w.scalars.end(), {lo.x, lo.y, lo.z, hi.x, hi.y, hi.z}); }},
    {"range", "compute_range_hypot", true, false, [](Workspace& w) {
       double lo, hi; R::compute_range_hypot(w.x, w.y, lo, hi, 0, -1); w.scalars.insert(w.scalars.end(), {lo, hi}); }},
    {"range", "order", true, false, [](Workspace& w) {
       bool equal; R::Order order; R::order(w.ramp, equal, order, 0, -1);
       w.scalars.insert(w.scalars.end(), {static_cast<double>(equal), static_cast<double>(order)}); }},
    {"range", "clamp_to_range int32", true, false, [](Workspace& w) { R::clamp_to_range(w.i32, -500, 700, 0, -1); }},
    {"range", "clip_range_to_dummy", true, false, [](Workspace& w) { R::clip_range_to_dummy(w.x, -20, 30, true, true, false, 0, -1); }},
    {"range", "clip_range_to_dummy opaque", true, false, [](Workspace& w) { R::clip_range_to_dummy(w.text, -100, 100, false, true, true, 0, -1); }},
    {"range", "clip_to_detection_limit", true, false, [](Workspace& w) { R::clip_to_detection_limit(w.x, 2.0, true, 0, -1); }},
    {"range", "convert_negatives", true, false, [](Workspace& w) { w.scalars.push_back(R::convert_negatives(w.y, -0.5, 0, -1)); }},
    {"point conversion", "doubles_to_floatpoint2d", true, true, [](Workspace& w) { C::convert_doubles_to_floatpoint2d(w.x, w.y, w.fpoint2, 0, -1); }},
    {"point conversion", "doublepoint3d_to_doubles", true, true, [](Workspace& w) { C::convert_doublepoint3d_to_doubles(w.dpoint3, w.out, w.out2, w.out3, 0, -1); }},
    {"point conversion", "doublesegment_to_doubles", true, true, [](Workspace& w) { C::convert_doublesegment_to_doubles(w.segments, w.out, w.out2, 0, -1); }},
    {"point conversion", "xyz_to_amp_inc_dec", true, true, [](Workspace& w) { C::convert_xyz_to_amp_inc_dec(w.x, w.y, w.z, 0, -1); }},
    {"index sort", "sort_index_1", true, false, [](Workspace& w) { Multi_vector::sort_index_1(w.index, w.x, true, true); }},
    {"index sort", "sort_index_2 opaque", true, false, [](Workspace& w) { Multi_vector::sort_index_2(w.index, w.text, false, w.i32, true); }},
    {"index sort", "insert_index", true, true, [](Workspace& w) { w.out.insert_index(w.x, w.permutation, 0, -1); }},
    {"masks", "apply_mask", true, false, [](Workspace& w) { w.x.apply_mask(w.y, 0, -1); }},
    {"masks", "apply_mask_value", true, false, [](Workspace& w) { const double v = w.x.get_double(0); w.i32.apply_mask_value(w.x, &v, 0, -1); }},
    {"masks", "and_bitmask", true, false, [](Workspace& w) { w.x.and_bitmask(w.bits, 0, -1); w.scalars.push_back(static_cast<double>(w.bits.count())); }},
    {"masks", "apply_bitmask", true, false, [](Workspace& w) { w.y.apply_bitmask(w.bits, 0, -1); }},
    {"masks", "extend_mask_pos", true, true, [](Workspace& w) { Multi_vector::extend_mask_pos(w.ramp, w.x, 0.5, w.n); }},
    {"masks", "erase_mask", false, false, [](Workspace& w) { w.x.erase_mask(w.y, true, 0, -1); }},
    {"editing", "copy converted", true, true, [](Workspace& w) { w.i32.copy(5, w.x, 0, -1); }},
    {"editing", "copy_stride", true, true, [](Workspace& w) { w.out.copy_stride(3, w.x, 1, -1, 2); }},
    {"editing", "insert", false, false, [](Workspace& w) { w.x.insert(w.n / 3, w.i32, 0, -1); }},
    {"editing", "set_length", false, false, [](Workspace& w) { w.y.set_length(3 * w.n + 5); }},
    {"editing", "erase_dummies", false, false, [](Workspace& w) { w.x.erase_dummies(0, -1); }},
    {"editing", "expand", false, false, [](Workspace& w) { w.text.expand(3); }},
    {"range transfer", "get_range as int16", true, true, [](Workspace& w) { w.x.get_range(Legacy_type(type_int16), 0, w.n, w.buffer.data()); }},
    {"range transfer", "set_range from float", true, true, [](Workspace& w) { w.i32.set_range(Legacy_type(type_double), 1, w.n, w.buffer.data()); }},
    {"range transfer", "get_expanded_range_double", false, false, [](Workspace& w) { w.y.get_expanded_range_double(0, w.n, 3, 4, w.buffer.data()); }},
    {"fill and search", "fill_value", true, false, [](Workspace& w) { const double v = 2.5; w.out.fill_value(&v, 3, w.n); }},
    {"fill and search", "fill_increasing int32", true, false, [](Workspace& w) { w.i32.fill_increasing(-7, 3, 2, -1); }},
    {"fill and search", "filldummy", true, true, [](Workspace& w) { w.dpoint3.filldummy(1, -1); }},
    {"fill and search", "count_dummy", true, true, [](Workspace& w) { w.scalars.push_back(static_cast<double>(w.text.count_dummy(0, -1))); }},
    {"fill and search", "strupr", true, true, [](Workspace& w) { w.text.strupr(0, -1); }},
    {"sorting", "sort", false, false, [](Workspace& w) { w.x.sort(false, false); }},
    {"sorting", "stable_sort opaque", false, false, [](Workspace& w) { w.text.stable_sort(true, true); }},
    {"conversion", "doubles to opaque", false, false, [](Workspace& w) { w.text.copy(w.x); }},
    {"conversion", "opaque to int32", false, false, [](Workspace& w) { w.i32.copy(w.text); }},
    {"signal", "convolution", true, false, [](Workspace& w) { Integration_filter::convolution(w.x, w.out, kernel, true); }},
    {"signal", "naudy_filter_workflow", true, true, [](Workspace& w) { Integration_filter::naudy_filter_workflow(w.y, 1, 0.5, 2); }},
    {"signal", "predict", false, false, [](Workspace& w) {
       Integration_predict::predict(w.x, Integration_predict::Edge_type::extrapolate, algorithm::Rollweight_type::linear,
                                    common::dummy_value<double>, 0, 8, 0); }},
    {"signal", "akima", false, false, [](Workspace& w) { Integration_spline::akima(w.ramp, w.permutation, w.x, w.out, 20.0, 1.0); }},
    {"signal", "fft forward and inverse", false, false, [](Workspace& w) {
       FFT::rfft_1d_forward(w.ramp, w.out, w.out2, 0, -1); FFT::rfft_1d_inverse(w.out, w.out2, w.out3, 0, -1); }},
    {"line", "predict with a gap limit", false, false, [](Workspace& w) {
       w.scalars.push_back(static_cast<double>(Integration_line::predict(w.x, Integration_predict::Edge_type::extrapolate,
           algorithm::Rollweight_type::linear, common::dummy_value<double>, 0, 8, 0, {5}, &w.bits))); }},
    {"line", "akima_fill", false, false, [](Workspace& w) { Integration_line::akima_fill(w.y, &w.ramp, {-1, 40.0, &w.ramp}, &w.bits); }},
    {"line", "hampel", true, false, [](Workspace& w) { w.scalars.push_back(static_cast<double>(Integration_line::hampel(w.x, 3, 2.0, true, &w.bits))); }},
    {"line", "lag", true, false, [](Workspace& w) { Integration_line::lag(w.x, w.out, 2.5, &w.ramp, Integration_line::Interpolation::akima); }},
    {"line", "decimate", true, false, [](Workspace& w) { Integration_line::decimate(w.y, w.out, 3, 60); }},
    {"text", "tokenize_to_doubles", false, false, [](Workspace& w) {
       Integration_string::tokenize_to_doubles("1.5, -2e3,,abc ;7;inf  nan,12345678901234567890", " ,;", w.out); }},
    {"dump file", "debug write and read", false, false, [](Workspace& w) {
       const std::string path = dump_path();
       w.x.debug_write_to_file(path);
       w.out.debug_read_from_file(path);
       std::remove(path.c_str()); }},
  };
  return table;
}
// clang-format on

}  // namespace vorlith::testing_support
