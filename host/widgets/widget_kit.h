#pragma once
// What the standard classes share: reading a widget's geometry, properties and text,
// hit tests, and the class functions themselves. Only public widget calls are used.
#include <XPWidgetDefs.h>

#include <cstdint>
#include <string>

namespace korvane::host::widgets {

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Contains(int x, int y) const { return x >= left && x <= right && y >= bottom && y <= top; }
    int Width() const { return right - left; }
    int Height() const { return top - bottom; }
};

Box GeometryOf(XPWidgetID widget);
// A property's value, or `fallback` while the widget has never had it set.
intptr_t Property(XPWidgetID widget, XPWidgetPropertyID property, intptr_t fallback = 0);
// Sets the property only when it changes, so that no needless change message goes out.
void SetProperty(XPWidgetID widget, XPWidgetPropertyID property, intptr_t value);
// Widgets are enabled unless xpProperty_Enabled says otherwise.
bool IsEnabled(XPWidgetID widget);
std::string DescriptorOf(XPWidgetID widget);
// The mouse state a mouse message carries in param1, the key state of a key press;
// null when the message carries none.
const XPMouseState_t* MouseOf(XPWidgetMessage message, intptr_t param1);
const XPKeyState_t* KeyOf(XPWidgetMessage message, intptr_t param1);
// Draws one line of text with its lower left corner at (x, y).
void DrawText(const std::string& text, int x, int y, bool lit, bool enabled = true);
// A font's character size (the basic font's for a font the simulator lacks); the
// widest character's width serves for every character.
void CharacterSize(int font, int* width, int* height);

int MainWindowFunction(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t);
int SubWindowFunction(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t);
int ButtonFunction(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t);
int TextFieldFunction(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t);
int ScrollBarFunction(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t);
int CaptionFunction(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t);
int GeneralGraphicsFunction(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t);
int ProgressFunction(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t);

}  // namespace korvane::host::widgets
