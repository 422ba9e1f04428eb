#pragma once
// Output that script threads write (prints, tracebacks) goes to sinks that only the
// host's thread may touch: the panel's list boxes above all. It waits in a bounded
// queue until the host's thread next gets control from the host.
#include <atomic>
#include <string_view>

namespace korvane {

using OutputSink = void (*)(std::string_view text);

// How much output may wait; what comes beyond is counted, and the count logged once.
inline constexpr std::size_t kQueuedOutputTexts = 4096;
inline constexpr std::size_t kQueuedOutputBytes = 1 << 20;

// On the host's thread the text goes to `sink` at once; on any other it is queued.
void SendOutput(OutputSink sink, std::string_view text);

namespace thread_output_detail {
extern std::atomic<bool> waiting;
void Deliver();
}  // namespace thread_output_detail

// Hands queued output to its sinks; called on the host's thread. Costs one atomic
// load while nothing waits.
inline void DeliverQueuedOutput() {
    if (thread_output_detail::waiting.load(std::memory_order_acquire)) thread_output_detail::Deliver();
}

}  // namespace korvane
