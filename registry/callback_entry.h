#pragma once
// What the registry holds for each script: its record, and one entry per callback it
// registered, in a list per callback kind.
#include "core/py_ref.h"

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
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
    // A handler on a command, keyed by its command, its callable and its side (before or
    // after the simulator's own action).
    CommandHandler,
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
    // A widget a script created through the bindings; undoing it destroys the widget.
    CreatedWidget,
    // Scenery: a terrain probe or an object a script holds (undoing one destroys or
    // unloads it), an asynchronous object load the host has not answered yet, and a
    // library lookup's enumerator, which lives only while its lookup runs.
    TerrainProbe,
    SceneryObject,
    ObjectLoad,
    ObjectEnumerator,
    // An SDK 2.10 flight loop a script created, known by its flight loop ID; undoing it
    // destroys the flight loop.
    CreatedFlightLoop,
    // A script's error callback; the host's one error callback reaches all of them.
    ErrorCallback,
    // An XPLMEnumerateFeatures enumerator, registered only while the call lasts.
    FeatureEnumerator,
};
inline constexpr std::size_t kCallbackKindCount = static_cast<std::size_t>(CallbackKind::FeatureEnumerator) + 1;
// Kinds up to and including CommandHandler keep a counter of live entries.
inline constexpr std::size_t kCountedKindCount = static_cast<std::size_t>(CallbackKind::CommandHandler) + 1;

inline bool IsAccessorSlot(CallbackKind kind) {
    return kind >= CallbackKind::GetDatai && kind <= CallbackKind::SetDatab;
}

inline bool IsSceneryKind(CallbackKind kind) {
    return kind >= CallbackKind::TerrainProbe && kind <= CallbackKind::ObjectEnumerator;
}

// A script may serve several windows, hot keys or commands with one callable; each is
// its own host object that must be found and undone.
inline bool OneEntryPerHandle(CallbackKind kind) {
    return kind == CallbackKind::Window || kind == CallbackKind::HotKey || kind == CallbackKind::WidgetCallback ||
           kind == CallbackKind::WidgetObject || kind == CallbackKind::CreatedWidget ||
           kind == CallbackKind::CommandHandler || IsSceneryKind(kind) || kind == CallbackKind::CreatedFlightLoop;
}

// Each load of an object is its own registration, also when the simulator hands out the
// same object again: every load is undone by one unload.
inline bool EveryAddIsNew(CallbackKind kind) { return kind == CallbackKind::Menu || kind == CallbackKind::SceneryObject; }

// Kinds whose entries of one record each have their own callable: a record's entry for a
// callable is found by the callable alone. The other kinds tell entries apart by their
// accessor, their host handle or (menus) not at all.
inline bool OneEntryPerCallable(CallbackKind kind) {
    return kind != CallbackKind::Menu && !IsAccessorSlot(kind) && !OneEntryPerHandle(kind);
}

// One side (readers or writers) of a script's data accessor. Its address is the
// host's refcon for that side, and the six entries of the side share ownership of
// it, so it lives exactly as long as they do; the callables themselves live in the
// entries. The registry finds a side by that address without dereferencing it.
struct AccessorTable {};

// A data name a script shares with the host, as the host knows it.
struct SharedName {
    std::string name;
    int type = 0;
};

// Which window callable a window lookup means.
enum class WindowField { Draw = 0, Key = 1, MouseClick = 2, Cursor = 3, MouseWheel = 4 };

struct CallbackEntry {
    // The registered callable (the draw callable of a window, the object of a widget object).
    PyRef callable;
    // The script's own refcon (the menu refcon for menus).
    long refcon = 0;
    // The same refcon as the int object each call passes, made once when the entry is
    // added so that a call allocates nothing for it; null when it could not be made.
    PyRef refconObject;
    // The host's handle: window, hot key, menu, widget, data reference or command.
    void* handle = nullptr;
    // Where the host calls it, for kinds registered in several places: a draw
    // callback's phase and side, a key sniffer's side, a command handler's side (1 before
    // the simulator's own action, 0 after). Each place is its own registration, found and
    // undone by naming it.
    std::int64_t placement = 0;
    // Windows only: the key and mouse-click callables, and those of XPLMCreateWindowEx's
    // cursor and mouse wheel (null when the window has none).
    PyRef keyCallable;
    PyRef mouseCallable;
    PyRef cursorCallable;
    PyRef wheelCallable;
    // Data accessors only: the table holding `callable`.
    std::shared_ptr<AccessorTable> table;
    // Shared data only: every name the script shared with this callable, one host
    // registration each; `releaseHost` undoes them all.
    std::shared_ptr<std::vector<SharedName>> sharedNames;
    // The refcon the host knows this registration by, given out by the registry when
    // the entry is added: it names this entry alone, whoever else registers the same
    // callable.
    void* hostRefcon = nullptr;
    // Undoes the host registration this entry stands for; run when the entry goes
    // without its script undoing it (a stop, a failed load). Empty when another entry
    // carries the undo.
    std::function<void(const CallbackEntry&)> releaseHost;

    void ReleaseHost() const {
        if (releaseHost) releaseHost(*this);
    }
};

// A list keeps its entries where they are, so the registry's indexes may point at them.
using EntryList = std::list<CallbackEntry>;

struct ScriptRecord {
    // The script instance (or helper object); the record owns a reference so that the
    // identity stays unique for as long as the record exists.
    PyRef key;
    // A loaded script; otherwise an object a script registered callbacks for, which
    // gets no lifecycle calls and goes away with its last entry.
    bool isScript = false;
    int enabled = 1;
    // Records made later have larger serials, so a failed load finds what it made.
    std::uint64_t serial = 0;
    std::string moduleName;
    std::string name;
    std::string signature;
    std::string description;
    std::array<EntryList, kCallbackKindCount> entries;

    EntryList& List(CallbackKind kind) { return entries[static_cast<std::size_t>(kind)]; }
    const EntryList& List(CallbackKind kind) const { return entries[static_cast<std::size_t>(kind)]; }
    bool HasEntries() const;
    // How log lines name the record: the script's module name, else its name; a
    // helper object by its type.
    std::string Label() const;
};

}  // namespace korvane
