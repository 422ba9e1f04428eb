// Korvane.xpl on a machine without the Python library it was built for: it must load,
// say why no scripts run and what to install, and leave the simulator running.
#include "host/driver.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using korvane::testing::ReadFile;
namespace fs = std::filesystem;

// A copy of the plug-in whose Python part names a Python library no machine has, as the
// plug-in looks where that library was never installed.
fs::path PluginWithoutPython(const fs::path& folder) {
    fs::path plugin = KORVANE_PLUGIN_PATH;
    fs::copy_file(plugin, folder / plugin.filename());
    std::ifstream in(plugin.parent_path() / "KorvanePython.so", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::string wanted = "libpython", absent = "libabsent";
    std::size_t replaced = 0;
    for (std::size_t at = bytes.find(wanted); at != std::string::npos; at = bytes.find(wanted, at), ++replaced)
        bytes.replace(at, wanted.size(), absent);
    EXPECT_GT(replaced, 0u) << "the Python part names no Python library";
    std::ofstream(folder / "KorvanePython.so", std::ios::binary) << bytes;
    return folder / plugin.filename();
}

TEST(Loader, WithoutItsPythonLibraryThePlugInExplainsItselfAndTheSimulatorRunsOn) {
    fs::path root = korvane::host::MakeTemporaryFolder("korvane-nopython-");
    fs::path pluginFolder = root / "Resources" / "plugins" / "Korvane" / "lin_x64";
    fs::create_directories(pluginFolder);
    korvane::host::HeadlessHost host(root);
    fs::create_directories(host.ScriptsFolder());
    std::ofstream(host.ScriptsFolder() / "KV_Never.py") << "raise SystemExit('a script ran')\n";

    ASSERT_TRUE(host.Load(PluginWithoutPython(pluginFolder))) << host.Log();
    ASSERT_EQ(host.Start(), 1);
    EXPECT_EQ(host.Identity().name, "Korvane");
    ASSERT_EQ(host.Enable(), 1);
    host.RunSeconds(0.5);

    std::string log = ReadFile(host.ScriptsFolder() / "KorvaneLog.txt");
    for (const std::string& expected :
         {std::string("Python could not be loaded, so no scripts run."), std::string("libabsent"),
          std::string("cannot open shared object file"), std::string("apt-get install libpython3."),
          std::string("./run.sh")}) {
        EXPECT_NE(log.find(expected), std::string::npos) << expected << " missing from KorvaneLog.txt:\n" << log;
        EXPECT_NE(host.Log().find(expected), std::string::npos) << expected << " missing from the simulator's log";
    }
    EXPECT_EQ(log.find("a script ran"), std::string::npos);

    // The Control Panel shows the same lines in a window of its own.
    std::size_t windowsBefore = host.Windows().size();
    ASSERT_TRUE(host.PickMenu("Plugins/Korvane/Control Panel")) << host.MenuTreeText();
    ASSERT_EQ(host.Windows().size(), windowsBefore + 1);
    EXPECT_TRUE(host.Windows().back().visible);
    host.RunSeconds(0.1);
    EXPECT_GE(host.CountCalls("XPLMDrawString"), 5);

    host.Disable();
    host.Stop();
    EXPECT_EQ(host.Windows().size(), windowsBefore);
    EXPECT_EQ(host.MenuTreeText().find("Korvane"), std::string::npos) << host.MenuTreeText();
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

}  // namespace
