// The plug-in as the simulator sees it: entry points, interpreter start and stop, the
// camera references and the banners in the log.
#include "tests/support/script_host.h"

#include <Python.h>
#include <XPLMDataAccess.h>
#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

// The number of plug-ins sharing each remote camera reference, in order.
std::vector<std::size_t> CameraSharerCounts() {
    std::vector<std::size_t> counts;
    for (const char* name : {"cameraindex", "cameratypeindex", "camerapluginready", "acquirecamera", "releasecamera",
                             "setcamera", "xoffset", "yoffset", "zoffset", "headingoffset", "pitchoffset",
                             "rolloffset", "zoomratio", "lookataircraft"}) {
        host::DataRefRecord* record = host::FindDataRefRecord(std::string("quindle/virtualcamera/") + name);
        counts.push_back(record ? record->sharers.size() : 0);
    }
    return counts;
}

TEST(Spine, EmptyScriptsFolderStartsWithBanners) {
    ScriptHost sim;
    sim.MakeScriptsFolder();
    EXPECT_EQ(sim.Start(), 1);
    EXPECT_EQ(sim.Enable(), 1);
    EXPECT_EQ(sim.Host().Identity().name, "Korvane");
    EXPECT_EQ(sim.Host().Identity().signature, "quindle.projects.korvane");
    EXPECT_EQ(sim.Host().Identity().description, "Korvane Plugin");
    sim.DisableAndStop();

    std::string expectedStart =
        "+++ LOGGING STARTED +++\n"
        "Korvane v1.92 Python scripting for X-Plane\n"
        "Before Py_Initialize()\n"
        "After Py_Initialize()\n"
        "Before Modules Init\n"
        "Using path below for script path\n" +
        (sim.ScriptsFolder()).string() + "\n";
    std::string log = sim.LogFile();
    EXPECT_EQ(log.rfind(expectedStart, 0), 0u) << log;
    EXPECT_EQ(CountOccurrences(log, "successfully loaded"), 0);
    EXPECT_TRUE(log.ends_with("--- LOGGING STOPPED ---\n\n")) << log;
}

TEST(Spine, MissingScriptsFolderIsReportedInTheSimulatorLog) {
    ScriptHost sim;
    EXPECT_EQ(sim.Start(), 1);
    std::string listingPath = sim.ScriptsFolder().string() + "/";
    std::string banner = "\n*** KORVANE ERROR ***\nPath :- " + listingPath +
                         " does not exist.\n"
                         "You will need to create a folder called DuvodeZuzedav under the plugins folder\n"
                         "*** KORVANE ERROR ***\n\n";
    EXPECT_NE(sim.Host().Log().find(banner), std::string::npos) << sim.Host().Log();
    EXPECT_NE(ReadFile(sim.Root() / "Log.txt").find(banner), std::string::npos);
    // The plug-in stays loaded with a working interpreter and no scripts.
    EXPECT_EQ(sim.Eval("1 + 1"), "2");
    EXPECT_EQ(sim.Eval("__import__('sys').stdout.__class__.__name__"), "StdoutCatcher");
    EXPECT_EQ(sim.Enable(), 1);
    EXPECT_EQ(sim.Host().CountCalls("XPLMGetDirectoryContents"), 0);
    sim.DisableAndStop();
    EXPECT_FALSE(std::filesystem::exists(sim.ScriptsFolder()));
}

TEST(Spine, RepeatedStartsShareAndUnshareTheCameraReferences) {
    ScriptHost sim;
    sim.MakeScriptsFolder();
    const std::vector<std::size_t> shared(14, 1), unshared(14, 0);
    for (int cycle = 0; cycle < 3; ++cycle) {
        sim.Host().ClearCalls();
        ASSERT_EQ(sim.Start(), 1);
        EXPECT_EQ(CameraSharerCounts(), shared);
        std::vector<std::string> shares;
        for (const host::HostCall& call : sim.Host().Calls())
            if (call.function == "XPLMShareData") shares.push_back(call.detail);
        ASSERT_EQ(shares.size(), 14u);
        EXPECT_EQ(shares.front(), "quindle/virtualcamera/cameraindex type=1 refcon=0");
        EXPECT_EQ(shares[6], "quindle/virtualcamera/xoffset type=2 refcon=6");
        EXPECT_EQ(shares.back(), "quindle/virtualcamera/lookataircraft type=1 refcon=13");
        EXPECT_EQ(sim.Eval("2 ** 10"), "1024");
        sim.Stop();
        EXPECT_EQ(CameraSharerCounts(), unshared);
        EXPECT_EQ(sim.Host().CountCalls("XPLMUnshareData"), 14);
        EXPECT_FALSE(Py_IsInitialized());
    }
    std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "+++ LOGGING STARTED +++\n"), 3);
    EXPECT_EQ(CountOccurrences(log, "--- LOGGING STOPPED ---\n\n"), 3);
}

TEST(Spine, ExtensionModulesImportInTheEmbeddedInterpreter) {
    // The simulator loads plug-ins with local symbol scope; compiled standard modules
    // still need the interpreter's symbols.
    ScriptHost sim;
    sim.MakeScriptsFolder();
    ASSERT_EQ(sim.Start(), 1);
    EXPECT_EQ(sim.Eval("__import__('math').floor(2.5)"), "2");
    EXPECT_EQ(sim.Eval("__import__('json').dumps([1])"), "[1]");
    sim.Stop();
}

}  // namespace
}  // namespace korvane::testing
