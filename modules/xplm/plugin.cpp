// XPLMPlugin: the simulator's plug-ins as scripts see them. Every script shares the
// one plug-in that hosts them all; the scripts themselves are reached through
// ZeduvoRoriroDedodevod.
#include "core/reporting.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPLMPlugin.h>

#include <array>

namespace korvane {
namespace {

// Four times the 256 bytes the SDK asks for, so a long path is never cut.
constexpr std::size_t kInfoBufferSize = 1024;

PyObject* GetMyID(PyObject*, PyObject*) { return PyLong_FromLong(XPLMGetMyID()); }

PyObject* CountPlugins(PyObject*, PyObject*) { return PyLong_FromLong(XPLMCountPlugins()); }

PyObject* GetNthPlugin(PyObject*, PyObject* args) {
    int index = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMGetNthPlugin", &index)) return nullptr;
    return PyLong_FromLong(XPLMGetNthPlugin(index));
}

template <XPLMPluginID (*Find)(const char*)>
PyObject* FindPlugin(PyObject* args, const char* format) {
    binding::HostText text;
    if (!PyArg_ParseTuple(args, format, binding::ParseHostText, &text)) return nullptr;
    return PyLong_FromLong(Find(text.text));
}

PyObject* FindPluginByPath(PyObject*, PyObject* args) {
    return FindPlugin<XPLMFindPluginByPath>(args, "O&:XPLMFindPluginByPath");
}

PyObject* FindPluginBySignature(PyObject*, PyObject* args) {
    return FindPlugin<XPLMFindPluginBySignature>(args, "O&:XPLMFindPluginBySignature");
}

PyObject* GetPluginInfo(PyObject*, PyObject* args) {
    int plugin = 0;
    std::array<PyObject*, 4> lists{};
    if (!PyArg_ParseTuple(args, "iOOOO:XPLMGetPluginInfo", &plugin, &lists[0], &lists[1], &lists[2], &lists[3]))
        return nullptr;
    for (PyObject* list : lists)
        if (!binding::CheckResultList(list, "XPLMGetPluginInfo")) return nullptr;
    std::array<std::array<char, kInfoBufferSize>, 4> texts{};
    // A list given as None asks for nothing: the host gets no buffer for it.
    auto buffer = [&](std::size_t i) { return lists[i] == Py_None ? nullptr : texts[i].data(); };
    XPLMGetPluginInfo(plugin, buffer(0), buffer(1), buffer(2), buffer(3));
    for (std::size_t i = 0; i < lists.size(); ++i) {
        texts[i].back() = '\0';
        if (lists[i] != Py_None && !binding::StoreResult(lists[i], PyRef::Steal(binding::TextFromHost(texts[i].data()))))
            return nullptr;
    }
    return binding::ReturnOne();
}

PyObject* IsPluginEnabled(PyObject*, PyObject* args) {
    int plugin = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMIsPluginEnabled", &plugin)) return nullptr;
    return PyLong_FromLong(XPLMIsPluginEnabled(plugin));
}

PyObject* EnablePlugin(PyObject*, PyObject* args) {
    int plugin = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMEnablePlugin", &plugin)) return nullptr;
    return PyLong_FromLong(XPLMEnablePlugin(plugin));
}

PyObject* DisablePlugin(PyObject*, PyObject* args) {
    int plugin = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMDisablePlugin", &plugin)) return nullptr;
    XPLMDisablePlugin(plugin);
    return binding::ReturnOne();
}

// The simulator reloads once the current callback has returned, so this returns first.
PyObject* ReloadPlugins(PyObject*, PyObject*) {
    XPLMReloadPlugins();
    return binding::ReturnOne();
}

PyObject* SendMessageToPlugin(PyObject*, PyObject* args) {
    int plugin = 0;
    int message = 0;  // the SDK's message is an int; a wider value raises rather than wraps
    PyObject* param = nullptr;
    if (!PyArg_ParseTuple(args, "iiO:XPLMSendMessageToPlugin", &plugin, &message, &param)) return nullptr;
    void* pointer = nullptr;
    PyRef holder;
    if (PyLong_Check(param)) {
        // The int is the pointer value itself; 0 is a null pointer.
        pointer = PyLong_AsVoidPtr(param);
        if (!pointer && PyErr_Occurred()) return nullptr;
    } else if (PyUnicode_Check(param) || PyBytes_Check(param)) {
        // The address of the text's bytes, zero-terminated and valid for the call.
        std::optional<std::string_view> text = binding::TextToHost(param, holder);
        if (!text) return nullptr;
        pointer = const_cast<char*>(text->data());
    } else {
        ReportError("XPLMPlugin", "XPLMSendMessageToPlugin", "Parameter Error");
        return PyLong_FromLong(0);
    }
    XPLMSendMessageToPlugin(plugin, message, pointer);
    return binding::ReturnOne();
}

// Features: switches of the plug-in system, by name. Korvane is one plug-in to the
// simulator, so a feature a script enables is enabled for every script.
template <int (*Ask)(const char*)>
PyObject* AskFeature(PyObject* args, const char* format) {
    binding::HostText feature;
    if (!PyArg_ParseTuple(args, format, binding::ParseHostText, &feature)) return nullptr;
    return PyLong_FromLong(Ask(feature.text));
}
PyObject* HasFeature(PyObject*, PyObject* args) { return AskFeature<XPLMHasFeature>(args, "O&:XPLMHasFeature"); }
PyObject* IsFeatureEnabled(PyObject*, PyObject* args) {
    return AskFeature<XPLMIsFeatureEnabled>(args, "O&:XPLMIsFeatureEnabled");
}

PyObject* EnableFeature(PyObject*, PyObject* args) {
    binding::HostText feature;
    int enable = 0;
    if (!PyArg_ParseTuple(args, "O&i:XPLMEnableFeature", binding::ParseHostText, &feature, &enable)) return nullptr;
    XPLMEnableFeature(feature.text, enable);
    return binding::ReturnOne();
}

// The enumerator is registered for the length of the call, under the object whose
// method it is (or itself), and is called with each feature's name and the refcon.
PyObject* EnumerateFeatures(PyObject*, PyObject* args) {
    PyObject* callable = nullptr;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "Ol:XPLMEnumerateFeatures", &callable, &refcon) ||
        !binding::CheckCallable(callable, "XPLMEnumerateFeatures' inEnumerator"))
        return nullptr;
    PyRef owner = PyRef::Borrow(PyMethod_Check(callable) ? PyMethod_GET_SELF(callable) : callable);
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    bool added = false;
    const CallbackEntry* stored =
        binding::RegisterEntry(CallbackKind::FeatureEnumerator, owner.get(), std::move(entry), &added);
    if (!stored) return nullptr;
    XPLMEnumerateFeatures(dispatch::FeatureEnumeratorCallback, stored->hostRefcon);
    // An enumeration inside the enumerator's own call leaves the outer one its entry.
    if (added) binding::UnregisterByCallable(CallbackKind::FeatureEnumerator, owner.get(), callable);
    return binding::ReturnOne();
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMGetMyID", "", "Get plugin ID.", GetMyID>(),
    binding::Function<"XPLMCountPlugins", "", "Count the number of plugins.", CountPlugins>(),
    binding::Function<"XPLMGetNthPlugin", "inIndex", "Get the Nth plugins.", GetNthPlugin>(),
    binding::Function<"XPLMFindPluginByPath", "inPath", "Find plugin by path.", FindPluginByPath>(),
    binding::Function<"XPLMFindPluginBySignature", "inSignature", "Find plugin by signature.", FindPluginBySignature>(),
    binding::Function<"XPLMGetPluginInfo", "inPlugin, outName, outFilePath, outSignature, outDescription",
                      "Get plugin info.", GetPluginInfo>(),
    binding::Function<"XPLMIsPluginEnabled", "inPluginID", "Is the plugin enabled.", IsPluginEnabled>(),
    binding::Function<"XPLMEnablePlugin", "inPluginID", "Enable the plugin.", EnablePlugin>(),
    binding::Function<"XPLMDisablePlugin", "inPluginID", "Disable the plugin.", DisablePlugin>(),
    binding::Function<"XPLMReloadPlugins", "", "Extract File and Path.", ReloadPlugins>(),
    binding::Function<"XPLMSendMessageToPlugin", "inPlugin, inMessage, inParam",
                      "Send message to a plugin.", SendMessageToPlugin>(),
    binding::Function<"XPLMHasFeature", "inFeature", "Does the simulator know the feature.", HasFeature>(),
    binding::Function<"XPLMIsFeatureEnabled", "inFeature", "Is the feature enabled.", IsFeatureEnabled>(),
    binding::Function<"XPLMEnableFeature", "inFeature, inEnable",
                      "Enable or disable a feature, for Korvane and so for every script.", EnableFeature>(),
    binding::Function<"XPLMEnumerateFeatures", "inEnumerator, inRef",
                      "Calls inEnumerator(name, inRef) for each feature the simulator knows, before it "
                      "returns.", EnumerateFeatures>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMPlugin() {
    return binding::CreateModule("XPLMPlugin", kMethods,
                                 {{"XPLM_MSG_PLANE_CRASHED", XPLM_MSG_PLANE_CRASHED},
                                  {"XPLM_MSG_PLANE_LOADED", XPLM_MSG_PLANE_LOADED},
                                  {"XPLM_MSG_AIRPORT_LOADED", XPLM_MSG_AIRPORT_LOADED},
                                  {"XPLM_MSG_SCENERY_LOADED", XPLM_MSG_SCENERY_LOADED},
                                  {"XPLM_MSG_AIRPLANE_COUNT_CHANGED", XPLM_MSG_AIRPLANE_COUNT_CHANGED}});
}

}  // namespace korvane
