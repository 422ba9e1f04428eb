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

namespace korvane::testing {
namespace {

// Every drawing call the host serves, at every corner of the int range, and widgets of
// every standard class placed there; under the sanitizers any overflow would end the run.
constexpr const char* kEdgeDrawer = R"(
import XPLMDisplay, XPLMGraphics, XPUIGraphics as UI, XPWidgets as W

LO, HI = -2 ** 31, 2 ** 31 - 1
CORNERS = [(LO, HI, HI, LO), (HI, LO, LO, HI), (LO, LO, HI, HI), (HI, HI, HI, HI), (LO, LO, LO, LO), (0, HI, HI, 0)]

class Korvane:
    def XPluginStart(self):
        global me
        me = self
        self.drawn = 0
        self.window = XPLMDisplay.XPLMCreateWindow(self, 0, 768, 1024, 0, 1, self.Draw, self.Key, self.Mouse, 0)
        self.widgets = [W.XPCreateWidget(l, t, r, b, 1, 'edge ' * 20, 1, 0, kind)
                        for (l, t, r, b) in CORNERS for kind in range(1, 9)]
        return "Edges", "test.edges", "Draws at the int limits"
    def XPluginEnable(self):
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        for widget in self.widgets:
            W.XPDestroyWidget(self, widget, 1)
        XPLMDisplay.XPLMDestroyWindow(self, self.window)
    def Draw(self, window, refcon):
        white = [1.0, 1.0, 1.0]
        for (l, t, r, b) in CORNERS:
            for style in range(0, 6):
                UI.XPDrawWindow(l, b, r, t, style)
            for style in range(0, 63):
                UI.XPDrawElement(l, b, r, t, style, style % 2)
            for style in range(0, 3):
                for (low, high, value) in ((LO, HI, 0), (HI, LO, HI), (0, 0, LO), (LO, HI, HI)):
                    UI.XPDrawTrack(l, b, r, t, low, high, value, style, 1)
                    UI.XPGetTrackMetrics(l, b, r, t, low, high, value, style)
            XPLMGraphics.XPLMDrawTranslucentDarkBox(l, t, r, b)
            XPLMGraphics.XPLMDrawString(white, l, b, 'edge ' * 20, r, XPLMGraphics.xplmFont_Basic)
            XPLMGraphics.XPLMDrawNumber(white, r, t, -1.5e300, 40, 20, 1, XPLMGraphics.xplmFont_Basic)
        self.drawn += 1
    def Key(self, window, key, flags, virtualKey, refcon, losingFocus):
        pass
    def Mouse(self, window, x, y, state, refcon):
        return 1
)";

TEST(Render, DrawingAtTheIntLimitsStaysWithinIntArithmetic) {
    ScriptHost sim;
    SKIP_WITHOUT_PIXELS(sim.Host());
    sim.AddScript("KV_Edges", kEdgeDrawer);
    sim.StartAndEnable();
    sim.Host().RunFrame();
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("__import__('KV_Edges').me.drawn"), "2");
    EXPECT_EQ(sim.LogFile().find("Traceback"), std::string::npos) << sim.LogFile();
    sim.DisableAndStop();
}

}  // namespace
}  // namespace korvane::testing
