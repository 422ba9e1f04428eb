#include "host/widgets/standard_widgets.h"

#include "host/gl_canvas.h"
#include "host/widgets/widget_kit.h"
#include "host/widgets/widget_library.h"

#include <XPLMGraphics.h>
#include <XPStandardWidgets.h>
#include <XPWidgets.h>

#include <algorithm>
#include <vector>

namespace korvane::host {
namespace widgets {

Box GeometryOf(XPWidgetID widget) {
    Box box;
    XPGetWidgetGeometry(widget, &box.left, &box.top, &box.right, &box.bottom);
    // Drawing and hit testing work with sums and differences of the edges.
    box.left = WithinReach(box.left), box.top = WithinReach(box.top);
    box.right = WithinReach(box.right), box.bottom = WithinReach(box.bottom);
    return box;
}

intptr_t Property(XPWidgetID widget, XPWidgetPropertyID property, intptr_t fallback) {
    int exists = 0;
    const intptr_t value = XPGetWidgetProperty(widget, property, &exists);
    return exists ? value : fallback;
}

void SetProperty(XPWidgetID widget, XPWidgetPropertyID property, intptr_t value) {
    int exists = 0;
    const intptr_t current = XPGetWidgetProperty(widget, property, &exists);
    if (!exists || current != value) XPSetWidgetProperty(widget, property, value);
}

bool IsEnabled(XPWidgetID widget) { return Property(widget, xpProperty_Enabled, 1) != 0; }

std::string DescriptorOf(XPWidgetID widget) {
    const int length = XPGetWidgetDescriptor(widget, nullptr, 0);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    XPGetWidgetDescriptor(widget, buffer.data(), length + 1);
    return std::string(buffer.data(), std::find(buffer.begin(), buffer.end() - 1, '\0') - buffer.begin());
}

// A plug-in may send any message with any parameters: only a structure the library is
// dispatching now is read, so a made-up address never reaches a class.
const XPMouseState_t* MouseOf(XPWidgetMessage message, intptr_t param1) {
    if (message != xpMsg_MouseDown && message != xpMsg_MouseDrag && message != xpMsg_MouseUp &&
        message != xpMsg_MouseWheel)
        return nullptr;
    const auto* mouse = reinterpret_cast<const XPMouseState_t*>(param1);
    return IsDispatchedMouseState(mouse) ? mouse : nullptr;
}

const XPKeyState_t* KeyOf(XPWidgetMessage message, intptr_t param1) {
    if (message != xpMsg_KeyPress) return nullptr;
    const auto* key = reinterpret_cast<const XPKeyState_t*>(param1);
    const auto& dispatched = State().widgets.keyStates;
    return key && std::find(dispatched.begin(), dispatched.end(), key) != dispatched.end() ? key : nullptr;
}

void DrawText(const std::string& text, int x, int y, bool lit, bool enabled) {
    if (text.empty()) return;
    float normal[] = {0.9f, 0.9f, 0.9f};
    float bright[] = {1.0f, 1.0f, 0.6f};
    float dim[] = {0.5f, 0.5f, 0.5f};
    std::string copy = text;  // the SDK call takes a mutable buffer
    XPLMDrawString(!enabled ? dim : lit ? bright : normal, x, y, copy.data(), nullptr, xplmFont_Basic);
}

void CharacterSize(int font, int* width, int* height) {
    int w = 0, h = 0;
    XPLMGetFontDimensions(font, &w, &h, nullptr);
    if (w <= 0 || h <= 0) XPLMGetFontDimensions(xplmFont_Basic, &w, &h, nullptr);
    if (width) *width = std::max(w, 1);
    if (height) *height = std::max(h, 1);
}

}  // namespace widgets

XPWidgetFunc_t StandardWidgetFunction(XPWidgetClass widgetClass) {
    switch (widgetClass) {
        case xpWidgetClass_MainWindow: return widgets::MainWindowFunction;
        case xpWidgetClass_SubWindow: return widgets::SubWindowFunction;
        case xpWidgetClass_Button: return widgets::ButtonFunction;
        case xpWidgetClass_TextField: return widgets::TextFieldFunction;
        case xpWidgetClass_ScrollBar: return widgets::ScrollBarFunction;
        case xpWidgetClass_Caption: return widgets::CaptionFunction;
        case xpWidgetClass_GeneralGraphics: return widgets::GeneralGraphicsFunction;
        case xpWidgetClass_Progress: return widgets::ProgressFunction;
        default: return nullptr;
    }
}

}  // namespace korvane::host
