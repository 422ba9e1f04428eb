#pragma once
// korvane-host's account of commands: those scripts created, and the handlers on
// commands at the end of the run and (left behind) after XPluginStop.
#include "host/driver.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace korvane::host {

struct CommandHandlerCount {
    std::string command;
    int before = 0;
    int after = 0;
};

// The commands with handlers now, in the order the commands were made.
std::vector<CommandHandlerCount> CountCommandHandlers(const HeadlessHost& host);
// The report's "Commands" section, given the handlers counted at the end of the run;
// what is still registered now (after stop) follows them.
std::string CommandReport(const HeadlessHost& host, const std::vector<CommandHandlerCount>& atEnd);
// The same for the JSON report: {"created", "handlersAtEnd", "handlersAfterStop"}.
nlohmann::ordered_json CommandReportJson(const HeadlessHost& host, const std::vector<CommandHandlerCount>& atEnd);

}  // namespace korvane::host
