"""A menu under the simulator's plug-ins menu, with items that can be checked.

A sub-menu hangs from an item: the script appends an item to the plug-ins menu and
creates its menu on that item. When the user picks an item, the simulator calls the
menu's handler with the menu refcon given to XPLMCreateMenu and the item refcon given
to XPLMAppendMenuItem; here the item refcon is the item's index, so the handler can
toggle its check.
"""
import XPLMMenus

MENU_REFCON = 40  # any int; it comes back to the handler unchanged
ITEMS = [("Landing Lights", XPLMMenus.xplm_Menu_Checked), ("Radio Panel", XPLMMenus.xplm_Menu_Unchecked)]


class Korvane:
    def XPluginStart(self):
        self.plugins = XPLMMenus.XPLMFindPluginsMenu()
        self.item = XPLMMenus.XPLMAppendMenuItem(self.plugins, "Menu Example", 0, 1)
        self.menu = XPLMMenus.XPLMCreateMenu(self, "Menu Example", self.plugins, self.item, self.Picked, MENU_REFCON)
        for itemRefcon, (name, check) in enumerate(ITEMS):
            index = XPLMMenus.XPLMAppendMenuItem(self.menu, name, itemRefcon, 1)
            XPLMMenus.XPLMCheckMenuItem(self.menu, index, check)
        print("Menu Example: added Plugins/Menu Example with %d items" % len(ITEMS))
        return "Menu Example", "korvane.examples.menuexample", "A menu with items to check and uncheck"

    def XPluginEnable(self):
        return 1

    def Picked(self, menuRefcon, itemRefcon):
        index = itemRefcon
        checked = XPLMMenus.XPLMCheckMenuItemState(self.menu, index) == XPLMMenus.xplm_Menu_Checked
        toggled = XPLMMenus.xplm_Menu_Unchecked if checked else XPLMMenus.xplm_Menu_Checked
        XPLMMenus.XPLMCheckMenuItem(self.menu, index, toggled)
        print("Menu Example: picked item %d (menu refcon %d); %s is now %s"
              % (itemRefcon, menuRefcon, ITEMS[index][0], "unchecked" if checked else "checked"))

    def XPluginDisable(self):
        pass

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        # A script undoes its own registrations: the menu, and the item it hung from.
        XPLMMenus.XPLMDestroyMenu(self, self.menu)
        XPLMMenus.XPLMRemoveMenuItem(self.plugins, self.item)
