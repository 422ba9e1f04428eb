#pragma once
// Events files: timed user input that korvane-host plays into a run. One event per
// line, "TIME KIND ARGUMENTS", TIME in simulated seconds from the start of the run;
// a '#' at the start of a line or after a blank starts a comment; blank lines are skipped.
//
//   0.5  key char=a                   a key press (flags default to down)
//   0.6  key vkey=0x70 flags=ctrl,down
//   1.0  mouse down 120 300           also drag, up, and click (down then up)
//   1.5  mouse wheel 120 300 0 -2     wheel 0 (vertical) or 1, then clicks
//   2.0  menu Plugins/My Menu/Item    a pick of the item at that path of names
//   3.0  command sim/engines/throttle_up begin   a command held (also once, end)
//   3.0  message 102 0                a simulator message (number or XPLM_MSG_ name, then
//                                     its parameter) to every enabled plug-in
//   4.0  planes taken                 another plug-in takes the other aircraft; "released" gives them back
//
// Each kind has its own parser function in events_file.cpp; a new kind is one more
// function and one more line in its table.
#include "host/driver.h"

#include <filesystem>
#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace korvane::host {

struct TimedEvent {
    double time = 0;
    std::string text;  // the line as written, for reports
    std::function<void(HeadlessHost&)> play;
};

struct EventsFile {
    std::vector<TimedEvent> events;  // in time order; equal times keep file order
    std::string error;               // "NAME:LINE: what is wrong"; empty when every line is sound
};

// Reads every line; the first malformed line makes the whole file refused.
EventsFile ParseEvents(std::istream& input, const std::string& name);
EventsFile ReadEventsFile(const std::filesystem::path& path);

}  // namespace korvane::host
