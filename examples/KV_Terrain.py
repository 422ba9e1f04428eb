"""Height above the ground, from a terrain probe, and a pushback tug beside the aircraft.

Every frame the window probes the terrain straight below the aircraft (local
coordinates from sim/flightmodel/position/local_x, _y, _z) and shows the ground's
elevation, the height above it and whether it is water. The tug comes from the scenery
library (XPLMLookupObjects), is loaded in the background (XPLMLoadObjectAsync) and drawn
30 m east of the aircraft once it is there; in the headless host a snapshot shows it as
a marker:
    ./run.sh --seconds 1 --snapshot terrain.png
"""
import XPLMDataAccess
import XPLMDisplay
import XPLMGraphics
import XPLMScenery

LEFT, TOP, RIGHT, BOTTOM = 20, 740, 300, 670
TUG = "lib/airport/vehicles/pushback/tug.obj"


class Korvane:
    def XPluginStart(self):
        self.position = [XPLMDataAccess.XPLMFindDataRef("sim/flightmodel/position/local_" + axis)
                         for axis in "xyz"]
        self.probe = XPLMScenery.XPLMCreateProbe(XPLMScenery.xplm_ProbeY)
        self.info = []  # the probe's result list, refilled by every probe
        self.window = XPLMDisplay.XPLMCreateWindow(self, LEFT, TOP, RIGHT, BOTTOM, 1, self.Draw, self.Key,
                                                   self.Mouse, 0)
        self.tug = None
        self.reading = ["not drawn yet"]
        self.found = []
        XPLMScenery.XPLMLookupObjects(TUG, 47.45, -122.31, self.Found, 0)
        if self.found:
            XPLMScenery.XPLMLoadObjectAsync(self, self.found[0], self.Loaded, 0)
        XPLMDisplay.XPLMRegisterDrawCallback(self, self.DrawScene, XPLMDisplay.xplm_Phase_Objects, 0, 0)
        return "Terrain", "korvane.examples.terrain", "Height above the ground from a terrain probe"

    def Found(self, path, refcon):
        # Called for each file the library path stands for, before the lookup returns.
        self.found.append(path)

    def Loaded(self, tug, refcon):
        # A later frame: the object, or None when it could not be loaded.
        self.tug = tug
        print("Terrain: the tug is %s" % ("loaded" if tug else "missing"))

    def XPluginEnable(self):
        return 1

    def XPluginDisable(self):
        pass

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        print("Terrain: " + "; ".join(self.reading))
        XPLMDisplay.XPLMUnregisterDrawCallback(self, self.DrawScene, XPLMDisplay.xplm_Phase_Objects, 0, 0)
        if self.tug:
            XPLMScenery.XPLMUnloadObject(self.tug)
        XPLMScenery.XPLMDestroyProbe(self.probe)
        XPLMDisplay.XPLMDestroyWindow(self, self.window)

    def Aircraft(self):
        return [XPLMDataAccess.XPLMGetDatad(ref) for ref in self.position]

    def DrawScene(self, phase, isBefore, refcon):
        if self.tug:
            x, y, z = self.Aircraft()
            # x, y, z, pitch, heading, roll: facing north, on the ground below the aircraft.
            XPLMScenery.XPLMDrawObjects(self.tug, 1, [[x + 30.0, y, z, 0.0, 0.0, 0.0]], 0, 1)
        return 1

    def Draw(self, window, refcon):
        x, y, z = self.Aircraft()
        result = XPLMScenery.XPLMProbeTerrainXYZ(self.probe, x, y, z, self.info)
        if result == XPLMScenery.xplm_ProbeHitTerrain:
            ground, wet = self.info[1], self.info[9]
            lines = ["Ground %.0f m above sea level%s" % (ground, ", water" if wet else ""),
                     "Height above ground %.1f m" % (y - ground)]
        else:
            lines = ["No terrain below the aircraft"]
        self.reading = lines
        XPLMGraphics.XPLMDrawTranslucentDarkBox(LEFT, TOP, RIGHT, BOTTOM)
        for row, line in enumerate(lines):
            XPLMGraphics.XPLMDrawString([1.0, 1.0, 1.0], LEFT + 10, TOP - 22 - 20 * row, line, 0,
                                        XPLMGraphics.xplmFont_Basic)

    def Key(self, window, key, flags, virtualKey, refcon, losingFocus):
        pass

    def Mouse(self, window, x, y, state, refcon):
        return 1
