#include "host/widgets/standard_widgets.h"

#include <XPStandardWidgets.h>

namespace korvane::host {
namespace {

// Until the classes have their behaviour, every standard widget leaves each message
// to the library's defaults.
int PlainWidget(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t) { return 0; }

}  // namespace

XPWidgetFunc_t StandardWidgetFunction(XPWidgetClass widgetClass) {
    if (widgetClass >= xpWidgetClass_MainWindow && widgetClass <= xpWidgetClass_Progress) return PlainWidget;
    return nullptr;
}

}  // namespace korvane::host
