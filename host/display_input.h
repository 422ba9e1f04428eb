#pragma once
// Input as the simulator delivers it to plug-ins: key presses to key sniffers, the
// focused window and hot keys; mouse clicks to the window under the mouse.
#include <XPLMDisplay.h>

namespace korvane::host {

// Before-windows sniffers, then the widget with the keyboard focus and up its chain
// (a widget that handles it takes it), then the focused window (which takes the key), then the
// after-windows sniffers and the hot keys whose key and flags match. A sniffer that
// returns 0 consumes the key.
void PressKey(char key, XPLMKeyFlags flags, char virtualKey);
// A down goes to the topmost visible window under the point; drag and up follow the
// window that took the down. The mouse location follows every event.
void MouseDown(int x, int y);
void MouseDrag(int x, int y);
void MouseUp(int x, int y);
// A wheel turn goes to the visible windows under the point, front first, until one
// with a wheel callback takes it (returns 1). The mouse location follows it.
void MouseWheel(int x, int y, int wheel, int clicks);

}  // namespace korvane::host
