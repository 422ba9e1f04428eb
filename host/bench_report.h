#pragma once
// korvane-host's run report: the plug-in's own lines (one per interpreter run, see
// core/run_report.h) merged with what only the host knows, and the strict verdict
// drawn from them.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::host {

struct BenchRun {
    double simulatedSeconds = 0;
    double wallSeconds = 0;
    int watchReloads = 0;
    bool interrupted = false;
    // Scripts run from a copy name the author's files, not the copies.
    std::filesystem::path scriptsCopy;
    std::filesystem::path scriptsSource;
    // Commands scripts created and handlers on commands (host/command_report.h).
    nlohmann::ordered_json commands;
};

struct BenchReport {
    nlohmann::ordered_json document;
    // One line per script and what went wrong; empty when the run passed.
    std::vector<std::string> failures;
};

// Reads the plug-in's lines from `pluginLines` and builds the document.
BenchReport MergeRunReport(const std::filesystem::path& pluginLines, const BenchRun& run);

}  // namespace korvane::host
