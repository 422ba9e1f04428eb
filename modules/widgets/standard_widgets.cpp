// XPStandardWidgets: no functions, only the standard widget classes with their styles,
// properties and messages.
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"

#include <XPStandardWidgets.h>

namespace korvane {

#define K(name) {#name, name}

PyObject* InitXPStandardWidgets() {
    return binding::CreateModule("XPStandardWidgets", nullptr, {
        K(xpWidgetClass_MainWindow), K(xpMainWindowStyle_MainWindow), K(xpMainWindowStyle_Translucent),
        K(xpProperty_MainWindowType), K(xpProperty_MainWindowHasCloseBoxes), K(xpMessage_CloseButtonPushed),

        K(xpWidgetClass_SubWindow), K(xpSubWindowStyle_SubWindow), K(xpSubWindowStyle_Screen),
        K(xpSubWindowStyle_ListView), K(xpProperty_SubWindowType),

        K(xpWidgetClass_Button), K(xpPushButton), K(xpRadioButton), K(xpWindowCloseBox), K(xpLittleDownArrow),
        K(xpLittleUpArrow), K(xpButtonBehaviorPushButton), K(xpButtonBehaviorCheckBox),
        K(xpButtonBehaviorRadioButton), K(xpProperty_ButtonType), K(xpProperty_ButtonBehavior),
        K(xpProperty_ButtonState), K(xpMsg_PushButtonPressed), K(xpMsg_ButtonStateChanged),

        K(xpWidgetClass_TextField), K(xpTextEntryField), K(xpTextTransparent), K(xpTextTranslucent),
        K(xpProperty_EditFieldSelStart), K(xpProperty_EditFieldSelEnd), K(xpProperty_EditFieldSelDragStart),
        K(xpProperty_TextFieldType), K(xpProperty_PasswordMode), K(xpProperty_MaxCharacters),
        K(xpProperty_ScrollPosition), K(xpProperty_Font), K(xpProperty_ActiveEditSide), K(xpMsg_TextFieldChanged),

        K(xpWidgetClass_ScrollBar), K(xpScrollBarTypeScrollBar), K(xpScrollBarTypeSlider),
        K(xpProperty_ScrollBarSliderPosition), K(xpProperty_ScrollBarMin), K(xpProperty_ScrollBarMax),
        K(xpProperty_ScrollBarPageAmount), K(xpProperty_ScrollBarType), K(xpProperty_ScrollBarSlop),
        K(xpMsg_ScrollBarSliderPositionChanged),

        K(xpWidgetClass_Caption), K(xpProperty_CaptionLit),

        K(xpWidgetClass_GeneralGraphics), K(xpShip), K(xpILSGlideScope), K(xpMarkerLeft), K(xp_Airport), K(xpNDB),
        K(xpVOR), K(xpRadioTower), K(xpAircraftCarrier), K(xpFire), K(xpMarkerRight), K(xpCustomObject),
        K(xpCoolingTower), K(xpSmokeStack), K(xpBuilding), K(xpPowerLine), K(xpVORWithCompassRose),
        K(xpOilPlatform), K(xpOilPlatformSmall), K(xpWayPoint), K(xpProperty_GeneralGraphicsType),

        K(xpWidgetClass_Progress), K(xpProperty_ProgressPosition), K(xpProperty_ProgressMin),
        K(xpProperty_ProgressMax),
    });
}

#undef K

}  // namespace korvane
