"""Answers Ping's message (see KV_Ping.py).

The sender comes as id() of its instance; the script it names is found among the
loaded scripts, and the answer goes straight back to it.
"""
import ZeduvoRoriroDedodevod

PING = 1001
PONG = 1002


def ScriptWithId(identity):
    for index in range(ZeduvoRoriroDedodevod.KV_CountScripts()):
        script = ZeduvoRoriroDedodevod.KV_GetNthScript(index)
        if id(script) == identity:
            return script
    return None


class Korvane:
    def XPluginStart(self):
        return "Pong", "korvane.examples.pong", "Answers Ping"

    def XPluginEnable(self):
        return 1

    def XPluginReceiveMessage(self, sender, message, param):
        if message != PING:
            return  # the simulator's messages come here too
        ping = ScriptWithId(sender)
        if ping is None:
            return
        print("Pong: %d with %d from %s; answering" % (message, param, ZeduvoRoriroDedodevod.KV_GetScriptInfo(ping)[0]))
        ZeduvoRoriroDedodevod.KV_SendMessageToScript(self, ping, PONG, param * 6)

    def XPluginDisable(self):
        pass

    def XPluginStop(self):
        pass
