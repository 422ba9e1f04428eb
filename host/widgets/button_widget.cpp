// The button class: push buttons, check boxes and radio buttons in every look. A push
// button acts on the mouse up that ends a press begun on it, and only when that up is
// inside; while pressed it is hilited as long as the mouse stays on it. Check boxes and
// radio buttons change at once, on the click itself.
#include "host/widgets/widget_kit.h"

#include <XPLMGraphics.h>
#include <XPStandardWidgets.h>
#include <XPUIGraphics.h>
#include <XPWidgets.h>

namespace korvane::host::widgets {
namespace {

constexpr int kLabelGap = 4;

void DrawButton(XPWidgetID widget) {
    const Box box = GeometryOf(widget);
    const bool pressed = Property(widget, xpProperty_Hilited) != 0;
    const bool on = Property(widget, xpProperty_ButtonState) != 0;
    const bool enabled = IsEnabled(widget);
    const std::string label = DescriptorOf(widget);
    int charWidth = 0, charHeight = 0;
    CharacterSize(xplmFont_Basic, &charWidth, &charHeight);
    const int textY = box.bottom + (box.Height() - charHeight) / 2 + 2;

    switch (Property(widget, xpProperty_ButtonType)) {
        case xpRadioButton: {
            // A box at the left, lit while on, then the label.
            int width = 0, height = 0;
            XPGetElementDefaultDimensions(xpElement_CheckBox, &width, &height, nullptr);
            const int bottom = box.bottom + (box.Height() - height) / 2;
            XPDrawElement(box.left, bottom, box.left + width, bottom + height,
                          on ? xpElement_CheckBoxLit : xpElement_CheckBox, pressed);
            DrawText(label, box.left + width + kLabelGap, textY, false, enabled);
            return;
        }
        case xpWindowCloseBox:
            XPDrawElement(box.left, box.bottom, box.right, box.top,
                          pressed ? xpElement_WindowCloseBoxPressed : xpElement_WindowCloseBox, 0);
            return;
        case xpLittleDownArrow:
        case xpLittleUpArrow:
            XPDrawElement(box.left, box.bottom, box.right, box.top,
                          Property(widget, xpProperty_ButtonType) == xpLittleUpArrow ? xpElement_LittleUpArrow
                                                                                     : xpElement_LittleDownArrow,
                          pressed || on);
            return;
        default: {
            // A push button: lit while pressed, or while on when it keeps a state.
            const bool keepsState = Property(widget, xpProperty_ButtonBehavior) != xpButtonBehaviorPushButton;
            XPDrawElement(box.left, box.bottom, box.right, box.top,
                          pressed || (keepsState && on) ? xpElement_PushButtonLit : xpElement_PushButton, 0);
            const int textWidth = charWidth * static_cast<int>(label.size());
            DrawText(label, box.left + (box.Width() - textWidth) / 2, textY, pressed, enabled);
            return;
        }
    }
}

bool ActsOnPress(XPWidgetID widget) {
    const intptr_t behaviour = Property(widget, xpProperty_ButtonBehavior);
    return behaviour == xpButtonBehaviorCheckBox || behaviour == xpButtonBehaviorRadioButton;
}

// Act by behaviour. The owner may destroy the button in answer to the message, so
// nothing touches the widget after sending it.
void Act(XPWidgetID widget) {
    const intptr_t id = reinterpret_cast<intptr_t>(widget);
    switch (Property(widget, xpProperty_ButtonBehavior)) {
        case xpButtonBehaviorCheckBox: {
            const intptr_t state = Property(widget, xpProperty_ButtonState) ? 0 : 1;
            XPSetWidgetProperty(widget, xpProperty_ButtonState, state);
            XPSendMessageToWidget(widget, xpMsg_ButtonStateChanged, xpMode_UpChain, id, state);
            return;
        }
        case xpButtonBehaviorRadioButton:
            // Choosing the chosen one changes nothing.
            if (Property(widget, xpProperty_ButtonState) == 1) return;
            XPSetWidgetProperty(widget, xpProperty_ButtonState, 1);
            XPSendMessageToWidget(widget, xpMsg_ButtonStateChanged, xpMode_UpChain, id, 1);
            return;
        default:
            XPSendMessageToWidget(widget, xpMsg_PushButtonPressed, xpMode_UpChain, id, 0);
            return;
    }
}

}  // namespace

int ButtonFunction(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t) {
    if (message == xpMsg_Draw) {
        DrawButton(widget);
        return 1;
    }
    const XPMouseState_t* mouse = MouseOf(message, param1);
    if (!mouse || message == xpMsg_MouseWheel) return 0;
    const bool inside = GeometryOf(widget).Contains(mouse->x, mouse->y);
    switch (message) {
        case xpMsg_MouseDown:
            // A disabled button lets the click pass to what lies behind it.
            if (!IsEnabled(widget) || !inside) return 0;
            if (ActsOnPress(widget)) {
                Act(widget);
                return 1;
            }
            SetProperty(widget, xpProperty_Hilited, 1);
            return 1;
        case xpMsg_MouseDrag:
            if (ActsOnPress(widget)) return 1;
            SetProperty(widget, xpProperty_Hilited, inside && IsEnabled(widget) ? 1 : 0);
            return 1;
        case xpMsg_MouseUp:
            if (ActsOnPress(widget)) return 1;
            SetProperty(widget, xpProperty_Hilited, 0);
            if (inside && IsEnabled(widget)) Act(widget);
            return 1;
        default:
            return 0;
    }
}

}  // namespace korvane::host::widgets
