#include "host/host_state.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>

namespace korvane::host {

HostState& State() {
    static HostState state;
    return state;
}

void RecordCall(std::string function, std::string detail) {
    HostState& state = State();
    ++state.callCounts[function];
    state.calls.push_back({std::move(function), std::move(detail)});
    if (state.calls.size() > kRecordedCallLimit) state.calls.pop_front();
}

std::string PointerText(const void* pointer) {
    char text[2 + 2 * sizeof(void*) + 1];
    std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<std::uintptr_t>(pointer));
    return text;
}

DataRefRecord* FindDataRefRecord(const std::string& name) {
    auto found = State().dataRefsByName.find(name);
    return found == State().dataRefsByName.end() ? nullptr : found->second;
}

DataRefRecord& DataRefNamed(const std::string& name) {
    if (DataRefRecord* existing = FindDataRefRecord(name)) return *existing;
    auto record = std::make_unique<DataRefRecord>();
    record->name = name;
    State().dataRefHandles.insert(record.get());
    State().dataRefsByName.emplace(name, record.get());
    State().dataRefs.push_back(std::move(record));
    return *State().dataRefs.back();
}

void SetScalar(DataRefRecord& record, double value) {
    record.doubleValue = value;
    record.floatValue = static_cast<float>(value);
    record.intValue =
        std::isfinite(value) ? static_cast<int>(std::clamp(value, double{INT_MIN}, double{INT_MAX})) : 0;
}

}  // namespace korvane::host
