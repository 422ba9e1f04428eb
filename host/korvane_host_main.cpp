// korvane-host: runs the plug-in in the headless host on a scripts folder for a number
// of simulated seconds and shows what it wrote to its log, its output and the console.
#include "host/console_capture.h"
#include "host/driver.h"
#include "host/events_file.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>
#include <sstream>
#include <string>

namespace {

using korvane::host::ConsoleCapture;
using korvane::host::HeadlessHost;

struct Options {
    std::optional<std::filesystem::path> root;
    std::optional<std::filesystem::path> scripts;
    std::filesystem::path plugin = KORVANE_PLUGIN_PATH;
    double seconds = 5.0;
    std::vector<std::filesystem::path> events;
    int screenWidth = 1024;
    int screenHeight = 768;
    bool profile = false;
};

void PrintUsage(std::ostream& out) {
    out << "usage: korvane-host [--root DIR] [--scripts DIR] [--seconds N] [--plugin FILE]\n"
                 "                    [--events FILE]... [--screen WxH] [--profile]\n"
                 "  --root DIR     use DIR as the simulator folder as it stands\n"
                 "                 (default: a new temporary folder)\n"
                 "  --scripts DIR  copy DIR's files into the scripts folder first\n"
                 "                 (default without --root: the bundled examples)\n"
                 "  --seconds N    simulated seconds to run between enable and disable (default 5)\n"
                 "  --plugin FILE  the plug-in to load (default: the one built beside this program)\n"
                 "  --events FILE  play the timed keys and mouse events of FILE into the run; the\n"
                 "                 *.events files in the scripts folder are always played\n"
                 "  --screen WxH   the screen size in pixels (default 1024x768)\n"
                 "  --profile      count the calls and time of every script's callbacks and print\n"
                 "                 the table, costliest first, at the end (sets KORVANE_PROFILE=1)\n";
}

// What the command line asked for: a run, the usage, or nothing (it was wrong).
struct Parsed {
    std::optional<Options> options;
    bool help = false;
    std::string error;  // one line saying what is wrong
};

Parsed Refuse(std::string error) { return {std::nullopt, false, std::move(error)}; }

bool IsFolder(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

Parsed ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") return {std::nullopt, true, {}};
        if (option.rfind("--", 0) != 0 || option.size() == 2) return Refuse("unknown option " + option);
        if (option == "--profile") {
            options.profile = true;
            continue;
        }
        if (i + 1 >= argc) return Refuse(option + " needs a value");
        std::string value = argv[++i];
        if (option == "--root") {
            if (!IsFolder(value)) return Refuse("--root takes an existing folder, not '" + value + "'");
            options.root = value;
        } else if (option == "--scripts") {
            if (!IsFolder(value)) return Refuse("--scripts takes an existing folder, not '" + value + "'");
            options.scripts = value;
        } else if (option == "--plugin") {
            std::error_code ignored;
            if (!std::filesystem::is_regular_file(value, ignored))
                return Refuse("--plugin takes the plug-in's file, not '" + value + "'");
            options.plugin = value;
        } else if (option == "--events") {
            options.events.push_back(value);
        } else if (option == "--screen") {
            char x = 0, rest = 0;
            if (std::sscanf(value.c_str(), "%d%c%d%c", &options.screenWidth, &x, &options.screenHeight, &rest) != 3 ||
                x != 'x' || options.screenWidth <= 0 || options.screenHeight <= 0)
                return Refuse("--screen takes WIDTHxHEIGHT in pixels, not '" + value + "'");
        } else if (option == "--seconds") {
            char* end = nullptr;
            options.seconds = std::strtod(value.c_str(), &end);
            // A day of simulated time is plenty for a test run; NaN and infinity are no time at all.
            if (end == value.c_str() || *end != '\0' || !(options.seconds >= 0 && options.seconds <= 86400))
                return Refuse("--seconds takes a number of seconds from 0 to 86400, not '" + value + "'");
        } else {
            return Refuse("unknown option " + option);
        }
    }
    return {std::move(options), false, {}};
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "(no file)\n";
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void PrintSection(const std::string& title, const std::string& body) {
    std::cout << "\n===== " << title << " =====\n" << body;
    if (!body.empty() && body.back() != '\n') std::cout << "\n";
}

const char* CommandName(std::uint32_t command) {
    switch (command) {
        case 1: return "display";
        case 2: return "clear display";
        case 3: return "print";
        case 4: return "clear print";
        default: return "unknown";
    }
}

// Print texts arrive as fragments ("abc", then the line end); they are joined into
// lines as a terminal would show them.
std::string ConsoleReport(ConsoleCapture& console) {
    if (!console.listening()) return "(a korvane-console is running and shows the channel)\n";
    std::ostringstream report;
    std::string printLine;
    bool printing = false;
    auto endPrintLine = [&] {
        if (printing) report << "[print] " << printLine << "\n";
        printLine.clear();
        printing = false;
    };
    for (const auto& text : console.texts()) {
        if (text.command != 3) {
            endPrintLine();
            report << "[" << CommandName(text.command) << "]" << (text.text.empty() ? "" : " ") << text.text << "\n";
            continue;
        }
        for (char c : text.text) {
            if (c == '\n') {
                printing = true;
                endPrintLine();
            } else {
                printLine += c;
                printing = true;
            }
        }
    }
    endPrintLine();
    return report.str();
}

// The menus open at the end of the run, one line per menu and item, indented by depth.
std::string MenuReport(const HeadlessHost& host) {
    std::vector<korvane::host::MenuLine> lines = host.MenuTree();
    // A plug-ins menu nobody added to is the simulator's alone.
    if (lines.size() == 1 && !lines[0].detached) return "(no menus open)\n";
    return "Open at the end of the run:\n" + korvane::host::FormatMenuLines(lines);
}

// The events of every file named and of the *.events files beside the scripts, in
// time order; false after naming the first malformed line.
bool GatherEvents(const Options& options, const std::filesystem::path& scriptsFolder,
                  std::vector<korvane::host::TimedEvent>& events) {
    std::vector<std::filesystem::path> files = options.events;
    std::vector<std::filesystem::path> beside;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(scriptsFolder, ignored))
        if (entry.is_regular_file() && entry.path().extension() == ".events") beside.push_back(entry.path());
    std::sort(beside.begin(), beside.end());
    files.insert(files.end(), beside.begin(), beside.end());
    for (const auto& path : files) {
        korvane::host::EventsFile file = korvane::host::ReadEventsFile(path);
        if (!file.error.empty()) {
            std::cerr << "korvane-host: " << file.error << "\n";
            return false;
        }
        for (auto& event : file.events) events.push_back(std::move(event));
    }
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.time < b.time; });
    return true;
}

// Runs the frames of `seconds`; each event plays just before the first frame that
// reaches its time. Gives the number of events left for after the run.
std::size_t RunWithEvents(HeadlessHost& host, double seconds, const std::vector<korvane::host::TimedEvent>& events) {
    const long frames = std::lround(seconds / host.FrameSeconds());
    std::size_t next = 0;
    for (long frame = 1; frame <= frames; ++frame) {
        const double frameTime = static_cast<double>(frame) * host.FrameSeconds();
        for (; next < events.size() && events[next].time <= frameTime + 1e-9; ++next) events[next].play(host);
        host.RunFrame();
    }
    return events.size() - next;
}

// What the scripts left open in the simulator.
std::string OpenReport(const HeadlessHost& host) {
    std::ostringstream report;
    for (const auto& window : host.Windows()) {
        report << "window " << korvane::host::PointerText(window.id) << ": left " << window.left << ", top "
               << window.top << ", right " << window.right << ", bottom " << window.bottom << ", "
               << (window.visible ? "visible" : "hidden") << ", refcon "
               << reinterpret_cast<std::intptr_t>(window.refcon)
               << (host.KeyboardFocus() == window.id ? ", keyboard focus" : "") << "\n";
    }
    for (const auto& hotKey : host.HotKeys())
        report << "hot key " << korvane::host::PointerText(hotKey.id) << ": virtual key "
               << static_cast<int>(static_cast<unsigned char>(hotKey.virtualKey)) << ", flags " << hotKey.flags
               << ", \"" << hotKey.description << "\"\n";
    if (host.PlanesHolder() == korvane::host::State().loadedPluginId) report << "the other aircraft (acquired planes)\n";
    if (report.str().empty()) report << "(none)\n";
    return report.str();
}

// What the virtual camera plug-in received from scripts; empty when nothing.
std::string VirtualCameraReport(const HeadlessHost& host) {
    const korvane::host::VirtualCamera& camera = host.VirtualCameraPlugin();
    if (camera.acquires + camera.sets + camera.releases == 0) return {};
    const korvane::host::VirtualCameraView& view = camera.applied;
    std::ostringstream report;
    report << "commands: " << camera.acquires << " acquire, " << camera.sets << " set, " << camera.releases
           << " release; " << (camera.holdsCamera ? "holds" : "does not hold") << " the camera\n"
           << "last set: camera " << view.cameraIndex << ", type " << view.cameraTypeIndex << ", offsets "
           << view.xOffset << " " << view.yOffset << " " << view.zOffset << ", heading " << view.headingOffset
           << ", pitch " << view.pitchOffset << ", roll " << view.rollOffset << ", zoom " << view.zoomRatio
           << ", looking at aircraft " << view.lookAtAircraft << "\n";
    return report.str();
}

int Run(int argc, char** argv) {
    Parsed parsed = ParseOptions(argc, argv);
    if (parsed.help) {
        PrintUsage(std::cout);
        return 0;
    }
    if (!parsed.options) {
        std::cerr << "korvane-host: " << parsed.error << "\n";
        PrintUsage(std::cerr);
        return 2;
    }
    const Options& options = *parsed.options;

    std::filesystem::path root = options.root ? *options.root : korvane::host::MakeTemporaryFolder("korvane-sim-");
    std::optional<std::filesystem::path> scripts = options.scripts;
    if (!options.root && !scripts) scripts = KORVANE_EXAMPLES_DIR;
    if (scripts) korvane::host::LayOutScriptsFolder(root, *scripts);

    std::vector<korvane::host::TimedEvent> events;
    if (!GatherEvents(options, root / "Resources" / "plugins" / "DuvodeZuzedav", events)) return 2;

    // The plug-in reads the switch as its interpreter starts.
    if (options.profile) setenv("KORVANE_PROFILE", "1", 1);
    ConsoleCapture console;
    HeadlessHost host(root);
    host.SetScreenSize(options.screenWidth, options.screenHeight);
    // Scripts' camera commands go to it, as to the camera plug-in in the simulator.
    host.LoadVirtualCameraPlugin();
    std::cout << "Simulator folder: " << root.string() << "\n";
    if (!host.Load(options.plugin)) {
        std::cerr << host.Log();
        return 1;
    }
    int started = host.Start();
    int enabled = host.Enable();
    std::cout << "XPluginStart returned " << started << " (" << host.Identity().name << ", "
              << host.Identity().signature << ", " << host.Identity().description << ")\n"
              << "XPluginEnable returned " << enabled << "\n"
              << "Running " << options.seconds << " simulated seconds"
              << (events.empty() ? "" : " with " + std::to_string(events.size()) + " input events") << "\n";
    const std::size_t unplayed = RunWithEvents(host, options.seconds, events);
    if (unplayed > 0) std::cout << unplayed << " input event(s) fall after the end of the run and were not played\n";
    const std::string leftOpen = OpenReport(host);
    // Taken before stop, which removes whatever scripts left behind.
    std::string menus = MenuReport(host);
    host.Disable();
    host.Stop();

    PrintSection("Simulator log (Log.txt)", ReadFile(root / "Log.txt"));
    PrintSection("Korvane log (KorvaneLog.txt)", ReadFile(host.ScriptsFolder() / "KorvaneLog.txt"));
    PrintSection("Script output (KorvaneOutput.txt)", ReadFile(host.ScriptsFolder() / "KorvaneOutput.txt"));
    PrintSection("Console channel", ConsoleReport(console));
    PrintSection("Menus", menus);
    std::string open = leftOpen;
    if (!host.Windows().empty() || !host.HotKeys().empty())
        open += "Still in the simulator after XPluginStop:\n" + OpenReport(host);
    PrintSection("Windows and hot keys open at the end of the run", open);
    if (std::string camera = VirtualCameraReport(host); !camera.empty()) PrintSection("Virtual camera plug-in", camera);
    // The plug-in wrote the table beside its log at stop.
    if (options.profile) PrintSection("Dispatch costs", ReadFile(host.ScriptsFolder() / "KorvaneProfile.txt"));
    return started == 1 && enabled == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing a user types may end in an uncaught exception.
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "korvane-host: " << error.what() << "\n";
        return 2;
    }
}
