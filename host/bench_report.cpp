#include "host/bench_report.h"

#include <fstream>
#include <set>

namespace korvane::host {
namespace {

using json = nlohmann::ordered_json;

std::string Field(const json& object, const char* name, const std::string& absent = "") {
    auto found = object.find(name);
    return found != object.end() && found->is_string() ? found->get<std::string>() : absent;
}

// The named array or object of a run, empty when the plug-in wrote none.
const json& Part(const json& object, const char* name) {
    static const json empty = json::array();
    auto found = object.find(name);
    return found != object.end() && (found->is_array() || found->is_object()) ? *found : empty;
}

// Messages may span lines; a verdict line must not.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string Where(const json& error) {
    std::string file = Field(error, "file");
    if (file.empty()) return {};
    std::string place = " (" + std::filesystem::path(file).filename().string();
    if (error.contains("line") && error["line"].is_number()) place += ":" + std::to_string(error["line"].get<long>());
    return place + ")";
}

std::string ErrorText(const json& error) {
    std::string type = Field(error, "type");
    std::string message = OneLine(Field(error, "message"));
    return (type.empty() ? message : type + (message.empty() ? "" : ": " + message)) + Where(error);
}

bool IsLoading(const json& error) {
    std::string where = Field(error, "where");
    return where == "import" || where == "Korvane()";
}

// What makes a strict run fail, in the order it happened; the same line from two
// interpreter runs (a reload) is said once.
std::vector<std::string> StrictFailures(const json& runs) {
    std::vector<std::string> lines;
    std::set<std::string> said;
    auto say = [&](const std::string& line) {
        if (said.insert(line).second) lines.push_back(line);
    };
    for (const json& run : runs) {
        std::set<std::string> failedLoads;
        for (const json& script : Part(run, "scripts")) {
            if (script.value("loaded", true)) continue;
            std::string module = Field(script, "module");
            failedLoads.insert(module);
            std::string reason;
            for (const json& error : Part(run, "errors"))
                if (Field(error, "script") == module && IsLoading(error) && reason.empty()) reason = ": " + ErrorText(error);
            say(module + ": failed to load" + reason);
        }
        for (const json& error : Part(run, "errors")) {
            std::string script = Field(error, "script", "(no script)");
            if (failedLoads.count(script) && IsLoading(error)) continue;
            long count = error.value("count", 1L);
            std::string where = Field(error, "where", "Python");
            say(script + ": " + where + " raised " + ErrorText(error) +
                (count > 1 ? ", " + std::to_string(count) + " times" : ""));
        }
        for (const json& left : Part(run, "registrationsAtStop")) {
            std::string held;
            for (const auto& [kind, count] : Part(left, "registrations").items())
                held += (held.empty() ? "" : ", ") + kind + " " + count.dump();
            say(Field(left, "script") + ": left registrations behind at stop: " + held);
        }
        for (const json& written : Part(run, "stderrWrites"))
            say(Field(written, "script", "(no script)") + ": wrote to standard error (" +
                std::to_string(written.value("writes", 0L)) + " writes, first: " +
                OneLine(Field(written, "first")) + ")");
    }
    return lines;
}

void PointAtSources(json& runs, const BenchRun& run) {
    if (run.scriptsSource.empty()) return;
    const std::string copy = (run.scriptsCopy / "").string();
    const std::string source = (run.scriptsSource / "").string();
    for (json& each : runs) {
        if (!each.contains("errors") || !each["errors"].is_array()) continue;
        for (json& error : each["errors"]) {
            std::string file = Field(error, "file");
            if (file.rfind(copy, 0) == 0) error["file"] = source + file.substr(copy.size());
        }
    }
}

}  // namespace

BenchReport MergeRunReport(const std::filesystem::path& pluginLines, const BenchRun& run) {
    json runs = json::array();
    std::ifstream file(pluginLines);
    for (std::string line; std::getline(file, line);) {
        // A plug-in that died mid-write leaves half a line; it is not a run.
        json parsed = json::parse(line, nullptr, false);
        if (!parsed.is_discarded() && parsed.is_object()) runs.push_back(std::move(parsed));
    }
    PointAtSources(runs, run);
    BenchReport report;
    report.failures = StrictFailures(runs);
    // No run at all is no pass: the plug-in may have failed to load or to start Python.
    if (runs.empty())
        report.failures.push_back("Korvane: the plug-in reported nothing: no interpreter ran (see the simulator log)");
    report.document = {
        {"simulatedSeconds", run.simulatedSeconds},
        {"wallSeconds", run.wallSeconds},
        {"interrupted", run.interrupted},
        {"watchReloads", run.watchReloads},
        {"runs", runs},
        {"commands", run.commands},
        {"passed", report.failures.empty()},
        {"failures", report.failures},
    };
    return report;
}

}  // namespace korvane::host
