#include "registry/script_registry.h"

#include <algorithm>
#include <utility>

namespace korvane {

bool SameCallable(PyObject* a, PyObject* b) {
    if (a == b) return true;
    if (!a || !b || !PyMethod_Check(a) || !PyMethod_Check(b)) return false;
    return PyMethod_GET_FUNCTION(a) == PyMethod_GET_FUNCTION(b) && PyMethod_GET_SELF(a) == PyMethod_GET_SELF(b);
}

bool ScriptRecord::HasEntries() const {
    return std::any_of(entries.begin(), entries.end(), [](const auto& list) { return !list.empty(); });
}

std::string ScriptRecord::Label() const {
    // The widget modules keep the widgets made without a `self` under their module.
    if (!isScript && key && PyModule_Check(key.get())) {
        const char* module = PyModule_GetName(key.get());
        if (module) return std::string("module ") + module;
        PyErr_Clear();
    }
    if (!isScript) return std::string("a ") + (key ? Py_TYPE(key.get())->tp_name : "helper") + " object";
    if (!moduleName.empty()) return moduleName;
    return name.empty() ? "an unnamed script" : name;
}

ScriptRegistry::ScriptRegistry() = default;

ScriptRegistry::~ScriptRegistry() {
    // Releasing references can run a script's __del__, which may call back into the
    // registry; it then finds an empty table instead of one being torn down.
    std::vector<std::unique_ptr<ScriptRecord>> doomed = TakeRecords();
}

ScriptRecord* ScriptRegistry::Find(PyObject* key) const {
    ScriptRecord* const* found = byKey_.Find(key);
    return found ? *found : nullptr;
}

ScriptRecord& ScriptRegistry::FindOrMakeRecord(PyObject* key) {
    if (ScriptRecord* record = Find(key)) return *record;
    auto record = std::make_unique<ScriptRecord>();
    record->key = PyRef::Borrow(key);
    record->serial = nextSerial_++;
    byKey_.Set(key, record.get());
    records_.push_back(std::move(record));
    return *records_.back();
}

const ScriptRecord* ScriptRegistry::FindScript(PyObject* key) const {
    const ScriptRecord* record = Find(key);
    return record && record->isScript ? record : nullptr;
}

void ScriptRegistry::AddScript(PyObject* key, std::string moduleName) {
    ScriptRecord& record = FindOrMakeRecord(key);
    if (record.isScript) return;
    record.isScript = true;
    record.moduleName = std::move(moduleName);
    scripts_.push_back(&record);
}

void ScriptRegistry::SetScriptInfo(PyObject* key, std::string name, std::string signature, std::string description) {
    ScriptRecord* record = Find(key);
    if (!record || !record->isScript) return;
    record->name = std::move(name);
    record->signature = std::move(signature);
    record->description = std::move(description);
}

int ScriptRegistry::GetScriptEnabled(PyObject* key) const {
    const ScriptRecord* record = FindScript(key);
    return record ? record->enabled : 0;
}

int ScriptRegistry::SetScriptEnabled(PyObject* key, int enabled) {
    ScriptRecord* record = Find(key);
    if (!record || !record->isScript) return 0;
    return std::exchange(record->enabled, enabled);
}

PyObject* ScriptRegistry::FindScriptByModuleName(std::string_view moduleName) const {
    for (const ScriptRecord* record : scripts_)
        if (record->moduleName == moduleName) return record->key.get();
    return nullptr;
}

PyObject* ScriptRegistry::FindScriptBySignature(std::string_view signature) const {
    for (const ScriptRecord* record : scripts_)
        if (record->signature == signature) return record->key.get();
    return nullptr;
}

PyObject* ScriptRegistry::FindScriptOfFrame(PyFrameObject* innermost) const {
    PyRef frame = PyRef::Borrow(reinterpret_cast<PyObject*>(innermost));
    while (frame) {
        auto* current = reinterpret_cast<PyFrameObject*>(frame.get());
        PyRef globals = PyRef::Steal(PyFrame_GetGlobals(current));
        PyObject* name = globals ? PyDict_GetItemString(globals.get(), "__name__") : nullptr;  // borrowed
        if (name && PyUnicode_Check(name)) {
            Py_ssize_t length = 0;
            const char* text = PyUnicode_AsUTF8AndSize(name, &length);
            if (!text) PyErr_Clear();  // a name no script module has
            else if (PyObject* script = FindScriptByModuleName({text, static_cast<std::size_t>(length)}))
                return script;
        }
        frame = PyRef::Steal(reinterpret_cast<PyObject*>(PyFrame_GetBack(current)));
    }
    return nullptr;
}

std::vector<std::unique_ptr<ScriptRecord>> ScriptRegistry::TakeRecords() {
    std::vector<std::unique_ptr<ScriptRecord>> taken;
    taken.swap(records_);
    scripts_.clear();
    byKey_.Clear();
    entries_.Clear();
    accessorSides_.Clear();
    windows_.Clear();
    widgets_.Clear();
    refcons_.RevokeAll();
    return taken;
}

std::vector<std::unique_ptr<ScriptRecord>> ScriptRegistry::TakeRecordsSince(std::uint64_t serial) {
    std::vector<std::unique_ptr<ScriptRecord>> taken;
    auto late = std::stable_partition(records_.begin(), records_.end(),
                                      [serial](const auto& record) { return record->serial < serial; });
    std::move(late, records_.end(), std::back_inserter(taken));
    records_.erase(late, records_.end());
    for (const auto& record : taken) {
        byKey_.Erase(record->key.get());
        std::erase(scripts_, record.get());
        for (std::size_t kind = 0; kind < kCallbackKindCount; ++kind)
            for (const CallbackEntry& entry : record->entries[kind])
                Unindex(*record, static_cast<CallbackKind>(kind), entry);
    }
    return taken;
}

void ScriptRegistry::ClearScripts() {
    std::vector<std::unique_ptr<ScriptRecord>> doomed = TakeRecords();
}

int ScriptRegistry::KindCount(CallbackKind kind) const {
    auto index = static_cast<std::size_t>(kind);
    return index < kCountedKindCount ? counters_[index] : 0;
}

void ScriptRegistry::LowerCounter(CallbackKind kind) {
    auto index = static_cast<std::size_t>(kind);
    if (index < kCountedKindCount && counters_[index] > 0) --counters_[index];
}

namespace {
// The record's entry among those of every record for one callable.
const EntryIndex::Place* PlaceOf(const ScriptRecord& record, const std::vector<EntryIndex::Place>* places) {
    if (!places) return nullptr;
    for (const EntryIndex::Place& place : *places)
        if (place.record == &record) return &place;
    return nullptr;
}
// An accessor slot's place within its side (readers or writers).
std::size_t SidePosition(CallbackKind slot) {
    return static_cast<std::size_t>(static_cast<int>(slot) - static_cast<int>(CallbackKind::GetDatai)) / 2;
}
bool IsWriterSlot(CallbackKind slot) {
    return (static_cast<int>(slot) - static_cast<int>(CallbackKind::GetDatai)) % 2 == 1;
}
}  // namespace

const CallbackEntry* ScriptRegistry::AddEntry(CallbackKind kind, PyObject* key, CallbackEntry entry, bool* added) {
    if (added) *added = false;
    if (!open_) return nullptr;
    ScriptRecord& record = FindOrMakeRecord(key);
    EntryList& list = record.List(kind);
    // A repeat keeps the earlier registration. Menus never repeat: one handler commonly
    // serves several, told apart by their menu refcons; nor do object loads (EveryAddIsNew).
    if (std::optional<EntryList::iterator> earlier = entries_.FindRepeat(&record, kind, entry)) return &**earlier;
    CallbackEntry& stored = list.emplace_back(std::move(entry));
    stored.refconObject = PyRef::Steal(PyLong_FromLong(stored.refcon));
    if (!stored.refconObject) PyErr_Clear();  // its calls make the int themselves
    entries_.Add(&record, kind, std::prev(list.end()));
    stored.hostRefcon = refcons_.Issue({&record, &stored, kind});
    if (IsAccessorSlot(kind) && stored.table) {
        AccessorSide* side = accessorSides_.Find(stored.table.get());
        if (!side) {
            accessorSides_.Set(stored.table.get(), AccessorSide{&record, IsWriterSlot(kind), {}});
            side = accessorSides_.Find(stored.table.get());
        }
        side->entries[SidePosition(kind)] = &stored;
    }
    if (kind == CallbackKind::Window && stored.handle) windows_.Set(stored.handle, {&record, &stored});
    if (kind == CallbackKind::WidgetCallback) {
        if (std::vector<EntryPlace>* places = widgets_.Find(stored.handle))
            places->push_back({&record, &stored});
        else
            widgets_.Set(stored.handle, std::vector<EntryPlace>{{&record, &stored}});
    }
    auto index = static_cast<std::size_t>(kind);
    if (index < kCountedKindCount) ++counters_[index];
    if (added) *added = true;
    return &stored;
}

void ScriptRegistry::Unindex(const ScriptRecord& record, CallbackKind kind, const CallbackEntry& entry) {
    entries_.Remove(&record, kind, entry);
    refcons_.Revoke(entry.hostRefcon);
    if (kind == CallbackKind::Window) {
        const EntryPlace* place = windows_.Find(entry.handle);
        if (place && place->entry == &entry) windows_.Erase(entry.handle);
    }
    if (kind == CallbackKind::WidgetCallback) {
        if (std::vector<EntryPlace>* places = widgets_.Find(entry.handle)) {
            std::erase_if(*places, [&entry](const EntryPlace& place) { return place.entry == &entry; });
            if (places->empty()) widgets_.Erase(entry.handle);
        }
    }
    if (!IsAccessorSlot(kind) || !entry.table) return;
    AccessorSide* side = accessorSides_.Find(entry.table.get());
    if (!side || side->entries[SidePosition(kind)] != &entry) return;
    side->entries[SidePosition(kind)] = nullptr;
    if (std::all_of(side->entries.begin(), side->entries.end(), [](const CallbackEntry* e) { return !e; }))
        accessorSides_.Erase(entry.table.get());
}

std::optional<CallbackEntry> ScriptRegistry::TakeEntry(CallbackKind kind, ScriptRecord& record,
                                                       EntryList::iterator found) {
    Unindex(record, kind, *found);
    CallbackEntry removed = std::move(*found);
    record.List(kind).erase(found);
    LowerCounter(kind);
    DropIfUnused(&record);
    return removed;
}

// A helper object's record goes with its last entry, so helpers made in a loop do not
// pile up. The record is out of every table before its key is released, since that
// may run Python code that registers again.
void ScriptRegistry::DropIfUnused(ScriptRecord* record) {
    if (record->isScript || record->HasEntries()) return;
    auto found = std::find_if(records_.begin(), records_.end(),
                              [record](const auto& candidate) { return candidate.get() == record; });
    if (found == records_.end()) return;
    std::unique_ptr<ScriptRecord> doomed = std::move(*found);
    records_.erase(found);
    byKey_.Erase(doomed->key.get());
}

std::optional<CallbackEntry> ScriptRegistry::RemoveByCallable(CallbackKind kind, PyObject* key, PyObject* callable,
                                                              std::int64_t placement) {
    ScriptRecord* record = Find(key);
    if (!record) return std::nullopt;
    if (OneEntryPerCallable(kind)) {
        const EntryIndex::Place* place = PlaceOf(*record, entries_.WithCallable(kind, callable, placement));
        if (!place) return std::nullopt;
        return TakeEntry(kind, *record, place->entry);
    }
    EntryList& list = record->List(kind);
    auto found = std::find_if(list.begin(), list.end(),
                              [&](const CallbackEntry& entry) { return SameCallable(entry.callable.get(), callable); });
    if (found == list.end()) return std::nullopt;
    return TakeEntry(kind, *record, found);
}

std::optional<CallbackEntry> ScriptRegistry::RemoveByHandle(CallbackKind kind, PyObject* key, void* handle) {
    ScriptRecord* record = Find(key);
    if (!record) return std::nullopt;
    std::optional<EntryList::iterator> found;
    if (OneEntryPerCallable(kind)) {  // kinds without host handles: nothing to index them by
        EntryList& list = record->List(kind);
        auto match =
            std::find_if(list.begin(), list.end(), [&](const CallbackEntry& entry) { return entry.handle == handle; });
        if (match != list.end()) found = match;
    } else {
        found = entries_.FirstWithHandle(record, kind, handle);
    }
    if (!found) return std::nullopt;
    return TakeEntry(kind, *record, *found);
}

std::optional<CallbackEntry> ScriptRegistry::RemoveRepeated(CallbackKind kind, PyObject* key,
                                                            const CallbackEntry& like) {
    ScriptRecord* record = Find(key);
    if (!record) return std::nullopt;
    std::optional<EntryList::iterator> found = entries_.FindRepeat(record, kind, like);
    if (!found) return std::nullopt;
    return TakeEntry(kind, *record, *found);
}

std::optional<CallbackEntry> ScriptRegistry::RemoveByHandleFromAny(CallbackKind kind, void* handle) {
    for (const auto& record : records_)
        if (std::optional<CallbackEntry> removed = RemoveByHandle(kind, record->key.get(), handle)) return removed;
    return std::nullopt;
}

bool ScriptRegistry::SetEntryHandle(CallbackKind kind, const void* hostRefcon, void* handle) {
    const RefconTarget* target = refcons_.Find(hostRefcon);
    if (!target || target->kind != kind) return false;
    if (kind == CallbackKind::Window) {  // the window index follows the ID
        const EntryPlace* place = windows_.Find(target->entry->handle);
        if (place && place->entry == target->entry) windows_.Erase(target->entry->handle);
        windows_.Set(handle, {target->record, target->entry});
    }
    entries_.MoveHandle(target->record, kind, *target->entry, handle);
    target->entry->handle = handle;
    return true;
}

std::vector<CallbackEntry> ScriptRegistry::RemoveAll(CallbackKind kind, PyObject* key) {
    std::vector<CallbackEntry> removed;
    ScriptRecord* record = Find(key);
    if (!record) return removed;
    EntryList& list = record->List(kind);
    for (CallbackEntry& entry : list) {
        Unindex(*record, kind, entry);
        removed.push_back(std::move(entry));
    }
    list.clear();
    // Counted once per call, even for an empty list, but never below zero.
    LowerCounter(kind);
    DropIfUnused(record);
    return removed;
}

const CallbackEntry* ScriptRegistry::FindEntry(CallbackKind kind, PyObject* key, PyObject* callable) const {
    const ScriptRecord* record = Find(key);
    if (!record) return nullptr;
    if (OneEntryPerCallable(kind)) {
        const EntryIndex::Place* place = PlaceOf(*record, entries_.WithCallable(kind, callable));
        return place ? &*place->entry : nullptr;
    }
    for (const CallbackEntry& entry : record->List(kind))
        if (SameCallable(entry.callable.get(), callable)) return &entry;
    return nullptr;
}

bool ScriptRegistry::HoldsAny(CallbackKind kind) const {
    return std::any_of(records_.begin(), records_.end(), [kind](const auto& record) { return !record->List(kind).empty(); });
}

bool ScriptRegistry::HoldsHandle(CallbackKind kind, const void* handle) const {
    return std::any_of(records_.begin(), records_.end(), [&](const auto& record) {
        return entries_.FirstWithHandle(record.get(), kind, handle).has_value();
    });
}

std::vector<void*> ScriptRegistry::HostRefconsOf(CallbackKind kind, PyObject* callable) const {
    std::vector<void*> refcons;
    if (OneEntryPerCallable(kind)) {
        if (const std::vector<EntryIndex::Place>* places = entries_.WithCallable(kind, callable))
            for (const EntryIndex::Place& place : *places) refcons.push_back(place.entry->hostRefcon);
        return refcons;
    }
    for (const auto& record : records_)
        for (const CallbackEntry& entry : record->List(kind))
            if (SameCallable(entry.callable.get(), callable)) refcons.push_back(entry.hostRefcon);
    return refcons;
}

std::vector<void*> ScriptRegistry::HostRefconsOfKind(CallbackKind kind) const {
    std::vector<void*> refcons;
    for (const auto& record : records_)
        for (const CallbackEntry& entry : record->List(kind)) refcons.push_back(entry.hostRefcon);
    return refcons;
}

EntryMatch ScriptRegistry::FindAccessor(CallbackKind slot, const void* table) const {
    const AccessorSide* side = accessorSides_.Find(table);
    // A side's entries are all readers or all writers; a slot of the other kind has none.
    if (!side || side->writers != IsWriterSlot(slot)) return {};
    const CallbackEntry* entry = side->entries[SidePosition(slot)];
    if (!entry) return {};
    return {side->record->key.get(), entry->callable.get(), entry->refcon, entry->refconObject.get(),
            side->record->enabled};
}

namespace {
PyObject* WindowCallable(const CallbackEntry& entry, WindowField field) {
    switch (field) {
        case WindowField::Draw: return entry.callable.get();
        case WindowField::Key: return entry.keyCallable.get();
        case WindowField::MouseClick: return entry.mouseCallable.get();
        case WindowField::Cursor: return entry.cursorCallable.get();
        case WindowField::MouseWheel: return entry.wheelCallable.get();
    }
    return nullptr;
}
}  // namespace

EntryMatch ScriptRegistry::FindWindow(WindowField field, void* windowId) const {
    const EntryPlace* place = windows_.Find(windowId);
    if (!place) return {};
    return {place->record->key.get(), WindowCallable(*place->entry, field), 0, nullptr, place->record->enabled};
}

PyObject* ScriptRegistry::FindWidgetOwner(void* widget) const {
    const std::vector<EntryPlace>* places = widgets_.Find(widget);
    return places ? places->back().record->key.get() : nullptr;
}

PyObject* ScriptRegistry::FindWidgetCallable(void* widget, PyObject* key) const {
    const std::vector<EntryPlace>* places = widgets_.Find(widget);
    if (!places) return nullptr;
    for (auto place = places->rbegin(); place != places->rend(); ++place)
        if (place->record->key.get() == key) return place->entry->callable.get();
    return nullptr;
}

void ScriptRegistry::WidgetTargets::Add(PyObject* key, PyObject* callable) {
    WidgetTarget target{PyRef::Borrow(key), PyRef::Borrow(callable)};
    if (count_ < few_.size()) {
        few_[count_++] = std::move(target);
        return;
    }
    // Past the few, every target moves to the heap so that they stay in one sequence.
    if (more_.empty())
        for (WidgetTarget& earlier : few_) more_.push_back(std::move(earlier));
    more_.push_back(std::move(target));
    ++count_;
}

ScriptRegistry::WidgetTargets ScriptRegistry::FindWidgetTargets(void* widget) const {
    WidgetTargets targets;
    const std::vector<EntryPlace>* places = widgets_.Find(widget);
    if (!places) return targets;
    for (auto place = places->rbegin(); place != places->rend(); ++place)
        targets.Add(place->record->key.get(), place->entry->callable.get());
    return targets;
}

bool ScriptRegistry::HoldsWidgetCallable(void* widget, PyObject* key, PyObject* callable) const {
    const std::vector<EntryPlace>* places = widgets_.Find(widget);
    if (!places) return false;
    return std::any_of(places->begin(), places->end(), [&](const EntryPlace& place) {
        return place.record->key.get() == key && place.entry->callable.get() == callable;
    });
}

void ScriptRegistry::NoteWidgetHooked(void* widget) {
    WidgetState* state = widgetStates_.Find(widget);
    if (state)
        state->hooked = true;
    else
        widgetStates_.Set(widget, {true, false});
}

bool ScriptRegistry::WidgetHooked(void* widget) const {
    const WidgetState* state = widgetStates_.Find(widget);
    return state && state->hooked;
}

void ScriptRegistry::NoteWidgetCreated(void* widget) {
    WidgetState* state = widgetStates_.Find(widget);
    if (state)
        state->created = true;
    else
        widgetStates_.Set(widget, {false, true});
}

bool ScriptRegistry::WidgetCreated(void* widget) const {
    const WidgetState* state = widgetStates_.Find(widget);
    return state && state->created;
}

std::vector<CallbackEntry> ScriptRegistry::ForgetWidget(void* widget) {
    widgetStates_.Erase(widget);
    std::vector<CallbackEntry> removed;
    for (CallbackKind kind : {CallbackKind::WidgetCallback, CallbackKind::WidgetObject, CallbackKind::CreatedWidget})
        while (std::optional<CallbackEntry> entry = RemoveByHandleFromAny(kind, widget))
            removed.push_back(std::move(*entry));
    return removed;
}

PyObject* ScriptRegistry::FindWidgetObject(void* widget, PyObject* key) const {
    const ScriptRecord* record = Find(key);
    if (!record) return Py_None;
    std::optional<EntryList::iterator> found = entries_.FirstWithHandle(record, CallbackKind::WidgetObject, widget);
    return found ? (*found)->callable.get() : Py_None;
}

}  // namespace korvane
