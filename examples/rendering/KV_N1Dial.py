"""An engine N1 gauge in a window, drawn with PyOpenGL.

The needle follows the first engine's N1 (sim/flightmodel/engine/ENGN_N1_, percent),
read every frame; the value is written below the dial with XPLMDrawString. Draw
callbacks run with a 2-D projection in screen pixels, origin at the lower left.
See it without the simulator:
    ./run.sh --scripts examples/rendering --seconds 1 --snapshot dial.png
"""
import math

import XPLMDataAccess
import XPLMDisplay
import XPLMGraphics

try:
    from OpenGL import GL  # type: ignore[import]
except ImportError:  # no PyOpenGL: the text still shows
    GL = None

LEFT, TOP, RIGHT, BOTTOM = 60, 460, 300, 200
FULL_SCALE = 110.0  # percent N1 at the end of the scale
SWEEP = 270.0  # degrees from zero to full scale, clockwise from lower left


def Angle(percent):
    """Screen angle in radians for a value on the scale."""
    fraction = min(max(percent / FULL_SCALE, 0.0), 1.0)
    return math.radians(225.0 - SWEEP * fraction)


class Korvane:
    def XPluginStart(self):
        self.n1 = XPLMDataAccess.XPLMFindDataRef("sim/flightmodel/engine/ENGN_N1_")
        self.window = XPLMDisplay.XPLMCreateWindow(self, LEFT, TOP, RIGHT, BOTTOM, 1, self.Draw, self.Key,
                                                   self.Mouse, 0)
        if GL is None:
            print("N1 Dial: PyOpenGL is not installed; only the text is drawn")
        return "N1 Dial", "korvane.examples.n1dial", "An N1 gauge drawn with PyOpenGL"

    def XPluginEnable(self):
        return 1

    def XPluginDisable(self):
        pass

    def XPluginStop(self):
        XPLMDisplay.XPLMDestroyWindow(self, self.window)

    def Draw(self, window, refcon):
        lefts, tops, rights, bottoms = [], [], [], []
        XPLMDisplay.XPLMGetWindowGeometry(window, lefts, tops, rights, bottoms)
        left, top, right, bottom = lefts[0], tops[0], rights[0], bottoms[0]
        values = []
        XPLMDataAccess.XPLMGetDatavf(self.n1, values, 0, 1)
        n1 = values[0] if values else 0.0
        XPLMGraphics.XPLMDrawTranslucentDarkBox(left, top, right, bottom)
        cx, cy = (left + right) / 2.0, (top + bottom) / 2.0 + 15
        radius = min(right - left, top - bottom) / 2.0 - 30
        if GL is not None:
            self.DrawDial(cx, cy, radius, n1)
        XPLMGraphics.XPLMDrawString([1.0, 1.0, 1.0], int(cx) - 40, bottom + 16, "N1 %5.1f %%" % n1, 0,
                                    XPLMGraphics.xplmFont_Basic)

    def DrawDial(self, cx, cy, radius, n1):
        XPLMGraphics.XPLMSetGraphicsState(0, 0, 0, 0, 1, 0, 0)
        # The scale: an arc with a tick every 10 %, red above 100 %.
        GL.glLineWidth(2.0)
        GL.glBegin(GL.GL_LINES)
        for step in range(0, 12):
            percent = step * 10.0
            a = Angle(percent)
            inner = radius * (0.80 if step % 2 == 0 else 0.88)
            if percent > 100.0:
                GL.glColor3f(0.9, 0.1, 0.1)
            else:
                GL.glColor3f(0.9, 0.9, 0.9)
            GL.glVertex2f(cx + inner * math.cos(a), cy + inner * math.sin(a))
            GL.glVertex2f(cx + radius * math.cos(a), cy + radius * math.sin(a))
        GL.glEnd()
        GL.glColor3f(0.9, 0.9, 0.9)
        GL.glBegin(GL.GL_LINE_STRIP)
        for step in range(0, 55):
            a = Angle(step * 2.0)
            GL.glVertex2f(cx + radius * math.cos(a), cy + radius * math.sin(a))
        GL.glEnd()
        # The needle, a thin triangle from the hub.
        a = Angle(n1)
        GL.glColor3f(1.0, 0.6, 0.0)
        GL.glBegin(GL.GL_TRIANGLES)
        GL.glVertex2f(cx + 5 * math.cos(a + math.pi / 2), cy + 5 * math.sin(a + math.pi / 2))
        GL.glVertex2f(cx + 5 * math.cos(a - math.pi / 2), cy + 5 * math.sin(a - math.pi / 2))
        GL.glVertex2f(cx + radius * 0.92 * math.cos(a), cy + radius * 0.92 * math.sin(a))
        GL.glEnd()
        GL.glLineWidth(1.0)

    def Key(self, window, key, flags, virtualKey, refcon, losingFocus):
        pass

    def Mouse(self, window, x, y, state, refcon):
        return 1
