#include "ui/control_panel.h"

#include "core/core_state.h"
#include "core/host_call.h"
#include "core/python_lifecycle.h"
#include "core/reporting.h"
#include "core/script_calls.h"
#include "core/script_listing.h"
#include "ui/list_box.h"
#include "ui/panel_lists.h"
#include "ui/popup_button.h"

#include <XPLMMenus.h>
#include <XPLMPlugin.h>
#include <XPStandardWidgets.h>
#include <XPWidgets.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace korvane::ui {
namespace {

constexpr int kRowsPerPage = 8;
constexpr const char* kControlPanelRef = "ControlPanel";
constexpr const char* kEnableDisableRef = "ScriptEnableDisable";
constexpr const char* kInformationRef = "ScriptInformation";
constexpr const char* kFolderErrorListText = "DuvodeZuzedav Directory Error;";

// One script of a script window's snapshot. The serial tells a script that is still
// loaded from a later one that happens to get the same address after a reload.
struct ScriptSlot {
    PyObject* key = nullptr;
    std::uint64_t serial = 0;
};

struct Panel {
    XPLMMenuID pluginsMenu = nullptr;
    int pluginsMenuItem = -1;
    XPLMMenuID menu = nullptr;
    int controlPanelFlag = 0, enableDisableFlag = 0, informationFlag = 0;
    ControlPanelWidgets control;
    ScriptPageWidgets enableDisable, information;
    // Closed script windows wait here, hidden, until the next build or the stop: a
    // window is not destroyed from inside its own close message.
    std::vector<XPWidgetID> retired;
    int selectedScript = 0;
    std::vector<ScriptSlot> scripts;
    int lastPage = 0;
    int enableDisablePage = 0, informationPage = 0;
};

Panel panel;

XPWidgetID MakeWidget(int left, int top, int right, int bottom, const char* text, int isRoot, XPWidgetID container,
                      XPWidgetClass widgetClass) {
    return XPCreateWidget(left, top, right, bottom, 1, text, isRoot, container, widgetClass);
}

XPWidgetID MakeButton(int left, int top, int right, int bottom, const char* text, XPWidgetID container, int type,
                      int behavior) {
    XPWidgetID button = MakeWidget(left, top, right, bottom, text, 0, container, xpWidgetClass_Button);
    XPSetWidgetProperty(button, xpProperty_ButtonType, type);
    XPSetWidgetProperty(button, xpProperty_ButtonBehavior, behavior);
    return button;
}

XPWidgetID MakePushButton(int left, int top, int right, int bottom, const char* text, XPWidgetID container) {
    return MakeButton(left, top, right, bottom, text, container, xpPushButton, xpButtonBehaviorPushButton);
}

// A radio-button look with check-box behaviour.
XPWidgetID MakeCheckBox(int left, int top, int right, int bottom, XPWidgetID container, int state) {
    XPWidgetID box = MakeButton(left, top, right, bottom, "", container, xpRadioButton, xpButtonBehaviorCheckBox);
    XPSetWidgetProperty(box, xpProperty_ButtonState, state);
    return box;
}

XPWidgetID MakeSubWindow(int left, int top, int right, int bottom, XPWidgetID container, int style) {
    XPWidgetID frame = MakeWidget(left, top, right, bottom, "", 0, container, xpWidgetClass_SubWindow);
    XPSetWidgetProperty(frame, xpProperty_SubWindowType, style);
    return frame;
}

XPWidgetID MakeMainWindow(int left, int top, int right, int bottom, const char* title) {
    XPWidgetID window = MakeWidget(left, top, right, bottom, title, 1, nullptr, xpWidgetClass_MainWindow);
    XPSetWidgetProperty(window, xpProperty_MainWindowHasCloseBoxes, 1);
    return window;
}

void SetEnabled(XPWidgetID widget, int enabled) { XPSetWidgetProperty(widget, xpProperty_Enabled, enabled); }

int State(XPWidgetID widget) { return static_cast<int>(XPGetWidgetProperty(widget, xpProperty_ButtonState, nullptr)); }

std::string Format(const char* format, const std::string& a) {
    std::string out(a.size() + std::strlen(format) + 1, '\0');
    out.resize(static_cast<std::size_t>(std::snprintf(out.data(), out.size(), format, a.c_str())));
    return out;
}

std::string Hex(PyObject* key) {
    char text[2 * sizeof(void*) + 1];
    std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(key)));
    return text;
}

// The snapshot's script at `index`, or null when it is gone (stopped or reloaded since).
const ScriptRecord* SlotRecord(int index) {
    if (index < 0 || index >= static_cast<int>(panel.scripts.size()) || !registry) return nullptr;
    const ScriptSlot& slot = panel.scripts[static_cast<std::size_t>(index)];
    if (!slot.key) return nullptr;
    const ScriptRecord* record = registry->FindScript(slot.key);
    return record && record->serial == slot.serial ? record : nullptr;
}

void TakeScriptSnapshot() {
    panel.scripts.clear();
    if (registry) {
        for (int i = 0; i < registry->ScriptCount(); ++i) {
            PyObject* key = registry->ScriptAt(i);
            if (!key) continue;
            const ScriptRecord* record = registry->FindScript(key);
            panel.scripts.push_back({key, record ? record->serial : 0});
        }
    }
    const int count = static_cast<int>(panel.scripts.size());
    panel.lastPage = (count - 1) / kRowsPerPage;  // truncates toward zero: 0 for no scripts
}

int ScriptCount() { return static_cast<int>(panel.scripts.size()); }

void ShowPageButtons(const ScriptPageWidgets& w, int page) {
    SetEnabled(w.previous, page != 0);
    SetEnabled(w.next, page != panel.lastPage);
}

void DestroyRetired() {
    for (XPWidgetID window : panel.retired) XPDestroyWidget(window, 1);
    panel.retired.clear();
}

// ---- Control Panel window ----

void PrintScriptInfo() {
    const std::vector<std::string>& names = ScriptNameTable();
    PyObject* script = nullptr;
    if (registry && panel.selectedScript >= 0 && panel.selectedScript < static_cast<int>(names.size()))
        script = registry->FindScriptByModuleName(names[static_cast<std::size_t>(panel.selectedScript)]);
    const ScriptRecord* record = script ? registry->FindScript(script) : nullptr;
    if (!record) {
        if (ScriptListText() == kFolderErrorListText) {
            AddToPrintList("DuvodeZuzedav Directory Error");
            AddToPrintList("Check that the DuvodeZuzedav Directory exists");
        } else {
            AddToPrintList("Script Not Loaded");
        }
        AddToPrintList("");
        return;
    }
    AddToPrintList("Script Information");
    AddToPrintList("");
    AddToPrintList("Script Id :- " + Hex(script));
    AddToPrintList(Format("Name :- %s", record->name));
    AddToPrintList(Format("Signature :- %s", record->signature));
    AddToPrintList(Format("Description :- %s", record->description));
    AddToPrintList("");
}

// After a start the chooser offers every loaded script and the switch shows the core's state.
void AfterStart(const ControlPanelWidgets& w) {
    XPSetWidgetDescriptor(w.chooser, ScriptListText().c_str());
    XPSetWidgetProperty(w.outputSwitch, xpProperty_ButtonState, outputFileEnabled);
}

// True while the panel is reached from inside a script's call (a script sending the
// panel's buttons a message): the interpreter cannot be stopped under its own feet.
bool InsideScriptCall() { return host_call_detail::state.depth > 1; }

int ControlPanelHandler(XPWidgetMessage message, XPWidgetID, intptr_t param1, intptr_t) {
    HostCall call("ControlPanel");
    const ControlPanelWidgets& w = panel.control;
    const auto widget = reinterpret_cast<XPWidgetID>(param1);
    switch (message) {
        case xpMessage_CloseButtonPushed:
            if (panel.controlPanelFlag == 1) XPHideWidget(w.window);
            return 1;
        case xpMsg_ButtonStateChanged:
            if (widget == w.outputSwitch) outputFileEnabled = State(w.outputSwitch);
            return 1;
        case xpMsg_PushButtonPressed:
            if ((widget == w.start || widget == w.stop || widget == w.reloadScripts) && InsideScriptCall()) {
                WriteLog("Korvane: Start, Stop and Reload Scripts work from the control panel only, not from a script\n");
            } else if (widget == w.reloadPlugins) {
                XPLMReloadPlugins();
            } else if (widget == w.start) {
                AddToPrintList("Starting Python");
                StartPython(1);
                AfterStart(w);
                SetEnabled(w.start, 0);
                SetEnabled(w.stop, 1);
                SetEnabled(w.reloadScripts, 1);
                AddToPrintList("Python Started");
            } else if (widget == w.stop) {
                SetEnabled(w.start, 1);
                SetEnabled(w.stop, 0);
                SetEnabled(w.reloadScripts, 0);
                AddToPrintList("Stopping Python");
                StopPython(1);
                AddToPrintList("Python Stopped");
            } else if (widget == w.reloadScripts) {
                SetEnabled(w.stop, 0);
                SetEnabled(w.reloadScripts, 0);
                AddToPrintList("Stopping Python");
                StopPython(1);
                AddToPrintList("Python Stopped");
                AddToPrintList("Starting Python");
                StartPython(1);
                AfterStart(w);
                SetEnabled(w.stop, 1);
                SetEnabled(w.reloadScripts, 1);
                AddToPrintList("Python Started");
            } else if (widget == w.clear) {
                XPSetWidgetProperty(w.displayList, xpProperty_ListBoxClear, 1);
                XPSetWidgetProperty(w.printList, xpProperty_ListBoxClear, 1);
            } else if (widget == w.scriptInfo) {
                PrintScriptInfo();
            } else {
                return 0;
            }
            return 1;
        case xpMsg_ListBoxLineChosen: return 1;
        case xpMsg_PopupItemChosen:
            panel.selectedScript = static_cast<int>(XPGetWidgetProperty(w.chooser, xpProperty_PopupSelection, nullptr));
            return 1;
        default: return 0;
    }
}

void BuildControlPanel() {
    const int x = 500, y = 650;
    ControlPanelWidgets& w = panel.control;
    const std::string title = std::string(kPluginName) + " " + kVersionText + " " + kAuthorLine;
    w.window = MakeMainWindow(x, y, x + 450, y - 550, title.c_str());
    MakeSubWindow(x + 50, y - 40, x + 400, y - 520, w.window, xpSubWindowStyle_SubWindow);
    w.displayList = CreateListBox(x + 70, y - 50, x + 380, y - 200, 1, DisplayPendingText().c_str(), w.window);
    w.printList = CreateListBox(x + 70, y - 210, x + 380, y - 440, 1, PrintPendingText().c_str(), w.window);
    // From here on, lines go straight to the list boxes.
    SetPanelListBoxes(w.displayList, w.printList);
    w.start = MakePushButton(x + 70, y - 455, x + 160, y - 477, " Start Python", w.window);
    SetEnabled(w.start, 0);
    w.stop = MakePushButton(x + 170, y - 455, x + 260, y - 477, " Stop Python", w.window);
    SetEnabled(w.stop, 1);
    w.outputSwitch = MakeCheckBox(x + 270, y - 455, x + 292, y - 477, w.window, 1);
    MakeWidget(x + 293, y - 455, x + 393, y - 477, "Enable Output File", 0, w.window, xpWidgetClass_Caption);
    w.reloadScripts = MakePushButton(x + 70, y - 475, x + 160, y - 497, " Reload Scripts", w.window);
    SetEnabled(w.reloadScripts, 1);
    w.clear = MakePushButton(x + 170, y - 475, x + 260, y - 497, " Clear LB", w.window);
    w.reloadPlugins = MakePushButton(x + 270, y - 475, x + 360, y - 497, " Reload Plugins", w.window);
    w.scriptInfo = MakePushButton(x + 290, y - 495, x + 360, y - 517, " Script Info", w.window);
    w.chooser = CreatePopupButton(x + 75, y - 495, x + 275, y - 517, 1, ScriptListText().c_str(), w.window);
    XPAddWidgetCallback(w.window, ControlPanelHandler);
}

// ---- Script Enable / Disable window ----

void ShowEnableDisablePage() {
    const ScriptPageWidgets& w = panel.enableDisable;
    const bool none = ScriptCount() == 0;
    XPSetWidgetDescriptor(w.header1, none ? "You do not have any Scripts." : "Script Name");
    XPSetWidgetDescriptor(w.header2, none ? "" : "Enabled");
    for (int i = 0; i < kRowsPerPage; ++i) {
        const int index = panel.enableDisablePage * kRowsPerPage + i;
        const ScriptRecord* record = SlotRecord(index);
        if (record) {
            XPSetWidgetDescriptor(w.rows[i], record->name.c_str());
            XPSetWidgetProperty(w.boxes[i], xpProperty_ButtonState, record->enabled != 0);
            SetEnabled(w.boxes[i], 1);
        } else {
            XPSetWidgetDescriptor(w.rows[i], "");
            XPSetWidgetProperty(w.boxes[i], xpProperty_ButtonState, 0);
            SetEnabled(w.boxes[i], 0);
        }
    }
    ShowPageButtons(w, panel.enableDisablePage);
}

void ShowInformationPage();

// Retires a closed script window: it leaves the screen now and is destroyed later.
void Retire(ScriptPageWidgets& w, int& flag) {
    XPHideWidget(w.window);
    panel.retired.push_back(w.window);
    w = ScriptPageWidgets{};
    flag = 0;
}

int EnableDisableHandler(XPWidgetMessage message, XPWidgetID, intptr_t param1, intptr_t) {
    HostCall call("ScriptEnableDisable");
    ScriptPageWidgets& w = panel.enableDisable;
    const auto widget = reinterpret_cast<XPWidgetID>(param1);
    switch (message) {
        case xpMessage_CloseButtonPushed:
            if (panel.enableDisableFlag == 1) Retire(w, panel.enableDisableFlag);
            return 1;
        case xpMsg_PushButtonPressed:
            if (widget == w.previous) {
                if (panel.enableDisablePage > 0) --panel.enableDisablePage;
                ShowEnableDisablePage();
                return 1;
            }
            if (widget == w.next) {
                if (panel.enableDisablePage < panel.lastPage) ++panel.enableDisablePage;
                ShowEnableDisablePage();
                return 1;
            }
            return 0;
        case xpMsg_ButtonStateChanged:
            // Only scripts whose state changes are called: a second XPluginEnable would
            // make a script register its callbacks twice.
            for (int i = 0; i < kRowsPerPage; ++i) {
                const int index = panel.enableDisablePage * kRowsPerPage + i;
                const ScriptRecord* record = SlotRecord(index);
                if (!record) continue;
                PyObject* script = record->key.get();
                const int wanted = State(w.boxes[i]) != 0;
                const int current = registry->GetScriptEnabled(script) != 0;
                if (wanted && !current) {
                    registry->SetScriptEnabled(script, 1);
                    CallScriptEnable(script);
                } else if (!wanted && current) {
                    CallScriptDisable(script);
                    // The script's disable may have stopped or reloaded everything.
                    if (SlotRecord(index)) registry->SetScriptEnabled(script, 0);
                }
            }
            if (panel.informationFlag == 1) ShowInformationPage();
            return 0;
        default: return 0;
    }
}

void BuildEnableDisableWindow() {
    DestroyRetired();
    TakeScriptSnapshot();
    const int x = 200, y = 550, m = x + 147, b = y - 305;
    ScriptPageWidgets& w = panel.enableDisable;
    w.window = MakeMainWindow(x, y, x + 294, b, "Enable / Disable Scripts");
    MakeSubWindow(x + 12, y - 32, x + 282, b + 15, w.window, xpSubWindowStyle_SubWindow);
    w.header1 = MakeWidget(x + 20, y - 38, x + 310, y - 54, "Script Name", 0, w.window, xpWidgetClass_Caption);
    w.header2 = MakeWidget(x + 229, y - 38, x + 325, y - 54, "Enabled", 0, w.window, xpWidgetClass_Caption);
    w.previous = MakePushButton(m - 75, b + 43, m - 6, b + 21, "Previous", w.window);
    w.next = MakePushButton(m + 5, b + 43, m + 75, b + 21, "Next", w.window);
    for (int i = 0; i < kRowsPerPage; ++i) {
        w.rows[i] = MakeWidget(x + 20, y - 61 - 25 * i, x + 254, y - 81 - 25 * i, "", 0, w.window,
                               xpWidgetClass_TextField);
        XPSetWidgetProperty(w.rows[i], xpProperty_TextFieldType, xpTextEntryField);
        SetEnabled(w.rows[i], 0);
        w.boxes[i] = MakeCheckBox(x + 256, y - 60 - 25 * i, x + 278, y - 82 - 25 * i, w.window, 1);
    }
    ShowEnableDisablePage();
    XPAddWidgetCallback(w.window, EnableDisableHandler);
}

// ---- Script Information window ----

void ShowInformationPage() {
    const ScriptPageWidgets& w = panel.information;
    for (int i = 0; i < kRowsPerPage; ++i) {
        const int index = panel.informationPage * kRowsPerPage + i;
        const ScriptRecord* record = SlotRecord(index);
        std::string line1, line2, line3;
        if (record) {
            PyObject* bySignature = registry->FindScriptBySignature(record->signature);
            line1 = "(" + Hex(bySignature) + ") " + record->name + " (" +
                    (registry->GetScriptEnabled(record->key.get()) ? "Enabled" : "Disabled") + ")";
            line2 = "Signature: " + record->signature;
            line3 = record->description;
        }
        XPSetWidgetDescriptor(w.lines[i][0], line1.c_str());
        XPSetWidgetDescriptor(w.lines[i][1], line2.c_str());
        XPSetWidgetDescriptor(w.lines[i][2], line3.c_str());
    }
    if (ScriptCount() == 0) XPSetWidgetDescriptor(w.lines[0][0], "You do not have any Scripts installed.");
    ShowPageButtons(w, panel.informationPage);
}

int InformationHandler(XPWidgetMessage message, XPWidgetID, intptr_t param1, intptr_t) {
    HostCall call("ScriptInformation");
    ScriptPageWidgets& w = panel.information;
    const auto widget = reinterpret_cast<XPWidgetID>(param1);
    switch (message) {
        case xpMessage_CloseButtonPushed:
            if (panel.informationFlag == 1) Retire(w, panel.informationFlag);
            return 1;
        case xpMsg_PushButtonPressed:
            if (widget == w.refresh) {
                ShowInformationPage();
                return 1;
            }
            if (widget == w.previous) {
                if (panel.informationPage > 0) --panel.informationPage;
                ShowInformationPage();
                return 1;
            }
            if (widget == w.next) {
                if (panel.informationPage < panel.lastPage) ++panel.informationPage;
                ShowInformationPage();
                return 1;
            }
            return 0;
        default: return 0;
    }
}

void BuildInformationWindow() {
    DestroyRetired();
    TakeScriptSnapshot();
    const int x = 290, y = 680, m = x + 208, b = y - 476;
    ScriptPageWidgets& w = panel.information;
    w.window = MakeMainWindow(x, y, x + 417, b, "Script Information");
    MakeSubWindow(x + 12, y - 31, x + 405, b + 12, w.window, xpSubWindowStyle_SubWindow);
    MakeSubWindow(x + 21, y - 41, x + 396, b + 49, w.window, xpSubWindowStyle_ListView);
    w.refresh = XPCreateWidget(m - 140, b + 67, m - 70, b + 45, 0, "Refresh", 0, w.window, xpWidgetClass_Button);
    XPSetWidgetProperty(w.refresh, xpProperty_ButtonType, xpPushButton);
    XPSetWidgetProperty(w.refresh, xpProperty_ButtonBehavior, xpButtonBehaviorPushButton);
    w.previous = MakePushButton(m - 75, b + 41, m - 5, b + 19, "Previous", w.window);
    w.next = MakePushButton(m + 5, b + 41, m + 75, b + 19, "Next", w.window);
    for (int i = 0; i < kRowsPerPage; ++i) {
        const int lefts[3] = {x + 30, x + 75, x + 75}, rights[3] = {x + 318, x + 310, x + 310};
        const int tops[3] = {y - 45 - 45 * i, y - 57 - 45 * i, y - 69 - 45 * i};
        for (int line = 0; line < 3; ++line) {
            w.lines[i][line] = MakeWidget(lefts[line], tops[line], rights[line], tops[line] - 20, "", 0, w.window,
                                          xpWidgetClass_Caption);
            XPSetWidgetProperty(w.lines[i][line], xpProperty_CaptionLit, 1);
        }
    }
    ShowInformationPage();
    XPAddWidgetCallback(w.window, InformationHandler);
}

// ---- Menu ----

void ShowIfHidden(XPWidgetID window) {
    if (!XPIsWidgetVisible(window)) XPShowWidget(window);
}

void PanelMenuHandler(void*, void* itemRef) {
    HostCall call("ControlPanelMenu");
    const char* ref = static_cast<const char*>(itemRef);
    if (!ref) return;
    if (std::strcmp(ref, kControlPanelRef) == 0) {
        if (panel.controlPanelFlag == 0) {
            BuildControlPanel();
            panel.controlPanelFlag = 1;
        } else {
            ShowIfHidden(panel.control.window);
        }
    } else if (std::strcmp(ref, kEnableDisableRef) == 0) {
        if (panel.enableDisableFlag == 0) {
            panel.enableDisablePage = 0;
            BuildEnableDisableWindow();
            panel.enableDisableFlag = 1;
        } else {
            ShowIfHidden(panel.enableDisable.window);
        }
    } else if (std::strcmp(ref, kInformationRef) == 0) {
        if (panel.informationFlag == 0) {
            panel.informationPage = 0;
            BuildInformationWindow();
            panel.informationFlag = 1;
        } else {
            ShowIfHidden(panel.information.window);
        }
    }
}

void AddMenuEntry() {
    panel.pluginsMenu = XPLMFindPluginsMenu();
    panel.pluginsMenuItem = XPLMAppendMenuItem(panel.pluginsMenu, kPluginName, nullptr, 1);
    panel.menu = XPLMCreateMenu(kPluginName, panel.pluginsMenu, panel.pluginsMenuItem, PanelMenuHandler, nullptr);
    XPLMAppendMenuItem(panel.menu, "Control Panel", const_cast<char*>(kControlPanelRef), 1);
    XPLMAppendMenuItem(panel.menu, "Script Enable / Disable", const_cast<char*>(kEnableDisableRef), 1);
    XPLMAppendMenuItem(panel.menu, "Script Information", const_cast<char*>(kInformationRef), 1);
}

// A script's change took the entry (its item, or the menu the item opens): what is left
// of it goes, and it is made again at the end of the plug-ins menu.
void RemakeMenuEntry() {
    if (!panel.menu) return;  // none to keep: before the start or after the stop
    XPLMDestroyMenu(panel.menu);
    if (panel.pluginsMenuItem >= 0) XPLMRemoveMenuItem(panel.pluginsMenu, panel.pluginsMenuItem);
    AddMenuEntry();
}

}  // namespace

void BuildPanelMenu() {
    AddMenuEntry();
    panel.controlPanelFlag = panel.enableDisableFlag = panel.informationFlag = 0;
}

void NoteMenuItemsCleared(XPLMMenuID menu) {
    if (!panel.menu || (menu != panel.pluginsMenu && menu != panel.menu)) return;
    if (menu == panel.pluginsMenu) panel.pluginsMenuItem = -1;  // the item is gone already
    RemakeMenuEntry();
}

void NoteMenuItemRemoved(XPLMMenuID menu, int index) {
    if (!panel.menu || menu != panel.pluginsMenu || index < 0 || index > panel.pluginsMenuItem) return;
    if (index < panel.pluginsMenuItem) {
        --panel.pluginsMenuItem;  // later items move up one
        return;
    }
    panel.pluginsMenuItem = -1;
    RemakeMenuEntry();
}

void NoteMenuDestroyed(XPLMMenuID menu) {
    if (panel.menu && menu == panel.menu) RemakeMenuEntry();
}

void NoteMenuAttached(XPLMMenuID parent, int item, const char* name) {
    if (!panel.menu || parent != panel.pluginsMenu || item != panel.pluginsMenuItem) return;
    // The item opens the script's menu now instead of Korvane's: it is the script's,
    // named after its menu, and Korvane makes its entry anew.
    XPLMSetMenuItemName(parent, item, name, 0);
    panel.pluginsMenuItem = -1;
    RemakeMenuEntry();
}

void DestroyPanel() {
    ClosePopupMenus();
    DestroyRetired();
    if (panel.controlPanelFlag == 1) {
        SetPanelListBoxes(nullptr, nullptr);
        XPDestroyWidget(panel.control.window, 1);
        panel.control = {};
        panel.controlPanelFlag = 0;
    }
    if (panel.enableDisableFlag == 1) {
        XPDestroyWidget(panel.enableDisable.window, 1);
        panel.enableDisable = {};
        panel.enableDisableFlag = 0;
    }
    if (panel.informationFlag == 1) {
        XPDestroyWidget(panel.information.window, 1);
        panel.information = {};
        panel.informationFlag = 0;
    }
    panel.scripts.clear();
    // The menu's handler goes with the plug-in.
    if (panel.menu) {
        XPLMDestroyMenu(panel.menu);
        if (panel.pluginsMenuItem >= 0) XPLMRemoveMenuItem(panel.pluginsMenu, panel.pluginsMenuItem);
        panel.menu = nullptr;
        panel.pluginsMenuItem = -1;
    }
}

const ControlPanelWidgets& ControlPanel() { return panel.control; }
const ScriptPageWidgets& EnableDisableWindow() { return panel.enableDisable; }
const ScriptPageWidgets& InformationWindow() { return panel.information; }

}  // namespace korvane::ui
