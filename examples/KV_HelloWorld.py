"""A script plug-in at its smallest.

Korvane imports every KV_*.py file in the scripts folder, makes one instance of its
Korvane class and then treats that instance the way the simulator treats a compiled
plug-in: start, enable, disable, stop and messages arrive as method calls.
"""


class Korvane:
    def XPluginStart(self):
        # Whatever a script prints goes to KorvaneOutput.txt and to the console.
        print("Hello from a Python script plug-in")
        # The same three texts a compiled plug-in hands the simulator.
        return "Hello World", "korvane.examples.helloworld", "Says hello at every stage of its life"

    def XPluginEnable(self):
        print("Hello World enabled")
        return 1

    def XPluginDisable(self):
        print("Hello World disabled")

    def XPluginStop(self):
        print("Hello World stopped; goodbye")

    def XPluginReceiveMessage(self, sender, message, parameter):
        print("Message %d from plug-in %d" % (message, sender))
