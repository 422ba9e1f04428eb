"""Reading and writing the simulator's own data references.

Find a data reference once by name, keep its handle, and read or write it whenever
needed: scalars directly, arrays into a list, byte data (the tail number) as text.
"""
from XPLMDataAccess import *
import XPLMProcessing


class Korvane:
    def XPluginStart(self):
        # Names the simulator does not know give None.
        self.engines = XPLMFindDataRef("sim/aircraft/engine/acf_num_engines")
        self.throttles = XPLMFindDataRef("sim/flightmodel/engine/ENGN_thro")
        self.tailNumber = XPLMFindDataRef("sim/aircraft/view/acf_tailnum")
        self.latitude = XPLMFindDataRef("sim/flightmodel/position/latitude")
        self.longitude = XPLMFindDataRef("sim/flightmodel/position/longitude")
        self.tick = self.Tick
        return "Read Sim Data", "korvane.examples.readsimdata", "Reads the aircraft and opens its throttles"

    def XPluginEnable(self):
        tail = []
        XPLMGetDatab(self.tailNumber, tail, 0, 40)  # one text, up to its first zero byte
        print("Read Sim Data: %s, %d engines, at %.4f %.4f"
              % (tail[0], XPLMGetDatai(self.engines), XPLMGetDatad(self.latitude), XPLMGetDatad(self.longitude)))
        XPLMProcessing.XPLMRegisterFlightLoopCallback(self, self.tick, 1.0, 0)
        return 1

    def Tick(self, sinceLastCall, sinceLastFlightLoop, counter, refcon):
        engines = XPLMGetDatai(self.engines)
        throttles = []
        XPLMGetDatavf(self.throttles, throttles, 0, engines)
        print("Read Sim Data: throttles " + ", ".join("%.2f" % throttle for throttle in throttles))
        # Open each engine's throttle a little further; the values must be floats.
        XPLMSetDatavf(self.throttles, [min(throttle + 0.1, 1.0) for throttle in throttles], 0, engines)
        return 1.0

    def XPluginDisable(self):
        XPLMProcessing.XPLMUnregisterFlightLoopCallback(self, self.tick, 0)

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        pass
