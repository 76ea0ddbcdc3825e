// Multi-scale despiking filter. The ratio and tolerance arithmetic is single precision
// on purpose: the thresholds were tuned with it, so results depend on it. Each stretch of
// samples between dummies is despiked on its own: read as a value, a dummy (-1e32) would
// look like a huge spike and drag its neighbours towards it.

#include <vorlith/host_hooks.h>
#include <vorlith/integration_filter.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "storage/multi_vector_access.h"

namespace vorlith::integration {

namespace {

constexpr float no_spike = 1000.0f;

// The filter on one stretch of n samples. The working copy and the ratios are the
// stretch's part of arrays shared by all stretches; the working copy starts equal to data.
class Naudy_state {
 public:
  Naudy_state(double* data, double* working, float* ratio, std::int64_t n, float tolerance)
      : data_(data), n_(n), tolerance_(tolerance), working_(working), ratio_(ratio) {}

  void despike(std::int64_t width, std::int64_t max_iterations) {
    for (std::int64_t t = 0; width >= 1 && t <= std::min(width, max_iterations); ++t) {
      bool changed = false;
      for (std::int64_t w = width; w > 0; w = w > 2 ? w / 2 + 1 : w / 2) {
        const bool changed_a = pass_a(w);
        const bool changed_b = pass_b(w, changed_a);
        changed = changed || changed_a || changed_b;
      }
      if (!changed) break;
    }
  }

 private:
  // Returns whether the pass changed a sample.
  bool pass_a(std::int64_t w) {
    return run_pass(w, [&](std::int64_t c, const Neighbours& x) {
      const float r = ratio(x);
      ratio_[c] = r;
      if (r >= 0.0f && r <= 2.0f) {
        working_[c] = (4.0 * (x.b + x.d) - x.a - x.e) / 6.0;
        return true;
      }
      return false;
    });
  }

  bool pass_b(std::int64_t w, bool recompute) {
    return run_pass(w, [&](std::int64_t c, const Neighbours& x) {
      const float r = recompute ? ratio(x) : ratio_[c];
      if (r >= -2.0f && r < 0.0f) {
        working_[c] = x.s / 2.0 + (x.b + x.d) / 4.0;
        return true;
      }
      return false;
    });
  }

  struct Neighbours {
    double a, b, s, d, e;
  };

  // Neighbours beyond the ends read the end samples.
  double at(std::int64_t i) const { return data_[std::clamp<std::int64_t>(i, 0, n_ - 1)]; }

  Neighbours neighbours(std::int64_t c, std::int64_t w) const {
    return {at(c - 2 * w), at(c - w), data_[c], at(c + w), at(c + 2 * w)};
  }

  float ratio(const Neighbours& x) const {
    const auto deviation = static_cast<float>(x.s - (x.b + x.d) / 2.0);
    if (std::fabs(deviation) >= tolerance_) {
      return static_cast<float>(x.s + x.b + x.d - 1.5 * (x.a + x.e)) / deviation;
    }
    return no_spike;
  }

  // Centres of one offset read only `data_` and write only their own place in
  // `working_`, so they never see each other's changes; data catches up between offsets.
  // Every pass starts and ends with working equal to data (the copy-back below keeps it
  // so), which makes a fresh copy at the start of a pass unnecessary.
  template <class Rule>
  bool run_pass(std::int64_t w, Rule&& rule) {
    // Beyond n every neighbour clamps to an end, so a spacing of n reads what any larger
    // one would, and offsets past n hold no centre.
    const std::int64_t spacing = std::min(w, n_);
    std::atomic<bool> changed{false};
    parallel::run_strided_dynamic(
        n_, spacing,
        [&](std::int64_t c) {
          if (rule(c, neighbours(c, spacing)) && !changed.load(std::memory_order_relaxed)) {
            changed.store(true, std::memory_order_relaxed);
          }
        },
        [&](std::int64_t k) {
          // Until a change is noted, working equals data; afterwards only this offset's
          // centres can differ, so copying them is copying everything.
          if (!changed.load(std::memory_order_relaxed)) return;
          for (std::int64_t c = k; c < n_; c += spacing) data_[c] = working_[c];
        });
    return changed.load();
  }

  double* data_;
  std::int64_t n_;
  float tolerance_;
  double* working_;
  float* ratio_;
};

struct Stretch {
  std::int64_t first;
  std::int64_t count;
};

// The maximal stretches of non-dummy samples, in order.
std::vector<Stretch> data_stretches(const Multi_vector& channel) {
  const std::int64_t n = channel.get_length();
  std::vector<Stretch> stretches;
  for (std::int64_t first = channel.findnondummy(0, n); first >= 0;) {
    const std::int64_t gap = first + 1 < n ? channel.finddummy(first + 1, n - first - 1) : -1;
    const std::int64_t end = gap < 0 ? n : gap;
    stretches.push_back({first, end - first});
    first = end + 1 < n ? channel.findnondummy(end + 1, n - end - 1) : -1;
  }
  return stretches;
}

}  // namespace

void Integration_filter::naudy_filter_workflow(Multi_vector& channel, std::int64_t width,
                                               double tolerance, std::int64_t max_iterations) {
  VORLITH_EXPECTS(channel.get_type().get_data_type() == type_double,
                  "naudy_filter_workflow: the channel is ", channel.get_type().get_name(),
                  ", not double");
  const std::int64_t n = channel.get_length();
  const std::vector<Stretch> stretches = data_stretches(channel);
  if (stretches.empty()) return;

  // Filtered in place where the channel holds its samples in one run, else in a copy
  // written back at the end.
  storage::Double_array samples(channel, 0, n);
  double* data = samples.data();

  std::vector<double> working(data, data + n);
  std::vector<float> ratios(static_cast<std::size_t>(n));
  const auto despike = [&](const Stretch& s) {
    Naudy_state(data + s.first, working.data() + s.first, ratios.data() + s.first, s.count,
                static_cast<float>(tolerance))
        .despike(width, max_iterations);
  };

  // A stretch longer than one dynamic chunk is despiked on its own, each pass spread over
  // threads. Shorter ones never open a region in their passes, so they are spread over
  // threads instead, whole stretches at a time, cut by their running sample count.
  struct Queued {
    std::int64_t start;  // samples of the short stretches before this one
    Stretch stretch;
  };
  std::vector<Queued> short_stretches;
  std::int64_t short_samples = 0;
  for (const Stretch& s : stretches) {
    if (s.count > parallel::strided_dynamic_chunk) {
      despike(s);
    } else {
      short_stretches.push_back({short_samples, s});
      short_samples += s.count;
    }
  }
  parallel::run_over_range(0, short_samples, get_integration_min_thread_block(),
                           [&](std::int64_t first, std::int64_t last) {
                             auto q = std::ranges::lower_bound(short_stretches, first, {},
                                                               &Queued::start);
                             for (; q != short_stretches.end() && q->start < last; ++q)
                               despike(q->stretch);
                           });

  samples.write_back();
}

}  // namespace vorlith::integration
