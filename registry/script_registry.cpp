#include "registry/script_registry.h"

#include <algorithm>
#include <utility>

namespace korvane {

bool SameCallable(PyObject* a, PyObject* b) {
    if (a == b) return true;
    if (!a || !b || !PyMethod_Check(a) || !PyMethod_Check(b)) return false;
    return PyMethod_GET_FUNCTION(a) == PyMethod_GET_FUNCTION(b) && PyMethod_GET_SELF(a) == PyMethod_GET_SELF(b);
}

ScriptRecord* ScriptRegistry::Find(PyObject* key) {
    for (ScriptRecord& record : records_)
        if (record.key.get() == key) return &record;
    return nullptr;
}

const ScriptRecord* ScriptRegistry::FindConst(PyObject* key) const {
    for (const ScriptRecord& record : records_)
        if (record.key.get() == key) return &record;
    return nullptr;
}

const ScriptRecord* ScriptRegistry::FindScript(PyObject* key) const { return FindConst(key); }

void ScriptRegistry::AddScript(PyObject* key, std::string moduleName) {
    if (Find(key)) return;
    ScriptRecord record;
    record.key = PyRef::Borrow(key);
    record.moduleName = std::move(moduleName);
    records_.push_back(std::move(record));
}

void ScriptRegistry::SetScriptInfo(PyObject* key, std::string name, std::string signature, std::string description) {
    ScriptRecord* record = Find(key);
    if (!record) return;
    record->name = std::move(name);
    record->signature = std::move(signature);
    record->description = std::move(description);
}

int ScriptRegistry::GetScriptEnabled(PyObject* key) const {
    const ScriptRecord* record = FindConst(key);
    return record ? record->enabled : 0;
}

int ScriptRegistry::SetScriptEnabled(PyObject* key, int enabled) {
    ScriptRecord* record = Find(key);
    if (!record) return 0;
    return std::exchange(record->enabled, enabled);
}

PyObject* ScriptRegistry::FindScriptByModuleName(std::string_view moduleName) const {
    for (const ScriptRecord& record : records_)
        if (record.moduleName == moduleName) return record.key.get();
    return nullptr;
}

PyObject* ScriptRegistry::FindScriptBySignature(std::string_view signature) const {
    for (const ScriptRecord& record : records_)
        if (record.signature == signature) return record.key.get();
    return nullptr;
}

std::vector<ScriptRecord> ScriptRegistry::TakeRecords() {
    std::vector<ScriptRecord> taken;
    taken.swap(records_);
    return taken;
}

void ScriptRegistry::ClearScripts() {
    // Releasing references can run a script's __del__, which may call back into the
    // registry; it then finds an empty table instead of one being torn down.
    std::vector<ScriptRecord> doomed = TakeRecords();
}

int ScriptRegistry::KindCount(CallbackKind kind) const {
    auto index = static_cast<std::size_t>(kind);
    return index < kCountedKindCount ? counters_[index] : 0;
}

void ScriptRegistry::LowerCounter(CallbackKind kind) {
    auto index = static_cast<std::size_t>(kind);
    if (index < kCountedKindCount && counters_[index] > 0) --counters_[index];
}

const CallbackEntry* ScriptRegistry::AddEntry(CallbackKind kind, PyObject* key, CallbackEntry entry) {
    ScriptRecord* record = Find(key);
    if (!record) {
        // A registration from an object that is not a loaded script gets a record of its own.
        ScriptRecord fresh;
        fresh.key = PyRef::Borrow(key);
        records_.push_back(std::move(fresh));
        record = &records_.back();
    }
    std::vector<CallbackEntry>& list = record->List(kind);
    for (const CallbackEntry& existing : list)
        if (SameCallable(existing.callable.get(), entry.callable.get()) && existing.table == entry.table)
            return nullptr;
    list.push_back(std::move(entry));
    auto index = static_cast<std::size_t>(kind);
    if (index < kCountedKindCount) ++counters_[index];
    return &list.back();
}

std::optional<CallbackEntry> ScriptRegistry::RemoveByCallable(CallbackKind kind, PyObject* key, PyObject* callable) {
    ScriptRecord* record = Find(key);
    if (!record) return std::nullopt;
    std::vector<CallbackEntry>& list = record->List(kind);
    auto found = std::find_if(list.begin(), list.end(),
                              [&](const CallbackEntry& entry) { return SameCallable(entry.callable.get(), callable); });
    if (found == list.end()) return std::nullopt;
    CallbackEntry removed = std::move(*found);
    list.erase(found);
    LowerCounter(kind);
    return removed;
}

std::optional<CallbackEntry> ScriptRegistry::RemoveByHandle(CallbackKind kind, PyObject* key, void* handle) {
    ScriptRecord* record = Find(key);
    if (!record) return std::nullopt;
    std::vector<CallbackEntry>& list = record->List(kind);
    auto found =
        std::find_if(list.begin(), list.end(), [&](const CallbackEntry& entry) { return entry.handle == handle; });
    if (found == list.end()) return std::nullopt;
    CallbackEntry removed = std::move(*found);
    list.erase(found);
    LowerCounter(kind);
    return removed;
}

std::vector<CallbackEntry> ScriptRegistry::RemoveAll(CallbackKind kind, PyObject* key) {
    std::vector<CallbackEntry> removed;
    ScriptRecord* record = Find(key);
    if (!record) return removed;
    removed.swap(record->List(kind));
    // Counted once per call, even for an empty list, but never below zero.
    LowerCounter(kind);
    return removed;
}

bool ScriptRegistry::HoldsCallable(CallbackKind kind, PyObject* callable) const {
    for (const ScriptRecord& record : records_)
        for (const CallbackEntry& entry : record.List(kind))
            if (entry.callable.get() == callable) return true;
    return false;
}

const CallbackEntry* ScriptRegistry::FindEntry(CallbackKind kind, PyObject* key, PyObject* callable) const {
    const ScriptRecord* record = FindConst(key);
    if (!record) return nullptr;
    for (const CallbackEntry& entry : record->List(kind))
        if (SameCallable(entry.callable.get(), callable)) return &entry;
    return nullptr;
}

bool ScriptRegistry::HoldsAny(CallbackKind kind) const {
    for (const ScriptRecord& record : records_)
        if (!record.List(kind).empty()) return true;
    return false;
}

PyObject* ScriptRegistry::FindEqualCallable(CallbackKind kind, PyObject* callable) const {
    for (const ScriptRecord& record : records_)
        for (const CallbackEntry& entry : record.List(kind))
            if (SameCallable(entry.callable.get(), callable)) return entry.callable.get();
    return nullptr;
}

template <typename Matches>
EntryMatch ScriptRegistry::FindMatch(CallbackKind kind, Matches matches) const {
    // The last record with a match wins; inside a record the first entry does.
    EntryMatch match;
    for (const ScriptRecord& record : records_) {
        for (const CallbackEntry& entry : record.List(kind)) {
            if (matches(entry)) {
                match = {record.key.get(), entry.callable.get(), entry.refcon};
                break;
            }
        }
    }
    return match;
}

EntryMatch ScriptRegistry::FindByCallable(CallbackKind kind, const void* hostRefcon) const {
    return FindMatch(kind, [hostRefcon](const CallbackEntry& entry) { return entry.callable.get() == hostRefcon; });
}

EntryMatch ScriptRegistry::FindAccessor(CallbackKind slot, const void* table) const {
    return FindMatch(slot, [table](const CallbackEntry& entry) { return entry.table.get() == table; });
}

namespace {
PyObject* WindowCallable(const CallbackEntry& entry, WindowField field) {
    switch (field) {
        case WindowField::Draw: return entry.callable.get();
        case WindowField::Key: return entry.keyCallable.get();
        case WindowField::MouseClick: return entry.mouseCallable.get();
    }
    return nullptr;
}
}  // namespace

PyObject* ScriptRegistry::FindWindowCallable(WindowField field, void* windowId) const {
    PyObject* found = nullptr;
    for (const ScriptRecord& record : records_)
        for (const CallbackEntry& entry : record.List(CallbackKind::Window))
            if (entry.handle == windowId) found = WindowCallable(entry, field);
    return found;
}

PyObject* ScriptRegistry::FindWindowOwner(WindowField field, PyObject* callable) const {
    PyObject* owner = nullptr;
    for (const ScriptRecord& record : records_)
        for (const CallbackEntry& entry : record.List(CallbackKind::Window))
            if (WindowCallable(entry, field) == callable) {
                owner = record.key.get();
                break;
            }
    return owner;
}

PyObject* ScriptRegistry::FindWidgetOwner(void* widget) const {
    PyObject* owner = nullptr;
    for (const ScriptRecord& record : records_)
        for (const CallbackEntry& entry : record.List(CallbackKind::WidgetCallback))
            if (entry.handle == widget) {
                owner = record.key.get();
                break;
            }
    return owner;
}

PyObject* ScriptRegistry::FindWidgetCallable(void* widget, PyObject* key) const {
    const ScriptRecord* record = FindConst(key);
    if (!record) return nullptr;
    for (const CallbackEntry& entry : record->List(CallbackKind::WidgetCallback))
        if (entry.handle == widget) return entry.callable.get();
    return nullptr;
}

PyObject* ScriptRegistry::FindWidgetObject(void* widget, PyObject* key) const {
    const ScriptRecord* record = FindConst(key);
    if (record)
        for (const CallbackEntry& entry : record->List(CallbackKind::WidgetObject))
            if (entry.handle == widget) return entry.callable.get();
    return Py_None;
}

}  // namespace korvane
