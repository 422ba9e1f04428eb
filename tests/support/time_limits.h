#pragma once
// Wall-clock limits in tests catch hangs and lost bounds, not slowness: a loaded
// machine must not fail the suite. Each limit is ten times the figure a run usually
// takes (the figures themselves are in the README and the benchmark), and five times
// that again under the sanitizers.
#include <chrono>

namespace korvane::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kSanitizerFactor = 5;
#else
inline constexpr int kSanitizerFactor = 1;
#endif

inline constexpr std::chrono::milliseconds TimeLimit(std::chrono::milliseconds usual) {
    return usual * 10 * kSanitizerFactor;
}
inline constexpr double TimeLimitSeconds(double usualSeconds) { return usualSeconds * 10 * kSanitizerFactor; }

}  // namespace korvane::testing
