"""A window that reports what reaches it.

The simulator calls a window's three callables: draw once per frame while the window
is visible, mouse for each click, drag and release inside it, and key for each key
press while the window has the keyboard focus. Try it with the clicks and keys of
KV_Window.events, which korvane-host plays because it lies beside this script.
"""
import XPLMDisplay

ESCAPE = 0x1B  # virtual key codes and key flags as the SDK numbers them
SHIFT_FLAG = 1
MOUSE_STATES = {XPLMDisplay.xplm_MouseDown: "down", XPLMDisplay.xplm_MouseDrag: "drag",
                XPLMDisplay.xplm_MouseUp: "up"}


class Korvane:
    def XPluginStart(self):
        self.draws = 0
        # Left, top, right, bottom in screen pixels from the lower left corner; the
        # last argument is the refcon every callable of the window receives.
        self.window = XPLMDisplay.XPLMCreateWindow(self, 100, 400, 400, 200, 1, self.Draw, self.Key, self.Mouse, 7)
        width, height = [], []
        XPLMDisplay.XPLMGetScreenSize(width, height)
        print("Window: created on a %d x %d screen" % (width[0], height[0]))
        return "Window", "korvane.examples.window", "A window that prints what it receives"

    def XPluginEnable(self):
        return 1

    def XPluginDisable(self):
        pass

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        print("Window: drawn %d times" % self.draws)
        XPLMDisplay.XPLMDestroyWindow(self, self.window)

    def Draw(self, window, refcon):
        self.draws += 1
        if self.draws == 1:
            print("Window draw: first frame, refcon %d" % refcon)

    def Mouse(self, window, x, y, state, refcon):
        print("Window mouse: %s at (%d, %d), refcon %d" % (MOUSE_STATES.get(state, state), x, y, refcon))
        if state == XPLMDisplay.xplm_MouseDown:
            XPLMDisplay.XPLMTakeKeyboardFocus(window)
        return 1  # the click is ours

    def Key(self, window, key, flags, virtualKey, refcon, losingFocus):
        if losingFocus:
            print("Window key: focus lost")
            return
        shift = " with shift" if flags & SHIFT_FLAG else ""
        print("Window key: char %r%s, flags %d, virtual key %d, refcon %d"
              % (chr(key & 0xFF), shift, flags, virtualKey, refcon))
        if virtualKey == ESCAPE:
            # Escape: give the keyboard back to the simulator and hide.
            XPLMDisplay.XPLMTakeKeyboardFocus(0)
            XPLMDisplay.XPLMSetWindowIsVisible(window, 0)
            print("Window: hidden")
