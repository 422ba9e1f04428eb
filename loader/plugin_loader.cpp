// The five entry points of Korvane.xpl. They open the plug-in's Python part, the library
// next to this one that is linked against Python, and hand every call on to it; the
// simulator calls its callbacks directly, so the loader costs nothing after the start.
// Where that part cannot be loaded (no such Python on this machine), the plug-in still
// loads and explains itself instead.
#include "core/plugin_identity.h"
#include "loader/python_missing.h"
#include "platform/shared_library.h"

#include <XPLMDefs.h>

#include <cstring>

namespace {

constexpr const char* kPythonPartFile = "KorvanePython.so";

struct PythonPart {
    int (*start)(char*, char*, char*) = nullptr;
    void (*stop)() = nullptr;
    int (*enable)() = nullptr;
    void (*disable)() = nullptr;
    void (*receiveMessage)(XPLMPluginID, int, void*) = nullptr;
    bool loaded = false;
};
PythonPart part;

template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(korvane::platform::FindSharedLibrarySymbol(library, name));
    return function != nullptr;
}

}  // namespace

PLUGIN_API int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    std::string path =
        korvane::platform::FolderOfLoadedCode(reinterpret_cast<const void*>(&XPluginStart)) + kPythonPartFile;
    std::string error;
    if (void* library = korvane::platform::OpenSharedLibrary(path, error)) {
        part.loaded = Resolve(library, "XPluginStart", part.start) && Resolve(library, "XPluginStop", part.stop) &&
                      Resolve(library, "XPluginEnable", part.enable) &&
                      Resolve(library, "XPluginDisable", part.disable) &&
                      Resolve(library, "XPluginReceiveMessage", part.receiveMessage);
        if (part.loaded) return part.start(outName, outSignature, outDescription);
        error = "it lacks the plug-in entry points";
    }
    korvane::loader::ExplainMissingPython(path, error);
    std::strcpy(outName, korvane::kPluginName);
    std::strcpy(outSignature, korvane::kPluginSignature);
    std::strcpy(outDescription, korvane::kPluginDescription);
    return 1;
}

PLUGIN_API void XPluginStop() {
    if (part.loaded)
        part.stop();
    else
        korvane::loader::WithdrawExplanation();
}

PLUGIN_API int XPluginEnable() { return part.loaded ? part.enable() : 1; }

PLUGIN_API void XPluginDisable() {
    if (part.loaded) part.disable();
}

PLUGIN_API void XPluginReceiveMessage(XPLMPluginID sender, int message, void* parameter) {
    if (part.loaded) part.receiveMessage(sender, message, parameter);
}
