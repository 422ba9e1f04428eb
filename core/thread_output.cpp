#include "core/thread_output.h"

#include "core/host_call.h"
#include "core/reporting.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace korvane {
namespace thread_output_detail {

std::atomic<bool> waiting{false};

namespace {

struct Queued {
    OutputSink sink;
    std::string text;
};

std::mutex queueMutex;
std::vector<Queued> queue;
std::size_t queuedBytes = 0;
std::size_t dropped = 0;

}  // namespace

void Deliver() {
    std::vector<Queued> taken;
    std::size_t droppedNow = 0;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        taken.swap(queue);
        queuedBytes = 0;
        droppedNow = std::exchange(dropped, 0);
        waiting.store(false, std::memory_order_release);
    }
    for (const Queued& item : taken) item.sink(item.text);
    if (droppedNow > 0)
        WriteLog(std::to_string(droppedNow) +
                 " output text(s) written by script threads were dropped: too much waited for the main thread\n");
}

}  // namespace thread_output_detail

void SendOutput(OutputSink sink, std::string_view text) {
    if (OnHostThread()) {
        sink(text);
        return;
    }
    using namespace thread_output_detail;
    std::lock_guard<std::mutex> lock(queueMutex);
    if (queue.size() >= kQueuedOutputTexts || queuedBytes + text.size() > kQueuedOutputBytes) {
        ++dropped;
    } else {
        queue.push_back({sink, std::string(text)});
        queuedBytes += text.size();
    }
    waiting.store(true, std::memory_order_release);
}

}  // namespace korvane
