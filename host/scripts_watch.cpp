#include "host/scripts_watch.h"

namespace korvane::host {

FolderSnapshot TakeSnapshot(const std::filesystem::path& folder) {
    FolderSnapshot snapshot;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        std::string name = entry->path().filename().string();
        // Korvane writes these two every frame; they are no reason to reload.
        if (name == "KorvaneLog.txt" || name == "KorvaneOutput.txt") continue;
        if (name.empty() || name.front() == '.' || name.back() == '~') continue;
        std::error_code ignored;
        if (!entry->is_regular_file(ignored)) continue;
        auto time = entry->last_write_time(ignored);
        auto size = entry->file_size(ignored);
        snapshot[name] = {time, size};
    }
    return snapshot;
}

std::vector<std::string> ChangedFiles(const FolderSnapshot& before, const FolderSnapshot& after) {
    std::vector<std::string> changed;
    for (const auto& [name, stamp] : after) {
        auto old = before.find(name);
        if (old == before.end() || old->second != stamp) changed.push_back(name);
    }
    for (const auto& [name, stamp] : before)
        if (!after.count(name)) changed.push_back(name);
    return changed;
}

}  // namespace korvane::host
