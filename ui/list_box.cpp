#include "ui/list_box.h"

#include "platform/opengl.h"
#include "ui/interface_color.h"
#include "ui/widget_text.h"

#include <XPLMGraphics.h>
#include <XPUIGraphics.h>
#include <XPWidgetUtils.h>
#include <XPWidgets.h>

#include <algorithm>

namespace korvane::ui {
namespace {

constexpr int kLineHeight = 12;
constexpr int kScrollBarWidth = 20;

// Where the thumb was grabbed, relative to its middle; one drag at a time.
int dragOffset = 0;

struct View {
    XPWidgetID widget;
    int left = 0, top = 0, right = 0, bottom = 0;
    int position = 0, min = 0, max = 0, pageAmount = 0;
    int selection = 0, visibleLines = 0, thumbDragging = 0;
    ListBoxData* data = nullptr;

    int TextWidth() const { return right - left - kScrollBarWidth; }
    int Count() const { return data ? static_cast<int>(data->lines.size()) : 0; }
    bool InLines(int x, int y) const { return x >= left && x <= right - kScrollBarWidth && y >= bottom && y <= top; }
    bool InBar(int x, int y) const { return x >= right - kScrollBarWidth && x <= right && y >= bottom && y <= top; }
    void Set(int property, intptr_t value) const { XPSetWidgetProperty(widget, property, value); }
};

int Property(XPWidgetID widget, int property) {
    return static_cast<int>(XPGetWidgetProperty(widget, property, nullptr));
}

View Read(XPWidgetID widget) {
    View v{widget};
    XPGetWidgetGeometry(widget, &v.left, &v.top, &v.right, &v.bottom);
    v.position = Property(widget, xpProperty_ListBoxScrollPosition);
    v.min = Property(widget, xpProperty_ListBoxScrollMin);
    v.max = Property(widget, xpProperty_ListBoxScrollMax);
    v.pageAmount = Property(widget, xpProperty_ListBoxPageAmount);
    v.selection = Property(widget, xpProperty_ListBoxSelection);
    v.visibleLines = Property(widget, xpProperty_ListBoxVisibleLines);
    v.thumbDragging = Property(widget, xpProperty_ListBoxThumbDragging);
    v.data = reinterpret_cast<ListBoxData*>(XPGetWidgetProperty(widget, xpProperty_ListBoxData, nullptr));
    return v;
}

void AddLine(ListBoxData& data, std::string line, int textWidth) {
    data.lines.push_back(std::move(line));
    data.leftEdges.push_back(0);
    data.rightEdges.push_back(textWidth);
}

void RemoveLine(ListBoxData& data, std::size_t at) {
    const auto offset = static_cast<std::ptrdiff_t>(at);
    data.lines.erase(data.lines.begin() + offset);
    data.leftEdges.erase(data.leftEdges.begin() + offset);
    data.rightEdges.erase(data.rightEdges.begin() + offset);
}

void RemoveAll(ListBoxData& data) {
    data.lines.clear();
    data.leftEdges.clear();
    data.rightEdges.clear();
}

// After every append, replace and clear the first line is shown at the top.
void ShowFirstLine(const View& v, int count) {
    v.Set(xpProperty_ListBoxScrollPosition, count);
    v.Set(xpProperty_ListBoxScrollMax, count);
}

// A trigger property is reset before it acts, so the change its reset causes finds it at 0.
bool TakeTrigger(const View& v, int property) {
    if (Property(v.widget, property) == 0) return false;
    v.Set(property, 0);
    return true;
}

int Create(const View& v) {
    auto* data = new ListBoxData;
    for (std::string& line : SplitItems(ReadDescriptor(v.widget))) AddLine(*data, std::move(line), v.TextWidth());
    v.Set(xpProperty_ListBoxData, reinterpret_cast<intptr_t>(data));
    v.Set(xpProperty_ListBoxSelection, 0);
    dragOffset = 0;
    int count = static_cast<int>(data->lines.size());
    int rows = (v.top - v.bottom) / kLineHeight;
    v.Set(xpProperty_ListBoxScrollPosition, count);
    v.Set(xpProperty_ListBoxScrollMin, 0);
    v.Set(xpProperty_ListBoxScrollMax, count);
    v.Set(xpProperty_ListBoxPageAmount, rows);
    v.Set(xpProperty_ListBoxVisibleLines, rows);
    v.Set(xpProperty_ListBoxThumbDragging, 0);
    return 1;
}

int PropertyChanged(const View& v) {
    if (!v.data) return 1;
    ListBoxData& data = *v.data;
    if (TakeTrigger(v, xpProperty_ListBoxAppendLine)) {
        AddLine(data, ReadDescriptor(v.widget), v.TextWidth());
        // A list fed every frame keeps its newest lines only; the files hold them all.
        if (data.lines.size() > kMostAppendedLines) {
            RemoveLine(data, 0);
            if (v.selection > 0) v.Set(xpProperty_ListBoxSelection, v.selection - 1);
        }
        ShowFirstLine(v, v.Count());
    }
    if (TakeTrigger(v, xpProperty_ListBoxSetLines)) {
        std::string text = ReadDescriptor(v.widget);
        RemoveAll(data);
        for (std::string& line : SplitItems(text)) AddLine(data, std::move(line), v.TextWidth());
        ShowFirstLine(v, v.Count());
    }
    if (TakeTrigger(v, xpProperty_ListBoxClear)) {
        v.Set(xpProperty_ListBoxSelection, 0);
        RemoveAll(data);
        ShowFirstLine(v, 0);
    }
    if (TakeTrigger(v, xpProperty_ListBoxInsertLine)) {
        // Beyond the last line the insert becomes an append rather than a write past the end.
        std::size_t at = std::min(static_cast<std::size_t>(static_cast<unsigned>(v.selection)), data.lines.size());
        data.lines.insert(data.lines.begin() + static_cast<std::ptrdiff_t>(at), ReadDescriptor(v.widget));
        data.leftEdges.insert(data.leftEdges.begin() + static_cast<std::ptrdiff_t>(at), 0);
        data.rightEdges.insert(data.rightEdges.begin() + static_cast<std::ptrdiff_t>(at), v.TextWidth());
    }
    if (TakeTrigger(v, xpProperty_ListBoxDeleteLine)) {
        auto at = static_cast<unsigned>(v.selection);
        if (at < data.lines.size()) RemoveLine(data, at);
    }
    return 1;
}

int Draw(const View& v) {
    XPDrawWindow(v.left, v.bottom, v.right - kScrollBarWidth, v.top, xpWindow_ListView);
    XPDrawTrack(v.right - kScrollBarWidth, v.bottom, v.right, v.top, v.min, v.max, v.position, xpTrack_ScrollBar,
                v.thumbDragging);
    XPLMSetGraphicsState(0, 1, 0, 0, 1, 0, 0);
    XPLMBindTexture2d(XPLMGetTexture(xplm_Tex_GeneralInterface), 0);
    gl::Color4f(1, 1, 1, 1);
    XPLMSetGraphicsState(0, 0, 0, 0, 0, 0, 0);
    if (!v.data) return 1;
    const int count = v.Count();
    const int first = v.max - v.position;
    int charWidth = 0;
    XPLMGetFontDimensions(xplmFont_Basic, &charWidth, nullptr, nullptr);
    for (int row = 0; row < v.visibleLines; ++row) {
        const long index = static_cast<long>(first) + row;
        if (index < 0 || index >= count) continue;
        const int upper = v.top - kLineHeight * row;
        const int lower = upper - kLineHeight;
        if (index == v.selection) {
            SetInterfaceAlpha(0.25f);
            XPLMSetGraphicsState(0, 0, 0, 0, 1, 0, 0);
            GetInterfaceColor(kMenuHighlight);
            SetInterfaceAlpha(1.0f);
            gl::Quad(v.left, upper, v.right - kScrollBarWidth, upper, v.right - kScrollBarWidth, lower, v.left, lower);
        }
        float colour[3];
        GetInterfaceColor(kListText, colour);
        const std::string& line = v.data->lines[static_cast<std::size_t>(index)];
        std::string shown(charWidth > 0 ? FirstCharacters(line, static_cast<std::size_t>(std::max(0, v.TextWidth() / charWidth)))
                                        : std::string_view(line));
        XPLMDrawString(colour, v.left, lower + 2, shown.data(), nullptr, xplmFont_Basic);
    }
    return 1;
}

struct TrackMetrics {
    int vertical = 0, downButton = 0, downPage = 0, thumb = 0, upPage = 0, upButton = 0;
};

TrackMetrics Metrics(const View& v) {
    TrackMetrics m;
    XPGetTrackMetrics(v.right - kScrollBarWidth, v.bottom, v.right, v.top, v.min, v.max, v.position,
                      xpTrack_ScrollBar, &m.vertical, &m.downButton, &m.downPage, &m.thumb, &m.upPage, &m.upButton);
    return m;
}

void SelectLine(const View& v, int x, int y) {
    const int count = v.Count();
    for (int r = 0; r < count; ++r) {
        const int dx = x - v.left, dy = v.top - y;
        const auto& d = *v.data;
        if (dx >= d.leftEdges[r] && dx < d.rightEdges[r] && dy >= kLineHeight * r && dy < kLineHeight * r + kLineHeight) {
            const long index = static_cast<long>(r) + (v.max - v.position);
            if (index >= 0 && index < count) v.Set(xpProperty_ListBoxSelection, index);
            return;
        }
    }
}

void ClickScrollBar(const View& v, int y) {
    const TrackMetrics m = Metrics(v);
    const int min = Property(v.widget, xpProperty_ListBoxScrollMin);
    const int max = Property(v.widget, xpProperty_ListBoxScrollMax);
    if (!m.vertical) return;  // the bar is 20 pixels wide and full height: always vertical
    const int b = v.bottom, t = v.top;
    if (y >= b + m.downButton + m.downPage + m.thumb && y <= t - m.upButton) {
        v.Set(xpProperty_ListBoxScrollPosition, std::min(v.position + v.pageAmount, max));
    } else if (y >= b + m.downButton && y <= t - m.upButton - m.upPage - m.thumb) {
        v.Set(xpProperty_ListBoxScrollPosition, std::max(v.position - v.pageAmount, min));
    } else if (y >= t - m.upButton && y <= t) {
        v.Set(xpProperty_ListBoxScrollPosition, std::min(v.position + 1, max));
    } else if (y >= b && y <= b + m.downButton) {
        v.Set(xpProperty_ListBoxScrollPosition, std::max(v.position - 1, min));
    } else if (y >= b + m.downButton + m.downPage && y <= t - m.upButton - m.upPage) {
        dragOffset = (b + m.downButton + m.downPage + m.thumb / 2) - y;
        v.Set(xpProperty_ListBoxThumbDragging, 1);
    } else {
        v.Set(xpProperty_ListBoxThumbDragging, 0);
    }
}

int MouseDown(const View& v, const XPMouseState_t& mouse) {
    if (v.InLines(mouse.x, mouse.y) && v.Count() > 0) SelectLine(v, mouse.x, mouse.y);
    if (v.InBar(mouse.x, mouse.y)) ClickScrollBar(v, mouse.y);
    return 1;
}

int MouseDrag(const View& v, const XPMouseState_t& mouse) {
    if (!v.InBar(mouse.x, mouse.y) || !v.thumbDragging) return 1;
    const TrackMetrics m = Metrics(v);
    if (!m.vertical) return 1;
    const int half = m.thumb / 2;
    const int room = v.top - v.bottom - m.downButton - m.upButton - 2 * half;
    if (room <= 0) return 1;  // no room for the thumb to move: the position stays
    const double exact =
        static_cast<double>(v.max) * (mouse.y + dragOffset - v.bottom - m.downButton - half) / room;
    int position = static_cast<int>(exact);
    if (exact - position >= 0.5) ++position;
    v.Set(xpProperty_ListBoxScrollPosition, std::clamp(position, v.min, std::max(v.min, v.max)));
    return 1;
}

int MouseUp(const View& v, const XPMouseState_t& mouse) {
    if (v.InBar(mouse.x, mouse.y)) v.Set(xpProperty_ListBoxThumbDragging, 0);
    if (v.InLines(mouse.x, mouse.y) && v.Count() > 0) {
        const auto at = static_cast<unsigned>(v.selection);
        XPSetWidgetDescriptor(v.widget, at < v.data->lines.size() ? v.data->lines[at].c_str() : "");
        XPSendMessageToWidget(v.widget, xpMsg_ListBoxLineChosen, xpMode_UpChain, reinterpret_cast<intptr_t>(v.widget),
                              v.selection);
    }
    return 1;
}

}  // namespace

XPWidgetID CreateListBox(int left, int top, int right, int bottom, int visible, const char* descriptor,
                         XPWidgetID container) {
    return XPCreateCustomWidget(left, top, right, bottom, visible, descriptor, 0, container, ListBoxProc);
}

int ListBoxProc(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    if (XPUSelectIfNeeded(message, widget, param1, param2, 1)) return 1;
    const View v = Read(widget);
    const auto* mouse = reinterpret_cast<const XPMouseState_t*>(param1);
    switch (message) {
        case xpMsg_Create: return Create(v);
        case xpMsg_Destroy:
            // The lines go with their widget.
            XPSetWidgetProperty(widget, xpProperty_ListBoxData, 0);
            delete v.data;
            return 0;
        case xpMsg_DescriptorChanged: return 1;
        case xpMsg_PropertyChanged: return PropertyChanged(v);
        case xpMsg_Draw: return Draw(v);
        case xpMsg_MouseDown: return mouse ? MouseDown(v, *mouse) : 1;
        case xpMsg_MouseDrag: return mouse ? MouseDrag(v, *mouse) : 1;
        case xpMsg_MouseUp: return mouse ? MouseUp(v, *mouse) : 1;
        default: return 0;
    }
}

const ListBoxData* ListBoxLines(XPWidgetID widget) {
    int exists = 0;
    intptr_t value = XPGetWidgetProperty(widget, xpProperty_ListBoxData, &exists);
    return exists ? reinterpret_cast<const ListBoxData*>(value) : nullptr;
}

}  // namespace korvane::ui
