// The scroll bar class, as a scroll bar or a slider. Its parts come from
// XPGetTrackMetrics, the same call that places them when the track is drawn, so a click
// lands on what the user sees. The arrows step by 1, the track on either side of the
// thumb pages by xpProperty_ScrollBarPageAmount, and the thumb follows a drag. While the
// thumb is dragged, xpProperty_Dragging is 1 and xpProperty_ScrollBarSlop holds where
// along the thumb it was taken.
#include "host/widgets/widget_kit.h"

#include <XPStandardWidgets.h>
#include <XPUIGraphics.h>
#include <XPWidgets.h>

#include <algorithm>
#include <cmath>

namespace korvane::host::widgets {
namespace {

struct Track {
    Box box;
    int min = 0, max = 0, position = 0, page = 0;
    XPTrackStyle style = xpTrack_ScrollBar;
    int vertical = 0, downButton = 0, downPage = 0, thumb = 0, upPage = 0, upButton = 0;

    int Length() const { return vertical ? box.Height() : box.Width(); }
    // Distance from the track's down (minimum) end: the bottom, or the left.
    int Along(const XPMouseState_t& mouse) const { return vertical ? mouse.y - box.bottom : mouse.x - box.left; }
};

int Clip(intptr_t value) { return static_cast<int>(std::clamp<intptr_t>(value, -(1 << 30), 1 << 30)); }

Track TrackOf(XPWidgetID widget) {
    Track track;
    track.box = GeometryOf(widget);
    track.min = Clip(Property(widget, xpProperty_ScrollBarMin));
    track.max = Clip(Property(widget, xpProperty_ScrollBarMax, 100));
    track.position = Clip(Property(widget, xpProperty_ScrollBarSliderPosition));
    track.page = Clip(Property(widget, xpProperty_ScrollBarPageAmount, 10));
    const bool slider = Property(widget, xpProperty_ScrollBarType) == xpScrollBarTypeSlider;
    track.style = slider ? xpTrack_Slider : xpTrack_ScrollBar;
    XPGetTrackMetrics(track.box.left, track.box.bottom, track.box.right, track.box.top, track.min, track.max,
                      track.position, track.style, &track.vertical, &track.downButton, &track.downPage, &track.thumb,
                      &track.upPage, &track.upButton);
    return track;
}

// Moves the slider, held within min and max, and tells the chain when it moved. The
// owner may destroy the scroll bar in answer, so the message goes last.
void MoveTo(XPWidgetID widget, const Track& track, long target) {
    const long low = std::min(track.min, track.max), high = std::max(track.min, track.max);
    const int position = static_cast<int>(std::clamp(target, low, high));
    if (position == Clip(Property(widget, xpProperty_ScrollBarSliderPosition))) return;
    XPSetWidgetProperty(widget, xpProperty_ScrollBarSliderPosition, position);
    XPSendMessageToWidget(widget, xpMsg_ScrollBarSliderPositionChanged, xpMode_UpChain,
                          reinterpret_cast<intptr_t>(widget), position);
}

// The position that puts the thumb's taken point under the mouse.
void DragTo(XPWidgetID widget, const Track& track, const XPMouseState_t& mouse) {
    const int travel = track.Length() - track.downButton - track.upButton - track.thumb;
    if (travel <= 0) return;
    const int thumbStart = track.Along(mouse) - Clip(Property(widget, xpProperty_ScrollBarSlop)) - track.downButton;
    const double fraction = std::clamp(static_cast<double>(thumbStart) / travel, 0.0, 1.0);
    MoveTo(widget, track, track.min + std::lround(fraction * (static_cast<double>(track.max) - track.min)));
}

int MouseDown(XPWidgetID widget, const XPMouseState_t& mouse) {
    const Track track = TrackOf(widget);
    if (!IsEnabled(widget) || !track.box.Contains(mouse.x, mouse.y)) return 0;
    const int along = track.Along(mouse);
    const int thumbStart = track.downButton + track.downPage;
    const long position = track.position;
    // The direction that raises the value, so that min and max may come in either order.
    const long up = track.max >= track.min ? 1 : -1;
    if (along < track.downButton)
        MoveTo(widget, track, position - up);
    else if (along < thumbStart)
        MoveTo(widget, track, position - up * track.page);
    else if (along < thumbStart + track.thumb) {
        SetProperty(widget, xpProperty_ScrollBarSlop, along - thumbStart);
        SetProperty(widget, xpProperty_Dragging, 1);
    } else if (along < track.Length() - track.upButton)
        MoveTo(widget, track, position + up * track.page);
    else
        MoveTo(widget, track, position + up);
    return 1;
}

}  // namespace

int ScrollBarFunction(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t) {
    if (message == xpMsg_Draw) {
        const Track track = TrackOf(widget);
        XPDrawTrack(track.box.left, track.box.bottom, track.box.right, track.box.top, track.min, track.max,
                    track.position, track.style, Property(widget, xpProperty_Dragging) ? 1 : 0);
        return 1;
    }
    const XPMouseState_t* mouse = MouseOf(message, param1);
    if (!mouse || message == xpMsg_MouseWheel) return 0;
    switch (message) {
        case xpMsg_MouseDown:
            return MouseDown(widget, *mouse);
        case xpMsg_MouseDrag:
        case xpMsg_MouseUp:
            if (Property(widget, xpProperty_Dragging)) {
                if (message == xpMsg_MouseUp) SetProperty(widget, xpProperty_Dragging, 0);
                if (IsEnabled(widget)) DragTo(widget, TrackOf(widget), *mouse);
            }
            return 1;
        default:
            return 0;
    }
}

}  // namespace korvane::host::widgets
