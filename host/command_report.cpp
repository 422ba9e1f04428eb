#include "host/command_report.h"

#include <sstream>

namespace korvane::host {
namespace {

using json = nlohmann::ordered_json;

std::string Sides(const CommandHandlerCount& count) {
    std::string text;
    if (count.before) text += std::to_string(count.before) + " before";
    if (count.after) text += (text.empty() ? "" : ", ") + std::to_string(count.after) + " after";
    return text;
}

void ListHandlers(std::ostream& out, const std::vector<CommandHandlerCount>& counts) {
    for (const CommandHandlerCount& count : counts) out << "  " << count.command << ": " << Sides(count) << "\n";
}

json HandlersJson(const std::vector<CommandHandlerCount>& counts) {
    json list = json::array();
    for (const CommandHandlerCount& count : counts)
        list.push_back({{"command", count.command}, {"before", count.before}, {"after", count.after}});
    return list;
}

}  // namespace

std::vector<CommandHandlerCount> CountCommandHandlers(const HeadlessHost& host) {
    std::vector<CommandHandlerCount> counts;
    for (const auto& command : host.Commands()) {
        CommandHandlerCount count{command->name};
        for (const CommandHandler& handler : command->handlers)
            if (!handler.removed) ++(handler.before ? count.before : count.after);
        if (count.before + count.after > 0) counts.push_back(std::move(count));
    }
    return counts;
}

std::string CommandReport(const HeadlessHost& host, const std::vector<CommandHandlerCount>& atEnd) {
    std::ostringstream report;
    bool created = false;
    for (const auto& command : host.Commands()) {
        if (!command->createdByPlugin) continue;
        if (!created) report << "created by scripts:\n";
        created = true;
        report << "  " << command->name << ": \"" << command->description << "\"\n";
    }
    if (!atEnd.empty()) {
        report << "handlers at the end of the run:\n";
        ListHandlers(report, atEnd);
    }
    if (const std::vector<CommandHandlerCount> left = CountCommandHandlers(host); !left.empty()) {
        report << "Still in the simulator after XPluginStop:\n";
        ListHandlers(report, left);
    }
    if (report.str().empty()) report << "(none)\n";
    return report.str();
}

json CommandReportJson(const HeadlessHost& host, const std::vector<CommandHandlerCount>& atEnd) {
    json created = json::array();
    for (const auto& command : host.Commands())
        if (command->createdByPlugin)
            created.push_back({{"name", command->name}, {"description", command->description}});
    return {{"created", created},
            {"handlersAtEnd", HandlersJson(atEnd)},
            {"handlersAfterStop", HandlersJson(CountCommandHandlers(host))}};
}

}  // namespace korvane::host
