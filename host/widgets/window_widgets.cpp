// The passive standard classes and the main window: windows, captions, pictures and
// progress bars.
#include "host/widgets/widget_kit.h"

#include <XPLMGraphics.h>
#include <XPStandardWidgets.h>
#include <XPUIGraphics.h>
#include <XPWidgetUtils.h>
#include <XPWidgets.h>

namespace korvane::host::widgets {
namespace {

constexpr int kTitleBarHeight = 18;
constexpr int kCloseBoxSize = 14;
constexpr int kCloseBoxInset = 2;

// xpProperty_Hilited of a main window names the close box held down: 0 none.
enum CloseBox { kNoCloseBox = 0, kLeftCloseBox = 1, kRightCloseBox = 2 };

Box CloseBoxAt(const Box& window, CloseBox which) {
    Box box;
    box.top = window.top - kCloseBoxInset;
    box.bottom = box.top - kCloseBoxSize;
    box.left = which == kLeftCloseBox ? window.left + kCloseBoxInset : window.right - kCloseBoxInset - kCloseBoxSize;
    box.right = box.left + kCloseBoxSize;
    return box;
}

CloseBox CloseBoxUnder(XPWidgetID widget, const Box& window, int x, int y) {
    if (!Property(widget, xpProperty_MainWindowHasCloseBoxes)) return kNoCloseBox;
    if (CloseBoxAt(window, kLeftCloseBox).Contains(x, y)) return kLeftCloseBox;
    if (CloseBoxAt(window, kRightCloseBox).Contains(x, y)) return kRightCloseBox;
    return kNoCloseBox;
}

// Text drawn in the vertical middle of a box, from `x`.
void DrawTextCentredVertically(const std::string& text, int x, const Box& box, bool lit, bool enabled = true) {
    int height = 0;
    CharacterSize(xplmFont_Basic, nullptr, &height);
    DrawText(text, x, box.bottom + (box.Height() - height) / 2 + 2, lit, enabled);
}

void DrawMainWindow(XPWidgetID widget) {
    const Box box = GeometryOf(widget);
    if (Property(widget, xpProperty_MainWindowType) == xpMainWindowStyle_Translucent)
        XPLMDrawTranslucentDarkBox(box.left, box.top, box.right, box.bottom);
    else
        XPDrawWindow(box.left, box.bottom, box.right, box.top, xpWindow_MainWindow);
    const bool closeBoxes = Property(widget, xpProperty_MainWindowHasCloseBoxes) != 0;
    int titleLeft = box.left + 6;
    if (closeBoxes) {
        const intptr_t held = Property(widget, xpProperty_Hilited);
        for (CloseBox which : {kLeftCloseBox, kRightCloseBox}) {
            const Box close = CloseBoxAt(box, which);
            XPDrawElement(close.left, close.bottom, close.right, close.top,
                          held == which ? xpElement_WindowCloseBoxPressed : xpElement_WindowCloseBox, 0);
        }
        titleLeft = box.left + 2 * kCloseBoxInset + kCloseBoxSize + 4;
    }
    Box title = box;
    title.bottom = box.top - kTitleBarHeight;
    DrawTextCentredVertically(DescriptorOf(widget), titleLeft, title, false);
}

XPWindowStyle SubWindowStyle(intptr_t type) {
    switch (type) {
        case xpSubWindowStyle_Screen: return xpWindow_Screen;
        case xpSubWindowStyle_ListView: return xpWindow_ListView;
        default: return xpWindow_SubWindow;
    }
}

// The element that pictures a general-graphics type; -1 for a type without one.
XPElementStyle GraphicsElement(intptr_t type) {
    switch (type) {
        case xpShip: return xpElement_Ship;
        case xpILSGlideScope: return xpElement_ILSGlideScope;
        case xpMarkerLeft: return xpElement_MarkerLeft;
        case xp_Airport: return xpElement_Airport;
        case xpNDB: return xpElement_NDB;
        case xpVOR: return xpElement_VOR;
        case xpRadioTower: return xpElement_RadioTower;
        case xpAircraftCarrier: return xpElement_AircraftCarrier;
        case xpFire: return xpElement_Fire;
        case xpMarkerRight: return xpElement_MarkerRight;
        case xpCustomObject: return xpElement_CustomObject;
        case xpCoolingTower: return xpElement_CoolingTower;
        case xpSmokeStack: return xpElement_SmokeStack;
        case xpBuilding: return xpElement_Building;
        case xpPowerLine: return xpElement_PowerLine;
        case xpVORWithCompassRose: return xpElement_VORWithCompassRose;
        case xpOilPlatform: return xpElement_OilPlatform;
        case xpOilPlatformSmall: return xpElement_OilPlatformSmall;
        case xpWayPoint: return xpElement_Waypoint;
        default: return -1;
    }
}

}  // namespace

int MainWindowFunction(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    if (message == xpMsg_Draw) {
        DrawMainWindow(widget);
        return 1;
    }
    // Moved (by its title bar or its owner), a window takes its contents along. An owner
    // that lays them out itself answers the reshape first.
    if (message == xpMsg_Reshape) return XPUFixedLayout(message, widget, param1, param2);
    const XPMouseState_t* mouse = MouseOf(message, param1);
    if (!mouse || message == xpMsg_MouseWheel) return 0;
    const Box box = GeometryOf(widget);
    const intptr_t held = Property(widget, xpProperty_Hilited);
    switch (message) {
        case xpMsg_MouseDown:
            if (const CloseBox which = CloseBoxUnder(widget, box, mouse->x, mouse->y)) {
                SetProperty(widget, xpProperty_Hilited, which);
                return 1;
            }
            // The title bar drags the window; a click anywhere else on it stays with it.
            XPUDragWidget(message, widget, param1, param2, box.left, box.top, box.right, box.top - kTitleBarHeight);
            return box.Contains(mouse->x, mouse->y) ? 1 : 0;
        case xpMsg_MouseDrag:
            if (held) return 1;
            XPUDragWidget(message, widget, param1, param2, box.left, box.top, box.right, box.top - kTitleBarHeight);
            return 1;
        case xpMsg_MouseUp:
            if (held) {
                SetProperty(widget, xpProperty_Hilited, kNoCloseBox);
                // The owner may destroy the window in answer: nothing touches it afterwards.
                if (CloseBoxAt(box, static_cast<CloseBox>(held)).Contains(mouse->x, mouse->y))
                    XPSendMessageToWidget(widget, xpMessage_CloseButtonPushed, xpMode_UpChain,
                                          reinterpret_cast<intptr_t>(widget), 0);
                return 1;
            }
            XPUDragWidget(message, widget, param1, param2, box.left, box.top, box.right, box.top - kTitleBarHeight);
            return 1;
        default:
            return 0;
    }
}

int SubWindowFunction(XPWidgetMessage message, XPWidgetID widget, intptr_t, intptr_t) {
    if (message != xpMsg_Draw) return 0;
    const Box box = GeometryOf(widget);
    XPDrawWindow(box.left, box.bottom, box.right, box.top, SubWindowStyle(Property(widget, xpProperty_SubWindowType)));
    return 1;
}

int CaptionFunction(XPWidgetMessage message, XPWidgetID widget, intptr_t, intptr_t) {
    if (message != xpMsg_Draw) return 0;
    const Box box = GeometryOf(widget);
    DrawTextCentredVertically(DescriptorOf(widget), box.left, box, Property(widget, xpProperty_CaptionLit) != 0,
                              IsEnabled(widget));
    return 1;
}

int GeneralGraphicsFunction(XPWidgetMessage message, XPWidgetID widget, intptr_t, intptr_t) {
    if (message != xpMsg_Draw) return 0;
    const XPElementStyle element = GraphicsElement(Property(widget, xpProperty_GeneralGraphicsType));
    if (element < 0) return 1;
    const Box box = GeometryOf(widget);
    XPDrawElement(box.left, box.bottom, box.right, box.top, element, 0);
    return 1;
}

int ProgressFunction(XPWidgetMessage message, XPWidgetID widget, intptr_t, intptr_t) {
    if (message != xpMsg_Draw) return 0;
    const Box box = GeometryOf(widget);
    XPDrawTrack(box.left, box.bottom, box.right, box.top, static_cast<int>(Property(widget, xpProperty_ProgressMin)),
                static_cast<int>(Property(widget, xpProperty_ProgressMax, 100)),
                static_cast<int>(Property(widget, xpProperty_ProgressPosition)), xpTrack_Progress, 0);
    return 1;
}

}  // namespace korvane::host::widgets
