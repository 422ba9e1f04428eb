#pragma once
// The system's own sinks: the log file, the output file, the console channel and the
// error report that goes to all three places a user looks.
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// 1 while the output file is written; set by every interpreter start, switched by the panel.
extern int outputFileEnabled;

// Appends the text to the log file and copies it to the debugger output.
void WriteLog(std::string_view text);
// Appends the text to the output file while it is enabled.
void WriteOutput(std::string_view text);
// Closes both files; the plug-in's stop does it last. A later write opens them again.
void CloseReportFiles();
// Sends one text with a console command to the console program, if one runs.
void SendToConsole(std::uint32_t command, std::string_view text);
// "Module - m, Function - f, Error = e" to the console, the print list and the log.
void ReportError(std::string_view module, std::string_view function, std::string_view error);

// The full paths of the two files in the scripts folder.
std::string LogFilePath();
std::string OutputFilePath();

}  // namespace korvane
