#include "core/reporting.h"

#include "core/scripts_folder.h"
#include "platform/console_wire.h"
#include "platform/platform.h"
#include "ui/panel_lists.h"

#include <mutex>

namespace korvane {

int outputFileEnabled = 1;

namespace {

// Both files stay open while the plug-in runs (an open and a close for every fragment
// cost more than the write); each write reaches the file at once, so a reader, a
// reload or a test sees everything written so far. Writes may come from scripts'
// threads, so they take turns.
std::mutex filesLock;
platform::AppendingFile logFile;
platform::AppendingFile outputFile;

void AppendToFile(platform::AppendingFile& file, const std::string& path, std::string_view text) {
    std::lock_guard<std::mutex> lock(filesLock);
    file.Write(path, text);
}

}  // namespace

std::string LogFilePath() { return ScriptsListingPath() + "KorvaneLog.txt"; }
std::string OutputFilePath() { return ScriptsListingPath() + "KorvaneOutput.txt"; }

void WriteLog(std::string_view text) {
    platform::DebugOutput(std::string(text));
    AppendToFile(logFile, LogFilePath(), text);
}

void WriteOutput(std::string_view text) {
    if (outputFileEnabled == 0) return;
    AppendToFile(outputFile, OutputFilePath(), text);
}

void CloseReportFiles() {
    std::lock_guard<std::mutex> lock(filesLock);
    logFile.Close();
    outputFile.Close();
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
