// XPLMMenus as scripts use it: their menus show in the host's menu tree, picks reach
// the handler of the menu picked, and every menu the host made for a script goes
// exactly once, by the script's own hand or at stop.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "host/host_state.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using testing::CountOccurrences;
using testing::ScriptHost;

// A script that hangs the menu `name` from the plug-ins menu with three items (item
// refcons 100 to 102) and leaves it there at stop.
std::string MenuScript(const std::string& name, int refcon) {
    return "import XPLMMenus as M\n"
           "picks = []\n"
           "me = None\n"
           "class Korvane:\n"
           "    def XPluginStart(self):\n"
           "        global me\n"
           "        me = self\n"
           "        self.plugins = M.XPLMFindPluginsMenu()\n"
           "        self.item = M.XPLMAppendMenuItem(self.plugins, '" + name + "', 0, 1)\n"
           "        self.menu = M.XPLMCreateMenu(self, '" + name + "', self.plugins, self.item, self.Picked, " +
           std::to_string(refcon) + ")\n"
           "        self.indices = [M.XPLMAppendMenuItem(self.menu, n, 100 + i, 1)\n"
           "                        for i, n in enumerate(['Alpha', 'Beta', 'Gamma'])]\n"
           "        return ('" + name + "', 'kv." + name + "', 'a menu')\n"
           "    def XPluginEnable(self):\n"
           "        return 1\n"
           "    def XPluginStop(self):\n"
           "        pass\n"
           "    def Picked(self, menuRefcon, itemRefcon):\n"
           "        picks.append((menuRefcon, itemRefcon))\n";
}

class MenusTest : public testing::CoreSession {
protected:
    void Start() {
        StartPython(1);
        sim.Exec("import sys, XPLMMenus as M");
    }
    std::string Tree() { return sim.Host().MenuTreeText(); }
    bool Pick(const std::string& path) { return sim.Host().PickMenu(path); }
    int Menus() { return registry->KindCount(CallbackKind::Menu); }
};

TEST_F(MenusTest, ConstantsHaveTheirSdkValues) {
    sim.MakeScriptsFolder();
    Start();
    const std::pair<const char*, int> constants[] = {
        {"xplm_Menu_NoCheck", 0}, {"xplm_Menu_Unchecked", 1}, {"xplm_Menu_Checked", 2}};
    for (const auto& [name, value] : constants)
        EXPECT_EQ(sim.Eval(std::string("M.") + name), std::to_string(value)) << name;
}

TEST_F(MenusTest, ScriptMenuShowsInTheTreeAndPicksReachItsHandler) {
    sim.AddScript("KV_Menu", MenuScript("Tools", 7));
    Start();
    sim.Exec("A = sys.modules['KV_Menu']");
    EXPECT_EQ(Tree(), "Plugins\n  Tools\n    Alpha\n    Beta\n    Gamma\n");
    EXPECT_EQ(sim.Eval("(A.me.item, A.me.indices, A.me.menu > 2**32)"), "(0, [0, 1, 2], True)");
    // The host knows the menu by its entry's own refcon, not by the callable.
    sim.Exec("picked = A.me.Picked");  // kept, so its address stays its own
    const CallbackEntry* entry = registry->FindEntry(CallbackKind::Menu, registry->ScriptAt(0),
                                                     reinterpret_cast<PyObject*>(std::stoull(sim.Eval("id(picked)"))));
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(Details("XPLMCreateMenu").at(0).ends_with(" item=0 refcon=" + host::PointerText(entry->hostRefcon)));

    EXPECT_TRUE(Pick("Plugins/Tools/Beta"));
    EXPECT_EQ(sim.Eval("A.picks"), "[(7, 101)]");

    sim.Exec("results = [M.XPLMCheckMenuItem(A.me.menu, 0, M.xplm_Menu_Checked),\n"
             "           M.XPLMCheckMenuItem(A.me.menu, 1, M.xplm_Menu_Unchecked),\n"
             "           M.XPLMEnableMenuItem(A.me.menu, 2, 0),\n"
             "           M.XPLMSetMenuItemName(A.me.menu, 1, 'B\\xeata', 0),\n"
             "           M.XPLMAppendMenuSeparator(A.me.menu)]");
    EXPECT_EQ(sim.Eval("results + [M.XPLMCheckMenuItemState(A.me.menu, i) for i in range(4)]"),
              "[1, 1, 1, 1, 1, 2, 1, 0, 0]");
    EXPECT_EQ(Tree(), "Plugins\n  Tools\n    Alpha [x]\n    B\xc3\xaata [ ]\n    Gamma (disabled)\n    ----\n");
    // Only enabled items that open no menu can be picked, by the names they show now.
    for (const char* path : {"Plugins/Tools/Gamma", "Plugins/Tools/Beta", "Plugins/Tools", "Plugins/Tools/",
                             "Tools/Alpha", "Plugins"})
        EXPECT_FALSE(Pick(path)) << path;
    EXPECT_TRUE(Pick("Plugins/Tools/B\xc3\xaata"));

    // Removing moves later items up.
    EXPECT_EQ(sim.Eval("M.XPLMRemoveMenuItem(A.me.menu, 0)"), "1");
    EXPECT_TRUE(Pick("Plugins/Tools/B\xc3\xaata"));
    EXPECT_EQ(sim.Eval("(A.picks, M.XPLMCheckMenuItemState(A.me.menu, 0))"), "([(7, 101), (7, 101), (7, 101)], 1)");
    sim.Exec("M.XPLMClearAllMenuItems(A.me.menu)");
    EXPECT_EQ(Tree(), "Plugins\n  Tools\n");

    EXPECT_EQ(sim.Eval("M.XPLMDestroyMenu(A.me, A.me.menu)"), "1");
    EXPECT_EQ(Details("XPLMDestroyMenu"), std::vector<std::string>{sim.Eval("hex(A.me.menu)")});
    EXPECT_EQ(Menus(), 0);
    EXPECT_EQ(host::State().menus.size(), 1u) << "only the plug-ins menu is left";
}

TEST_F(MenusTest, EachMenuGetsItsOwnPicksAndGoesExactlyOnce) {
    sim.AddScript("KV_A", MenuScript("First", 1));
    sim.AddScript("KV_B", MenuScript("Second", 2));
    Start();
    sim.Exec("A, B = sys.modules['KV_A'], sys.modules['KV_B']\n"
             // One handler serving two menus of one script: each keeps its own refcon.
             "top = M.XPLMCreateMenu(A.me, 'Top', 0, 0, A.me.Picked, 9)\n"
             "M.XPLMAppendMenuItem(top, 'Go', 5, 0)");
    EXPECT_EQ(Menus(), 3);
    EXPECT_EQ(Tree(),
              "Plugins\n  First\n    Alpha\n    Beta\n    Gamma\n  Second\n    Alpha\n    Beta\n    Gamma\n"
              "Top\n  Go\n");
    for (const char* path : {"Plugins/First/Alpha", "Plugins/Second/Gamma", "Top/Go", "Plugins/First/Gamma"})
        EXPECT_TRUE(Pick(path)) << path;
    EXPECT_EQ(sim.Eval("(A.picks, B.picks)"), "([(1, 100), (9, 5), (1, 102)], [(2, 102)])");

    // A script may destroy another's menu; its entry goes with it, so stop does not
    // destroy that menu again.
    const std::vector<std::string> leftBehind{sim.Eval("hex(top)"), sim.Eval("hex(B.me.menu)")};
    sim.Exec("M.XPLMDestroyMenu(B.me, A.me.menu)");
    EXPECT_EQ(Menus(), 2);
    EXPECT_FALSE(Pick("Plugins/First/Alpha"));
    sim.Host().ClearCalls();
    StopPython(0);
    EXPECT_EQ(Details("XPLMDestroyMenu"), leftBehind);
    EXPECT_EQ(Tree(), "Plugins\n  First\n  Second\n");
    const std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "'KV_A' left 1 host registration(s) behind at stop; Korvane removed them\n"), 1)
        << log;
    EXPECT_EQ(CountOccurrences(log, "'KV_B' left 1 host registration(s) behind at stop; Korvane removed them\n"), 1);
    EXPECT_FALSE(Pick("Top/Go"));

    // After a reload the scripts' new menus work as the first ones did.
    Start();
    EXPECT_TRUE(Pick("Plugins/Second/Beta")) << Tree();
    EXPECT_EQ(sim.Eval("sys.modules['KV_B'].picks"), "[(2, 101)]");
}

TEST_F(MenusTest, TheExampleTogglesTheCheckOfThePickedItemAndTidiesUp) {
    const char* example = "KV_MenuExample.py";
    sim.AddFile(example, testing::ReadFile(std::filesystem::path(KORVANE_EXAMPLES_DIR) / example));
    Start();
    EXPECT_TRUE(Pick("Plugins/Menu Example/Radio Panel"));
    EXPECT_TRUE(Pick("Plugins/Menu Example/Landing Lights"));
    EXPECT_EQ(Tree(), "Plugins\n  Menu Example\n    Landing Lights [ ]\n    Radio Panel [x]\n");
    StopPython(0);
    EXPECT_EQ(Tree(), "Plugins\n");
    const std::string output = sim.OutputFile();
    EXPECT_NE(output.find("picked item 1 (menu refcon 40); Radio Panel is now checked\n"), std::string::npos) << output;
    EXPECT_NE(output.find("picked item 0 (menu refcon 40); Landing Lights is now unchecked\n"), std::string::npos);
}

TEST_F(MenusTest, IdsTheHostNeverGaveOutAreIgnoredAndBadArgumentsRaise) {
    sim.AddScript("KV_Menu", MenuScript("Tools", 7));
    Start();
    sim.Exec("A = sys.modules['KV_Menu']");
    const std::string tree = Tree();
    const std::pair<const char*, const char*> calls[] = {
        {"M.XPLMAppendMenuItem(12345, 'x', 0, 0)", "-1"},
        {"M.XPLMCheckMenuItemState(12345, 0)", "0"},
        {"M.XPLMCheckMenuItemState(A.me.menu, 99)", "0"},
        {"M.XPLMCheckMenuItem(2**64 - 16, 0, 2)", "1"},
        {"M.XPLMEnableMenuItem(A.me.menu, -1, 0)", "1"},
        {"M.XPLMSetMenuItemName(-8, 0, 'x', 0)", "1"},
        {"M.XPLMRemoveMenuItem(A.me.menu, 3)", "1"},
        {"M.XPLMClearAllMenuItems(0)", "1"},
        {"M.XPLMAppendMenuSeparator(12345)", "1"},
        {"M.XPLMDestroyMenu(A.me, 12345)", "1"},
        {"M.XPLMDestroyMenu(A.me, M.XPLMFindPluginsMenu())", "1"},
        {"M.XPLMCreateMenu(A.me, 'Sub', 12345, 0, A.me.Picked, 0)", "0"},
        {"M.XPLMCreateMenu(A.me, 'Sub', A.me.menu, 42, A.me.Picked, 0)", "0"},
    };
    for (const auto& [call, result] : calls) EXPECT_EQ(sim.Eval(call), result) << call;
    EXPECT_EQ(Tree(), tree);
    EXPECT_EQ(Menus(), 1) << "a menu the host did not make leaves no entry";

    sim.Host().ClearCalls();
    for (const char* call : {
             "M.XPLMAppendMenuItem(A.me.menu, 5, 0, 0)",
             "M.XPLMAppendMenuItem(A.me.menu, 'a\\0b', 0, 0)",
             "M.XPLMCreateMenu(A.me, 'x', 0, 0, A.me.Picked)",
             "M.XPLMCreateMenu(A.me, 'x', 0.5, 0, A.me.Picked, 0)",
             "M.XPLMCheckMenuItem('menu', 0, 2)",
             "M.XPLMDestroyMenu(A.me.menu)",
             "M.XPLMSetMenuItemName(A.me.menu, 0, None, 0)",
         }) {
        std::string result = sim.Eval(call);
        EXPECT_TRUE(result.starts_with("<error: ")) << call << " gave " << result;
    }
    EXPECT_TRUE(sim.Host().Calls().empty());
    EXPECT_EQ(Menus(), 1);
}

}  // namespace
}  // namespace korvane
