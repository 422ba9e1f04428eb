// What scripts and the control panel draw, read back from the headless host's screen.
// Needs Mesa's off-screen OpenGL; skipped without it.
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace korvane::testing {
namespace {

bool Red(const std::uint8_t* p) { return p[0] > 200 && p[1] < 60 && p[2] < 60; }
bool Bright(const std::uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; }

#define SKIP_WITHOUT_PIXELS(host)                                                                          \
    if (std::string why = (host).CannotDrawReason(); !why.empty()) GTEST_SKIP() << "no pixels to test: " << why

// A window at left 100, top 400, right 400, bottom 200 filled red by PyOpenGL, with a
// white string at (120, 300) over it.
constexpr const char* kRedQuad = R"(
import XPLMDisplay, XPLMGraphics
from OpenGL import GL

class Korvane:
    def XPluginStart(self):
        self.window = XPLMDisplay.XPLMCreateWindow(self, 100, 400, 400, 200, 1, self.Draw, self.Key, self.Mouse, 0)
        return "Red", "test.red", "A red window"
    def XPluginEnable(self):
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        XPLMDisplay.XPLMDestroyWindow(self, self.window)
    def Draw(self, window, refcon):
        left, top, right, bottom = [], [], [], []
        XPLMDisplay.XPLMGetWindowGeometry(window, left, top, right, bottom)
        GL.glColor3f(1.0, 0.0, 0.0)
        GL.glBegin(GL.GL_QUADS)
        GL.glVertex2i(left[0], bottom[0])
        GL.glVertex2i(right[0], bottom[0])
        GL.glVertex2i(right[0], top[0])
        GL.glVertex2i(left[0], top[0])
        GL.glEnd()
        XPLMGraphics.XPLMDrawString([1.0, 1.0, 1.0], 120, 300, "KORVANE", 0, XPLMGraphics.xplmFont_Basic)
    def Key(self, window, key, flags, virtualKey, refcon, losingFocus):
        pass
    def Mouse(self, window, x, y, state, refcon):
        return 1
)";

TEST(Render, ScriptGlAndHostTextLandWhereDrawnAndTheSnapshotIsAPng) {
    ScriptHost sim;
    SKIP_WITHOUT_PIXELS(sim.Host());
    sim.AddScript("KV_Red", kRedQuad);
    sim.StartAndEnable();
    sim.Host().RunFrame();
    const host::ScreenPixels screen = sim.Host().ReadScreen();
    ASSERT_EQ(screen.width, 1024);
    ASSERT_EQ(screen.height, 768);
    int redOutside = 0, redInside = 0, text = 0;
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x) {
            const bool inside = x >= 100 && x <= 400 && y >= 200 && y <= 400;
            if (Red(screen.At(x, y))) ++(inside ? redInside : redOutside);
            if (x >= 118 && x < 200 && y >= 296 && y < 314 && Bright(screen.At(x, y))) ++text;
        }
    EXPECT_EQ(redOutside, 0);
    EXPECT_GT(redInside, 280 * 180);
    EXPECT_GT(text, 30) << "the string left too few bright pixels";
    EXPECT_TRUE(Red(screen.At(300, 250)));
    EXPECT_EQ(sim.OutputFile().find("Traceback"), std::string::npos) << sim.OutputFile();

    const auto file = sim.Root() / "screen.png";
    std::string error;
    ASSERT_TRUE(sim.Host().WriteScreenPng(file, &error)) << error;
    std::ifstream png(file, std::ios::binary);
    char signature[8] = {};
    png.read(signature, sizeof signature);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
    sim.DisableAndStop();
}

// The control panel at (500, 650): its output list holds the printed line, the first
// line is selected, and the buttons and the script chooser are drawn below.
TEST(Render, ControlPanelShowsItsListsButtonsAndSelection) {
    ScriptHost sim;
    SKIP_WITHOUT_PIXELS(sim.Host());
    sim.AddScript("KV_Hello", "print('Hello from the panel test')\n"
                              "class Korvane:\n"
                              "    def XPluginStart(self): return 'H', 'test.h', 'h'\n"
                              "    def XPluginEnable(self): return 1\n"
                              "    def XPluginDisable(self): pass\n"
                              "    def XPluginStop(self): pass\n");
    sim.StartAndEnable();
    ASSERT_TRUE(sim.Host().PickMenu("Plugins/Korvane/Control Panel"));
    sim.Host().RunFrame();
    const host::ScreenPixels screen = sim.Host().ReadScreen();
    ASSERT_FALSE(screen.rgba.empty());
    auto countIn = [&](int left, int bottom, int right, int top, auto&& test) {
        int count = 0;
        for (int y = bottom; y <= top; ++y)
            for (int x = left; x <= right; ++x) count += test(screen.At(x, y)) ? 1 : 0;
        return count;
    };
    // The output list's first line: highlighted across its width, with text on it.
    const std::uint8_t* selected = screen.At(840, 434);
    const std::uint8_t* background = screen.At(840, 300);
    EXPECT_NE(std::vector<int>(selected, selected + 3), std::vector<int>(background, background + 3));
    EXPECT_GT(countIn(570, 428, 860, 440, Bright), 30) << "no text on the list's first line";
    // The button rows and the chooser are drawn faces with labels, not the sky.
    const std::uint8_t* sky = screen.At(10, 10);
    EXPECT_NE(std::vector<int>(screen.At(615, 183), screen.At(615, 183) + 3), std::vector<int>(sky, sky + 3));
    EXPECT_GT(countIn(570, 135, 900, 195, [](const std::uint8_t* p) { return p[0] > 170 && p[1] > 170; }), 100);
    sim.DisableAndStop();
}

}  // namespace
}  // namespace korvane::testing
