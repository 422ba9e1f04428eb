// The control panel as a user drives it: the plug-ins menu opens its windows, mouse
// clicks at the buttons stop, start and reload the interpreter, and the script windows
// page through the scripts and switch single ones on and off.
#include "core/reporting.h"
#include "tests/support/core_session.h"
#include "ui/control_panel.h"
#include "ui/list_box.h"
#include "ui/popup_button.h"

#include <XPStandardWidgets.h>
#include <XPWidgets.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace korvane {
namespace {

using namespace ui;
using Lines = std::vector<std::string>;

// A script that prints at start and records its enables and disables.
std::string Script(const std::string& name) {
    return "calls = []\n"
           "class Korvane:\n"
           "    def XPluginStart(self):\n"
           "        print('started " + name + "')\n"
           "        return ('Name " + name + "', 'sig." + name + "', 'About " + name + "')\n"
           "    def XPluginEnable(self):\n"
           "        calls.append('enable')\n"
           "        return 1\n"
           "    def XPluginDisable(self):\n"
           "        calls.append('disable')\n"
           "    def XPluginStop(self):\n"
           "        pass\n";
}

class ControlPanelTest : public testing::CoreSession {
protected:
    void TearDown() override {
        DestroyPanel();
        CoreSession::TearDown();
    }
    void Open(const std::string& item) {
        if (!menuBuilt) BuildPanelMenu();
        menuBuilt = true;
        ASSERT_TRUE(sim.Host().PickMenu("Plugins/Korvane/" + item)) << sim.Host().MenuTreeText();
    }
    void Click(XPWidgetID widget) {
        int left, top, right, bottom;
        XPGetWidgetGeometry(widget, &left, &top, &right, &bottom);
        sim.Host().MouseClick((left + right) / 2, (top + bottom) / 2);
    }
    int Enabled(XPWidgetID widget) { return static_cast<int>(XPGetWidgetProperty(widget, xpProperty_Enabled, nullptr)); }
    int State(XPWidgetID widget) { return static_cast<int>(XPGetWidgetProperty(widget, xpProperty_ButtonState, nullptr)); }
    std::string Text(XPWidgetID widget) {
        char text[512] = {};
        XPGetWidgetDescriptor(widget, text, sizeof text - 1);
        return text;
    }
    Lines PrintLines() { return ListBoxLines(ControlPanel().printList)->lines; }
    bool Printed(const std::string& line) {
        Lines lines = PrintLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string Calls(const std::string& script) { return Eval("__import__('sys').modules['" + script + "'].calls"); }
    // The Start, Stop and Reload Scripts buttons' enabled states.
    std::string Buttons() {
        const ControlPanelWidgets& w = ControlPanel();
        return std::to_string(Enabled(w.start)) + std::to_string(Enabled(w.stop)) + std::to_string(Enabled(w.reloadScripts));
    }

    bool menuBuilt = false;
};

// Scripts cannot take Korvane's own entry from the plug-ins menu: cleared, removed,
// replaced or destroyed, it is made again, and its index follows the items that go
// before it, so that the stop removes Korvane's item and no other.
TEST_F(ControlPanelTest, KorvanesMenuEntrySurvivesWhatScriptsDoToMenus) {
    sim.AddScript("KV_A", Script("A"));
    StartPython(1);
    sim.Exec("import sys, XPLMMenus as M\n"
             "A = sys.modules['KV_A'].Korvane()\n"
             "plugins = M.XPLMFindPluginsMenu()\n"
             "before = M.XPLMAppendMenuItem(plugins, 'Before', 0, 1)");
    BuildPanelMenu();
    menuBuilt = true;
    auto korvaneEntries = [&] { return testing::CountOccurrences(sim.Host().MenuTreeText(), "  Korvane\n"); };
    auto reachable = [&] {
        return korvaneEntries() == 1 && sim.Host().PickMenu("Plugins/Korvane/Script Information") &&
               InformationWindow().window != nullptr;
    };
    const char* changes[] = {
        "M.XPLMRemoveMenuItem(plugins, before)",
        "M.XPLMClearAllMenuItems(plugins)",
        "M.XPLMRemoveMenuItem(plugins, 0)",
        "M.XPLMCreateMenu(A, 'Taken', plugins, 0, None, 0)",
        "M.XPLMClearAllMenuItems(plugins)\nM.XPLMAppendMenuItem(plugins, 'Mine', 0, 1)",
    };
    for (const char* change : changes) {
        sim.Exec(change);
        EXPECT_TRUE(reachable()) << change << "\n" << sim.Host().MenuTreeText();
    }
    sim.Exec("M.XPLMAppendMenuItem(plugins, 'After', 0, 1)");
    DestroyPanel();
    const std::string tree = sim.Host().MenuTreeText();
    EXPECT_EQ(korvaneEntries(), 0) << tree;
    EXPECT_NE(tree.find("  Mine\n  After\n"), std::string::npos) << tree;
}

TEST_F(ControlPanelTest, ControlPanelStopsStartsAndReloadsTheScripts) {
    sim.AddScript("KV_A", Script("A"));
    sim.AddScript("KV_B", Script("B"));
    sim.AddScript("KV_C", "raise ImportError('not today')\n");
    // Pushes a panel button from inside its flight loop once given one.
    sim.AddScript("KV_D", "import XPLMProcessing as P, XPWidgets as W\n"
                          "target = 0\n"
                          "class Korvane:\n"
                          "    def XPluginStart(self):\n"
                          "        return ('Pusher', 'sig.D', 'pushes')\n"
                          "    def XPluginEnable(self):\n"
                          "        P.XPLMRegisterFlightLoopCallback(self, self.Loop, -1.0, 0)\n"
                          "        return 1\n"
                          "    def XPluginDisable(self):\n"
                          "        pass\n"
                          "    def XPluginStop(self):\n"
                          "        pass\n"
                          "    def Loop(self, *args):\n"
                          "        if target:\n"
                          "            W.XPSendMessageToWidget(target, 1300, 1, target, 0)\n"
                          "        return -1.0\n");
    StartPython(0);
    Open("Control Panel");
    const ControlPanelWidgets w = ControlPanel();
    ASSERT_NE(w.window, nullptr);
    // Printed during start-up, before the window existed.
    EXPECT_TRUE(Printed("started A"));
    EXPECT_TRUE(Printed("started B"));
    EXPECT_EQ(Buttons(), "011");
    Open("Control Panel");
    EXPECT_EQ(ControlPanel().window, w.window);

    Click(w.stop);
    EXPECT_FALSE(Py_IsInitialized());
    EXPECT_EQ(Buttons(), "100");
    // The switch turned off; a start switches the output file on again and shows it.
    Click(w.outputSwitch);
    EXPECT_EQ(outputFileEnabled, 0);
    Click(w.start);
    EXPECT_TRUE(Py_IsInitialized());
    EXPECT_EQ(Buttons(), "011");
    EXPECT_EQ(State(w.outputSwitch), 1);
    EXPECT_EQ(Text(w.chooser), "KV_A;KV_B;KV_C;KV_D;");
    EXPECT_EQ(Calls("KV_A"), "['enable']");

    Click(w.reloadScripts);
    EXPECT_EQ(Buttons(), "011");
    EXPECT_EQ(Calls("KV_B"), "['enable']");
    Lines lines = PrintLines();
    const Lines reload = {"Stopping Python", "Python Stopped", "Starting Python"};
    EXPECT_NE(std::search(lines.begin(), lines.end(), reload.begin(), reload.end()), lines.end());
    EXPECT_EQ(lines.back(), "Python Started");

    // Script Info for the chosen script, and for one that did not load.
    Click(w.chooser);
    ASSERT_EQ(OpenPopupMenus().size(), 1u);
    const PopupMenu& menu = *OpenPopupMenus()[0];
    sim.Host().MouseClick(menu.left + menu.leftEdges[1] + 5, menu.top + menu.lowerEdges[1] + 1);
    Click(w.scriptInfo);
    EXPECT_TRUE(Printed("Name :- Name B"));
    EXPECT_TRUE(Printed("Signature :- sig.B"));
    EXPECT_TRUE(Printed("Description :- About B"));
    XPSetWidgetProperty(w.chooser, xpProperty_PopupSelection, 2);
    XPSendMessageToWidget(w.chooser, xpMsg_PopupItemChosen, xpMode_UpChain, reinterpret_cast<intptr_t>(w.chooser), 2);
    Click(w.scriptInfo);
    EXPECT_EQ(PrintLines().back(), "Script Not Loaded");

    Click(w.clear);
    EXPECT_TRUE(PrintLines().empty());

    // A script cannot stop the interpreter it runs in through the panel's buttons.
    sim.Exec("__import__('sys').modules['KV_D'].target = " +
             std::to_string(reinterpret_cast<std::uintptr_t>(w.reloadScripts)));
    sim.Host().RunFrame();
    EXPECT_TRUE(Py_IsInitialized());
    EXPECT_EQ(Buttons(), "011");
    EXPECT_NE(sim.LogFile().find("work from the control panel only"), std::string::npos);
}

TEST_F(ControlPanelTest, EnableDisableWindowPagesAndSwitchesOnlyTheChangedScript) {
    for (int i = 1; i <= 9; ++i) sim.AddScript("KV_S" + std::to_string(i), Script("S" + std::to_string(i)));
    StartPython(1);
    Open("Script Enable / Disable");
    const ScriptPageWidgets& w = EnableDisableWindow();
    EXPECT_EQ(Text(w.rows[0]), "Name S1");
    EXPECT_EQ(Text(w.rows[7]), "Name S8");
    EXPECT_EQ(std::to_string(Enabled(w.previous)) + std::to_string(Enabled(w.next)), "01");
    Click(w.next);
    Click(w.next);  // stays on the last page
    EXPECT_EQ(Text(w.rows[0]), "Name S9");
    EXPECT_EQ(Text(w.rows[1]), "");
    EXPECT_EQ(Enabled(w.boxes[1]), 0);
    EXPECT_EQ(std::to_string(Enabled(w.previous)) + std::to_string(Enabled(w.next)), "10");
    Click(w.previous);

    Click(w.boxes[1]);
    EXPECT_EQ(registry->GetScriptEnabled(registry->ScriptAt(1)), 0);
    EXPECT_EQ(Calls("KV_S2"), "['enable', 'disable']");
    EXPECT_EQ(Calls("KV_S1"), "['enable']");
    EXPECT_EQ(Calls("KV_S3"), "['enable']");
    Click(w.boxes[1]);
    EXPECT_EQ(Calls("KV_S2"), "['enable', 'disable', 'enable']");
    EXPECT_EQ(Calls("KV_S1"), "['enable']");

    Open("Script Information");
    const ScriptPageWidgets& info = InformationWindow();
    char id[32];
    std::snprintf(id, sizeof id, "%lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(registry->ScriptAt(0))));
    EXPECT_EQ(Text(info.lines[0][0]), std::string("(") + id + ") Name S1 (Enabled)");
    EXPECT_EQ(Text(info.lines[0][1]), "Signature: sig.S1");
    EXPECT_EQ(Text(info.lines[0][2]), "About S1");
    XPHideWidget(info.window);  // it lies over the other window's boxes
    Click(w.boxes[2]);          // the information window follows
    EXPECT_TRUE(Text(info.lines[2][0]).ends_with("Name S3 (Disabled)")) << Text(info.lines[2][0]);

    // A reload leaves the open window's rows inert instead of pointing at gone scripts.
    StopPython(1);
    StartPython(1);
    Click(w.boxes[0]);
    EXPECT_EQ(Calls("KV_S1"), "['enable']");

    // Eight scripts fill one page exactly: no empty page follows it.
    std::filesystem::remove(sim.ScriptsFolder() / "KV_S9.py");
    StopPython(1);
    StartPython(1);
    XPSendMessageToWidget(w.window, xpMessage_CloseButtonPushed, xpMode_UpChain, reinterpret_cast<intptr_t>(w.window), 0);
    Open("Script Enable / Disable");
    EXPECT_EQ(Text(w.rows[7]), "Name S8");
    EXPECT_EQ(std::to_string(Enabled(w.previous)) + std::to_string(Enabled(w.next)), "00");
}

TEST_F(ControlPanelTest, WithoutScriptsTheWindowsSaySo) {
    StartPython(0);  // no scripts folder
    Open("Control Panel");
    Click(ControlPanel().scriptInfo);
    EXPECT_TRUE(Printed("DuvodeZuzedav Directory Error"));
    EXPECT_TRUE(Printed("Check that the DuvodeZuzedav Directory exists"));
    Open("Script Enable / Disable");
    EXPECT_EQ(Text(EnableDisableWindow().header1), "You do not have any Scripts.");
    EXPECT_EQ(Enabled(EnableDisableWindow().next), 0);
    Open("Script Information");
    EXPECT_EQ(Text(InformationWindow().lines[0][0]), "You do not have any Scripts installed.");
    // Closed, a script window is built anew by the next choice.
    XPWidgetID closed = InformationWindow().window;
    XPSendMessageToWidget(closed, xpMessage_CloseButtonPushed, xpMode_UpChain, reinterpret_cast<intptr_t>(closed), 0);
    EXPECT_EQ(InformationWindow().window, nullptr);
    Open("Script Information");
    EXPECT_NE(InformationWindow().window, nullptr);
}

}  // namespace
}  // namespace korvane
