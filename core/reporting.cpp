#include "core/reporting.h"

#include "core/scripts_folder.h"
#include "platform/console_wire.h"
#include "platform/platform.h"
#include "ui/panel_lists.h"

#include <cstdio>

namespace korvane {

int outputFileEnabled = 1;

namespace {

// Each write opens, appends and closes, so another program may read or delete the
// file at any time; a file that cannot be opened loses the text silently.
void AppendToFile(const std::string& path, std::string_view text) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

}  // namespace

std::string LogFilePath() { return ScriptsListingPath() + "KorvaneLog.txt"; }
std::string OutputFilePath() { return ScriptsListingPath() + "KorvaneOutput.txt"; }

void WriteLog(std::string_view text) {
    platform::DebugOutput(std::string(text));
    AppendToFile(LogFilePath(), text);
}

void WriteOutput(std::string_view text) {
    if (outputFileEnabled == 0) return;
    AppendToFile(OutputFilePath(), text);
}

void SendToConsole(std::uint32_t command, std::string_view text) {
    // A console text ends at its zero byte, so a NUL inside the text would hide the
    // rest of it, line end included; it shows as the two characters "\0" instead.
    // The files and the panel lists keep the text's bytes as they are.
    std::string packet;
    packet.reserve(text.size());
    for (char c : text) {
        if (c == '\0')
            packet.append("\\0");
        else
            packet.push_back(c);
    }
    // the zero byte after the text travels with it
    platform::SendConsolePacket(command, packet.c_str(), static_cast<std::uint32_t>(packet.size() + 1));
}

void ReportError(std::string_view module, std::string_view function, std::string_view error) {
    std::string line = "Module - ";
    line.append(module).append(", Function - ").append(function).append(", Error = ").append(error).append("\n");
    SendToConsole(console::kPrintText, line);
    AddToPrintList(line);
    WriteLog(line);
}

}  // namespace korvane
