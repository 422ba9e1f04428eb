#include "host/host_state.h"

namespace korvane::host {

HostState& State() {
    static HostState state;
    return state;
}

void RecordCall(std::string function, std::string detail) {
    State().calls.push_back({std::move(function), std::move(detail)});
}

DataRefRecord* FindDataRefRecord(const std::string& name) {
    for (const auto& record : State().dataRefs)
        if (record->name == name) return record.get();
    return nullptr;
}

DataRefRecord& DataRefNamed(const std::string& name) {
    if (DataRefRecord* existing = FindDataRefRecord(name)) return *existing;
    auto record = std::make_unique<DataRefRecord>();
    record->name = name;
    State().dataRefs.push_back(std::move(record));
    return *State().dataRefs.back();
}

}  // namespace korvane::host
