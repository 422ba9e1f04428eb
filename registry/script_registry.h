#pragma once
// The table of loaded scripts and of every host callback each of them registered.
// Native callbacks find their Python callable here; bindings add and remove entries.
#include "core/py_ref.h"
#include "registry/callback_entry.h"
#include "registry/entry_index.h"
#include "registry/host_refcons.h"
#include "registry/pointer_index.h"

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// What a dispatcher needs from a lookup: borrowed pointers, valid until Python runs.
struct EntryMatch {
    PyObject* key = nullptr;
    PyObject* callable = nullptr;
    long refcon = 0;
    PyObject* refconObject = nullptr;  // the entry's refconObject, may be null
    int enabled = 0;

    // The refcon as a call's argument: the entry's int object, or a new one when it has none.
    PyRef RefconArgument() const {
        return refconObject ? PyRef::Borrow(refconObject) : PyRef::Steal(PyLong_FromLong(refcon));
    }
};

// Two callables name the same registration when they are one object, or bound
// methods of one function on one instance (each `self.method` is a new object).
bool SameCallable(PyObject* a, PyObject* b);

class ScriptRegistry {
public:
    ScriptRegistry();
    ~ScriptRegistry();

    // Script operations; they see loaded scripts only, in load order.
    // Makes the key a loaded script (a record its constructor registered for becomes one).
    void AddScript(PyObject* key, std::string moduleName);
    void SetScriptInfo(PyObject* key, std::string name, std::string signature, std::string description);
    const ScriptRecord* FindScript(PyObject* key) const;
    // Any record, a helper object's included.
    const ScriptRecord* FindRecord(PyObject* key) const { return Find(key); }
    int GetScriptEnabled(PyObject* key) const;
    int SetScriptEnabled(PyObject* key, int enabled);
    int ScriptCount() const { return static_cast<int>(scripts_.size()); }
    PyObject* ScriptAt(int index) const { return scripts_[static_cast<std::size_t>(index)]->key.get(); }
    PyObject* FindScriptByModuleName(std::string_view moduleName) const;
    PyObject* FindScriptBySignature(std::string_view signature) const;
    // The loaded script whose module the frame, or the nearest of its callers, runs in.
    PyObject* FindScriptOfFrame(PyFrameObject* innermost) const;
    // Every record, scripts and helper objects alike.
    int RecordCount() const { return static_cast<int>(records_.size()); }
    // Destroys every record and with it every Python reference the registry holds.
    void ClearScripts();
    // Empties the registry and hands its records to the caller, so that whatever the
    // caller does with them (undoing host registrations) cannot disturb the table.
    std::vector<std::unique_ptr<ScriptRecord>> TakeRecords();
    // The serial the next record will get; TakeRecordsSince hands over every record
    // made from then on (what a script that failed to load registered).
    std::uint64_t NextSerial() const { return nextSerial_; }
    std::vector<std::unique_ptr<ScriptRecord>> TakeRecordsSince(std::uint64_t serial);
    int KindCount(CallbackKind kind) const;

    // While the interpreter stops, nothing new may be registered: it would outlive it.
    void CloseRegistrations() { open_ = false; }
    void OpenRegistrations() { open_ = true; }
    bool RegistrationsOpen() const { return open_; }

    // Registration family. Adds the entry to the key's record (made when missing)
    // and gives it its host refcon; when that record already holds the same callable in
    // that list, nothing is added (menus excepted: each is its own registration, however
    // many share a handler). Returns the stored entry (new or the earlier one),
    // valid until the registry next changes, with `added` telling which; null while
    // registrations are closed. Draw callbacks, key sniffers and command handlers are
    // duplicates only at the same placement (phase and side, side, command and side).
    // Data-accessor entries are duplicates only within their own accessor, and window,
    // hot-key and widget entries only for the same handle: one method may serve several
    // data references, windows, hot keys, widgets or commands.
    const CallbackEntry* AddEntry(CallbackKind kind, PyObject* key, CallbackEntry entry, bool* added = nullptr);
    // Removes the key's first entry of the kind whose callable (and placement) matches.
    std::optional<CallbackEntry> RemoveByCallable(CallbackKind kind, PyObject* key, PyObject* callable,
                                                  std::int64_t placement = 0);
    // Removes the key's first entry of the kind with that host handle.
    std::optional<CallbackEntry> RemoveByHandle(CallbackKind kind, PyObject* key, void* handle);
    // Removes the key's entry that `like` would repeat (AddEntry's rule): for command
    // handlers, the one on the same command and side with a matching callable.
    std::optional<CallbackEntry> RemoveRepeated(CallbackKind kind, PyObject* key, const CallbackEntry& like);
    // Removes the first entry of the kind with that host handle, whoever holds it: a
    // host object destroyed by one script must not be destroyed again for another.
    std::optional<CallbackEntry> RemoveByHandleFromAny(CallbackKind kind, void* handle);
    // Gives the entry the host knows by `hostRefcon` its host handle, for registrations
    // whose handle comes from the very call that takes the refcon (menus, hot keys).
    // False when the refcon names no entry of the kind.
    bool SetEntryHandle(CallbackKind kind, const void* hostRefcon, void* handle);
    // Removes every entry of the kind in the key's record (camera, planes, widget objects).
    std::vector<CallbackEntry> RemoveAll(CallbackKind kind, PyObject* key);
    // The key's first entry of the kind whose callable matches (SameCallable); null when none.
    const CallbackEntry* FindEntry(CallbackKind kind, PyObject* key, PyObject* callable) const;
    // True while any script still holds an entry of the kind.
    bool HoldsAny(CallbackKind kind) const;
    // True while any record holds an entry of the kind with that host handle.
    bool HoldsHandle(CallbackKind kind, const void* handle) const;
    // The host refcons of every entry of the kind whose callable matches, whoever holds it.
    std::vector<void*> HostRefconsOf(CallbackKind kind, PyObject* callable) const;
    // The host refcons of every entry of the kind, whoever holds it (the error callbacks,
    // which the host calls without a refcon).
    std::vector<void*> HostRefconsOfKind(CallbackKind kind) const;

    // Entry lookups for the dispatchers; they compare addresses and touch no Python state.
    // By the refcon the host was given, and by an accessor's table: constant time.
    EntryMatch FindByHostRefcon(CallbackKind kind, const void* hostRefcon) const;
    EntryMatch FindAccessor(CallbackKind slot, const void* table) const;
    // A window's entry by its window ID: its owner and the callable of the field.
    EntryMatch FindWindow(WindowField field, void* windowId) const;
    PyObject* FindWindowCallable(WindowField field, void* windowId) const { return FindWindow(field, windowId).callable; }
    // The owner of the widget's newest callback entry, and a script's newest callable for it.
    PyObject* FindWidgetOwner(void* widget) const;
    PyObject* FindWidgetCallable(void* widget, PyObject* key) const;
    // Every callback entry of the widget, newest first, as owned references: the host
    // offers a message to each in turn, and a callable may change the registry meanwhile.
    struct WidgetTarget {
        PyRef key;
        PyRef callable;
    };
    // Widget messages come by the hundred each frame and a widget rarely has more than a
    // few callables, so those few are kept without allocating.
    class WidgetTargets {
    public:
        void Add(PyObject* key, PyObject* callable);
        const WidgetTarget* begin() const { return more_.empty() ? few_.data() : more_.data(); }
        const WidgetTarget* end() const { return begin() + count_; }
        bool empty() const { return count_ == 0; }

    private:
        std::array<WidgetTarget, 4> few_;
        std::vector<WidgetTarget> more_;
        std::size_t count_ = 0;
    };
    WidgetTargets FindWidgetTargets(void* widget) const;
    // True while the key still holds that callable for the widget.
    bool HoldsWidgetCallable(void* widget, PyObject* key, PyObject* callable) const;
    // Borrowed; the interpreter's None when the widget has no object.
    PyObject* FindWidgetObject(void* widget, PyObject* key) const;

    // Widgets the host calls Korvane's widget function for, and which of them scripts
    // created. This outlives the records (a stop undoes the records' widgets by it), and
    // a widget leaves it when it is destroyed.
    void NoteWidgetHooked(void* widget);
    bool WidgetHooked(void* widget) const;
    void NoteWidgetCreated(void* widget);
    bool WidgetCreated(void* widget) const;
    // The widget is gone: every script's callbacks, objects and creation record for it
    // leave the registry (handed to the caller), and it is no longer hooked or created,
    // so a new widget the host gives the same handle starts afresh.
    std::vector<CallbackEntry> ForgetWidget(void* widget);

private:
    struct RefconTarget {
        ScriptRecord* record = nullptr;
        CallbackEntry* entry = nullptr;
        CallbackKind kind = CallbackKind::Window;
    };
    // The entries of one accessor side, in the side's slot order, and their record.
    struct EntryPlace {
        ScriptRecord* record = nullptr;
        CallbackEntry* entry = nullptr;
    };
    struct AccessorSide {
        ScriptRecord* record = nullptr;
        bool writers = false;
        std::array<CallbackEntry*, 6> entries{};
    };

    ScriptRecord* Find(PyObject* key) const;
    ScriptRecord& FindOrMakeRecord(PyObject* key);
    std::optional<CallbackEntry> TakeEntry(CallbackKind kind, ScriptRecord& record, EntryList::iterator found);
    // Takes an entry out of the indexes, before it leaves its list.
    void Unindex(const ScriptRecord& record, CallbackKind kind, const CallbackEntry& entry);
    void DropIfUnused(ScriptRecord* record);
    void LowerCounter(CallbackKind kind);

    // Records in the order they were made; scripts_ lists the loaded scripts among
    // them in load order, byKey_ finds any record by its key.
    std::vector<std::unique_ptr<ScriptRecord>> records_;
    std::vector<ScriptRecord*> scripts_;
    PointerIndex<ScriptRecord*> byKey_;
    EntryIndex entries_;
    HostRefcons<RefconTarget> refcons_;
    PointerIndex<AccessorSide> accessorSides_;
    PointerIndex<EntryPlace> windows_;  // by window ID
    PointerIndex<std::vector<EntryPlace>> widgets_;  // callback entries by widget, oldest first
    struct WidgetState {
        bool hooked = false;
        bool created = false;
    };
    PointerIndex<WidgetState> widgetStates_;
    std::array<int, kCountedKindCount> counters_{};
    std::uint64_t nextSerial_ = 1;
    bool open_ = true;
};

// Inline: every flight loop, draw callback and key sniffer call makes it.
inline EntryMatch ScriptRegistry::FindByHostRefcon(CallbackKind kind, const void* hostRefcon) const {
    const RefconTarget* target = refcons_.Find(hostRefcon);
    if (!target || target->kind != kind) return {};
    const ScriptRecord& record = *target->record;
    const CallbackEntry& entry = *target->entry;
    return {record.key.get(), entry.callable.get(), entry.refcon, entry.refconObject.get(), record.enabled};
}

}  // namespace korvane
