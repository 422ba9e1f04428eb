// XPLMUtilities as the headless host serves it.
#include "host/host_state.h"

#include <XPLMUtilities.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string_view>

using namespace korvane::host;

XPLM_API void XPLMGetSystemPath(char* outSystemPath) {
    std::string path = State().root.string();
    if (path.empty() || path.back() != '/') path += '/';
    // The simulator's documented buffer is 512 bytes.
    std::strncpy(outSystemPath, path.c_str(), 511);
    outSystemPath[511] = '\0';
}

XPLM_API const char* XPLMGetDirectorySeparator(void) { return "/"; }

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
