// Integration_range detection limits: values below a limit, negative values and values
// above a factor limit replaced by small rules run on the elementwise frame.

#include <vorlith/integration_range.h>

#include <array>
#include <cstdint>

#include "math/elementwise_frame.h"
#include "math/min_max.h"
#include "runtime/contracts.h"

namespace vorlith::integration {

using math::dummy;

namespace {

struct Raise_below {
  double limit;
  double apply(double x) const { return x < limit ? limit * 0.5 : x; }
};
struct Halve_negatives_raise_below {
  double limit;
  double apply(double x) const { return x < 0.0 ? x * -0.5 : (x < limit ? limit * 0.5 : x); }
};
struct Detection_limit {
  static constexpr bool propagates_dummy = false;
  double limit;
  double apply(double x) const { return (x == dummy || x < limit) ? limit * 0.5 : x; }
};
struct Factor_limit {
  double limit;
  double apply(double x) const { return x > limit ? limit : x; }
};
struct Scale_negatives {
  double factor;
  double apply(double x) const { return x < 0.0 ? x * factor : x; }
};

}  // namespace

void Integration_range::clip_to_detection_limit(Multi_vector& v, double limit, bool halve_negatives,
                                                std::int64_t start, std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  if (limit == dummy) {
    if (halve_negatives) convert_negatives(v, -0.5, start, count);
    return;
  }
  if (halve_negatives)
    math::run_in_place(Halve_negatives_raise_below{limit}, v, start, count);
  else
    math::run_in_place(Raise_below{limit}, v, start, count);
}

void Integration_range::set_detection_limit(Multi_vector& v, double limit, std::int64_t start,
                                            std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  if (limit == dummy) limit = compute_positive_min(v, start, count);
  VORLITH_EXPECTS(limit > 0.0, "set_detection_limit: limit ", limit, " is not above 0");
  math::run_in_place(Detection_limit{limit}, v, start, count);
}

void Integration_range::set_factor_limit(Multi_vector& v, double limit, std::int64_t start,
                                         std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  VORLITH_EXPECTS(limit != dummy, "set_factor_limit: limit is the dummy");
  math::run_in_place(Factor_limit{limit}, v, start, count);
}

bool Integration_range::convert_negatives(Multi_vector& v, double factor, std::int64_t start,
                                          std::int64_t count) {
  Multi_vector::validate_input_range(start, count, v);
  if (factor == dummy) factor = -0.5;
  // A separate scan rather than a flag written from every thread: the rule itself
  // stays a pure function of the value.
  struct Found {
    bool any = false;
  };
  const bool found =
      math::reduce_elementwise(
          math::reading(v), start, count, Found{},
          [](Found& f, std::int64_t, std::int64_t n, const std::array<const double*, 1>& in) {
            for (std::int64_t i = 0; i < n && !f.any; ++i)
              f.any = in[0][i] < 0.0 && in[0][i] != dummy;
          },
          [](Found& into, const Found& from) { into.any = into.any || from.any; })
          .any;
  if (found) math::run_in_place(Scale_negatives{factor}, v, start, count);
  return found;
}

}  // namespace vorlith::integration
