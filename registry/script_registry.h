#pragma once
// The table of loaded scripts and of every host callback each of them registered.
// Native callbacks find their Python callable here; bindings add and remove entries.
#include "core/py_ref.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

enum class CallbackKind {
    Window,
    FlightLoop,
    Draw,
    KeySniffer,
    HotKey,
    SharedData,
    Menu,
    Camera,
    Planes,
    WidgetCallback,
    // The twelve data-accessor slots, in the host's slot order.
    GetDatai,
    SetDatai,
    GetDataf,
    SetDataf,
    GetDatad,
    SetDatad,
    GetDatavi,
    SetDatavi,
    GetDatavf,
    SetDatavf,
    GetDatab,
    SetDatab,
    WidgetObject,
};
inline constexpr std::size_t kCallbackKindCount = static_cast<std::size_t>(CallbackKind::WidgetObject) + 1;
// Kinds up to and including WidgetCallback keep a counter of live entries.
inline constexpr std::size_t kCountedKindCount = static_cast<std::size_t>(CallbackKind::WidgetCallback) + 1;

inline bool IsAccessorSlot(CallbackKind kind) {
    return kind >= CallbackKind::GetDatai && kind <= CallbackKind::SetDatab;
}

// One side (readers or writers) of a script's data accessor. Its address is the
// host's refcon for that side, and the six entries of the side share ownership of
// it, so it lives exactly as long as they do; the callables themselves live in the
// entries.
struct AccessorTable {};

// A data name a script shares with the host, as the host knows it.
struct SharedName {
    std::string name;
    int type = 0;
};

// Which window callable a window lookup means.
enum class WindowField { Draw = 0, Key = 1, MouseClick = 2 };

struct CallbackEntry {
    // The registered callable (the draw callable of a window, the object of a widget object).
    PyRef callable;
    // The script's own refcon (the menu refcon for menus).
    long refcon = 0;
    // The host's handle: window, hot key, menu, widget or data reference.
    void* handle = nullptr;
    // Windows only: the key and mouse-click callables.
    PyRef keyCallable;
    PyRef mouseCallable;
    // Data accessors only: the table holding `callable`.
    std::shared_ptr<AccessorTable> table;
    // Shared data only: every name the script shared with this callable, one host
    // registration each; `releaseHost` holds it too and undoes them all.
    std::shared_ptr<std::vector<SharedName>> sharedNames;
    // Undoes the host registration this entry stands for; run when a script leaves
    // the entry behind at stop. Empty when another entry carries the undo.
    std::function<void()> releaseHost;
};

struct ScriptRecord {
    // The script instance; the record owns a reference so that the identity stays
    // unique for as long as the record exists.
    PyRef key;
    int enabled = 1;
    std::string moduleName;
    std::string name;
    std::string signature;
    std::string description;
    std::array<std::vector<CallbackEntry>, kCallbackKindCount> entries;

    std::vector<CallbackEntry>& List(CallbackKind kind) { return entries[static_cast<std::size_t>(kind)]; }
    const std::vector<CallbackEntry>& List(CallbackKind kind) const { return entries[static_cast<std::size_t>(kind)]; }
};

// What a dispatcher needs from a lookup: borrowed pointers, valid until Python runs.
struct EntryMatch {
    PyObject* key = nullptr;
    PyObject* callable = nullptr;
    long refcon = 0;
};

// Two callables name the same registration when they are one object, or bound
// methods of one function on one instance (each `self.method` is a new object).
bool SameCallable(PyObject* a, PyObject* b);

class ScriptRegistry {
public:
    // Script operations.
    void AddScript(PyObject* key, std::string moduleName);
    void SetScriptInfo(PyObject* key, std::string name, std::string signature, std::string description);
    const ScriptRecord* FindScript(PyObject* key) const;
    int GetScriptEnabled(PyObject* key) const;
    int SetScriptEnabled(PyObject* key, int enabled);
    int ScriptCount() const { return static_cast<int>(records_.size()); }
    PyObject* ScriptAt(int index) const { return records_[static_cast<std::size_t>(index)].key.get(); }
    PyObject* FindScriptByModuleName(std::string_view moduleName) const;
    PyObject* FindScriptBySignature(std::string_view signature) const;
    // Destroys every record and with it every Python reference the registry holds.
    void ClearScripts();
    // Empties the registry and hands its records to the caller, so that whatever the
    // caller does with them (undoing host registrations) cannot disturb the table.
    std::vector<ScriptRecord> TakeRecords();
    int KindCount(CallbackKind kind) const;

    // Registration family. Adds the entry to the key's record (made when missing)
    // unless that record already holds the same callable in that list; returns the
    // stored entry, or null for a duplicate. Data-accessor entries are duplicates only
    // within their own accessor: one method may serve several data references.
    const CallbackEntry* AddEntry(CallbackKind kind, PyObject* key, CallbackEntry entry);
    // Removes the key's first entry of the kind whose callable matches.
    std::optional<CallbackEntry> RemoveByCallable(CallbackKind kind, PyObject* key, PyObject* callable);
    // Removes the key's first entry of the kind with that host handle.
    std::optional<CallbackEntry> RemoveByHandle(CallbackKind kind, PyObject* key, void* handle);
    // Removes every entry of the kind in the key's record (camera, planes, widget objects).
    std::vector<CallbackEntry> RemoveAll(CallbackKind kind, PyObject* key);
    // True while any script still holds an entry of the kind with this callable object.
    bool HoldsCallable(CallbackKind kind, PyObject* callable) const;
    // The key's first entry of the kind whose callable matches (SameCallable); null when none.
    const CallbackEntry* FindEntry(CallbackKind kind, PyObject* key, PyObject* callable) const;
    // True while any script still holds an entry of the kind.
    bool HoldsAny(CallbackKind kind) const;
    // The stored callable of the kind that names the same registration as `callable`
    // (SameCallable), from the first script holding one; null when none does.
    PyObject* FindEqualCallable(CallbackKind kind, PyObject* callable) const;

    // Entry lookups for the dispatchers; they compare addresses and touch no Python state.
    EntryMatch FindByCallable(CallbackKind kind, const void* hostRefcon) const;
    EntryMatch FindAccessor(CallbackKind slot, const void* table) const;
    PyObject* FindWindowCallable(WindowField field, void* windowId) const;
    PyObject* FindWindowOwner(WindowField field, PyObject* callable) const;
    PyObject* FindWidgetOwner(void* widget) const;
    PyObject* FindWidgetCallable(void* widget, PyObject* key) const;
    // Borrowed; the interpreter's None when the widget has no object.
    PyObject* FindWidgetObject(void* widget, PyObject* key) const;

private:
    ScriptRecord* Find(PyObject* key);
    const ScriptRecord* FindConst(PyObject* key) const;
    void LowerCounter(CallbackKind kind);
    template <typename Matches>
    EntryMatch FindMatch(CallbackKind kind, Matches matches) const;

    std::vector<ScriptRecord> records_;
    std::array<int, kCountedKindCount> counters_{};
};

}  // namespace korvane
