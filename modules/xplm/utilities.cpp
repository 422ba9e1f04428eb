// XPLMUtilities: speech, command keys and buttons, paths and folder listings,
// versions, language, the simulator's log, commands with their handlers, and the SDK 2.x
// additions (key presses, data files, the error callback, symbols).
#include "core/core_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPLMUtilities.h>

#include <algorithm>
#include <array>
#include <climits>
#include <new>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace korvane {
namespace {

// The path functions' buffer, twice the 512 bytes the SDK asks for.
constexpr std::size_t kPathBufferSize = 1024;

PyObject* SpeakString(PyObject*, PyObject* args) {
    binding::HostText text;
    if (!PyArg_ParseTuple(args, "O&:XPLMSpeakString", binding::ParseHostText, &text)) return nullptr;
    XPLMSpeakString(text.text);
    return binding::ReturnOne();
}

template <void (*Send)(int)>
PyObject* SendCommand(PyObject* args, const char* format) {
    int command = 0;
    if (!PyArg_ParseTuple(args, format, &command)) return nullptr;
    Send(command);
    return binding::ReturnOne();
}

PyObject* CommandKeyStroke(PyObject*, PyObject* args) {
    return SendCommand<XPLMCommandKeyStroke>(args, "i:XPLMCommandKeyStroke");
}
PyObject* CommandButtonPress(PyObject*, PyObject* args) {
    return SendCommand<XPLMCommandButtonPress>(args, "i:XPLMCommandButtonPress");
}
PyObject* CommandButtonRelease(PyObject*, PyObject* args) {
    return SendCommand<XPLMCommandButtonRelease>(args, "i:XPLMCommandButtonRelease");
}

PyObject* GetVirtualKeyDescription(PyObject*, PyObject* args) {
    unsigned char key = 0;
    if (!PyArg_ParseTuple(args, "b:XPLMGetVirtualKeyDescription", &key)) return nullptr;
    const char* description = XPLMGetVirtualKeyDescription(static_cast<char>(key));
    if (!description) Py_RETURN_NONE;
    return binding::TextFromHost(description);
}

PyObject* ReloadScenery(PyObject*, PyObject*) {
    XPLMReloadScenery();
    return binding::ReturnOne();
}

template <void (*Get)(char*)>
PyObject* GetPath() {
    std::array<char, kPathBufferSize> path{};
    Get(path.data());
    path.back() = '\0';  // a host that fills the whole buffer still gives a terminated text
    return binding::TextFromHost(path.data());
}

PyObject* GetSystemPath(PyObject*, PyObject*) { return GetPath<XPLMGetSystemPath>(); }
PyObject* GetPrefsPath(PyObject*, PyObject*) { return GetPath<XPLMGetPrefsPath>(); }

PyObject* GetDirectorySeparator(PyObject*, PyObject*) {
    const char* separator = XPLMGetDirectorySeparator();
    return binding::TextFromHost(separator ? separator : "");
}

PyObject* ExtractFileAndPath(PyObject*, PyObject* args) {
    binding::HostText fullPath;
    if (!PyArg_ParseTuple(args, "O&:XPLMExtractFileAndPath", binding::ParseHostText, &fullPath)) return nullptr;
    // The host splits its argument in place: it gets a copy, sized to the path, so the
    // script's string stays as it was.
    std::string copy(fullPath.text);
    const char* file = XPLMExtractFileAndPath(copy.data());
    // Only a name inside the copy is read; a host that answers otherwise gives no name.
    const char* begin = copy.c_str();
    if (!file || file < begin || file > begin + copy.size()) file = begin + copy.size();
    PyRef fileName = PyRef::Steal(binding::TextFromHost(file));
    PyRef folder = PyRef::Steal(binding::TextFromHost(begin));
    if (!fileName || !folder) return nullptr;
    return PyTuple_Pack(2, fileName.get(), folder.get());
}

// A count or index from a script that the host takes as an int.
bool CheckIntRange(const char* what, long value) {
    if (value >= 0 && value <= INT_MAX) return true;
    PyErr_Format(PyExc_ValueError, "XPLMGetDirectoryContents() %s must be from 0 to %d, not %ld", what, INT_MAX,
                 value);
    return false;
}

constexpr long kFirstNameBytes = 4096;
constexpr long kFirstIndexSlots = 256;

PyObject* GetDirectoryContents(PyObject*, PyObject* args) {
    binding::HostText path;
    long firstReturn = 0, bufferSize = 0, indexCount = 0;
    PyObject *names = nullptr, *indices = nullptr, *total = nullptr, *returned = nullptr;
    if (!PyArg_ParseTuple(args, "O&lOlOlOO:XPLMGetDirectoryContents", binding::ParseHostText, &path, &firstReturn,
                          &names, &bufferSize, &indices, &indexCount, &total, &returned))
        return nullptr;
    for (PyObject* list : {names, indices, total, returned})
        if (!binding::CheckResultList(list, "XPLMGetDirectoryContents")) return nullptr;
    if (!CheckIntRange("firstReturn", firstReturn) || !CheckIntRange("bufferSize", bufferSize) ||
        !CheckIntRange("indexCount", indexCount))
        return nullptr;

    // The host tells how many files there are, not how many bytes their names take, so
    // the buffers start small and grow while the host stops short for want of room,
    // never past what the script allowed: a huge size costs only what the folder needs.
    long nameBytes = std::min(bufferSize, kFirstNameBytes);
    long indexSlots = std::min(indexCount, kFirstIndexSlots);
    std::vector<char> nameBuffer;
    std::vector<char*> pointers;
    int result = 0, totalFiles = 0, returnedFiles = 0;
    for (;;) {
        // One spare zero byte, so the buffer reads as a text whatever the host wrote.
        nameBuffer.assign(static_cast<std::size_t>(nameBytes) + 1, '\0');
        pointers.assign(static_cast<std::size_t>(std::max(indexSlots, 1L)), nullptr);
        result = XPLMGetDirectoryContents(path.text, static_cast<int>(firstReturn), nameBuffer.data(),
                                          static_cast<int>(nameBytes), pointers.data(), static_cast<int>(indexSlots),
                                          &totalFiles, &returnedFiles);
        const long remaining = std::max(0L, static_cast<long>(totalFiles) - firstReturn);
        if (returnedFiles >= remaining) break;
        if (returnedFiles >= indexSlots && indexSlots < indexCount)
            indexSlots = std::min(indexCount, remaining);
        else if (returnedFiles < indexSlots && nameBytes < bufferSize)
            nameBytes = std::min(bufferSize, nameBytes * 2);
        else
            break;
    }
    nameBuffer.back() = '\0';

    if (names != Py_None) {
        PyRef first = PyRef::Steal(binding::TextFromHost(nameBuffer.data()));
        if (!first || PyList_Append(names, first.get()) < 0) return nullptr;
    }
    if (indices != Py_None) {
        // Only names the host wrote into the buffer are read, however many it reports.
        const char* begin = nameBuffer.data();
        const char* end = begin + nameBuffer.size() - 1;
        int count = std::clamp(returnedFiles, 0, static_cast<int>(indexSlots));
        for (int i = 0; i < count; ++i) {
            const char* name = pointers[static_cast<std::size_t>(i)];
            if (!name || name < begin || name > end) continue;
            PyRef item = PyRef::Steal(binding::TextFromHost(name));
            if (!item || PyList_Append(indices, item.get()) < 0) return nullptr;
        }
    }
    if (!binding::StoreResult(total, PyRef::Steal(PyLong_FromLong(totalFiles))) ||
        !binding::StoreResult(returned, PyRef::Steal(PyLong_FromLong(returnedFiles))))
        return nullptr;
    return Py_BuildValue("(i)", result);
}

PyObject* Initialized(PyObject*, PyObject*) { return PyLong_FromLong(XPLMInitialized()); }

PyObject* GetVersions(PyObject*, PyObject*) {
    int simulator = 0, sdk = 0;
    XPLMHostApplicationID host = xplm_Host_Unknown;
    XPLMGetVersions(&simulator, &sdk, &host);
    return Py_BuildValue("iii", simulator, sdk, host);
}

PyObject* GetLanguage(PyObject*, PyObject*) { return PyLong_FromLong(XPLMGetLanguage()); }

PyObject* DebugString(PyObject*, PyObject* args) {
    binding::HostText text;
    if (!PyArg_ParseTuple(args, "O&:XPLMDebugString", binding::ParseHostText, &text)) return nullptr;
    XPLMDebugString(text.text);
    return binding::ReturnOne();
}

// Commands. The simulator trusts a command ref blindly, so only refs it handed out
// (which stay valid for its whole life) reach it from a script.
std::unordered_set<void*>& KnownCommands() {
    static std::unordered_set<void*> known;
    return known;
}

PyObject* CommandOrNone(XPLMCommandRef command) {
    if (command) KnownCommands().insert(command);
    return binding::HandleOrNone(command);
}

// "O&" converter for a command ref; `out` points to a void*.
int ParseCommand(PyObject* object, void* out) {
    if (!binding::ParseHandle(object, out)) return 0;
    void* command = *static_cast<void**>(out);
    if (KnownCommands().count(command)) return 1;
    PyErr_Format(PyExc_ValueError, "%R is not a command from XPLMFindCommand or XPLMCreateCommand", object);
    return 0;
}

PyObject* FindCommand(PyObject*, PyObject* args) {
    binding::HostText name;
    if (!PyArg_ParseTuple(args, "O&:XPLMFindCommand", binding::ParseHostText, &name)) return nullptr;
    return CommandOrNone(XPLMFindCommand(name.text));
}

PyObject* CreateCommand(PyObject*, PyObject* args) {
    binding::HostText name, description;
    if (!PyArg_ParseTuple(args, "O&O&:XPLMCreateCommand", binding::ParseHostText, &name, binding::ParseHostText,
                          &description))
        return nullptr;
    return CommandOrNone(XPLMCreateCommand(name.text, description.text));
}

template <void (*Press)(XPLMCommandRef)>
PyObject* PressCommand(PyObject* args, const char* format) {
    void* command = nullptr;
    if (!PyArg_ParseTuple(args, format, ParseCommand, &command)) return nullptr;
    Press(command);
    return binding::ReturnOne();
}

PyObject* CommandBegin(PyObject*, PyObject* args) {
    return PressCommand<XPLMCommandBegin>(args, "O&:XPLMCommandBegin");
}
PyObject* CommandEnd(PyObject*, PyObject* args) { return PressCommand<XPLMCommandEnd>(args, "O&:XPLMCommandEnd"); }
PyObject* CommandOnce(PyObject*, PyObject* args) { return PressCommand<XPLMCommandOnce>(args, "O&:XPLMCommandOnce"); }

// A handler registration as the script names it: its command, callable and side.
struct HandlerArguments {
    PyObject* self = nullptr;
    void* command = nullptr;
    PyObject* callable = nullptr;
    int before = 0;
    long refcon = 0;

    CallbackEntry Entry() const {
        CallbackEntry entry;
        entry.callable = PyRef::Borrow(callable);
        entry.refcon = refcon;
        entry.handle = command;
        entry.placement = before != 0 ? 1 : 0;
        return entry;
    }
};

bool ParseHandlerArguments(PyObject* args, const char* format, HandlerArguments& parsed) {
    return PyArg_ParseTuple(args, format, &parsed.self, ParseCommand, &parsed.command, &parsed.callable,
                            &parsed.before, &parsed.refcon) != 0;
}

void UnregisterHandlerFromHost(const CallbackEntry& entry) {
    XPLMUnregisterCommandHandler(entry.handle, dispatch::CommandCallback, static_cast<int>(entry.placement), entry.hostRefcon);
}

// One host registration per command, side and callable; registering the same again
// keeps the earlier registration (and its refcon).
PyObject* RegisterCommandHandler(PyObject*, PyObject* args) {
    HandlerArguments parsed;
    if (!ParseHandlerArguments(args, "OO&Oil:XPLMRegisterCommandHandler", parsed)) return nullptr;
    if (!PyCallable_Check(parsed.callable)) {
        PyErr_Format(PyExc_TypeError, "XPLMRegisterCommandHandler() inHandler must be callable, not %.200s",
                     Py_TYPE(parsed.callable)->tp_name);
        return nullptr;
    }
    CallbackEntry entry = parsed.Entry();
    entry.releaseHost = UnregisterHandlerFromHost;
    bool added = false;
    const CallbackEntry* stored =
        binding::RegisterEntry(CallbackKind::CommandHandler, parsed.self, std::move(entry), &added);
    if (!stored) return nullptr;
    if (added)
        XPLMRegisterCommandHandler(stored->handle, dispatch::CommandCallback, static_cast<int>(stored->placement),
                                   stored->hostRefcon);
    return binding::ReturnOne();
}

// The refcon is accepted for the SDK's signature; the command, callable and side name
// the registration.
PyObject* UnregisterCommandHandler(PyObject*, PyObject* args) {
    HandlerArguments parsed;
    if (!ParseHandlerArguments(args, "OO&Oil:XPLMUnregisterCommandHandler", parsed)) return nullptr;
    if (!registry) return binding::ReturnOne();
    if (std::optional<CallbackEntry> removed =
            registry->RemoveRepeated(CallbackKind::CommandHandler, parsed.self, parsed.Entry()))
        removed->ReleaseHost();
    return binding::ReturnOne();
}

// SDK 2.x additions: key presses for the simulator, data files, the error callback and
// the simulator's own functions.
PyObject* SimulateKeyPress(PyObject*, PyObject* args) {
    int keyType = 0, key = 0;
    if (!PyArg_ParseTuple(args, "ii:XPLMSimulateKeyPress", &keyType, &key)) return nullptr;
    XPLMSimulateKeyPress(keyType, key);
    return binding::ReturnOne();
}

// A data file path relative to the simulator folder; None only for loading a replay,
// which clears the replay.
template <int (*Use)(XPLMDataFileType, const char*)>
PyObject* UseDataFile(PyObject* args, const char* format, bool noneClears) {
    int type = 0;
    PyObject* pathObject = nullptr;
    if (!PyArg_ParseTuple(args, format, &type, &pathObject)) return nullptr;
    if (type != xplm_DataFile_Situation && type != xplm_DataFile_ReplayMovie) {
        PyErr_Format(PyExc_ValueError, "the data file type is xplm_DataFile_Situation or xplm_DataFile_ReplayMovie, not %d",
                     type);
        return nullptr;
    }
    if (pathObject == Py_None && noneClears && type == xplm_DataFile_ReplayMovie)
        return PyLong_FromLong(Use(type, nullptr));
    binding::HostText path;
    if (!binding::ParseHostText(pathObject, &path)) return nullptr;
    return PyLong_FromLong(Use(type, path.text));
}

PyObject* LoadDataFile(PyObject*, PyObject* args) {
    return UseDataFile<XPLMLoadDataFile>(args, "iO:XPLMLoadDataFile", true);
}
PyObject* SaveDataFile(PyObject*, PyObject* args) {
    return UseDataFile<XPLMSaveDataFile>(args, "iO:XPLMSaveDataFile", false);
}

// The host has one error callback for Korvane, which hands each message to every
// script's callable; each script has at most one, and None removes it.
void ReleaseErrorCallback(const CallbackEntry&) {
    if (!registry || !registry->HoldsAny(CallbackKind::ErrorCallback)) XPLMSetErrorCallback(nullptr);
}

PyObject* SetErrorCallback(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* callable = nullptr;
    if (!PyArg_ParseTuple(args, "OO:XPLMSetErrorCallback", &self, &callable)) return nullptr;
    if (!binding::CheckCallable(callable, "XPLMSetErrorCallback's inCallback", true) ||
        !binding::CheckRegistrationsOpen())
        return nullptr;
    if (binding::UnregisterAll(CallbackKind::ErrorCallback, self) && callable == Py_None)
        XPLMSetErrorCallback(nullptr);
    if (callable == Py_None) return binding::ReturnOne();
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.releaseHost = ReleaseErrorCallback;
    if (!binding::RegisterEntry(CallbackKind::ErrorCallback, self, std::move(entry))) return nullptr;
    XPLMSetErrorCallback(dispatch::ErrorCallback);
    return binding::ReturnOne();
}

// The address as an int, 0 when the simulator has no such function; ctypes can call it.
PyObject* FindSymbol(PyObject*, PyObject* args) {
    binding::HostText name;
    if (!PyArg_ParseTuple(args, "O&:XPLMFindSymbol", binding::ParseHostText, &name)) return nullptr;
    return PyLong_FromVoidPtr(XPLMFindSymbol(name.text));
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMSpeakString", "inString", "Speak and Display String.", SpeakString>(),
    binding::Function<"XPLMCommandKeyStroke", "inKey", "Send a Command Key.", CommandKeyStroke>(),
    binding::Function<"XPLMCommandButtonPress", "inButton", "Send a Command Button Press.", CommandButtonPress>(),
    binding::Function<"XPLMCommandButtonRelease", "inButton", "Send a Command Button Release.", CommandButtonRelease>(),
    binding::Function<"XPLMGetVirtualKeyDescription", "inVirtualKey",
                      "Get Virtual Key Description.", GetVirtualKeyDescription>(),
    binding::Function<"XPLMReloadScenery", "", "Reload the Scenery.", ReloadScenery>(),
    binding::Function<"XPLMGetSystemPath", "", "Get the XPlane System Path.", GetSystemPath>(),
    binding::Function<"XPLMGetPrefsPath", "", "Get the Xplane Pref Path.", GetPrefsPath>(),
    binding::Function<"XPLMGetDirectorySeparator", "", "Get the OS Directory Separator.", GetDirectorySeparator>(),
    binding::Function<"XPLMExtractFileAndPath", "inFullPath", "Extract File and Path.", ExtractFileAndPath>(),
    binding::Function<"XPLMGetDirectoryContents",
                      "inDirectoryPath, inFirstReturn, outFileNames, inFileNameBufSize, outIndices, inIndexCount, "
                      "outTotalFiles, outReturnedFiles",
                      "Get the Directory Contents.", GetDirectoryContents>(),
    binding::Function<"XPLMInitialized", "", "Is XPLM Initialized Properly.", Initialized>(),
    binding::Function<"XPLMGetVersions", "", "Get Xplane and XPLM Versions.", GetVersions>(),
    binding::Function<"XPLMGetLanguage", "", "Get Language.", GetLanguage>(),
    binding::Function<"XPLMDebugString", "inString", "Write Debug String to Error.out.", DebugString>(),
    binding::Function<"XPLMFindCommand", "inName",
                      "Find a command by name; None when the simulator has none of that name.", FindCommand>(),
    binding::Function<"XPLMCommandBegin", "inCommand",
                      "Start holding a command down; it continues every frame until XPLMCommandEnd.", CommandBegin>(),
    binding::Function<"XPLMCommandEnd", "inCommand", "Release a command held with XPLMCommandBegin.", CommandEnd>(),
    binding::Function<"XPLMCommandOnce", "inCommand", "Press and release a command in one go.", CommandOnce>(),
    binding::Function<"XPLMCreateCommand", "inName, inDescription",
                      "Create a command, or find the existing one of that name.", CreateCommand>(),
    binding::Function<"XPLMRegisterCommandHandler", "self, inCommand, inHandler, inBefore, inRefcon",
                      "Register a command handler, called before (inBefore 1) or after the simulator's own action "
                      "as inHandler(inCommand, inPhase, inRefcon); it returns 1 to let the command go on, 0 to "
                      "stop it.", RegisterCommandHandler>(),
    binding::Function<"XPLMUnregisterCommandHandler", "self, inCommand, inHandler, inBefore, inRefcon",
                      "Unregister a command handler.", UnregisterCommandHandler>(),
    binding::Function<"XPLMSimulateKeyPress", "inKeyType, inKey",
                      "Simulate a key press for the simulator; no plug-in sees it.", SimulateKeyPress>(),
    binding::Function<"XPLMLoadDataFile", "inFileType, inFilePath",
                      "Load a situation or replay, the path relative to the simulator folder (None clears the "
                      "replay). 1 when it loaded.", LoadDataFile>(),
    binding::Function<"XPLMSaveDataFile", "inFileType, inFilePath",
                      "Save the situation or replay, the path relative to the simulator folder. 1 when it was "
                      "saved.", SaveDataFile>(),
    binding::Function<"XPLMSetErrorCallback", "self, inCallback",
                      "Set the script's error callback, called with the message of each bad SDK call the simulator "
                      "detects; None removes it.", SetErrorCallback>(),
    binding::Function<"XPLMFindSymbol", "inString",
                      "Find a function the simulator exports: its address as an int (for ctypes), 0 when it has "
                      "none.", FindSymbol>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

#define K(name) {#name, name}

PyObject* InitXPLMUtilities() {
    return binding::CreateModule("XPLMUtilities", kMethods, {
        K(xplm_key_pause), K(xplm_key_revthrust), K(xplm_key_jettison), K(xplm_key_brakesreg),
        K(xplm_key_brakesmax), K(xplm_key_gear), K(xplm_key_timedn), K(xplm_key_timeup), K(xplm_key_fadec),
        K(xplm_key_otto_dis), K(xplm_key_otto_atr), K(xplm_key_otto_asi), K(xplm_key_otto_hdg),
        K(xplm_key_otto_gps), K(xplm_key_otto_lev), K(xplm_key_otto_hnav), K(xplm_key_otto_alt),
        K(xplm_key_otto_vvi), K(xplm_key_otto_vnav), K(xplm_key_otto_nav1), K(xplm_key_otto_nav2),
        K(xplm_key_targ_dn), K(xplm_key_targ_up), K(xplm_key_hdgdn), K(xplm_key_hdgup), K(xplm_key_barodn),
        K(xplm_key_baroup), K(xplm_key_obs1dn), K(xplm_key_obs1up), K(xplm_key_obs2dn), K(xplm_key_obs2up),
        K(xplm_key_com1_1), K(xplm_key_com1_2), K(xplm_key_com1_3), K(xplm_key_com1_4), K(xplm_key_nav1_1),
        K(xplm_key_nav1_2), K(xplm_key_nav1_3), K(xplm_key_nav1_4), K(xplm_key_com2_1), K(xplm_key_com2_2),
        K(xplm_key_com2_3), K(xplm_key_com2_4), K(xplm_key_nav2_1), K(xplm_key_nav2_2), K(xplm_key_nav2_3),
        K(xplm_key_nav2_4), K(xplm_key_adf_1), K(xplm_key_adf_2), K(xplm_key_adf_3), K(xplm_key_adf_4),
        K(xplm_key_adf_5), K(xplm_key_adf_6), K(xplm_key_transpon_1), K(xplm_key_transpon_2),
        K(xplm_key_transpon_3), K(xplm_key_transpon_4), K(xplm_key_transpon_5), K(xplm_key_transpon_6),
        K(xplm_key_transpon_7), K(xplm_key_transpon_8), K(xplm_key_flapsup), K(xplm_key_flapsdn),
        K(xplm_key_cheatoff), K(xplm_key_cheaton), K(xplm_key_sbrkoff), K(xplm_key_sbrkon), K(xplm_key_ailtrimL),
        K(xplm_key_ailtrimR), K(xplm_key_rudtrimL), K(xplm_key_rudtrimR), K(xplm_key_elvtrimD),
        K(xplm_key_elvtrimU), K(xplm_key_forward), K(xplm_key_down), K(xplm_key_left), K(xplm_key_right),
        K(xplm_key_back), K(xplm_key_tower), K(xplm_key_runway), K(xplm_key_chase), K(xplm_key_free1),
        K(xplm_key_free2), K(xplm_key_spot), K(xplm_key_fullscrn1), K(xplm_key_fullscrn2), K(xplm_key_tanspan),
        K(xplm_key_smoke), K(xplm_key_map), K(xplm_key_zoomin), K(xplm_key_zoomout), K(xplm_key_cycledump),
        K(xplm_key_replay), K(xplm_key_tranID), K(xplm_key_max),

        K(xplm_joy_nothing), K(xplm_joy_start_all), K(xplm_joy_start_0), K(xplm_joy_start_1), K(xplm_joy_start_2),
        K(xplm_joy_start_3), K(xplm_joy_start_4), K(xplm_joy_start_5), K(xplm_joy_start_6), K(xplm_joy_start_7),
        K(xplm_joy_throt_up), K(xplm_joy_throt_dn), K(xplm_joy_prop_up), K(xplm_joy_prop_dn), K(xplm_joy_mixt_up),
        K(xplm_joy_mixt_dn), K(xplm_joy_carb_tog), K(xplm_joy_carb_on), K(xplm_joy_carb_off), K(xplm_joy_trev),
        K(xplm_joy_trm_up), K(xplm_joy_trm_dn), K(xplm_joy_rot_trm_up), K(xplm_joy_rot_trm_dn),
        K(xplm_joy_rud_lft), K(xplm_joy_rud_cntr), K(xplm_joy_rud_rgt), K(xplm_joy_ail_lft), K(xplm_joy_ail_cntr),
        K(xplm_joy_ail_rgt), K(xplm_joy_B_rud_lft), K(xplm_joy_B_rud_rgt), K(xplm_joy_look_up),
        K(xplm_joy_look_dn), K(xplm_joy_look_lft), K(xplm_joy_look_rgt), K(xplm_joy_glance_l),
        K(xplm_joy_glance_r), K(xplm_joy_v_fnh), K(xplm_joy_v_fwh), K(xplm_joy_v_tra), K(xplm_joy_v_twr),
        K(xplm_joy_v_run), K(xplm_joy_v_cha), K(xplm_joy_v_fr1), K(xplm_joy_v_fr2), K(xplm_joy_v_spo),
        K(xplm_joy_flapsup), K(xplm_joy_flapsdn), K(xplm_joy_vctswpfwd), K(xplm_joy_vctswpaft),
        K(xplm_joy_gear_tog), K(xplm_joy_gear_up), K(xplm_joy_gear_down), K(xplm_joy_lft_brake),
        K(xplm_joy_rgt_brake), K(xplm_joy_brakesREG), K(xplm_joy_brakesMAX), K(xplm_joy_speedbrake),
        K(xplm_joy_ott_dis), K(xplm_joy_ott_atr), K(xplm_joy_ott_asi), K(xplm_joy_ott_hdg), K(xplm_joy_ott_alt),
        K(xplm_joy_ott_vvi), K(xplm_joy_tim_start), K(xplm_joy_tim_reset), K(xplm_joy_ecam_up),
        K(xplm_joy_ecam_dn), K(xplm_joy_fadec), K(xplm_joy_yaw_damp), K(xplm_joy_art_stab), K(xplm_joy_chute),
        K(xplm_joy_JATO), K(xplm_joy_arrest), K(xplm_joy_jettison), K(xplm_joy_fuel_dump), K(xplm_joy_puffsmoke),
        K(xplm_joy_prerotate), K(xplm_joy_UL_prerot), K(xplm_joy_UL_collec), K(xplm_joy_TOGA),
        K(xplm_joy_shutdown), K(xplm_joy_con_atc), K(xplm_joy_fail_now), K(xplm_joy_pause), K(xplm_joy_rock_up),
        K(xplm_joy_rock_dn), K(xplm_joy_rock_lft), K(xplm_joy_rock_rgt), K(xplm_joy_rock_for),
        K(xplm_joy_rock_aft), K(xplm_joy_idle_hilo), K(xplm_joy_lanlights), K(xplm_joy_max),
        K(xplm_Host_Unknown), K(xplm_Host_XPlane), K(xplm_Host_PlaneMaker), K(xplm_Host_WorldMaker),
        K(xplm_Host_Briefer), K(xplm_Host_PartMaker), K(xplm_Host_YoungsMod), K(xplm_Host_XAuto),

        K(xplm_Language_Unknown), K(xplm_Language_English), K(xplm_Language_French), K(xplm_Language_German),
        K(xplm_Language_Italian), K(xplm_Language_Spanish), K(xplm_Language_Korean),

        K(xplm_CommandBegin), K(xplm_CommandContinue), K(xplm_CommandEnd),
        K(xplm_DataFile_Situation), K(xplm_DataFile_ReplayMovie),
    });
}

#undef K

}  // namespace korvane
