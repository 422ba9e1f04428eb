"""A command of the script's own, handled by the script and pressed in three ways.

XPLMCreateCommand makes "korvane/examples/approach_configuration"; its handler sets
the aircraft up for an approach by pressing the simulator's own flaps and gear
commands. The item Plugins/Command Example/Approach Configuration presses it, and so
does KV_Command.events, as a key or joystick button bound to it would. Two more
handlers watch simulator commands: one after flaps_down, which reads the flap
setting the simulator's own action left, and one on the brakes while they are held.

A handler gets the command, the phase (begin, continue every frame while held, end)
and its refcon, and returns 1 to let the command go on or 0 to stop it.
"""
import XPLMDataAccess
import XPLMMenus
import XPLMUtilities

NAME = "korvane/examples/approach_configuration"
BEFORE, AFTER = 1, 0  # which side of the simulator's own action a handler runs on


class Korvane:
    def XPluginStart(self):
        U = XPLMUtilities
        self.command = U.XPLMCreateCommand(NAME, "Flaps down a notch and gear down")
        self.flapsDown = U.XPLMFindCommand("sim/flight_controls/flaps_down")
        self.gearDown = U.XPLMFindCommand("sim/flight_controls/landing_gear_down")
        self.brakes = U.XPLMFindCommand("sim/flight_controls/brakes_regular")
        self.flaps = XPLMDataAccess.XPLMFindDataRef("sim/flightmodel/controls/flaprqst")
        self.gear = XPLMDataAccess.XPLMFindDataRef("sim/cockpit/switches/gear_handle_status")
        self.heldFrames = 0
        self.handlers = [(self.command, self.Configure, BEFORE, 1),
                         (self.flapsDown, self.FlapsMoved, AFTER, 2),
                         (self.brakes, self.Brakes, AFTER, 3)]
        for command, handler, side, refcon in self.handlers:
            U.XPLMRegisterCommandHandler(self, command, handler, side, refcon)

        self.plugins = XPLMMenus.XPLMFindPluginsMenu()
        self.item = XPLMMenus.XPLMAppendMenuItem(self.plugins, "Command Example", 0, 1)
        self.menu = XPLMMenus.XPLMCreateMenu(self, "Command Example", self.plugins, self.item, self.Picked, 0)
        XPLMMenus.XPLMAppendMenuItem(self.menu, "Approach Configuration", 0, 1)
        print("Command Example: created %s; unknown names find %s"
              % (NAME, U.XPLMFindCommand("korvane/examples/no_such_command")))
        return "Command Example", "korvane.examples.command", "A command of its own, on a menu item and a key"

    def XPluginEnable(self):
        return 1

    def Picked(self, menuRefcon, itemRefcon):
        print("Command Example: menu item picked")
        XPLMUtilities.XPLMCommandOnce(self.command)

    def Configure(self, command, phase, refcon):
        if phase == XPLMUtilities.xplm_CommandBegin:
            print("Command Example: %s pressed (refcon %d)" % (NAME, refcon))
            XPLMUtilities.XPLMCommandOnce(self.flapsDown)
            XPLMUtilities.XPLMCommandOnce(self.gearDown)
            gear = "down" if XPLMDataAccess.XPLMGetDatai(self.gear) else "up"
            print("Command Example: flaps %.2f, gear handle %s" % (XPLMDataAccess.XPLMGetDataf(self.flaps), gear))
        return 1

    def FlapsMoved(self, command, phase, refcon):
        if phase == XPLMUtilities.xplm_CommandBegin:
            print("Command Example: after flaps_down the flaps are at %.2f" % XPLMDataAccess.XPLMGetDataf(self.flaps))
        return 1

    def Brakes(self, command, phase, refcon):
        if phase == XPLMUtilities.xplm_CommandBegin:
            self.heldFrames = 0
        elif phase == XPLMUtilities.xplm_CommandContinue:
            self.heldFrames += 1
        else:
            print("Command Example: brakes held for %d frames" % self.heldFrames)
        return 1

    def XPluginDisable(self):
        pass

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        for command, handler, side, refcon in self.handlers:
            XPLMUtilities.XPLMUnregisterCommandHandler(self, command, handler, side, refcon)
        XPLMMenus.XPLMDestroyMenu(self, self.menu)
        XPLMMenus.XPLMRemoveMenuItem(self.plugins, self.item)
