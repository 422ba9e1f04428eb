// korvane-host: runs the plug-in in the headless host on a scripts folder for a number
// of simulated seconds and shows what it wrote to its log, its output and the console.
#include "host/console_capture.h"
#include "host/driver.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
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
};

void PrintUsage() {
    std::cout << "usage: korvane-host [--root DIR] [--scripts DIR] [--seconds N] [--plugin FILE]\n"
                 "  --root DIR     use DIR as the simulator folder as it stands\n"
                 "                 (default: a new temporary folder)\n"
                 "  --scripts DIR  copy DIR's files into the scripts folder first\n"
                 "                 (default without --root: the bundled examples)\n"
                 "  --seconds N    simulated seconds to run between enable and disable (default 5)\n"
                 "  --plugin FILE  the plug-in to load (default: the one built beside this program)\n";
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") return std::nullopt;
        if (i + 1 >= argc) {
            std::cerr << "korvane-host: " << option << " needs a value\n";
            return std::nullopt;
        }
        std::string value = argv[++i];
        if (option == "--root") {
            options.root = value;
        } else if (option == "--scripts") {
            options.scripts = value;
        } else if (option == "--plugin") {
            options.plugin = value;
        } else if (option == "--seconds") {
            char* end = nullptr;
            options.seconds = std::strtod(value.c_str(), &end);
            if (*end != '\0' || options.seconds < 0) {
                std::cerr << "korvane-host: --seconds takes a number of seconds, not '" << value << "'\n";
                return std::nullopt;
            }
        } else {
            std::cerr << "korvane-host: unknown option " << option << "\n";
            return std::nullopt;
        }
    }
    return options;
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

}  // namespace

int main(int argc, char** argv) {
    std::optional<Options> parsed = ParseOptions(argc, argv);
    if (!parsed) {
        PrintUsage();
        return 2;
    }
    const Options& options = *parsed;

    std::filesystem::path root = options.root ? *options.root : korvane::host::MakeTemporaryFolder("korvane-sim-");
    std::optional<std::filesystem::path> scripts = options.scripts;
    if (!options.root && !scripts) scripts = KORVANE_EXAMPLES_DIR;
    if (scripts) korvane::host::LayOutScriptsFolder(root, *scripts);

    ConsoleCapture console;
    HeadlessHost host(root);
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
              << "Running " << options.seconds << " simulated seconds\n";
    host.RunSeconds(options.seconds);
    // Taken before stop, which removes whatever scripts left behind.
    std::string menus = MenuReport(host);
    host.Disable();
    host.Stop();

    PrintSection("Simulator log (Log.txt)", ReadFile(root / "Log.txt"));
    PrintSection("Korvane log (KorvaneLog.txt)", ReadFile(host.ScriptsFolder() / "KorvaneLog.txt"));
    PrintSection("Script output (KorvaneOutput.txt)", ReadFile(host.ScriptsFolder() / "KorvaneOutput.txt"));
    PrintSection("Console channel", ConsoleReport(console));
    PrintSection("Menus", menus);
    return started == 1 && enabled == 1 ? 0 : 1;
}
