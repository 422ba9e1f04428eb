#include "registry/entry_index.h"

#include <algorithm>

namespace korvane {

CallableIdentity CallableIdentity::Of(PyObject* callable) {
    if (callable && PyMethod_Check(callable)) return {PyMethod_GET_FUNCTION(callable), PyMethod_GET_SELF(callable)};
    return {callable, nullptr};
}

namespace {
std::size_t Mix(std::size_t hash, const void* pointer) {
    hash = (hash ^ reinterpret_cast<std::uintptr_t>(pointer)) * 0x9E3779B97F4A7C15ull;
    return hash ^ (hash >> 29);
}
}  // namespace

std::size_t EntryIndex::Hash::operator()(const CallableKey& key) const {
    std::size_t hash = static_cast<std::size_t>(key.kind) + 1;
    for (const void* part : {key.callable.object, key.callable.self, key.table, key.handle}) hash = Mix(hash, part);
    return Mix(hash, reinterpret_cast<const void*>(static_cast<std::intptr_t>(key.placement)));
}

std::size_t EntryIndex::Hash::operator()(const HandleKey& key) const {
    return Mix(Mix(static_cast<std::size_t>(key.kind) + 1, key.record), key.handle);
}

EntryIndex::CallableKey EntryIndex::KeyOf(CallbackKind kind, const CallbackEntry& entry, const void* handle) {
    return {kind, CallableIdentity::Of(entry.callable.get()), entry.table.get(),
            OneEntryPerHandle(kind) ? handle : nullptr, entry.placement};
}

void EntryIndex::Add(ScriptRecord* record, CallbackKind kind, EntryList::iterator entry) {
    if (kind != CallbackKind::Menu) AddToCallable(KeyOf(kind, *entry, entry->handle), {record, entry});
    if (!OneEntryPerCallable(kind)) AddToHandle({record, kind, entry->handle}, {nextOrder_++, entry});
}

void EntryIndex::Remove(const ScriptRecord* record, CallbackKind kind, const CallbackEntry& entry) {
    if (kind != CallbackKind::Menu) RemoveFromCallable(KeyOf(kind, entry, entry.handle), entry);
    if (!OneEntryPerCallable(kind)) TakeFromHandle({record, kind, entry.handle}, entry);
}

void EntryIndex::MoveHandle(ScriptRecord* record, CallbackKind kind, const CallbackEntry& entry, void* handle) {
    std::optional<Ordered> moved = TakeFromHandle({record, kind, entry.handle}, entry);
    if (!moved) return;
    AddToHandle({record, kind, handle}, *moved);
    if (kind != CallbackKind::Menu && OneEntryPerHandle(kind)) {
        RemoveFromCallable(KeyOf(kind, entry, entry.handle), entry);
        AddToCallable(KeyOf(kind, entry, handle), {record, moved->entry});
    }
}

void EntryIndex::Clear() {
    byCallable_.clear();
    byHandle_.clear();
}

std::optional<EntryList::iterator> EntryIndex::FindRepeat(const ScriptRecord* record, CallbackKind kind,
                                                          const CallbackEntry& entry) const {
    if (EveryAddIsNew(kind)) return std::nullopt;
    auto found = byCallable_.find(KeyOf(kind, entry, entry.handle));
    if (found == byCallable_.end()) return std::nullopt;
    for (const Place& place : found->second)
        if (place.record == record) return place.entry;
    return std::nullopt;
}

const std::vector<EntryIndex::Place>* EntryIndex::WithCallable(CallbackKind kind, PyObject* callable,
                                                               std::int64_t placement) const {
    if (!OneEntryPerCallable(kind)) return nullptr;
    auto found = byCallable_.find({kind, CallableIdentity::Of(callable), nullptr, nullptr, placement});
    return found == byCallable_.end() ? nullptr : &found->second;
}

std::optional<EntryList::iterator> EntryIndex::FirstWithHandle(const ScriptRecord* record, CallbackKind kind,
                                                               const void* handle) const {
    auto found = byHandle_.find({record, kind, handle});
    if (found == byHandle_.end()) return std::nullopt;
    return found->second.front().entry;
}

void EntryIndex::AddToCallable(const CallableKey& key, Place place) { byCallable_[key].push_back(place); }

void EntryIndex::RemoveFromCallable(const CallableKey& key, const CallbackEntry& entry) {
    auto found = byCallable_.find(key);
    if (found == byCallable_.end()) return;
    std::erase_if(found->second, [&entry](const Place& place) { return &*place.entry == &entry; });
    if (found->second.empty()) byCallable_.erase(found);
}

void EntryIndex::AddToHandle(const HandleKey& key, Ordered ordered) {
    std::vector<Ordered>& entries = byHandle_[key];
    auto position = std::upper_bound(entries.begin(), entries.end(), ordered.order,
                                     [](std::uint64_t order, const Ordered& other) { return order < other.order; });
    entries.insert(position, ordered);
}

std::optional<EntryIndex::Ordered> EntryIndex::TakeFromHandle(const HandleKey& key, const CallbackEntry& entry) {
    auto found = byHandle_.find(key);
    if (found == byHandle_.end()) return std::nullopt;
    std::vector<Ordered>& entries = found->second;
    auto taken = std::find_if(entries.begin(), entries.end(),
                              [&entry](const Ordered& ordered) { return &*ordered.entry == &entry; });
    if (taken == entries.end()) return std::nullopt;
    Ordered ordered = *taken;
    entries.erase(taken);
    if (entries.empty()) byHandle_.erase(found);
    return ordered;
}

}  // namespace korvane
