"""Publishing data references of your own.

Other plug-ins (and other scripts) read and write a script's data reference as if
the simulator held it: every read or write becomes a call of one of the script's
methods. This script publishes a counter (an int) and three levels (a float array),
counts once a second, and reads its data back through the simulator as any other
plug-in would.
"""
from XPLMDataAccess import *
import XPLMProcessing

COUNTER = "korvane/examples/counter"
LEVELS = "korvane/examples/levels"


class Korvane:
    def XPluginStart(self):
        self.count = 0
        self.levels = [0.0, 0.5, 1.0]
        # Twelve slots, a reader then a writer for: int, float, double, int array,
        # float array, bytes. Each must be a method of this script; None leaves a
        # slot unserved (reads of it answer 0). Then the read and write refcons.
        self.counterRef = XPLMRegisterDataAccessor(
            self, COUNTER, xplmType_Int, 1,
            self.GetCount, self.SetCount,
            None, None, None, None, None, None, None, None, None, None,
            0, 0)
        self.levelsRef = XPLMRegisterDataAccessor(
            self, LEVELS, xplmType_FloatArray, 1,
            None, None, None, None, None, None, None, None,
            self.GetLevels, self.SetLevels,
            None, None,
            0, 0)
        # Keep the bound method: unregistering names the callable that was registered.
        self.tick = self.Tick
        return "Publish Data", "korvane.examples.publishdata", "Publishes a counter and an array of levels"

    def XPluginEnable(self):
        # Any plug-in may write the levels; this write arrives at SetLevels.
        XPLMSetDatavf(XPLMFindDataRef(LEVELS), [0.25, 0.75], 1, 2)
        XPLMProcessing.XPLMRegisterFlightLoopCallback(self, self.tick, 1.0, 0)
        return 1

    def Tick(self, sinceLastCall, sinceLastFlightLoop, counter, refcon):
        self.count += 1
        # Through the simulator, as another plug-in reads: these come back to the methods below.
        levels = []
        XPLMGetDatavf(XPLMFindDataRef(LEVELS), levels, 0, 3)
        print("Publish Data: counter %d, levels %s"
              % (XPLMGetDatai(XPLMFindDataRef(COUNTER)), ", ".join("%.2f" % level for level in levels)))
        return 1.0

    # Readers receive the read refcon, writers the write refcon and the new value.
    def GetCount(self, refcon):
        return self.count

    def SetCount(self, refcon, value):
        self.count = value

    def GetLevels(self, refcon, values, offset, max):
        # values is None when the caller only asks how many there are.
        if values is None:
            return len(self.levels)
        part = self.levels[offset:offset + max]
        values.extend(part)
        return len(part)

    def SetLevels(self, refcon, values, offset, count):
        self.levels[offset:offset + len(values)] = values

    def XPluginDisable(self):
        XPLMProcessing.XPLMUnregisterFlightLoopCallback(self, self.tick, 0)

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        # Withdraw both: from now on other plug-ins no longer find them.
        XPLMUnregisterDataAccessor(self, self.counterRef)
        XPLMUnregisterDataAccessor(self, self.levelsRef)
