#pragma once

// Wall-clock samples taken by hand, for benchmarks that time one event at a
// time (a reply, a record appearing) rather than a loop of calls.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace corvane::bench {

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// The sample below which `percent` per cent of `samples` lie (nearest
/// rank); 0 for no samples.
inline double percentile(std::vector<double> samples, int percent) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[std::min(samples.size() - 1, samples.size() * percent / 100)];
}

} // namespace corvane::bench
