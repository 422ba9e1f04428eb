"""A hot key: a key combination that calls the script wherever the user is.

The simulator lists every plug-in's hot keys and lets the user change their keys;
XPLMGetHotKeyInfo reads what one is set to now. KV_HotKey.events, beside this
script, presses F8 for it when korvane-host runs.
"""
import XPLMDisplay

F8 = 0x77        # virtual key codes and key flags as the SDK numbers them
DOWN_FLAG = 8


class Korvane:
    def XPluginStart(self):
        self.presses = 0
        self.hotKey = XPLMDisplay.XPLMRegisterHotKey(self, F8, DOWN_FLAG, "Korvane example: say hello",
                                                     self.SayHello, 42)
        key, flags, description, plugin = [], [], [], []
        XPLMDisplay.XPLMGetHotKeyInfo(self.hotKey, key, flags, description, plugin)
        print("Hot key: virtual key %d, flags %d, '%s'" % (key[0], flags[0], description[0]))
        return "Hot Key", "korvane.examples.hotkey", "Says hello when F8 is pressed"

    def XPluginEnable(self):
        return 1

    def XPluginDisable(self):
        pass

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        print("Hot key: pressed %d times" % self.presses)
        XPLMDisplay.XPLMUnregisterHotKey(self, self.hotKey)

    def SayHello(self, refcon):
        self.presses += 1
        print("Hot key: hello (press %d, refcon %d)" % (self.presses, refcon))
