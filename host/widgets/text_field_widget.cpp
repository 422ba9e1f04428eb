// The text field class: one line of editable text, kept in the widget's descriptor.
// The selection lies between xpProperty_EditFieldSelStart and SelEnd; the caret is the
// end that moves (xpProperty_ActiveEditSide: 1 for SelEnd, 0 for SelStart), the other
// end is the anchor a shift-move or a drag extends from. xpProperty_ScrollPosition is
// the first character shown. Every change of the text sends xpMsg_TextFieldChanged.
#include "host/widgets/widget_kit.h"

#include <XPLMDefs.h>
#include <XPLMGraphics.h>
#include <XPStandardWidgets.h>
#include <XPUIGraphics.h>
#include <XPWidgets.h>

#include <algorithm>

namespace korvane::host::widgets {
namespace {

constexpr int kMargin = 3;

struct Selection {
    int start = 0;
    int end = 0;
    bool endActive = true;
    int Caret() const { return endActive ? end : start; }
    int Anchor() const { return endActive ? start : end; }
    bool Empty() const { return start == end; }
};

int Font(XPWidgetID widget) { return static_cast<int>(Property(widget, xpProperty_Font, xplmFont_Basic)); }

int CharacterWidth(XPWidgetID widget) {
    int width = 0;
    CharacterSize(Font(widget), &width, nullptr);
    return width;
}

// How many whole characters fit between the margins.
int VisibleCharacters(XPWidgetID widget) {
    return std::max(1, (GeometryOf(widget).Width() - 2 * kMargin) / CharacterWidth(widget));
}

int ClampIndex(intptr_t index, int length) {
    return static_cast<int>(std::clamp<intptr_t>(index, 0, length));
}

// The selection as stored, made sound for the text as it is now.
Selection SelectionOf(XPWidgetID widget, int length) {
    Selection selection;
    selection.start = ClampIndex(Property(widget, xpProperty_EditFieldSelStart), length);
    selection.end = ClampIndex(Property(widget, xpProperty_EditFieldSelEnd), length);
    if (selection.start > selection.end) std::swap(selection.start, selection.end);
    selection.endActive = Property(widget, xpProperty_ActiveEditSide, 1) != 0;
    return selection;
}

Selection Between(int anchor, int caret) {
    Selection selection;
    selection.start = std::min(anchor, caret);
    selection.end = std::max(anchor, caret);
    selection.endActive = caret >= anchor;
    return selection;
}

// Stores the selection and scrolls so that the caret can be seen.
void Store(XPWidgetID widget, const Selection& selection, int length) {
    SetProperty(widget, xpProperty_EditFieldSelStart, selection.start);
    SetProperty(widget, xpProperty_EditFieldSelEnd, selection.end);
    SetProperty(widget, xpProperty_ActiveEditSide, selection.endActive ? 1 : 0);
    const int visible = VisibleCharacters(widget);
    int scroll = ClampIndex(Property(widget, xpProperty_ScrollPosition), length);
    const int caret = selection.Caret();
    if (caret < scroll) scroll = caret;
    if (caret > scroll + visible) scroll = caret - visible;
    scroll = std::clamp(scroll, 0, std::max(0, length - visible));
    SetProperty(widget, xpProperty_ScrollPosition, scroll);
}

int MaxCharacters(XPWidgetID widget) {
    const intptr_t limit = Property(widget, xpProperty_MaxCharacters);
    return limit > 0 ? static_cast<int>(std::min<intptr_t>(limit, 1 << 30)) : -1;
}

// Replaces the selection with `insert` and puts the caret after it. False, with nothing
// changed, when the text would outgrow xpProperty_MaxCharacters.
bool ReplaceSelection(XPWidgetID widget, std::string& text, const Selection& selection, const std::string& insert) {
    const int limit = MaxCharacters(widget);
    const std::size_t newLength = text.size() - (selection.end - selection.start) + insert.size();
    if (limit >= 0 && !insert.empty() && newLength > static_cast<std::size_t>(limit)) return false;
    text.replace(selection.start, selection.end - selection.start, insert);
    XPSetWidgetDescriptor(widget, text.c_str());
    const int caret = selection.start + static_cast<int>(insert.size());
    Store(widget, Between(caret, caret), static_cast<int>(text.size()));
    return true;
}

// The character boundary nearest to the screen column x.
int IndexAt(XPWidgetID widget, int x, int length) {
    const int width = CharacterWidth(widget);
    const int scroll = ClampIndex(Property(widget, xpProperty_ScrollPosition), length);
    const int offset = x - (GeometryOf(widget).left + kMargin) + width / 2;
    const int columns = offset >= 0 ? offset / width : -((-offset + width - 1) / width);
    return std::clamp(scroll + columns, 0, length);
}

void Changed(XPWidgetID widget) {
    XPSendMessageToWidget(widget, xpMsg_TextFieldChanged, xpMode_UpChain, reinterpret_cast<intptr_t>(widget), 0);
}

// Keys that belong to the field's owner (ending or leaving the entry) pass on untouched.
bool OwnersKey(unsigned char key, unsigned char virtualKey) {
    switch (virtualKey) {
        case XPLM_VK_RETURN:
        case XPLM_VK_ENTER:
        case XPLM_VK_NUMPAD_ENT:
        case XPLM_VK_TAB:
        case XPLM_VK_ESCAPE:
        case XPLM_VK_UP:
        case XPLM_VK_DOWN:
            return true;
        default:
            return key == '\r' || key == '\n' || key == '\t' || key == 27;
    }
}

int KeyPress(XPWidgetID widget, const XPKeyState_t& state) {
    const unsigned char key = static_cast<unsigned char>(state.key);
    const unsigned char virtualKey = static_cast<unsigned char>(state.vkey);
    if (OwnersKey(key, virtualKey) || (state.flags & xplm_ControlFlag)) return 0;
    if (!IsEnabled(widget)) return 0;
    // The field acts when a key goes down (and on repeats); the release is only eaten.
    if (state.flags & xplm_UpFlag) return 1;

    std::string text = DescriptorOf(widget);
    const int length = static_cast<int>(text.size());
    const Selection selection = SelectionOf(widget, length);
    const bool shift = (state.flags & xplm_ShiftFlag) != 0;
    const int caret = selection.Caret();

    // Moves the caret; with shift the selection stretches from its anchor instead.
    auto moveTo = [&](int target) {
        target = std::clamp(target, 0, length);
        Store(widget, shift ? Between(selection.Anchor(), target) : Between(target, target), length);
        return 1;
    };
    auto erase = [&](int from, int to) {
        if (from < 0 || to > length || from >= to) return 1;
        ReplaceSelection(widget, text, Between(from, to), {});
        Changed(widget);
        return 1;
    };

    if (virtualKey == XPLM_VK_BACK || key == '\b')
        return selection.Empty() ? erase(caret - 1, caret) : erase(selection.start, selection.end);
    if (virtualKey == XPLM_VK_DELETE || key == 127)
        return selection.Empty() ? erase(caret, caret + 1) : erase(selection.start, selection.end);
    switch (virtualKey) {
        case XPLM_VK_LEFT:
            if (!shift && !selection.Empty()) return moveTo(selection.start);
            return moveTo(caret - 1);
        case XPLM_VK_RIGHT:
            if (!shift && !selection.Empty()) return moveTo(selection.end);
            return moveTo(caret + 1);
        case XPLM_VK_HOME: return moveTo(0);
        case XPLM_VK_END: return moveTo(length);
        default: break;
    }
    if (key < 32) return 0;  // no character to type
    if (ReplaceSelection(widget, text, selection, std::string(1, state.key))) Changed(widget);
    return 1;
}

// Selection by mouse: the down puts the caret and the drag anchor, drag and up stretch
// the selection from that anchor.
int Mouse(XPWidgetMessage message, XPWidgetID widget, const XPMouseState_t& mouse) {
    if (message == xpMsg_MouseDown) {
        if (!IsEnabled(widget) || !GeometryOf(widget).Contains(mouse.x, mouse.y)) return 0;
        if (XPGetWidgetWithFocus() != widget) XPSetKeyboardFocus(widget);
    }
    const int length = static_cast<int>(DescriptorOf(widget).size());
    const int index = IndexAt(widget, mouse.x, length);
    if (message == xpMsg_MouseDown) {
        SetProperty(widget, xpProperty_EditFieldSelDragStart, index);
        Store(widget, Between(index, index), length);
        return 1;
    }
    const int anchor = ClampIndex(Property(widget, xpProperty_EditFieldSelDragStart), length);
    Store(widget, Between(anchor, index), length);
    return 1;
}

void DrawField(XPWidgetID widget) {
    const Box box = GeometryOf(widget);
    switch (Property(widget, xpProperty_TextFieldType)) {
        case xpTextTransparent: break;
        case xpTextTranslucent: XPLMDrawTranslucentDarkBox(box.left, box.top, box.right, box.bottom); break;
        default: XPDrawElement(box.left, box.bottom, box.right, box.top, xpElement_TextField, 0); break;
    }
    std::string text = DescriptorOf(widget);
    const int length = static_cast<int>(text.size());
    if (Property(widget, xpProperty_PasswordMode)) text.assign(text.size(), '*');
    const int scroll = ClampIndex(Property(widget, xpProperty_ScrollPosition), length);
    int height = 0;
    CharacterSize(Font(widget), nullptr, &height);
    const bool focused = XPGetWidgetWithFocus() == widget;
    DrawText(text.substr(scroll, VisibleCharacters(widget)), box.left + kMargin,
             box.bottom + (box.Height() - height) / 2 + 2, focused, IsEnabled(widget));
}

}  // namespace

int TextFieldFunction(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t) {
    switch (message) {
        case xpMsg_Draw:
            DrawField(widget);
            return 1;
        case xpMsg_KeyTakeFocus:
            return IsEnabled(widget) ? 1 : 0;
        case xpMsg_KeyLoseFocus:
            return 1;
        case xpMsg_KeyPress: {
            const XPKeyState_t* key = KeyOf(message, param1);
            return key ? KeyPress(widget, *key) : 0;
        }
        case xpMsg_MouseDown:
        case xpMsg_MouseDrag:
        case xpMsg_MouseUp: {
            const XPMouseState_t* mouse = MouseOf(message, param1);
            return mouse ? Mouse(message, widget, *mouse) : 0;
        }
        default:
            return 0;
    }
}

}  // namespace korvane::host::widgets
