"""What happens when a script goes wrong.

An error in a script never stops the simulator: its traceback goes to
KorvaneLog.txt (everything a script writes to sys.stderr goes there) and the
system carries on with the next script.
"""
import sys


class Korvane:
    def XPluginStart(self):
        sys.stderr.write("Error Report: about to fail on purpose in XPluginEnable\n")
        return "Error Report", "korvane.examples.errorreport", "Shows where a script's errors are reported"

    def XPluginEnable(self):
        settings = {"units": "metric"}
        # A deliberate mistake: the key does not exist, so this raises KeyError and
        # its traceback appears in the log.
        return settings["altitude"]

    def XPluginDisable(self):
        pass

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        pass
