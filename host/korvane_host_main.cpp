// korvane-host: runs the plug-in in the headless host on a scripts folder for a number
// of simulated seconds and shows what it wrote to its log, its output and the console.
#include "platform/run_report_wire.h"
#include "host/bench_report.h"
#include "host/command_report.h"
#include "host/console_capture.h"
#include "host/driver.h"
#include "host/events_file.h"
#include "host/gl_canvas.h"
#include "host/scripts_watch.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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
    bool strict = false;
    std::optional<std::filesystem::path> report;
    bool watch = false;
    bool profile = false;
    std::optional<std::filesystem::path> snapshot;
    double snapshotEvery = 0;
    std::filesystem::path snapshotFolder;
};

void PrintUsage(std::ostream& out) {
    out << "usage: korvane-host [--root DIR] [--scripts DIR] [--seconds N] [--plugin FILE]\n"
                 "                    [--events FILE]... [--screen WxH] [--strict] [--report FILE.json]\n"
                 "                    [--watch] [--profile] [--snapshot FILE.png]\n"
                 "                    [--snapshot-every SECONDS DIR]\n"
                 "  --root DIR     use DIR as the simulator folder as it stands\n"
                 "                 (default: a new temporary folder)\n"
                 "  --scripts DIR  copy DIR's files into the scripts folder first\n"
                 "                 (default without --root: the bundled examples)\n"
                 "  --seconds N    simulated seconds to run between enable and disable (default 5)\n"
                 "  --plugin FILE  the plug-in to load (default: the one built beside this program)\n"
                 "  --events FILE  play the timed keys and mouse events of FILE into the run; the\n"
                 "                 *.events files in the scripts folder are always played\n"
                 "  --screen WxH   the screen size in pixels (default 1024x768)\n"
                 "  --strict       exit with status 1 when a script failed to load, raised, wrote to\n"
                 "                 standard error or left registrations behind; the last lines say what\n"
                 "  --report FILE  write a JSON report of the run (scripts, errors, registrations left\n"
                 "                 at stop, callback counts, times) to FILE\n"
                 "  --watch        run in real time until interrupted (Ctrl-C), reloading the scripts\n"
                 "                 whenever a file in the scripts folder changes\n"
                 "  --profile      count the calls and time of every script's callbacks and print\n"
                 "                 the table, costliest first, at the end (sets KORVANE_PROFILE=1)\n"
                 "  --snapshot FILE.png\n"
                 "                 write the screen as it stands at the end of the run to FILE.png\n"
                 "  --snapshot-every SECONDS DIR\n"
                 "                 write the screen every SECONDS of simulated time to DIR/frame-0001.png,\n"
                 "                 frame-0002.png, ...\n";
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
        if (option == "--strict") {
            options.strict = true;
            continue;
        }
        if (option == "--watch") {
            options.watch = true;
            continue;
        }
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
        } else if (option == "--report") {
            std::filesystem::path file = value;
            std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
            if (value.empty() || IsFolder(value) || !IsFolder(folder))
                return Refuse("--report takes a file in an existing folder, not '" + value + "'");
            options.report = file;
        } else if (option == "--snapshot") {
            std::filesystem::path file = value;
            std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
            if (value.empty() || IsFolder(value) || !IsFolder(folder))
                return Refuse("--snapshot takes a PNG file in an existing folder, not '" + value + "'");
            options.snapshot = file;
        } else if (option == "--snapshot-every") {
            char* end = nullptr;
            options.snapshotEvery = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || !(options.snapshotEvery > 0 && options.snapshotEvery <= 86400))
                return Refuse("--snapshot-every takes a number of seconds above 0, not '" + value + "'");
            if (i + 1 >= argc || !IsFolder(argv[i + 1]))
                return Refuse("--snapshot-every takes SECONDS and an existing folder");
            options.snapshotFolder = argv[++i];
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
    // The plug-in runs in the simulator folder: paths given relative to the caller's
    // folder must still name the same files then.
    for (std::optional<std::filesystem::path>* path : {&options.root, &options.scripts, &options.report, &options.snapshot})
        if (*path) **path = std::filesystem::absolute(**path);
    for (std::filesystem::path& events : options.events) events = std::filesystem::absolute(events);
    if (!options.snapshotFolder.empty()) options.snapshotFolder = std::filesystem::absolute(options.snapshotFolder);
    options.plugin = std::filesystem::absolute(options.plugin);
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

constexpr std::size_t kConsoleTailTexts = 10000;
constexpr std::size_t kConsoleTailBytes = 4 * 1024 * 1024;

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
    if (std::size_t dropped = console.dropped())
        report << "(" << dropped << " earlier texts not kept: the console stream keeps its newest " << kConsoleTailTexts
               << " texts, " << kConsoleTailBytes / (1024 * 1024) << " MB at most)\n";
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

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// Ctrl-C and a plain kill end the run between frames, so that the scripts stop, the
// interpreter is finalized and every file is complete.
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Plays the events due by the frame that ends at `frameTime`, just before it runs.
void PlayDueEvents(HeadlessHost& host, const std::vector<korvane::host::TimedEvent>& events, std::size_t& next,
                   double frameTime) {
    for (; next < events.size() && events[next].time <= frameTime + 1e-9; ++next) events[next].play(host);
}

// The numbered series --snapshot-every writes, one picture each time its interval of
// simulated time has passed.
struct SnapshotSeries {
    double every = 0;
    std::filesystem::path folder;
    double next = 0;
    int written = 0;
    bool failed = false;
};
SnapshotSeries series;

void TakeDueSnapshot(const HeadlessHost& host) {
    if (series.every <= 0 || series.failed) return;
    const double now = korvane::host::State().elapsedTime;
    // A hair's tolerance: frame times add up in binary fractions.
    if (now + 1e-9 < series.next) return;
    series.next = now + series.every;
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d.png", series.written + 1);
    std::string error;
    if (!host.WriteScreenPng(series.folder / name, &error)) {
        std::cerr << "korvane-host: no snapshots: " << error << "\n";
        series.failed = true;
        return;
    }
    ++series.written;
}

// Runs the frames of `seconds`; each event plays just before the first frame that
// reaches its time. Gives the number of events left for after the run.
std::size_t RunWithEvents(HeadlessHost& host, double seconds, const std::vector<korvane::host::TimedEvent>& events) {
    const long frames = std::lround(seconds / host.FrameSeconds());
    std::size_t next = 0;
    for (long frame = 1; frame <= frames && !interrupted; ++frame) {
        PlayDueEvents(host, events, next, static_cast<double>(frame) * host.FrameSeconds());
        host.RunFrame();
        TakeDueSnapshot(host);
    }
    return events.size() - next;
}

// The plug-in as the host runs it, for watch mode's reloads.
struct PluginState {
    int started = 0;
    int enabled = 0;
    int reloads = 0;
};

// The same stop and start the control panel's Reload Scripts does (every script
// disabled and stopped, the interpreter finalized, then all started and enabled
// afresh), shown with what it logged.
void ReloadScripts(HeadlessHost& host, PluginState& plugin, const std::vector<std::string>& changed) {
    const std::filesystem::path log = host.ScriptsFolder() / "KorvaneLog.txt";
    std::error_code ignored;
    std::uintmax_t logged = std::filesystem::file_size(log, ignored);
    if (ignored) logged = 0;
    if (plugin.enabled == 1) host.Disable();
    if (plugin.started == 1) host.Stop();
    plugin.started = host.Start();
    plugin.enabled = plugin.started == 1 ? host.Enable() : 0;
    ++plugin.reloads;
    std::string names;
    for (const std::string& name : changed) names += (names.empty() ? "" : ", ") + name;
    const std::string text = ReadFile(log);
    PrintSection("Reload (" + names + " changed)", logged <= text.size() ? text.substr(logged) : text);
    std::cout << std::flush;
}

// Runs frames in real time until interrupted; a change to a file in the watched folder
// (the --scripts folder, copied over again, else the scripts folder itself) reloads the
// scripts before the next frame.
std::size_t Watch(HeadlessHost& host, PluginState& plugin, const Options& options,
                  const std::vector<korvane::host::TimedEvent>& events) {
    const std::filesystem::path watched = options.scripts ? *options.scripts : host.ScriptsFolder();
    korvane::host::FolderSnapshot seen = korvane::host::TakeSnapshot(watched);
    std::cout << "Watching " << watched.string() << " for changes; Ctrl-C stops\n" << std::flush;
    const auto frame = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(host.FrameSeconds()));
    auto due = std::chrono::steady_clock::now();
    std::size_t next = 0;
    for (long count = 1; !interrupted; ++count) {
        PlayDueEvents(host, events, next, static_cast<double>(count) * host.FrameSeconds());
        host.RunFrame();
        TakeDueSnapshot(host);
        korvane::host::FolderSnapshot now = korvane::host::TakeSnapshot(watched);
        if (std::vector<std::string> changed = korvane::host::ChangedFiles(seen, now); !changed.empty()) {
            if (options.scripts) {
                std::error_code ignored;
                korvane::host::LayOutScriptsFolder(host.Root(), *options.scripts);
                for (const std::string& name : changed)
                    if (!now.count(name)) std::filesystem::remove(host.ScriptsFolder() / name, ignored);
            }
            seen = std::move(now);
            ReloadScripts(host, plugin, changed);
        }
        due += frame;
        const auto current = std::chrono::steady_clock::now();
        // After a slow reload the clock starts again rather than rushing frames to catch up.
        if (current - due > std::chrono::seconds(1)) due = current;
        std::this_thread::sleep_until(due);
    }
    return events.size() - next;
}

// What the scripts left open in the simulator.
std::string OpenReport(const HeadlessHost& host) {
    std::ostringstream report;
    for (const auto& window : host.Windows()) {
        if (window.widget) continue;  // in the widgets' own section
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

// Merges the plug-in's lines into the report, writes it and, for a strict run, ends
// the output with the verdict. Gives the exit status.
int FinishReport(const Options& options, const std::filesystem::path& pluginReport,
                 const korvane::host::BenchRun& run, int status) {
    korvane::host::BenchReport report = korvane::host::MergeRunReport(pluginReport / "runs.jsonl", run);
    std::error_code ignored;
    std::filesystem::remove_all(pluginReport, ignored);
    if (options.report) {
        std::ofstream file(*options.report, std::ios::trunc);
        file << report.document.dump(2) << "\n";
        file.close();
        if (!file) {
            std::cerr << "korvane-host: cannot write the report to " << options.report->string() << "\n";
            status = 1;
        }
    }
    // Last, so that a CI log ends with the verdict.
    if (options.strict) {
        std::cout << "\n===== Strict run =====\n";
        if (report.failures.empty()) std::cout << "passed\n";
        for (const std::string& failure : report.failures) std::cout << "failed: " << failure << "\n";
        if (!report.failures.empty()) status = 1;
    }
    return status;
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
    CatchInterrupts();

    std::filesystem::path root = options.root ? *options.root : korvane::host::MakeTemporaryFolder("korvane-sim-");
    std::optional<std::filesystem::path> scripts = options.scripts;
    if (!options.root && !scripts) scripts = KORVANE_EXAMPLES_DIR;
    if (scripts) korvane::host::LayOutScriptsFolder(root, *scripts);

    std::vector<korvane::host::TimedEvent> events;
    if (!GatherEvents(options, root / "Resources" / "plugins" / "DuvodeZuzedav", events)) return 2;

    // The plug-in reads the switch as its interpreter starts.
    if (options.profile) ::setenv("KORVANE_PROFILE", "1", 1);

    // The plug-in writes its part of the report there at every interpreter stop.
    std::optional<std::filesystem::path> pluginReport;
    if (options.strict || options.report) {
        pluginReport = korvane::host::MakeTemporaryFolder("korvane-report-");
        ::setenv(korvane::run_report::kFileVariable, (*pluginReport / "runs.jsonl").c_str(), 1);
        // The per-script callback counts come from the plug-in's profiling.
        if (options.report) ::setenv("KORVANE_PROFILE", "1", 0);
    }

    series.every = options.snapshotEvery;
    series.folder = options.snapshotFolder;
    series.next = options.snapshotEvery;

    // Nobody reads the channel until the run ends, so only its newest texts are kept.
    ConsoleCapture console(korvane::host::CaptureTail{kConsoleTailTexts, kConsoleTailBytes});
    HeadlessHost host(root);
    host.SetScreenSize(options.screenWidth, options.screenHeight);
    // Scripts' camera commands go to it, as to the camera plug-in in the simulator.
    host.LoadVirtualCameraPlugin();
    std::cout << "Simulator folder: " << root.string() << "\n";
    const auto wallStart = std::chrono::steady_clock::now();
    if (!host.Load(options.plugin)) {
        std::cerr << host.Log();
        return pluginReport ? FinishReport(options, *pluginReport, {}, 1) : 1;
    }
    PluginState plugin;
    plugin.started = host.Start();
    plugin.enabled = host.Enable();
    std::cout << "XPluginStart returned " << plugin.started << " (" << host.Identity().name << ", "
              << host.Identity().signature << ", " << host.Identity().description << ")\n"
              << "XPluginEnable returned " << plugin.enabled << "\n";
    if (!options.watch)
        std::cout << "Running " << options.seconds << " simulated seconds"
                  << (events.empty() ? "" : " with " + std::to_string(events.size()) + " input events") << "\n";
    const std::size_t unplayed =
        options.watch ? Watch(host, plugin, options, events) : RunWithEvents(host, options.seconds, events);
    if (options.snapshot) {
        std::string error;
        if (host.WriteScreenPng(*options.snapshot, &error))
            std::cout << "Snapshot: " << options.snapshot->string() << "\n";
        else
            std::cerr << "korvane-host: no snapshot: " << error << "\n";
    }
    if (series.written > 0)
        std::cout << series.written << " snapshot(s) in " << series.folder.string() << "\n";
    if (interrupted) std::cout << "Interrupted; stopping the scripts\n";
    if (unplayed > 0) std::cout << unplayed << " input event(s) fall after the end of the run and were not played\n";
    const std::string leftOpen = OpenReport(host);
    const std::string widgetsOpen = host.WidgetReport();
    // Taken before stop, which removes whatever scripts left behind.
    std::string menus = MenuReport(host);
    const std::vector<korvane::host::CommandHandlerCount> handlersAtEnd = korvane::host::CountCommandHandlers(host);
    if (plugin.enabled == 1) host.Disable();
    if (plugin.started == 1) host.Stop();
    const std::chrono::duration<double> wallTime = std::chrono::steady_clock::now() - wallStart;

    PrintSection("Simulator log (Log.txt)", ReadFile(root / "Log.txt"));
    PrintSection("Korvane log (KorvaneLog.txt)", ReadFile(host.ScriptsFolder() / "KorvaneLog.txt"));
    PrintSection("Script output (KorvaneOutput.txt)", ReadFile(host.ScriptsFolder() / "KorvaneOutput.txt"));
    PrintSection("Console channel", ConsoleReport(console));
    PrintSection("Menus", menus);
    std::string open = leftOpen;
    const std::string widgetsLeft = host.WidgetReport();
    const bool windowsLeft = std::any_of(host.Windows().begin(), host.Windows().end(),
                                         [](const korvane::host::HostWindow& window) { return !window.widget; });
    if (windowsLeft || !host.HotKeys().empty())
        open += "Still in the simulator after XPluginStop:\n" + OpenReport(host);
    PrintSection("Windows and hot keys open at the end of the run", open);
    std::string widgets = widgetsOpen.empty() ? "(none)\n" : widgetsOpen;
    if (!widgetsLeft.empty()) widgets += "Still in the simulator after XPluginStop:\n" + widgetsLeft;
    PrintSection("Widgets", widgets);
    if (std::string camera = VirtualCameraReport(host); !camera.empty()) PrintSection("Virtual camera plug-in", camera);
    PrintSection("Commands", korvane::host::CommandReport(host, handlersAtEnd));
    // The plug-in wrote the table beside its log at stop.
    if (options.profile) PrintSection("Dispatch costs", ReadFile(host.ScriptsFolder() / "KorvaneProfile.txt"));
    int status = plugin.started == 1 && plugin.enabled == 1 ? 0 : 1;
    if (pluginReport) {
        // Frames add up in binary fractions; a millisecond is the time's own precision.
        korvane::host::BenchRun run;
        run.simulatedSeconds = std::round(korvane::host::State().elapsedTime * 1000.0) / 1000.0;
        run.wallSeconds = wallTime.count();
        run.watchReloads = plugin.reloads;
        run.interrupted = interrupted != 0;
        run.commands = korvane::host::CommandReportJson(host, handlersAtEnd);
        if (scripts) {
            run.scriptsCopy = host.ScriptsFolder();
            run.scriptsSource = std::filesystem::absolute(*scripts);
        }
        status = FinishReport(options, *pluginReport, run, status);
    }
    return status;
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
