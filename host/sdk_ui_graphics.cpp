// XPUIGraphics as the headless host serves it. Every drawing call is recorded with its
// arguments and, while the host can draw, drawn as plain but recognisable shapes. Default dimensions are fixed per style, and a track's
// metrics are computed from its rectangle so that whoever draws a track and whoever
// hit-tests it agree on where its parts lie.
#include "host/gl_canvas.h"
#include "host/host_state.h"

#include <XPUIGraphics.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <string>

using namespace korvane::host;

namespace {

std::string RectText(int x1, int y1, int x2, int y2) {
    return std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) + " " + std::to_string(y2);
}

struct Size {
    int width;
    int height;
};

Size WindowSize(XPWindowStyle style) {
    switch (style) {
        case xpWindow_Help: return {200, 100};
        case xpWindow_MainWindow: return {100, 60};
        case xpWindow_SubWindow: return {40, 40};
        case xpWindow_Screen: return {40, 40};
        case xpWindow_ListView: return {40, 40};
        default: return {0, 0};
    }
}

struct ElementSize {
    XPElementStyle style;
    int width;
    int height;
    int canBeLit;
};

// The elements with their natural sizes; the ones with a lit twin can be lit.
constexpr ElementSize kElements[] = {
    {xpElement_TextField, 40, 20, 0},
    {xpElement_CheckBox, 14, 14, 1},
    {xpElement_CheckBoxLit, 14, 14, 1},
    {xpElement_WindowCloseBox, 14, 14, 1},
    {xpElement_WindowCloseBoxPressed, 14, 14, 1},
    {xpElement_PushButton, 60, 20, 1},
    {xpElement_PushButtonLit, 60, 20, 1},
    {xpElement_OilPlatform, 16, 16, 0},
    {xpElement_OilPlatformSmall, 12, 12, 0},
    {xpElement_Ship, 16, 16, 0},
    {xpElement_ILSGlideScope, 16, 16, 0},
    {xpElement_MarkerLeft, 16, 16, 0},
    {xpElement_Airport, 16, 16, 0},
    {xpElement_Waypoint, 16, 16, 0},
    {xpElement_NDB, 16, 16, 0},
    {xpElement_VOR, 16, 16, 0},
    {xpElement_RadioTower, 16, 16, 0},
    {xpElement_AircraftCarrier, 16, 16, 0},
    {xpElement_Fire, 16, 16, 0},
    {xpElement_MarkerRight, 16, 16, 0},
    {xpElement_CustomObject, 16, 16, 0},
    {xpElement_CoolingTower, 16, 16, 0},
    {xpElement_SmokeStack, 16, 16, 0},
    {xpElement_Building, 16, 16, 0},
    {xpElement_PowerLine, 16, 16, 0},
    {xpElement_CopyButtons, 34, 18, 1},
    {xpElement_CopyButtonsWithEditingGrid, 34, 18, 1},
    {xpElement_EditingGrid, 16, 16, 0},
    {xpElement_ScrollBar, 16, 48, 1},
    {xpElement_VORWithCompassRose, 32, 32, 0},
    {xpElement_Zoomer, 22, 22, 1},
    {xpElement_TextFieldMiddle, 16, 20, 0},
    {xpElement_LittleDownArrow, 12, 10, 1},
    {xpElement_LittleUpArrow, 12, 10, 1},
    {xpElement_WindowDragBar, 40, 18, 0},
    {xpElement_WindowDragBarSmooth, 40, 18, 0},
};

const ElementSize* FindElement(XPElementStyle style) {
    for (const ElementSize& element : kElements)
        if (element.style == style) return &element;
    return nullptr;
}

// Scroll bars have a button at each end; sliders and progress bars have none.
// A progress bar has no thumb: its down page is the part done.
struct TrackParts {
    bool buttons;
    bool thumb;
};

TrackParts PartsOf(XPTrackStyle style) {
    switch (style) {
        case xpTrack_ScrollBar: return {true, true};
        case xpTrack_Slider: return {false, true};
        default: return {false, false};
    }
}

// The host's interface palette: greys like the simulator's, a blue for lit parts.
constexpr float kFace[] = {0.62f, 0.64f, 0.67f, 1.0f};
constexpr float kFaceLit[] = {0.74f, 0.80f, 0.90f, 1.0f};
constexpr float kEdge[] = {0.20f, 0.21f, 0.23f, 1.0f};
constexpr float kLight[] = {0.86f, 0.87f, 0.89f, 1.0f};
constexpr float kWell[] = {0.36f, 0.38f, 0.41f, 1.0f};
// Fields and lists are dark, for the interface's light text.
constexpr float kPaper[] = {0.17f, 0.19f, 0.21f, 1.0f};
constexpr float kMark[] = {0.15f, 0.35f, 0.75f, 1.0f};
constexpr float kHelp[] = {0.96f, 0.93f, 0.76f, 1.0f};
constexpr float kScreen[] = {0.08f, 0.10f, 0.12f, 1.0f};

// A raised or sunken face with a one-pixel outline.
void Panel(int x1, int y1, int x2, int y2, const float* face, const float* edge = kEdge) {
    FillRect(x1, y1, x2, y2, face);
    FrameRect(x1, y1, x2, y2, edge);
}

void DrawTrackShape(int x1, int y1, int x2, int y2, int min, int max, int value, XPTrackStyle style, int lit) {
    x1 = WithinReach(x1), y1 = WithinReach(y1), x2 = WithinReach(x2), y2 = WithinReach(y2);
    int vertical = 0, downButton = 0, downPage = 0, thumb = 0, upPage = 0, upButton = 0;
    XPGetTrackMetrics(x1, y1, x2, y2, min, max, value, style, &vertical, &downButton, &downPage, &thumb, &upPage,
                      &upButton);
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int bottom = std::min(y1, y2), top = std::max(y1, y2);
    // The span [from, from + size) along the track as a rectangle.
    auto part = [&](int from, int size, const float* colour) {
        if (size <= 0) return;
        if (vertical)
            Panel(left, bottom + from, right, bottom + from + size - 1, colour);
        else
            Panel(left + from, bottom, left + from + size - 1, top, colour);
    };
    Panel(left, bottom, right, top, style == xpTrack_Progress ? kPaper : kWell);
    part(0, downButton, kFace);
    if (style == xpTrack_Progress) part(downButton, downPage, kMark);
    part(downButton + downPage, thumb, lit ? kFaceLit : kFace);
    part(downButton + downPage + thumb + upPage, upButton, kFace);
}

}  // namespace

WIDGET_API void XPDrawWindow(int inX1, int inY1, int inX2, int inY2, XPWindowStyle inStyle) {
    RecordCall("XPDrawWindow", RectText(inX1, inY1, inX2, inY2) + " style=" + std::to_string(inStyle));
    if (!ScreenIsCurrent()) return;
    inX1 = WithinReach(inX1), inY1 = WithinReach(inY1), inX2 = WithinReach(inX2), inY2 = WithinReach(inY2);
    switch (inStyle) {
        case xpWindow_Help: Panel(inX1, inY1, inX2, inY2, kHelp); break;
        case xpWindow_SubWindow: Panel(inX1, inY1, inX2, inY2, kWell, kLight); break;
        case xpWindow_Screen: Panel(inX1, inY1, inX2, inY2, kScreen, kLight); break;
        case xpWindow_ListView: Panel(inX1, inY1, inX2, inY2, kPaper); break;
        default:
            Panel(inX1, inY1, inX2, inY2, kFace);
            FrameRect(inX1 + 1, inY1 + 1, inX2 - 1, inY2 - 1, kLight);
            break;
    }
}

WIDGET_API void XPGetWindowDefaultDimensions(XPWindowStyle inStyle, int* outWidth, int* outHeight) {
    const Size size = WindowSize(inStyle);
    if (outWidth) *outWidth = size.width;
    if (outHeight) *outHeight = size.height;
}

WIDGET_API void XPDrawElement(int inX1, int inY1, int inX2, int inY2, XPElementStyle inStyle, int inLit) {
    RecordCall("XPDrawElement", RectText(inX1, inY1, inX2, inY2) + " style=" + std::to_string(inStyle) +
                                    " lit=" + std::to_string(inLit));
    if (!ScreenIsCurrent()) return;
    const int left = WithinReach(std::min(inX1, inX2)), right = WithinReach(std::max(inX1, inX2));
    const int bottom = WithinReach(std::min(inY1, inY2)), top = WithinReach(std::max(inY1, inY2));
    switch (inStyle) {
        case xpElement_TextField:
        case xpElement_TextFieldMiddle: Panel(left, bottom, right, top, kPaper); break;
        case xpElement_CheckBox:
        case xpElement_CheckBoxLit:
            Panel(left, bottom, right, top, kPaper);
            if (inLit || inStyle == xpElement_CheckBoxLit) FillRect(left + 3, bottom + 3, right - 3, top - 3, kMark);
            break;
        case xpElement_PushButton:
        case xpElement_PushButtonLit:
            Panel(left, bottom, right, top, inLit || inStyle == xpElement_PushButtonLit ? kFaceLit : kFace);
            FillRect(left + 1, top - 1, right - 1, top - 1, kLight);
            break;
        case xpElement_WindowCloseBox:
        case xpElement_WindowCloseBoxPressed:
            Panel(left, bottom, right, top, inStyle == xpElement_WindowCloseBoxPressed ? kWell : kFace);
            FillRect(left + 4, bottom + 4, right - 4, top - 4, kEdge);
            break;
        case xpElement_WindowDragBar:
        case xpElement_WindowDragBarSmooth: Panel(left, bottom, right, top, kWell, kLight); break;
        case xpElement_ScrollBar: DrawTrackShape(left, bottom, right, top, 0, 1, 0, xpTrack_ScrollBar, inLit); break;
        case xpElement_LittleDownArrow:
        case xpElement_LittleUpArrow: Panel(left, bottom, right, top, inLit ? kFaceLit : kFace); break;
        default:
            // The map symbols: a small marker.
            Panel(left, bottom, right, top, inLit ? kFaceLit : kMark);
            break;
    }
}

WIDGET_API void XPGetElementDefaultDimensions(XPElementStyle inStyle, int* outWidth, int* outHeight,
                                              int* outCanBeLit) {
    const ElementSize* element = FindElement(inStyle);
    if (outWidth) *outWidth = element ? element->width : 0;
    if (outHeight) *outHeight = element ? element->height : 0;
    if (outCanBeLit) *outCanBeLit = element ? element->canBeLit : 0;
}

WIDGET_API void XPDrawTrack(int inX1, int inY1, int inX2, int inY2, int inMin, int inMax, int inValue,
                            XPTrackStyle inTrackStyle, int inLit) {
    RecordCall("XPDrawTrack", RectText(inX1, inY1, inX2, inY2) + " min=" + std::to_string(inMin) +
                                  " max=" + std::to_string(inMax) + " value=" + std::to_string(inValue) +
                                  " style=" + std::to_string(inTrackStyle) + " lit=" + std::to_string(inLit));
    if (ScreenIsCurrent()) DrawTrackShape(inX1, inY1, inX2, inY2, inMin, inMax, inValue, inTrackStyle, inLit);
}

WIDGET_API void XPGetTrackDefaultDimensions(XPTrackStyle inStyle, int* outWidth, int* outCanBeLit) {
    int width = 0, canBeLit = 0;
    switch (inStyle) {
        case xpTrack_ScrollBar: width = 16, canBeLit = 1; break;
        case xpTrack_Slider: width = 12, canBeLit = 1; break;
        case xpTrack_Progress: width = 12, canBeLit = 0; break;
        default: break;
    }
    if (outWidth) *outWidth = width;
    if (outCanBeLit) *outCanBeLit = canBeLit;
}

WIDGET_API void XPGetTrackMetrics(int inX1, int inY1, int inX2, int inY2, int inMin, int inMax, int inValue,
                                  XPTrackStyle inTrackStyle, int* outIsVertical, int* outDownBtnSize,
                                  int* outDownPageSize, int* outThumbSize, int* outUpPageSize, int* outUpBtnSize) {
    // Corners may come in either order; the parts always fill the track's length exactly,
    // from the down (minimum) end: left for a horizontal track, bottom for a vertical one.
    const long width = std::labs(static_cast<long>(inX2) - inX1);
    const long height = std::labs(static_cast<long>(inY2) - inY1);
    const bool vertical = height > width;
    const long length = vertical ? height : width;
    const long thickness = vertical ? width : height;
    const TrackParts parts = PartsOf(inTrackStyle);

    // Square end buttons, shrunk on a short track so that a third is left for the rest.
    const long button = parts.buttons ? std::min(thickness, length / 3) : 0;
    const long inner = length - 2 * button;
    const long thumb = parts.thumb ? std::min(std::max(thickness, 6L), inner) : 0;
    const long travel = inner - thumb;

    // Where the value lies between min and max (either may be the larger), clamped.
    double fraction = 0;
    const double range = static_cast<double>(inMax) - inMin;
    if (range != 0) fraction = std::clamp((static_cast<double>(inValue) - inMin) / range, 0.0, 1.0);
    const long downPage = std::lround(travel * fraction);

    if (outIsVertical) *outIsVertical = vertical ? 1 : 0;
    if (outDownBtnSize) *outDownBtnSize = static_cast<int>(button);
    if (outDownPageSize) *outDownPageSize = static_cast<int>(downPage);
    if (outThumbSize) *outThumbSize = static_cast<int>(thumb);
    if (outUpPageSize) *outUpPageSize = static_cast<int>(travel - downPage);
    if (outUpBtnSize) *outUpBtnSize = static_cast<int>(button);
}
