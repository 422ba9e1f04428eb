#pragma once
// The widget library's memory. A widget's handle is the address of its record; records
// are never freed while the host lives, so a stale handle can always be looked up safely,
// and a destroyed widget's record serves the next creation (last freed, first reused).
#include <XPLMDisplay.h>
#include <XPWidgetDefs.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace korvane::host {

struct WidgetRecord {
    bool live = false;
    // Counts the lives of this record, so that a dispatch can tell its widget from a
    // later one that took over the same record.
    std::uint64_t generation = 0;
    bool dying = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
    bool root = false;
    bool custom = false;
    XPWidgetClass widgetClass = xpWidgetClass_None;
    std::string descriptor;
    WidgetRecord* parent = nullptr;
    std::vector<WidgetRecord*> children;  // bottom to top
    // Added callbacks newest first, then the class function.
    std::vector<XPWidgetFunc_t> callbacks;
    std::map<XPWidgetPropertyID, intptr_t> properties;
    XPLMWindowID window = nullptr;  // a root's place in the window manager
};

// A widget as seen at one moment: its record and the life it had then.
struct WidgetRef {
    WidgetRecord* record = nullptr;
    std::uint64_t generation = 0;
    bool Alive() const { return record && record->live && record->generation == generation; }
};

struct WidgetLibraryState {
    std::vector<std::unique_ptr<WidgetRecord>> records;
    std::unordered_set<const void*> handles;  // every record's address
    std::vector<WidgetRecord*> freeRecords;   // the last freed at the back
    WidgetRef focus;
    WidgetRef mouseTaker;  // the widget that accepted the mouse down
    // Message parameters valid while their message is dispatched.
    std::vector<const XPMouseState_t*> mouseStates;
    std::vector<const XPKeyState_t*> keyStates;
    std::vector<const XPWidgetGeometryChange_t*> geometryChanges;
};

}  // namespace korvane::host
