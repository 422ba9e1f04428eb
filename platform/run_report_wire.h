#pragma once
// The environment variable through which a program running the plug-in asks for its
// part of a run report: the variable names the file the plug-in appends to.
namespace korvane::run_report {

inline constexpr const char* kFileVariable = "KORVANE_RUN_REPORT";

}  // namespace korvane::run_report
