"""A flight loop: work the simulator asks for again and again while it flies.

The script hands the simulator a callable and an interval. The simulator calls it
with the time since its last call, the time since the last flight-loop pass, a
counter and the script's own refcon; whatever number the callable returns says when
to call it next: seconds when positive, frames when negative, never again when 0.
"""
import XPLMProcessing

CALLS_BEFORE_STOPPING = 3
REFCON = 7  # any int; it comes back to the callable unchanged


class Korvane:
    def XPluginStart(self):
        # Keep the bound method: unregistering names the callable that was registered.
        self.tick = self.Tick
        self.calls = 0
        return "Flight Loop Clock", "korvane.examples.flightloopclock", "Prints the simulator's clock every second"

    def XPluginEnable(self):
        # First call one second from now.
        XPLMProcessing.XPLMRegisterFlightLoopCallback(self, self.tick, 1.0, REFCON)
        return 1

    def Tick(self, sinceLastCall, sinceLastFlightLoop, counter, refcon):
        self.calls += 1
        print("Flight loop %d: simulator time %.2f s (%.2f s since my last call, cycle %d, refcon %d)"
              % (self.calls, XPLMProcessing.XPLMGetElapsedTime(), sinceLastCall, counter, refcon))
        if self.calls >= CALLS_BEFORE_STOPPING:
            print("Flight Loop Clock: that will do")
            return 0.0  # not again, until someone sets a new interval
        return 1.0  # again in one second

    def XPluginDisable(self):
        pass

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        # A script undoes its own registrations; calling this twice does no harm.
        XPLMProcessing.XPLMUnregisterFlightLoopCallback(self, self.tick, REFCON)
