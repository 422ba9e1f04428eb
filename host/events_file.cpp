#include "host/events_file.h"

#include <XPLMDefs.h>
#include <XPLMPlugin.h>
#include <XPLMUtilities.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace korvane::host {
namespace {

using Action = std::function<void(HeadlessHost&)>;

// The plug-in of the host's table that takes the planes in a planes event: the flight recorder.
constexpr XPLMPluginID kOtherPlanesPlugin = 2;

// A kind's parser: reads the text after the kind (trimmed, without a trailing
// comment; a menu path keeps its spaces) and makes the event's action, or says what
// is wrong.
struct Parsed {
    Action action;
    std::string error;
};
using KindParser = Parsed (*)(const std::string& arguments);

std::vector<std::string> Words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

Parsed Refuse(std::string error) { return {nullptr, std::move(error)}; }

std::optional<long> ParseInteger(const std::string& text) {
    long value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        first += 2;
        base = 16;
    }
    if (first == last && base == 16) return std::nullopt;
    auto [end, error] = std::from_chars(first, last, value, base);
    if (error != std::errc{} || end != last) return std::nullopt;
    return value;
}

std::optional<XPLMKeyFlags> ParseFlags(const std::string& text) {
    static const std::pair<const char*, XPLMKeyFlags> kNames[] = {
        {"shift", xplm_ShiftFlag}, {"alt", xplm_OptionAltFlag}, {"option", xplm_OptionAltFlag},
        {"ctrl", xplm_ControlFlag}, {"control", xplm_ControlFlag}, {"down", xplm_DownFlag}, {"up", xplm_UpFlag}};
    if (std::optional<long> number = ParseInteger(text)) {
        if (*number < 0 || *number > 0xFF) return std::nullopt;
        return static_cast<XPLMKeyFlags>(*number);
    }
    XPLMKeyFlags flags = 0;
    std::istringstream names(text);
    std::string name;
    while (std::getline(names, name, ',')) {
        auto known = std::find_if(std::begin(kNames), std::end(kNames), [&](const auto& n) { return name == n.first; });
        if (known == std::end(kNames)) return std::nullopt;
        flags |= known->second;
    }
    return flags;
}

// key [char=C] [vkey=N] [flags=NAMES|N]: at least a char or a virtual key. A letter
// or digit gives its own virtual key; the flags default to a key going down.
Parsed ParseKey(const std::string& arguments) {
    std::optional<char> key;
    std::optional<long> virtualKey;
    XPLMKeyFlags flags = xplm_DownFlag;
    for (const std::string& word : Words(arguments)) {
        const std::size_t equals = word.find('=');
        const std::string field = word.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
        if (field == "char" && value.size() == 1) {
            key = value[0];
        } else if (field == "vkey") {
            virtualKey = ParseInteger(value);
            if (!virtualKey || *virtualKey < 0 || *virtualKey > 0xFF)
                return Refuse("vkey takes a number from 0 to 255 (decimal or 0x hex), not '" + value + "'");
        } else if (field == "flags") {
            std::optional<XPLMKeyFlags> parsed = ParseFlags(value);
            if (!parsed) return Refuse("flags takes shift, alt, ctrl, down, up joined by commas, or a number; not '" +
                                       value + "'");
            flags = *parsed;
        } else {
            return Refuse("a key takes char=C (one character), vkey=N and flags=...; not '" + word + "'");
        }
    }
    if (!virtualKey && key && std::isalnum(static_cast<unsigned char>(*key)))
        virtualKey = std::toupper(static_cast<unsigned char>(*key));
    if (!key && !virtualKey) return Refuse("a key needs char=C or vkey=N");
    const char c = key.value_or('\0');
    const char vk = static_cast<char>(virtualKey.value_or(0));
    return {[c, flags, vk](HeadlessHost& host) { host.PressKey(c, flags, vk); }, {}};
}

// mouse down|drag|up|click X Y, or mouse wheel X Y WHEEL CLICKS
Parsed ParseMouse(const std::string& arguments) {
    const std::vector<std::string> words = Words(arguments);
    using Press = void (HeadlessHost::*)(int, int);
    static const std::pair<const char*, Press> kActions[] = {{"down", &HeadlessHost::MouseDown},
                                                             {"drag", &HeadlessHost::MouseDrag},
                                                             {"up", &HeadlessHost::MouseUp},
                                                             {"click", &HeadlessHost::MouseClick}};
    const bool wheel = !words.empty() && words[0] == "wheel";
    if (wheel ? words.size() != 5 : words.size() != 3)
        return Refuse("a mouse event is 'mouse down|drag|up|click X Y' or 'mouse wheel X Y WHEEL CLICKS'");
    auto action = std::find_if(std::begin(kActions), std::end(kActions),
                               [&](const auto& a) { return words[0] == a.first; });
    if (!wheel && action == std::end(kActions))
        return Refuse("a mouse event is down, drag, up, click or wheel, not '" + words[0] + "'");
    std::vector<int> numbers;
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::optional<long> value = ParseInteger(words[i]);
        if (!value || std::abs(*value) > 1000000) return Refuse("a mouse event needs whole-number coordinates X Y");
        numbers.push_back(static_cast<int>(*value));
    }
    if (wheel) {
        if (numbers[2] != 0 && numbers[2] != 1) return Refuse("a mouse wheel is 0 (vertical) or 1 (horizontal)");
        return {[n = numbers](HeadlessHost& host) { host.MouseWheel(n[0], n[1], n[2], n[3]); }, {}};
    }
    const Press press = action->second;
    return {[press, n = numbers](HeadlessHost& host) { (host.*press)(n[0], n[1]); }, {}};
}

// menu PATH: a pick of the menu item at that path of names as shown, '/' between
// ("Plugins/My Menu/Item"); names may hold blanks.
Parsed ParseMenu(const std::string& arguments) {
    if (arguments.empty() || arguments.find('/') == std::string::npos)
        return Refuse("a menu event is 'menu PATH', names from the menu bar down with '/' between");
    return {[path = arguments](HeadlessHost& host) {
                // As a user would see: nothing happens; the simulator's log says why.
                if (!host.PickMenu(path)) XPLMDebugString(("Menu pick: no enabled item at " + path + "\n").c_str());
            },
            {}};
}

// command NAME once|begin|end: a press of the command, as a key or joystick button
// bound to it gives: once, or held from begin (continuing every frame) until end.
Parsed ParseCommand(const std::string& arguments) {
    static const std::pair<const char*, CommandPress> kPresses[] = {
        {"once", CommandPress::Once}, {"begin", CommandPress::Begin}, {"end", CommandPress::End}};
    const std::vector<std::string> words = Words(arguments);
    if (words.size() != 2) return Refuse("a command event is 'command NAME once|begin|end'");
    auto press = std::find_if(std::begin(kPresses), std::end(kPresses),
                              [&](const auto& p) { return words[1] == p.first; });
    if (press == std::end(kPresses))
        return Refuse("a command is pressed once, begin or end, not '" + words[1] + "'");
    return {[name = words[0], how = press->second](HeadlessHost& host) {
                // Scripts create commands as they run, so the name is looked up only now.
                if (!host.PressCommand(name, how))
                    XPLMDebugString(("Command: no command named " + name + "\n").c_str());
            },
            {}};
}

// message ID [PARAM]: a message from the simulator to every enabled plug-in; ID a
// number or an XPLM_MSG_ name, PARAM a number (default 0).
Parsed ParseMessage(const std::string& arguments) {
    static const std::pair<const char*, int> kNames[] = {
        {"XPLM_MSG_PLANE_CRASHED", XPLM_MSG_PLANE_CRASHED},   {"XPLM_MSG_PLANE_LOADED", XPLM_MSG_PLANE_LOADED},
        {"XPLM_MSG_AIRPORT_LOADED", XPLM_MSG_AIRPORT_LOADED}, {"XPLM_MSG_SCENERY_LOADED", XPLM_MSG_SCENERY_LOADED},
        {"XPLM_MSG_AIRPLANE_COUNT_CHANGED", XPLM_MSG_AIRPLANE_COUNT_CHANGED},
        {"XPLM_MSG_PLANE_UNLOADED", XPLM_MSG_PLANE_UNLOADED}, {"XPLM_MSG_WILL_WRITE_PREFS", XPLM_MSG_WILL_WRITE_PREFS},
        {"XPLM_MSG_LIVERY_LOADED", XPLM_MSG_LIVERY_LOADED}};
    const std::vector<std::string> words = Words(arguments);
    if (words.empty() || words.size() > 2) return Refuse("a message event is 'message ID [PARAM]'");
    std::optional<long> id = ParseInteger(words[0]);
    auto named = std::find_if(std::begin(kNames), std::end(kNames), [&](const auto& n) { return words[0] == n.first; });
    if (named != std::end(kNames)) id = named->second;
    if (!id || *id < INT_MIN || *id > INT_MAX)
        return Refuse("a message ID is a number or an XPLM_MSG_ name, not '" + words[0] + "'");
    std::optional<long> parameter = words.size() == 2 ? ParseInteger(words[1]) : 0L;
    if (!parameter) return Refuse("a message parameter is a number, not '" + words[1] + "'");
    const int message = static_cast<int>(*id);
    const auto value = static_cast<std::uintptr_t>(*parameter);
    return {[message, value](HeadlessHost& host) { host.SendSimulatorMessage(message, value); }, {}};
}

// planes taken|released: another plug-in takes the other aircraft, or gives them back
// (which answers the scripts' waiting XPLMAcquirePlanes requests).
Parsed ParsePlanes(const std::string& arguments) {
    if (arguments == "released") return {[](HeadlessHost& host) { host.ReleasePlanesByOtherPlugin(); }, {}};
    if (arguments != "taken") return Refuse("a planes event is 'planes taken' or 'planes released'");
    return {[](HeadlessHost& host) {
                // As in the simulator, planes one plug-in holds are not taken from it.
                if (host.PlanesHolder() == host.LoadedPluginId()) {
                    XPLMDebugString("Planes event: the loaded plug-in holds the planes; the other plug-in's request is refused\n");
                    return;
                }
                host.HoldPlanesByOtherPlugin(kOtherPlanesPlugin);
            },
            {}};
}

// The event kinds; a new kind is one parser above and one line here.
const std::pair<const char*, KindParser> kKinds[] = {
    {"key", ParseKey},
    {"mouse", ParseMouse},
    {"menu", ParseMenu},
    {"command", ParseCommand},
    {"message", ParseMessage},
    {"planes", ParsePlanes},
};

std::string KnownKinds() {
    std::string names;
    for (const auto& kind : kKinds) names += (names.empty() ? "" : ", ") + std::string(kind.first);
    return names;
}

std::string Trimmed(std::string text) {
    const auto space = [](unsigned char c) { return std::isspace(c) != 0; };
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), space));
    text.erase(std::find_if_not(text.rbegin(), text.rend(), space).base(), text.end());
    return text;
}

// The line without a comment: one starts at a '#' that begins the line or follows a blank.
std::string WithoutComment(const std::string& line) {
    for (std::size_t at = line.find('#'); at != std::string::npos; at = line.find('#', at + 1))
        if (at == 0 || std::isspace(static_cast<unsigned char>(line[at - 1]))) return line.substr(0, at);
    return line;
}

// One line: empty with no error for a blank or comment line.
std::optional<TimedEvent> ParseLine(const std::string& line, std::string& error) {
    const std::string text = Trimmed(WithoutComment(line));
    std::vector<std::string> words = Words(text);
    if (words.empty()) return std::nullopt;
    char* end = nullptr;
    const double time = std::strtod(words[0].c_str(), &end);
    if (*end != '\0' || !std::isfinite(time) || time < 0) {
        error = "a line starts with a time in seconds, not '" + words[0] + "'";
        return std::nullopt;
    }
    if (words.size() < 2) {
        error = "an event needs a kind after its time (" + KnownKinds() + ")";
        return std::nullopt;
    }
    auto kind = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const auto& k) { return words[1] == k.first; });
    if (kind == std::end(kKinds)) {
        error = "unknown event kind '" + words[1] + "' (known: " + KnownKinds() + ")";
        return std::nullopt;
    }
    // The arguments: the text after the first two words.
    std::size_t at = text.find(words[1], words[0].size());
    Parsed parsed = kind->second(Trimmed(text.substr(at + words[1].size())));
    if (!parsed.action) {
        error = std::move(parsed.error);
        return std::nullopt;
    }
    return TimedEvent{time, text, std::move(parsed.action)};
}

}  // namespace

EventsFile ParseEvents(std::istream& input, const std::string& name) {
    EventsFile file;
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        std::string error;
        std::optional<TimedEvent> event = ParseLine(line, error);
        if (!error.empty()) {
            file.events.clear();
            file.error = name + ":" + std::to_string(number) + ": " + error;
            return file;
        }
        if (event) file.events.push_back(std::move(*event));
    }
    std::stable_sort(file.events.begin(), file.events.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.time < b.time; });
    return file;
}

EventsFile ReadEventsFile(const std::filesystem::path& path) {
    std::ifstream input(path);
    if (!input) return {{}, path.string() + ": cannot be read"};
    return ParseEvents(input, path.string());
}

}  // namespace korvane::host
