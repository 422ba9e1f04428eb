#pragma once
// Watch mode's view of a scripts folder: which files it holds and when each last changed.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace korvane::host {

// File name -> (modification time, size).
using FolderSnapshot = std::map<std::string, std::pair<std::filesystem::file_time_type, std::uintmax_t>>;

// The folder's own files, without Korvane's log and output files, editors' hidden and
// backup files, and subfolders (Python's caches).
FolderSnapshot TakeSnapshot(const std::filesystem::path& folder);
// Names added, changed or removed from `before` to `after`.
std::vector<std::string> ChangedFiles(const FolderSnapshot& before, const FolderSnapshot& after);

}  // namespace korvane::host
