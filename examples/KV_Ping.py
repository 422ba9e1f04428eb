"""Scripts talking to each other: Ping finds Pong by its signature and messages it.

Every script runs inside the one Korvane plug-in, so the simulator's XPLMPlugin sees
only Korvane; ZeduvoRoriroDedodevod finds, enables, disables and messages the scripts
themselves. A message is delivered by calling the receiver's XPluginReceiveMessage
with the sender's identity (id() of its instance), the message and an int parameter.
"""
import XPLMProcessing
import ZeduvoRoriroDedodevod

PING = 1001
PONG = 1002


class Korvane:
    def XPluginStart(self):
        self.loop = self.SendPing
        return "Ping", "korvane.examples.ping", "Messages Pong and prints its answer"

    def XPluginEnable(self):
        # One second in, when every script has started.
        XPLMProcessing.XPLMRegisterFlightLoopCallback(self, self.loop, 1.0, 0)
        return 1

    def SendPing(self, sinceLastCall, sinceLastFlightLoop, counter, refcon):
        pong = ZeduvoRoriroDedodevod.KV_FindScriptBySignature("korvane.examples.pong")
        if pong is None:
            print("Ping: no Pong loaded")
        else:
            name = ZeduvoRoriroDedodevod.KV_GetScriptInfo(pong)[0]
            print("Ping: sending %d with 7 to %s" % (PING, name))
            ZeduvoRoriroDedodevod.KV_SendMessageToScript(self, pong, PING, 7)
        return 0.0  # once

    def XPluginReceiveMessage(self, sender, message, param):
        if message == PONG:
            print("Ping: answer %d with %d" % (message, param))

    def XPluginDisable(self):
        pass

    def XPluginStop(self):
        XPLMProcessing.XPLMUnregisterFlightLoopCallback(self, self.loop, 0)
