// XPLMUtilities as the headless host serves it.
#include "host/host_state.h"

#include <XPLMUtilities.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
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
    if (!std::string_view(inString).starts_with("XP")) return nullptr;
    return ::dlsym(RTLD_DEFAULT, inString);
}
