// XPLMNavigation as scripts use it: searches of the host's database around KSEA, the
// result lists, the flight plan and GPS destination, and bad arguments refused before
// the host hears of them.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using testing::ScriptHost;

class NavigationTest : public testing::CoreSession {
protected:
    void SetUp() override {
        testing::CoreSession::SetUp();
        sim.MakeScriptsFolder();
        StartPython(0);
        sim.Exec("import XPLMNavigation as N\nfrom XPLMNavigation import *");
        sim.Host().ClearCalls();
    }
    void TearDown() override {
        ExpectNoPendingError("a Python error was left pending");
        testing::CoreSession::TearDown();
    }
    std::string LastDetail(const std::string& function) {
        for (auto call = sim.Host().Calls().rbegin(); call != sim.Host().Calls().rend(); ++call)
            if (call->function == function) return call->detail;
        return "(no call)";
    }
};

TEST_F(NavigationTest, ConstantsHaveTheirValuesInListedOrder) {
    EXPECT_EQ(Eval("[(k, v) for k, v in vars(N).items() if not k.startswith('__') and isinstance(v, int)]"),
              "[('xplm_Nav_Unknown', 0), ('xplm_Nav_Airport', 1), ('xplm_Nav_NDB', 2), ('xplm_Nav_VOR', 4), "
              "('xplm_Nav_ILS', 8), ('xplm_Nav_Localizer', 16), ('xplm_Nav_GlideSlope', 32), "
              "('xplm_Nav_OuterMarker', 64), ('xplm_Nav_MiddleMarker', 128), ('xplm_Nav_InnerMarker', 256), "
              "('xplm_Nav_Fix', 512), ('xplm_Nav_DME', 1024), ('xplm_Nav_LatLon', 2048), "
              "('XPLM_NAV_NOT_FOUND', -1)]");
}

TEST_F(NavigationTest, SearchesFollowTheHostsRulesAndInfoFillsEveryListGiven) {
    sim.Exec("sea = XPLMFindNavAid(None, 'SEA', None, None, None, xplm_Nav_VOR)");
    EXPECT_EQ(LastDetail("XPLMFindNavAid"), "name=null id=\"SEA\" lat=null lon=null frequency=null type=4");
    // Lists fill whatever they held: an empty one grows, a longer one has its first item replaced.
    sim.Exec("t, lat, lon, h, f, hd, i, n, r = [], [0, 'keep', 'me'], [], [], [], [], [], [], []\n"
             "result = XPLMGetNavAidInfo(sea, t, lat, lon, h, f, hd, i, n, r)");
    EXPECT_EQ(Eval("(result, t, lat, ['%.4f' % lon[0], h, f, hd, i, n, r])"),
              "((1,), [4], [47.43539810180664, 'keep', 'me'], ['-122.3097', [108.0], [11680], [20.0], ['SEA'], "
              "['SEATTLE VORTAC'], [1]])");
    // None result lists reach the host as null pointers and stay untouched.
    EXPECT_EQ(Eval("(XPLMGetNavAidInfo(sea, t, None, None, None, None, None, i, n, None), t, i, n)"),
              "((1,), [4], ['SEA'], ['SEATTLE VORTAC'])");
    EXPECT_EQ(LastDetail("XPLMGetNavAidInfo"),
              std::to_string(std::stoi(Eval("sea"))) +
                  " type=ptr lat=null lon=null height=null frequency=null heading=null id=ptr name=ptr reg=null");

    // The other rules: nearest to a position, frequency (which never screens out airports),
    // name fragments, combined types, the last match without a position, nothing found.
    sim.Exec("def ident(ref):\n    i = []\n    XPLMGetNavAidInfo(ref, None, None, None, None, None, None, i, None, None)\n"
             "    return i[0] if ref != XPLM_NAV_NOT_FOUND else None");
    EXPECT_EQ(Eval("[ident(XPLMFindNavAid(None, None, 47.45, -122.31, None, xplm_Nav_Airport)),"
                   " ident(XPLMFindNavAid(None, None, 47.92, -122.278, None, xplm_Nav_Airport | xplm_Nav_VOR)),"
                   " ident(XPLMFindNavAid(None, None, 47.45, -122.31, 362, xplm_Nav_NDB)),"
                   " ident(XPLMFindNavAid(None, None, 47.53, -122.30, 11030, xplm_Nav_ILS | xplm_Nav_Airport)),"
                   " ident(XPLMFindNavAid('Boeing', None, None, None, None, 0xFFFF)),"
                   " ident(XPLMFindNavAid(None, 'IS', None, None, None, xplm_Nav_GlideSlope)),"
                   " XPLMFindNavAid('Chicago', None, None, None, None, xplm_Nav_Airport)]"),
              "['KSEA', 'PAE', 'BF', 'KBFI', 'KBFI', 'ISZI', -1]");
    EXPECT_EQ(LastDetail("XPLMFindNavAid"), "name=\"Chicago\" id=null lat=null lon=null frequency=null type=1");

    // Iteration and first/last of a type; an unknown reference is an unknown navaid.
    EXPECT_EQ(Eval("[ident(XPLMFindFirstNavAidOfType(xplm_Nav_VOR)), ident(XPLMFindLastNavAidOfType(xplm_Nav_VOR)),"
                   " XPLMGetFirstNavAid(), XPLMGetNextNavAid(XPLMGetFirstNavAid()), XPLMGetNextNavAid(-5),"
                   " XPLMFindFirstNavAidOfType(xplm_Nav_LatLon)]"),
              "['SEA', 'OLM', 0, 1, -1, -1]");
    EXPECT_EQ(Eval("(XPLMGetNavAidInfo(9999, t, None, None, None, None, None, i, n, None), t, i, n)"),
              "((1,), [0], [''], [''])");
}

TEST_F(NavigationTest, FlightPlanEntriesAreSetReadBackAndClearedWithinTheFms) {
    sim.Exec("sea = XPLMFindNavAid(None, 'SEA', None, None, None, xplm_Nav_VOR)\n"
             "ils = XPLMFindNavAid(None, 'ISNQ', None, None, None, xplm_Nav_ILS)\n"
             "def entry(index):\n    lists = [[] for _ in range(6)]\n"
             "    assert XPLMGetFMSEntryInfo(index, *lists) == (1,)\n"
             "    return [l[0] for l in lists]");
    EXPECT_EQ(Eval("(XPLMCountFMSEntries(), XPLMGetGPSDestinationType(), XPLMGetGPSDestination())"), "(0, 0, -1)");
    EXPECT_EQ(Eval("[XPLMSetFMSEntryInfo(0, sea, 3000), XPLMSetFMSEntryLatLon(3, 47.5, -122.25, 5000),"
                   " XPLMSetFMSEntryInfo(99, sea, 100), XPLMSetDestinationFMSEntry(3), XPLMSetDisplayedFMSEntry(99)]"),
              "[1, 1, 1, 1, 1]");
    EXPECT_EQ(LastDetail("XPLMSetFMSEntryLatLon"), "3 lat=47.5000 lon=-122.2500 altitude=5000");
    EXPECT_EQ(Eval("(XPLMCountFMSEntries(), XPLMGetDestinationFMSEntry(), XPLMGetDisplayedFMSEntry())"),
              "(100, 3, 99)");
    EXPECT_EQ(Eval("[entry(0)[:4], entry(3), entry(1)]"),
              "[[4, 'SEA', " + Eval("sea") + ", 3000], [2048, '', -1, 5000, 47.5, -122.25], [0, '', -1, 0, 0.0, 0.0]]");
    // The GPS flies to the destination entry, or to its own direct-to destination.
    EXPECT_EQ(Eval("(XPLMGetGPSDestinationType(), XPLMGetGPSDestination())"), "(2048, -1)");
    sim.Host().SetGpsDirectTo(std::stoi(Eval("sea")));
    EXPECT_EQ(Eval("[XPLMClearFMSEntry(3), XPLMCountFMSEntries(), XPLMGetGPSDestinationType(),"
                   " XPLMGetGPSDestination() == sea, XPLMClearFMSEntry(99), XPLMCountFMSEntries()]"),
              "[1, 100, 4, True, 1, 1]");

    // Navaids the FMS cannot hold (ILS parts, unknown refs) are ignored by the host;
    // indices outside the FMS are refused before the host hears of them.
    EXPECT_EQ(Eval("[XPLMSetFMSEntryInfo(1, ils, 1), XPLMSetFMSEntryInfo(2, 12345, 1)]"), "[1, 1]");
    sim.Host().ClearCalls();
    sim.Exec("def refused(call):\n    try:\n        call()\n        return 'ok'\n"
             "    except ValueError:\n        return 'ValueError'");
    EXPECT_EQ(Eval("[refused(lambda: XPLMSetFMSEntryInfo(100, sea, 1)), refused(lambda: XPLMSetFMSEntryInfo(-1, sea, 1)),"
                   " refused(lambda: XPLMSetFMSEntryLatLon(100, 1.0, 2.0, 3)), refused(lambda: XPLMSetDestinationFMSEntry(-1)),"
                   " refused(lambda: XPLMSetDisplayedFMSEntry(100)), refused(lambda: XPLMClearFMSEntry(-7)),"
                   " refused(lambda: entry(100)), refused(lambda: entry(-2147483648))]"),
              "['ValueError', 'ValueError', 'ValueError', 'ValueError', 'ValueError', 'ValueError', 'ValueError',"
              " 'ValueError']");
    EXPECT_TRUE(sim.Host().Calls().empty());
    EXPECT_EQ(Eval("[XPLMCountFMSEntries(), XPLMGetDestinationFMSEntry(), XPLMGetDisplayedFMSEntry()]"), "[1, 3, 99]");
}

TEST_F(NavigationTest, BadArgumentsRaiseBeforeAnyHostCall) {
    sim.Exec("def outcome(call):\n    try:\n        call()\n        return 'ok'\n"
             "    except Exception as error:\n        return type(error).__name__");
    EXPECT_EQ(Eval("[outcome(c) for c in ["
                   " lambda: XPLMFindNavAid(None, None, None, None, None),"
                   " lambda: XPLMFindNavAid('a\\0b', None, None, None, None, 1),"
                   " lambda: XPLMFindNavAid(None, 5, None, None, None, 1),"
                   " lambda: XPLMFindNavAid(None, None, 'north', None, None, 1),"
                   " lambda: XPLMFindNavAid(None, None, None, None, 116.8, 1),"
                   " lambda: XPLMFindNavAid(None, None, None, None, 2**40, 1),"
                   " lambda: XPLMGetNavAidInfo(0, None, None, None, None, None, None, (), None, None),"
                   " lambda: XPLMGetFMSEntryInfo(0, None, None, None, None, None, {}),"
                   " lambda: XPLMGetFMSEntryInfo(2**40, None, None, None, None, None, None),"
                   " lambda: XPLMSetFMSEntryInfo(2**40, 0, 0),"
                   " lambda: XPLMSetFMSEntryLatLon(0, 1.0, 2.0, 2**40),"
                   " lambda: XPLMClearFMSEntry(-2**40),"
                   " lambda: XPLMSetDisplayedFMSEntry(index=1)]]"),
              "['TypeError', 'ValueError', 'TypeError', 'TypeError', 'TypeError', 'ValueError', 'TypeError', "
              "'TypeError', 'ValueError', 'ValueError', 'ValueError', 'ValueError', 'TypeError']");
    EXPECT_TRUE(sim.Host().Calls().empty()) << sim.Host().Calls().front().function;
}

}  // namespace
}  // namespace korvane
