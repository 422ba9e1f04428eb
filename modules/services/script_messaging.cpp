#include "modules/services/script_messaging.h"

#include "core/core_state.h"
#include "core/script_calls.h"
#include "modules/xplm/binding.h"

#include <vector>

namespace korvane {
namespace {

PyObject* CountScripts(PyObject*, PyObject*) { return PyLong_FromLong(registry ? registry->ScriptCount() : 0); }

PyObject* ScriptOrNone(PyObject* script) {
    if (!script) Py_RETURN_NONE;
    return Py_NewRef(script);
}

PyObject* GetNthScript(PyObject*, PyObject* args) {
    int index = 0;
    if (!PyArg_ParseTuple(args, "i:KV_GetNthScript", &index)) return nullptr;
    // An index outside the table names no script.
    if (!registry || index < 0 || index >= registry->ScriptCount()) Py_RETURN_NONE;
    return ScriptOrNone(registry->ScriptAt(index));
}

PyObject* FindScriptBySignature(PyObject*, PyObject* args) {
    const char* signature = nullptr;
    if (!PyArg_ParseTuple(args, "s:KV_FindScriptBySignature", &signature)) return nullptr;
    return ScriptOrNone(registry ? registry->FindScriptBySignature(signature) : nullptr);
}

PyObject* GetScriptInfo(PyObject*, PyObject* args) {
    PyObject* script = nullptr;
    if (!PyArg_ParseTuple(args, "O:KV_GetScriptInfo", &script)) return nullptr;
    const ScriptRecord* record = registry ? registry->FindScript(script) : nullptr;
    if (!record) return Py_BuildValue("(sss)", "", "", "");
    PyRef name = PyRef::Steal(binding::TextFromHost(record->name.data(), static_cast<Py_ssize_t>(record->name.size())));
    PyRef signature = PyRef::Steal(
        binding::TextFromHost(record->signature.data(), static_cast<Py_ssize_t>(record->signature.size())));
    PyRef description = PyRef::Steal(
        binding::TextFromHost(record->description.data(), static_cast<Py_ssize_t>(record->description.size())));
    if (!name || !signature || !description) return nullptr;
    return PyTuple_Pack(3, name.get(), signature.get(), description.get());
}

PyObject* IsScriptEnabled(PyObject*, PyObject* args) {
    PyObject* script = nullptr;
    if (!PyArg_ParseTuple(args, "O:KV_IsScriptEnabled", &script)) return nullptr;
    return PyLong_FromLong(registry ? registry->GetScriptEnabled(script) : 0);
}

// Only the flag the dispatchers consult changes: the script's own enable and disable
// methods are not called, and the host is not told.
PyObject* EnableScript(PyObject*, PyObject* args) {
    PyObject* script = nullptr;
    if (!PyArg_ParseTuple(args, "O:KV_EnableScript", &script)) return nullptr;
    return PyLong_FromLong(registry ? registry->SetScriptEnabled(script, 1) : 0);
}

PyObject* DisableScript(PyObject*, PyObject* args) {
    PyObject* script = nullptr;
    if (!PyArg_ParseTuple(args, "O:KV_DisableScript", &script)) return nullptr;
    if (registry) registry->SetScriptEnabled(script, 0);
    return binding::ReturnOne();
}

PyObject* SendMessageToScript(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* target = nullptr;
    long message = 0;
    long param = 0;
    if (!PyArg_ParseTuple(args, "OOll:KV_SendMessageToScript", &self, &target, &message, &param)) return nullptr;
    // The sender as id() shows it: its address at full width.
    PyRef sender = PyRef::Steal(PyLong_FromVoidPtr(self));
    if (!sender) return nullptr;
    // Receivers may enable, disable or message scripts while they run: the targets are
    // taken, and held, before any of them is called, and each is checked again when its
    // turn comes.
    std::vector<PyRef> targets;
    if (registry) {
        if (target == Py_None) {
            for (int i = 0; i < registry->ScriptCount(); ++i) targets.push_back(PyRef::Borrow(registry->ScriptAt(i)));
        } else if (registry->FindScript(target)) {
            targets.push_back(PyRef::Borrow(target));
        }
    }
    for (const PyRef& receiver : targets)
        if (registry && registry->FindScript(receiver.get()))
            CallScriptReceiveMessage(receiver.get(), sender.get(), message, param);
    return binding::ReturnOne();
}

PyMethodDef kMethods[] = {
    binding::Function<"KV_CountScripts", "", "Count the number of scripts.", CountScripts>(),
    binding::Function<"KV_GetNthScript", "index", "Get the Nth scripts.", GetNthScript>(),
    binding::Function<"KV_FindScriptBySignature", "signature", "Find script by signature.", FindScriptBySignature>(),
    binding::Function<"KV_GetScriptInfo", "script", "Get script info.", GetScriptInfo>(),
    binding::Function<"KV_IsScriptEnabled", "script", "Is the script enabled.", IsScriptEnabled>(),
    binding::Function<"KV_EnableScript", "script", "Enable the script.", EnableScript>(),
    binding::Function<"KV_DisableScript", "script", "Disable the script.", DisableScript>(),
    binding::Function<"KV_SendMessageToScript", "self, script, message, param",
                      "Send message to a script.", SendMessageToScript>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitZeduvoRoriroDedodevod() { return binding::CreateModule("ZeduvoRoriroDedodevod", kMethods); }

}  // namespace korvane
