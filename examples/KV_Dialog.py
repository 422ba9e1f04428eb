"""A dialog built from a table of widgets.

XPUCreateWidgets makes the whole dialog in one call from a list of definitions:
left, top, right, bottom, visible, descriptor, is-root, container (an index into the
table, or NO_PARENT / PARAM_PARENT) and widget class. One callable added to the main
window hears what its children report up the chain: the OK button's press and the
close box. Try it with the clicks and keys of KV_Dialog.events, which korvane-host
plays because it lies beside this script.
"""
import XPStandardWidgets as std
import XPWidgetDefs
import XPWidgets
import XPWidgetUtils

WINDOW, NAME_LABEL, NAME, REMEMBER, REMEMBER_LABEL, VOLUME_LABEL, VOLUME, OK = range(8)

DIALOG = [
    [550, 700, 850, 500, 1, "Korvane dialog", 1, XPWidgetUtils.NO_PARENT, std.xpWidgetClass_MainWindow],
    [560, 670, 630, 650, 1, "Name:", 0, WINDOW, std.xpWidgetClass_Caption],
    [640, 670, 840, 650, 1, "", 0, WINDOW, std.xpWidgetClass_TextField],
    [560, 630, 580, 610, 1, "", 0, WINDOW, std.xpWidgetClass_Button],
    [585, 630, 750, 610, 1, "Remember me", 0, WINDOW, std.xpWidgetClass_Caption],
    [560, 595, 630, 575, 1, "Volume:", 0, WINDOW, std.xpWidgetClass_Caption],
    [640, 595, 840, 575, 1, "", 0, WINDOW, std.xpWidgetClass_ScrollBar],
    [750, 540, 830, 520, 1, "OK", 0, WINDOW, std.xpWidgetClass_Button],
]


class Korvane:
    def XPluginStart(self):
        self.widgets = []
        return "Dialog", "korvane.examples.dialog", "A dialog built with XPUCreateWidgets"

    def XPluginEnable(self):
        if self.widgets:
            XPWidgets.XPShowWidget(self.widgets[WINDOW])
            return 1
        XPWidgetUtils.XPUCreateWidgets(DIALOG, len(DIALOG), 0, self.widgets)
        w = self.widgets
        XPWidgets.XPSetWidgetProperty(w[WINDOW], std.xpProperty_MainWindowHasCloseBoxes, 1)
        XPWidgets.XPSetWidgetProperty(w[REMEMBER], std.xpProperty_ButtonType, std.xpRadioButton)
        XPWidgets.XPSetWidgetProperty(w[REMEMBER], std.xpProperty_ButtonBehavior, std.xpButtonBehaviorCheckBox)
        XPWidgets.XPSetWidgetProperty(w[NAME], std.xpProperty_MaxCharacters, 20)
        XPWidgets.XPSetWidgetProperty(w[VOLUME], std.xpProperty_ScrollBarType, std.xpScrollBarTypeSlider)
        XPWidgets.XPSetWidgetProperty(w[VOLUME], std.xpProperty_ScrollBarMin, 0)
        XPWidgets.XPSetWidgetProperty(w[VOLUME], std.xpProperty_ScrollBarMax, 100)
        XPWidgets.XPSetWidgetProperty(w[VOLUME], std.xpProperty_ScrollBarPageAmount, 10)
        XPWidgets.XPSetWidgetProperty(w[OK], std.xpProperty_ButtonType, std.xpPushButton)
        XPWidgets.XPSetWidgetProperty(w[OK], std.xpProperty_ButtonBehavior, std.xpButtonBehaviorPushButton)
        XPWidgets.XPAddWidgetCallback(self, w[WINDOW], self.DialogHandler)
        print("Dialog: %d widgets made" % len(w))
        return 1

    def XPluginDisable(self):
        pass

    def XPluginStop(self):
        if self.widgets:
            XPWidgets.XPDestroyWidget(self, self.widgets[WINDOW], 1)

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def DialogHandler(self, message, widget, param1, param2):
        w = self.widgets
        if message == std.xpMessage_CloseButtonPushed:
            print("Dialog: closed")
            XPWidgets.XPHideWidget(w[WINDOW])
            return 1
        if message == std.xpMsg_PushButtonPressed and param1 == w[OK]:
            name = []
            XPWidgets.XPGetWidgetDescriptor(w[NAME], name, 256)
            remember = XPWidgets.XPGetWidgetProperty(w[REMEMBER], std.xpProperty_ButtonState, 0)
            volume = XPWidgets.XPGetWidgetProperty(w[VOLUME], std.xpProperty_ScrollBarSliderPosition, 0)
            print("Dialog OK: name '%s', remember %d, volume %d" % (name[0], remember, volume))
            # Done: the keyboard goes back to the simulator and the dialog away.
            XPWidgets.XPSetKeyboardFocus(0)
            XPWidgets.XPHideWidget(w[WINDOW])
            return 1
        if message == XPWidgetDefs.xpMsg_MouseDown and widget == w[WINDOW]:
            x, y, button = XPWidgetDefs.KV_GetMouseState(param1)
            print("Dialog: click at (%d, %d)" % (x, y))
        return 0
