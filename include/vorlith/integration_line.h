#pragma once
// Integration_line: line processing: gap fills with a gap limit, the Hampel despiker,
// lag correction and decimation with an anti-alias filter.

#include <vorlith/dummy.h>
#include <vorlith/export.h>
#include <vorlith/integration_predict.h>
#include <vorlith/multi_vector.h>
#include <vorlith/rollweight.h>

#include <boost/dynamic_bitset.hpp>
#include <cstdint>

namespace vorlith::integration {

/// The longest gap a fill may fill. A gap is a maximal run of dummies; longer gaps stay
/// dummies as a whole (a gap is never filled in part).
struct Gap_limit {
  /// Gaps of more than this many samples stay dummies; negative: no limit by count.
  std::int64_t samples = -1;
  /// Gaps spanning more than this along `position` stay dummies: the span of a gap is
  /// the distance between the data samples on its two sides (for a gap at an end of the
  /// channel, from the data sample next to it to the farthest sample of the gap). A gap
  /// whose span cannot be measured (a dummy position, or a gap running across the end
  /// of a cyclic channel) stays dummies. The dummy: no limit by distance.
  double distance = common::dummy_value<double>;
  /// The channel the distance is measured along; needed with a distance limit.
  const Multi_vector* position = nullptr;
};

class VORLITH_API Integration_line {
 public:
  enum class Interpolation : std::int32_t { linear = 0, akima = 1 };

  /// Integration_predict::predict with a gap limit: the gaps within the limit are filled
  /// as predict fills them, each stretch between gaps beyond the limit on its own (the
  /// long gaps stay dummies and no prediction reads across them). Returns how many
  /// samples were filled; `filled` (when given) gets the channel's length and bit i set
  /// for every sample filled. The predict contracts apply, plus those of the limit: a
  /// distance below 0 and a distance limit without a position channel as long as the
  /// channel are contract failures.
  static std::int64_t predict(Multi_vector& channel, Integration_predict::Edge_type edges,
                              vorlith::algorithm::Rollweight_type roll, double level,
                              std::int64_t prediction_length, std::int64_t filter_length,
                              std::int64_t fit_length, const Gap_limit& limit,
                              boost::dynamic_bitset<unsigned long>* filled);

  /// Fills the gaps between data samples of `channel` within `limit` by an Akima spline
  /// through the data samples, placed at their `position` values (at their sample
  /// numbers when position is null). Gaps at the ends have data on one side only and
  /// stay dummies, as do samples whose position is a dummy. Positions of data samples
  /// must increase strictly (a contract failure otherwise). Returns how many samples were
  /// filled and marks them in `filled` as predict does. Points and text are contract
  /// failures; other types are worked on as doubles.
  static std::int64_t akima_fill(Multi_vector& channel, const Multi_vector* position,
                                 const Gap_limit& limit,
                                 boost::dynamic_bitset<unsigned long>* filled);

  /// Akima resampling of the samples (x[i], y[i]) onto the positions `xi`, with a gap
  /// limit. Pairs with a dummy are left out, so the knots are the data pairs, with x
  /// strictly increasing (a contract failure otherwise). `result` gets xi's length; a
  /// position is the dummy outside the knots, when it is a dummy, and inside a knot
  /// interval beyond the limit: wider than limit.distance (measured along x; the
  /// limit's position channel is not used) or with more than limit.samples left-out
  /// pairs between its knots. `filled` (when given) marks the positions inside an
  /// interval with left-out pairs that got a value. y must be at least as long as x.
  static void akima_resample(const Multi_vector& x, const Multi_vector& y, const Multi_vector& xi,
                             Multi_vector& result, const Gap_limit& limit,
                             boost::dynamic_bitset<unsigned long>* filled);

  /// Hampel despiker: for each data sample, the median and the median absolute deviation
  /// (MAD) of the data samples in the window of 2 * half_width + 1 samples centred on it
  /// (cut at the channel's ends); a sample farther than threshold * 1.4826 * MAD from the
  /// median is an outlier, replaced by the median when `replace`, else only flagged.
  /// Dummies and NaN are neither used nor changed nor created; a window with fewer than
  /// half_width + 1 data samples leaves its sample alone. Medians of an even count are
  /// the mean of the two middle values. Returns the number of outliers and marks them in
  /// `flagged` (when given, resized to the channel's length). half_width >= 1, threshold
  /// >= 0, and a point or text channel are contract checks; other types are worked on as
  /// doubles.
  static std::int64_t hampel(Multi_vector& channel, std::int64_t half_width, double threshold,
                             bool replace, boost::dynamic_bitset<unsigned long>* flagged);

  /// Lag correction: output sample i gets the channel's value at p_i + shift, where p_i
  /// is along[i] (a time or distance channel) or i when along is null, interpolated
  /// linearly or by an Akima spline between the data samples. Positions outside the data
  /// samples, inside a dummy gap of the channel (between two data samples that are not
  /// neighbours), and at a dummy along value give the dummy. Positions of data samples
  /// must increase strictly. `output` gets the channel's length and converts to its own
  /// type; it may be the channel itself. A dummy or non-finite shift and an along channel
  /// shorter than the channel are contract failures.
  static void lag(const Multi_vector& channel, Multi_vector& output, double shift,
                  const Multi_vector* along, Interpolation method);

  /// Decimation: keeps samples 0, factor, 2 * factor, ... of the channel after a
  /// zero-phase low-pass (a symmetric Kaiser-windowed sinc filter, run by the
  /// convolution) that attenuates by at least `attenuation_db` from the new Nyquist
  /// frequency up, and passes up to 0.6 times it with a ripple no larger. Factors above
  /// 32 run in several stages, their prime factors packed into stages of at most 32 (a
  /// larger prime alone), each stage meeting the attenuation. Samples whose
  /// filter window holds a dummy or reaches past an end of the channel become dummies
  /// (as the convolution gives them). factor >= 1 and 10 <= attenuation_db <= 250 are
  /// contract checks; `output` may be the channel itself.
  static void decimate(const Multi_vector& channel, Multi_vector& output, std::int64_t factor,
                       double attenuation_db);
};

}  // namespace vorlith::integration
