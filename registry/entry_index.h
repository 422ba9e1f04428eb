#pragma once
// Finds entries by callable and by host handle without walking the records' lists, so
// that registering, unregistering and rescheduling cost the same however much the
// scripts have registered (big add-ons publish thousands of data references). It
// follows the lists: an entry joins right after it is appended to its list and leaves
// right before it is taken out.
#include "registry/callback_entry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace korvane {

// A callable as SameCallable compares it: a bound method by its function and instance
// (each `self.method` is a new object), anything else by itself.
struct CallableIdentity {
    const void* object = nullptr;
    const void* self = nullptr;
    static CallableIdentity Of(PyObject* callable);
    bool operator==(const CallableIdentity&) const = default;
};

class EntryIndex {
public:
    struct Place {
        ScriptRecord* record = nullptr;
        EntryList::iterator entry;
    };

    // The entry has just been appended to the record's list of the kind.
    void Add(ScriptRecord* record, CallbackKind kind, EntryList::iterator entry);
    // The entry is about to leave its list.
    void Remove(const ScriptRecord* record, CallbackKind kind, const CallbackEntry& entry);
    // The entry's host handle is about to become `handle`.
    void MoveHandle(ScriptRecord* record, CallbackKind kind, const CallbackEntry& entry, void* handle);
    void Clear();

    // The record's entry that `entry` would repeat: the same callable, for data accessors
    // the same accessor, for kinds with one entry per handle the same handle, and for
    // kinds registered in several places (draw callbacks, key sniffers, command
    // handlers) the same place. Menus and object loads never repeat one another, so they
    // are not looked for.
    std::optional<EntryList::iterator> FindRepeat(const ScriptRecord* record, CallbackKind kind,
                                                  const CallbackEntry& entry) const;
    // For kinds with one entry per callable: each record's entry for the callable (at
    // that placement), in the order they were added; null when none.
    const std::vector<Place>* WithCallable(CallbackKind kind, PyObject* callable, std::int64_t placement = 0) const;
    // For the other kinds (those with host handles): the record's first entry of the
    // kind with the handle, in list order.
    std::optional<EntryList::iterator> FirstWithHandle(const ScriptRecord* record, CallbackKind kind,
                                                       const void* handle) const;

private:
    struct CallableKey {
        CallbackKind kind;
        CallableIdentity callable;
        const void* table;
        const void* handle;  // only for kinds with one entry per handle
        std::int64_t placement;
        bool operator==(const CallableKey&) const = default;
    };
    struct HandleKey {
        const ScriptRecord* record;
        CallbackKind kind;
        const void* handle;
        bool operator==(const HandleKey&) const = default;
    };
    struct Hash {
        std::size_t operator()(const CallableKey& key) const;
        std::size_t operator()(const HandleKey& key) const;
    };
    // Entries that share a handle within a record, oldest first: the order numbers keep
    // the list's order when an entry gets its handle after later entries were added.
    struct Ordered {
        std::uint64_t order;
        EntryList::iterator entry;
    };

    static CallableKey KeyOf(CallbackKind kind, const CallbackEntry& entry, const void* handle);
    void AddToCallable(const CallableKey& key, Place place);
    void RemoveFromCallable(const CallableKey& key, const CallbackEntry& entry);
    void AddToHandle(const HandleKey& key, Ordered ordered);
    // The entry's place among those sharing its handle, which a moved entry keeps.
    std::optional<Ordered> TakeFromHandle(const HandleKey& key, const CallbackEntry& entry);

    std::unordered_map<CallableKey, std::vector<Place>, Hash> byCallable_;
    std::unordered_map<HandleKey, std::vector<Ordered>, Hash> byHandle_;
    std::uint64_t nextOrder_ = 0;
};

}  // namespace korvane
