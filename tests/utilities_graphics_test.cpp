// XPLMDefs, XPLMUtilities and XPLMGraphics as scripts use them: every constant with
// its value, the host's answers reaching scripts, and bad arguments refused before
// the host hears of them.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <utility>

namespace korvane {
namespace {

using testing::ScriptHost;

// Each module's constants in their listed order, as (name, value) pairs.
const char* kExpectedConstants = R"(
def numbered(prefix, suffixes):
    return [(prefix + s, i) for i, s in enumerate(suffixes.split())]

keys = numbered('xplm_key_', '''pause revthrust jettison brakesreg brakesmax gear timedn timeup fadec otto_dis
    otto_atr otto_asi otto_hdg otto_gps otto_lev otto_hnav otto_alt otto_vvi otto_vnav otto_nav1 otto_nav2 targ_dn
    targ_up hdgdn hdgup barodn baroup obs1dn obs1up obs2dn obs2up com1_1 com1_2 com1_3 com1_4 nav1_1 nav1_2 nav1_3
    nav1_4 com2_1 com2_2 com2_3 com2_4 nav2_1 nav2_2 nav2_3 nav2_4 adf_1 adf_2 adf_3 adf_4 adf_5 adf_6 transpon_1
    transpon_2 transpon_3 transpon_4 transpon_5 transpon_6 transpon_7 transpon_8 flapsup flapsdn cheatoff cheaton
    sbrkoff sbrkon ailtrimL ailtrimR rudtrimL rudtrimR elvtrimD elvtrimU forward down left right back tower runway
    chase free1 free2 spot fullscrn1 fullscrn2 tanspan smoke map zoomin zoomout cycledump replay tranID max''')
joys = numbered('xplm_joy_', '''nothing start_all start_0 start_1 start_2 start_3 start_4 start_5 start_6 start_7
    throt_up throt_dn prop_up prop_dn mixt_up mixt_dn carb_tog carb_on carb_off trev trm_up trm_dn rot_trm_up
    rot_trm_dn rud_lft rud_cntr rud_rgt ail_lft ail_cntr ail_rgt B_rud_lft B_rud_rgt look_up look_dn look_lft
    look_rgt glance_l glance_r v_fnh v_fwh v_tra v_twr v_run v_cha v_fr1 v_fr2 v_spo flapsup flapsdn vctswpfwd
    vctswpaft gear_tog gear_up gear_down lft_brake rgt_brake brakesREG brakesMAX speedbrake ott_dis ott_atr ott_asi
    ott_hdg ott_alt ott_vvi tim_start tim_reset ecam_up ecam_dn fadec yaw_damp art_stab chute JATO arrest jettison
    fuel_dump puffsmoke prerotate UL_prerot UL_collec TOGA shutdown con_atc fail_now pause rock_up rock_dn rock_lft
    rock_rgt rock_for rock_aft idle_hilo lanlights max''')
utilities = (keys + joys
             + numbered('xplm_Host_', 'Unknown XPlane PlaneMaker WorldMaker Briefer PartMaker YoungsMod XAuto')
             + numbered('xplm_Language_', 'Unknown English French German Italian Spanish Korean')
             + numbered('xplm_Command', 'Begin Continue End')
             + [('xplm_DataFile_Situation', 1), ('xplm_DataFile_ReplayMovie', 2)])

vk = [('BACK', 8), ('TAB', 9), ('CLEAR', 12), ('RETURN', 13), ('ESCAPE', 27)]
vk += [(s, 32 + i) for i, s in enumerate(
    'SPACE PRIOR NEXT END HOME LEFT UP RIGHT DOWN SELECT PRINT EXECUTE SNAPSHOT INSERT DELETE HELP'.split())]
vk += [(c, ord(c)) for c in '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ']
vk += [('NUMPAD%d' % n, 96 + n) for n in range(10)]
vk += [(s, 106 + i) for i, s in enumerate('MULTIPLY ADD SEPARATOR SUBTRACT DECIMAL DIVIDE'.split())]
vk += [('F%d' % n, 111 + n) for n in range(1, 25)]
vk += [(s, 176 + i) for i, s in enumerate('''EQUAL MINUS RBRACE LBRACE QUOTE SEMICOLON BACKSLASH COMMA SLASH
    PERIOD BACKQUOTE ENTER NUMPAD_ENT NUMPAD_EQ'''.split())]
defs = ([('XPLM_NO_PLUGIN_ID', -1), ('XPLM_PLUGIN_XPLANE', 0), ('kXPLM_Version', 200), ('xplm_ShiftFlag', 1),
         ('xplm_OptionAltFlag', 2), ('xplm_ControlFlag', 4), ('xplm_DownFlag', 8), ('xplm_UpFlag', 16),
         ('XPLM_KEY_RETURN', 13), ('XPLM_KEY_ESCAPE', 27), ('XPLM_KEY_TAB', 9), ('XPLM_KEY_DELETE', 8),
         ('XPLM_KEY_LEFT', 28), ('XPLM_KEY_RIGHT', 29), ('XPLM_KEY_UP', 30), ('XPLM_KEY_DOWN', 31)]
        + [('XPLM_KEY_%d' % n, 48 + n) for n in range(10)] + [('XPLM_KEY_DECIMAL', 46)]
        + [('XPLM_VK_' + s, v) for s, v in vk])

graphics = (numbered('xplm_Tex_', 'GeneralInterface AircraftPaint AircraftLiteMap')
            + numbered('xplmFont_', '''Basic Menus Metal Led LedWide PanelHUD PanelEFIS PanelGPS RadiosGA RadiosBC
                RadiosHM RadiosGANarrow RadiosBCNarrow RadiosHMNarrow Timer FullRound SmallRound Menus_Localized'''))

def constants(name):
    return [(k, v) for k, v in vars(__import__(name)).items() if not k.startswith('__') and isinstance(v, int)]

# How a call was refused, or 'ok'.
def outcome(call):
    try:
        call()
        return 'ok'
    except Exception as error:
        return type(error).__name__
)";

class UtilitiesGraphicsTest : public testing::CoreSession {
protected:
    void SetUp() override {
        testing::CoreSession::SetUp();
        sim.MakeScriptsFolder();
        StartPython(0);
        sim.Exec(kExpectedConstants);
        sim.Exec("import XPLMDefs, XPLMUtilities as U, XPLMGraphics as G");
        sim.Host().ClearCalls();
    }
    void TearDown() override {
        ExpectNoPendingError("a Python error was left pending");
        testing::CoreSession::TearDown();
    }
    std::string LastDetail() { return sim.Host().Calls().empty() ? "" : sim.Host().Calls().back().detail; }
};

TEST_F(UtilitiesGraphicsTest, EveryConstantHasItsListedValueInListedOrder) {
    EXPECT_EQ(Eval("[len(utilities), len(defs), len(graphics)]"), "[210, 138, 21]");
    for (auto [module, expected] : {std::pair{"XPLMUtilities", "utilities"}, std::pair{"XPLMDefs", "defs"},
                                    std::pair{"XPLMGraphics", "graphics"}})
        EXPECT_EQ(Eval("constants('" + std::string(module) + "') == " + expected), "True") << module;
}

TEST_F(UtilitiesGraphicsTest, UtilitiesAnswerWhatTheHostAnswered) {
    const std::string root = sim.Root().string();
    EXPECT_EQ(Eval("U.XPLMGetSystemPath()"), root + "/");
    EXPECT_EQ(Eval("U.XPLMGetPrefsPath()"), root + "/Output/preferences/Set X-Plane.prf");
    EXPECT_EQ(Eval("(U.XPLMGetDirectorySeparator(), U.XPLMInitialized(), U.XPLMGetLanguage())"), "('/', 1, 1)");
    EXPECT_EQ(Eval("U.XPLMGetVersions()"), "(10000, 210, 1)");
    // Functions without arguments ignore stray ones.
    EXPECT_EQ(Eval("U.XPLMReloadScenery(1, 'x')"), "1");
    EXPECT_EQ(Eval("[U.XPLMGetVirtualKeyDescription(k) for k in (XPLMDefs.XPLM_VK_F20, 0x41, 0)]"),
              "['F20', 'A', None]");

    // Speech and commands reach the host's record; debug text its log.
    EXPECT_EQ(Eval("(U.XPLMSpeakString('Gear down'), U.XPLMCommandKeyStroke(U.xplm_key_gear),"
                   " U.XPLMCommandButtonPress(U.xplm_joy_flapsup), U.XPLMCommandButtonRelease(47),"
                   " U.XPLMDebugString('from a script \\u00e9\\n'))"),
              "(1, 1, 1, 1, 1)");
    std::vector<std::string> calls;
    for (const host::HostCall& call : sim.Host().Calls()) calls.push_back(call.function + ":" + call.detail);
    EXPECT_EQ(calls, (std::vector<std::string>{"XPLMReloadScenery:", "XPLMSpeakString:Gear down",
                                               "XPLMCommandKeyStroke:5", "XPLMCommandButtonPress:47",
                                               "XPLMCommandButtonRelease:47"}));
    EXPECT_NE(sim.Host().Log().find("from a script \xc3\xa9\n"), std::string::npos);

    // The host splits a copy: the script's string stays whole.
    sim.Exec("full = '/sim/Output/situation.sit'\nsplit = U.XPLMExtractFileAndPath(full)");
    EXPECT_EQ(Eval("(split, full)"), "(('situation.sit', '/sim/Output'), '/sim/Output/situation.sit')");

    // A folder listing, continued from its third entry.
    std::filesystem::path folder = sim.Root() / "listing";
    std::filesystem::create_directories(folder);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}) std::ofstream(folder / name) << name;
    sim.Exec("folder = " + std::string("'") + folder.string() + "'");
    EXPECT_EQ(Eval("(lambda names, indices, total, returned: (U.XPLMGetDirectoryContents(folder, 2, names, 1024, "
                   "indices, 2, total, returned), names, indices, total, returned))(['kept'], [], [7, 8, 9], [])"),
              "((0,), ['kept', 'c.txt'], ['c.txt', 'd.txt'], [5, 8, 9], [2])");
    EXPECT_EQ(Eval("(lambda indices: (U.XPLMGetDirectoryContents(folder, 0, None, 1024, indices, 10, None, None),"
                   " indices))([])"),
              "((1,), ['a.txt', 'b.txt', 'c.txt', 'd.txt', 'e.txt'])");

    // Refused before the host hears of them.
    sim.Host().ClearCalls();
    EXPECT_EQ(Eval("[outcome(call) for call in ("
                   "lambda: U.XPLMGetDirectoryContents(folder, 0, None, -1, None, 1, None, None),"
                   "lambda: U.XPLMGetDirectoryContents(folder, 0, None, 10, None, 2 ** 40, None, None),"
                   "lambda: U.XPLMGetDirectoryContents(folder, 0, (), 10, None, 1, None, None),"
                   "lambda: U.XPLMDebugString('cut\\0short'), lambda: U.XPLMDebugString(7),"
                   "lambda: U.XPLMSpeakString(text='x'), lambda: U.XPLMGetVirtualKeyDescription(256),"
                   "lambda: U.XPLMCommandKeyStroke())]"),
              "['ValueError', 'ValueError', 'TypeError', 'ValueError', 'TypeError', 'TypeError', 'OverflowError', "
              "'TypeError']");
    EXPECT_TRUE(sim.Host().Calls().empty());
    EXPECT_EQ(sim.Host().Log().find("cut"), std::string::npos);
}

// The most memory the process has held so far, in kilobytes.
long PeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(UtilitiesGraphicsTest, HugeSizesCostOnlyWhatTheHostFillsAndAbsurdCountsAreRefused) {
    // More names than the first buffers hold, so the listing has to grow them.
    std::filesystem::path folder = sim.Root() / "many";
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 600; ++i) std::ofstream(folder / ("file-with-a-longish-name-" + std::to_string(1000 + i)));
    sim.Exec("folder = '" + folder.string() + "'");
    const long before = PeakKilobytes();
    sim.Exec("names, indices, total, returned = [], [], [], []\n"
             "done = U.XPLMGetDirectoryContents(folder, 0, names, 2 ** 31 - 1, indices, 2 ** 31 - 1, total, returned)");
    EXPECT_EQ(Eval("(done, total, returned, len(indices), indices[0], indices[-1], names[0] == indices[0])"),
              "((1,), [600], [600], 600, 'file-with-a-longish-name-1000', 'file-with-a-longish-name-1599', True)");
    // Bounded sizes still bound what comes back.
    EXPECT_EQ(Eval("(lambda i, r: (U.XPLMGetDirectoryContents(folder, 590, None, 2 ** 31 - 1, i, 3, None, r), i, r))"
                   "([], [])"),
              "((0,), ['file-with-a-longish-name-1590', 'file-with-a-longish-name-1591', "
              "'file-with-a-longish-name-1592'], [3])");
    EXPECT_EQ(Eval("(lambda i: (U.XPLMGetDirectoryContents(folder, 0, None, 60, i, 2 ** 31 - 1, None, None), i))([])"),
              "((0,), ['file-with-a-longish-name-1000', 'file-with-a-longish-name-1001'])");
    EXPECT_LT(PeakKilobytes() - before, 256 * 1024);

    sim.Host().ClearCalls();
    EXPECT_EQ(Eval("[outcome(lambda: G.XPLMGenerateTextureNumbers([], n)) for n in (2 ** 31 - 1, 65537)]"),
              "['ValueError', 'ValueError']");
    EXPECT_EQ(HostCalls("XPLMGenerateTextureNumbers"), 0);
    EXPECT_EQ(Eval("(lambda out: (G.XPLMGenerateTextureNumbers(out, 65536), len(out)))([])"), "(1, 65536)");
}

TEST_F(UtilitiesGraphicsTest, GraphicsReachTheHostAndColoursMustBeThreeNumbers) {
    EXPECT_EQ(Eval("(G.XPLMSetGraphicsState(0, 1, 0, 1, 1, 0, 0), G.XPLMBindTexture2d(7, 0))"), "(0, 1)");
    EXPECT_EQ(LastDetail(), "texture=7 unit=0");
    EXPECT_EQ(Eval("(lambda out: (G.XPLMGenerateTextureNumbers(out, 3), out))(['kept'])"), "(1, ['kept', 100, 101, 102])");
    EXPECT_EQ(Eval("(lambda out: (G.XPLMGenerateTextureNumbers(out, 0), out))([])"), "(1, [])");
    EXPECT_EQ(Eval("[G.XPLMGetTexture(t) for t in (G.xplm_Tex_GeneralInterface, G.xplm_Tex_AircraftLiteMap, 99)]"),
              "[1, 3, 0]");

    // World to local and back gives what went in; the origin lies below the aircraft.
    EXPECT_EQ(Eval("G.XPLMWorldToLocal(47.4502, -122.3088, 132.0)"), "(0.0, 132.0, 0.0)");
    EXPECT_EQ(Eval("[round(v, 9) for v in G.XPLMLocalToWorld(*G.XPLMWorldToLocal(47.5, -122.25, 1000.0))]"),
              "[47.5, -122.25, 1000.0]");
    EXPECT_EQ(Eval("[round(v) for v in G.XPLMWorldToLocal(47.4502 + 0.01, -122.3088, 0)]"), "[0, 0, -1113]");

    EXPECT_EQ(Eval("G.XPLMDrawString((1, 0.5, 0), 10, 20, 'Hello', 0, G.xplmFont_Basic)"), "1");
    EXPECT_EQ(LastDetail(), "(1,0.5,0) 10 20 'Hello' wrap=null font=0");
    EXPECT_EQ(Eval("G.XPLMDrawString([0.0, 0.0, 1.0], 10, 20, 'Hello', 100, G.xplmFont_Menus)"), "1");
    EXPECT_EQ(LastDetail(), "(0,0,1) 10 20 'Hello' wrap=100 font=1");
    EXPECT_EQ(Eval("G.XPLMDrawNumber((1.0, 1.0, 1.0), 5, 6, -12.5, 4, 1, 1, G.xplmFont_Led)"), "1");
    EXPECT_EQ(LastDetail(), "(1,1,1) 5 6 -12.5 digits=4 decimals=1 sign=1 font=3");

    // Font metrics fill their result lists; an unknown font has none.
    EXPECT_EQ(Eval("(lambda w, h, d: (G.XPLMGetFontDimensions(G.xplmFont_Led, w, h, d), w, h, d))([1, 2, 3], [], "
                   "None)"),
              "(1, [9, 2, 3], [14], None)");
    EXPECT_EQ(Eval("(lambda w, h, d: (G.XPLMGetFontDimensions(999, w, h, d), w, h, d))([], [], [])"),
              "(1, [0], [0], [0])");

    sim.Host().ClearCalls();
    EXPECT_EQ(Eval("[outcome(call) for call in ("
                   "lambda: G.XPLMDrawString((1, 1), 0, 0, 'x', 0, 0),"
                   "lambda: G.XPLMDrawString((1, 1, 1, 1), 0, 0, 'x', 0, 0),"
                   "lambda: G.XPLMDrawString('rgb', 0, 0, 'x', 0, 0),"
                   "lambda: G.XPLMDrawString(1.0, 0, 0, 'x', 0, 0),"
                   "lambda: G.XPLMDrawNumber((1, None, 1), 0, 0, 1.0, 1, 1, 1, 0),"
                   "lambda: G.XPLMDrawString((1, 1, 1), 0, 0, 'a\\0b', 0, 0),"
                   "lambda: G.XPLMGenerateTextureNumbers([], -1),"
                   "lambda: G.XPLMGenerateTextureNumbers(None, 1),"
                   "lambda: G.XPLMGetFontDimensions(0, (), None, None))]"),
              "['TypeError', 'TypeError', 'TypeError', 'TypeError', 'TypeError', 'ValueError', 'ValueError', "
              "'TypeError', 'TypeError']");
    EXPECT_TRUE(sim.Host().Calls().empty());
}

}  // namespace
}  // namespace korvane
