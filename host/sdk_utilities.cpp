// XPLMUtilities as the headless host serves it.
#include "host/host_state.h"

#include <XPLMUtilities.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

using namespace korvane::host;

namespace {

// Copies a path into a buffer of the SDK's documented 512 bytes.
void CopyPath(const std::string& path, char* out) {
    std::strncpy(out, path.c_str(), 511);
    out[511] = '\0';
}

// Names of the virtual keys that have one, by XPLM_VK_ code.
const char* VirtualKeyName(unsigned char key) {
    static const std::array<std::string, 256> names = [] {
        std::array<std::string, 256> table;
        table[XPLM_VK_BACK] = "Backspace";
        table[XPLM_VK_TAB] = "Tab";
        table[XPLM_VK_CLEAR] = "Clear";
        table[XPLM_VK_RETURN] = "Return";
        table[XPLM_VK_ESCAPE] = "Escape";
        const char* block[] = {"Space",  "Page Up", "Page Down", "End",    "Home",   "Left",
                               "Up",     "Right",   "Down",      "Select", "Print",  "Execute",
                               "Print Screen", "Insert", "Delete", "Help"};
        for (int i = 0; i < 16; ++i) table[XPLM_VK_SPACE + i] = block[i];
        for (char c = '0'; c <= '9'; ++c) table[static_cast<unsigned char>(c)] = std::string(1, c);
        for (char c = 'A'; c <= 'Z'; ++c) table[static_cast<unsigned char>(c)] = std::string(1, c);
        for (int i = 0; i <= 9; ++i) table[XPLM_VK_NUMPAD0 + i] = "Keypad " + std::to_string(i);
        const char* keypad[] = {"Keypad *", "Keypad +", "Keypad Separator", "Keypad -", "Keypad .", "Keypad /"};
        for (int i = 0; i < 6; ++i) table[XPLM_VK_MULTIPLY + i] = keypad[i];
        for (int i = 1; i <= 24; ++i) table[XPLM_VK_F1 + i - 1] = "F" + std::to_string(i);
        const char* added[] = {"=", "-", "]", "[", "'", ";", "\\", ",", "/", ".", "`", "Enter", "Keypad Enter",
                               "Keypad ="};
        for (int i = 0; i < 14; ++i) table[XPLM_VK_EQUAL + i] = added[i];
        return table;
    }();
    return names[key].empty() ? nullptr : names[key].c_str();
}

}  // namespace

namespace korvane::host {

void ReportSdkError(const std::string& function, const std::string& problem) {
    const std::string message = function + ": " + problem;
    RecordCall("(SDK error)", message);
    XPLMDebugString(("SDK error: " + message + "\n").c_str());
    if (XPLMError_f callback = State().errorCallback) callback(message.c_str());
}

}  // namespace korvane::host

namespace {

// What a situation holds in the host: the user's aircraft's position, attitude and
// throttles and the time of day. A replay holds the same state (the host records no
// flight), and loading one puts the simulator in replay mode.
constexpr const char* kSituationValues[] = {
    "sim/flightmodel/position/latitude", "sim/flightmodel/position/longitude", "sim/flightmodel/position/elevation",
    "sim/flightmodel/position/local_x",  "sim/flightmodel/position/local_y",   "sim/flightmodel/position/local_z",
    "sim/flightmodel/position/psi",      "sim/flightmodel/position/theta",     "sim/flightmodel/position/phi",
    "sim/flightmodel/engine/ENGN_thro",  "sim/time/zulu_time_sec",
};

std::string DataFileHeader(XPLMDataFileType type) {
    return type == xplm_DataFile_Situation ? "KORVANE-HOST SITUATION 1" : "KORVANE-HOST REPLAY 1";
}

// The file a data file path names: relative to the simulator folder and inside it.
std::optional<std::filesystem::path> DataFilePath(const char* path, const char* function) {
    if (!path || !*path) {
        ReportSdkError(function, "no file path");
        return std::nullopt;
    }
    const std::filesystem::path relative = std::filesystem::path(path).lexically_normal();
    if (relative.is_absolute() || relative.empty() || *relative.begin() == "..") {
        ReportSdkError(function, std::string("'") + path + "' is not a path inside the simulator folder");
        return std::nullopt;
    }
    return State().root / relative;
}

}  // namespace

XPLM_API int XPLMSaveDataFile(XPLMDataFileType inFileType, const char* inFilePath) {
    RecordCall("XPLMSaveDataFile", std::to_string(inFileType) + " " + (inFilePath ? inFilePath : "(null)"));
    if (inFileType != xplm_DataFile_Situation && inFileType != xplm_DataFile_ReplayMovie) {
        ReportSdkError("XPLMSaveDataFile", "unknown data file type " + std::to_string(inFileType));
        return 0;
    }
    std::optional<std::filesystem::path> file = DataFilePath(inFilePath, "XPLMSaveDataFile");
    if (!file) return 0;
    // The simulator folder always has the two folders its data files go to.
    std::error_code ignored;
    for (const char* folder : {"situations", "replays"})
        std::filesystem::create_directories(State().root / "Output" / folder, ignored);
    std::ofstream out(*file, std::ios::trunc);
    if (!out) return 0;
    out << DataFileHeader(inFileType) << '\n';
    out.precision(17);
    for (const char* name : kSituationValues) {
        const DataRefRecord* record = FindDataRefRecord(name);
        if (!record) continue;
        out << name;
        if (record->types & xplmType_FloatArray)
            for (float value : record->floats) out << '\t' << value;
        else if (record->types & xplmType_Double)
            out << '\t' << record->doubleValue;
        else
            out << '\t' << record->floatValue;
        out << '\n';
    }
    return out.good() ? 1 : 0;
}

XPLM_API int XPLMLoadDataFile(XPLMDataFileType inFileType, const char* inFilePath) {
    RecordCall("XPLMLoadDataFile", std::to_string(inFileType) + " " + (inFilePath ? inFilePath : "(null)"));
    if (inFileType != xplm_DataFile_Situation && inFileType != xplm_DataFile_ReplayMovie) {
        ReportSdkError("XPLMLoadDataFile", "unknown data file type " + std::to_string(inFileType));
        return 0;
    }
    DataRefRecord* replayMode = FindDataRefRecord("sim/operation/prefs/replay_mode");
    if (!inFilePath && inFileType == xplm_DataFile_ReplayMovie) {  // clears the replay
        if (replayMode) SetScalar(*replayMode, 0);
        return 1;
    }
    std::optional<std::filesystem::path> file = DataFilePath(inFilePath, "XPLMLoadDataFile");
    if (!file) return 0;
    std::ifstream in(*file);
    std::string line;
    if (!std::getline(in, line) || line != DataFileHeader(inFileType)) {
        XPLMDebugString(("Cannot load " + file->string() + ": not a " +
                         (inFileType == xplm_DataFile_Situation ? "situation" : "replay") + " file\n")
                            .c_str());
        return 0;
    }
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        DataRefRecord* record = FindDataRefRecord(name);
        if (!record) continue;
        std::vector<double> values;
        for (double value = 0; fields >> value;) values.push_back(value);
        if (record->types & xplmType_FloatArray)
            record->floats.assign(values.begin(), values.end());
        else if (!values.empty())
            SetScalar(*record, values.front());
    }
    if (replayMode) SetScalar(*replayMode, inFileType == xplm_DataFile_ReplayMovie ? 1 : 0);
    return 1;
}

XPLM_API void XPLMSetErrorCallback(XPLMError_f inCallback) {
    RecordCall("XPLMSetErrorCallback", inCallback ? "set" : "cleared");
    State().errorCallback = inCallback;
}

XPLM_API void XPLMSimulateKeyPress(int inKeyType, int inKey) {
    // The simulator's own keys file would act on it; no plug-in sees it.
    RecordCall("XPLMSimulateKeyPress", "type=" + std::to_string(inKeyType) + " key=" + std::to_string(inKey));
}

XPLM_API void XPLMGetSystemPath(char* outSystemPath) {
    std::string path = State().root.string();
    if (path.empty() || path.back() != '/') path += '/';
    CopyPath(path, outSystemPath);
}

XPLM_API void XPLMGetPrefsPath(char* outPrefsPath) {
    // A file in the preferences folder, as the simulator gives it.
    CopyPath((State().root / "Output" / "preferences" / "Set X-Plane.prf").string(), outPrefsPath);
}

XPLM_API const char* XPLMGetDirectorySeparator(void) { return "/"; }

XPLM_API char* XPLMExtractFileAndPath(char* inFullPath) {
    // The path ends where its last separator was; without one the whole text is the name.
    char* separator = std::strrchr(inFullPath, '/');
    if (!separator) return inFullPath;
    *separator = '\0';
    return separator + 1;
}

XPLM_API void XPLMSpeakString(const char* inString) { RecordCall("XPLMSpeakString", inString); }
XPLM_API void XPLMCommandKeyStroke(XPLMCommandKeyID inKey) { RecordCall("XPLMCommandKeyStroke", std::to_string(inKey)); }
XPLM_API void XPLMCommandButtonPress(XPLMCommandButtonID inButton) {
    RecordCall("XPLMCommandButtonPress", std::to_string(inButton));
}
XPLM_API void XPLMCommandButtonRelease(XPLMCommandButtonID inButton) {
    RecordCall("XPLMCommandButtonRelease", std::to_string(inButton));
}
XPLM_API const char* XPLMGetVirtualKeyDescription(char inVirtualKey) {
    return VirtualKeyName(static_cast<unsigned char>(inVirtualKey));
}
XPLM_API void XPLMReloadScenery(void) { RecordCall("XPLMReloadScenery"); }

XPLM_API int XPLMInitialized(void) { return 1; }

XPLM_API void XPLMGetVersions(int* outXPlaneVersion, int* outXPLMVersion, XPLMHostApplicationID* outHostID) {
    const HostState& state = State();
    if (outXPlaneVersion) *outXPlaneVersion = state.simulatorVersion;
    if (outXPLMVersion) *outXPLMVersion = state.sdkVersion;
    if (outHostID) *outHostID = state.hostApplication;
}

XPLM_API XPLMLanguageCode XPLMGetLanguage(void) { return State().language; }

XPLM_API void XPLMDebugString(const char* inString) {
    HostState& state = State();
    state.log += inString;
    // Like the simulator, the host keeps its log in Log.txt in its own folder.
    if (!state.root.empty()) std::ofstream(state.root / "Log.txt", std::ios::app) << inString;
}

XPLM_API int XPLMGetDirectoryContents(const char* inDirectoryPath, int inFirstReturn, char* outFileNames,
                                      int inFileNameBufSize, char** outIndices, int inIndexCount, int* outTotalFiles,
                                      int* outReturnedFiles) {
    RecordCall("XPLMGetDirectoryContents", inDirectoryPath);
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(inDirectoryPath, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    if (State().listingOrder == ListingOrder::Reversed) std::reverse(names.begin(), names.end());

    int returned = 0;
    std::size_t used = 0;
    for (std::size_t i = static_cast<std::size_t>(std::max(inFirstReturn, 0)); i < names.size(); ++i) {
        const std::string& name = names[i];
        if (returned >= inIndexCount || used + name.size() + 1 > static_cast<std::size_t>(inFileNameBufSize)) break;
        std::memcpy(outFileNames + used, name.c_str(), name.size() + 1);
        if (outIndices) outIndices[returned] = outFileNames + used;
        used += name.size() + 1;
        ++returned;
    }
    if (outTotalFiles) *outTotalFiles = static_cast<int>(names.size());
    if (outReturnedFiles) *outReturnedFiles = returned;
    return static_cast<std::size_t>(std::max(inFirstReturn, 0)) + static_cast<std::size_t>(returned) >= names.size()
               ? 1
               : 0;
}

// The simulator's own exported functions by name, so that plug-ins can use calls that
// older simulators lack without failing to load in them.
XPLM_API void* XPLMFindSymbol(const char* inString) {
    RecordCall("XPLMFindSymbol", inString ? inString : "");
    if (!inString) return nullptr;
    if (!std::string_view(inString).starts_with("XP") || State().withheldSymbols.contains(inString)) return nullptr;
    return ::dlsym(RTLD_DEFAULT, inString);
}
