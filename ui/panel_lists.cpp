#include "ui/panel_lists.h"

#include "ui/list_box.h"

#include <XPWidgets.h>

namespace korvane {
namespace {

constexpr std::size_t kLineWidth = 45;
constexpr std::size_t kMaxSegments = 3;
// Pending text stops growing here, so a chatty script cannot fill memory before
// the panel is ever opened.
constexpr std::size_t kPendingLimit = 8000;

std::string displayPending;
std::string printPending;
// The panel's list boxes while its window exists.
XPWidgetID displayList = nullptr;
XPWidgetID printList = nullptr;

// The byte just past the character that starts at `at`. Widths count characters, as
// a user sees them, so a cut never lands inside a UTF-8 sequence. A byte that starts
// no valid sequence (text the host gave undecoded) counts as one character.
std::size_t NextCharacter(std::string_view text, std::size_t at) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t end = at + 1;
    while (end < text.size() && end < at + length && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    return end;
}

// Cuts one segment off the front of `rest`; returns the segment and leaves the remainder.
std::string CutSegment(std::string_view& rest) {
    std::size_t cut = 0;  // bytes of the first kLineWidth characters
    for (std::size_t characters = 0; characters < kLineWidth && cut < rest.size(); ++characters)
        cut = NextCharacter(rest, cut);
    if (cut == rest.size()) {
        std::string segment(rest);
        rest = {};
        return segment;
    }
    // A blank is one byte and never part of a longer character, so bytes can be searched.
    std::size_t blank = rest.substr(1, cut - 1).find_last_of(' ');
    if (rest[cut] == ' ' || blank == std::string_view::npos) {
        std::string segment(rest.substr(0, cut));
        rest.remove_prefix(cut);
        return segment;
    }
    blank += 1;  // position within `rest`
    std::string segment(rest.substr(0, blank));
    rest.remove_prefix(blank + 1);  // the blank at the break is dropped
    return segment;
}

void AddToList(XPWidgetID list, std::string& pending, std::string_view text) {
    if (list) {
        for (const std::string& segment : SplitListLine(text)) {
            if (segment.empty()) continue;
            XPSetWidgetDescriptor(list, segment.c_str());
            XPSetWidgetProperty(list, ui::xpProperty_ListBoxAppendLine, 1);
        }
        if (!pending.empty()) std::string().swap(pending);
        return;
    }
    if (pending.size() >= kPendingLimit) return;
    for (const std::string& segment : SplitListLine(text)) {
        if (segment.empty()) continue;
        pending.append(segment).append(";");
    }
}

void Clear(XPWidgetID list) {
    if (list) XPSetWidgetProperty(list, ui::xpProperty_ListBoxClear, 1);
}

}  // namespace

std::vector<std::string> SplitListLine(std::string_view text) {
    std::vector<std::string> segments;
    std::string_view rest = text;
    for (std::size_t i = 0; i + 1 < kMaxSegments && !rest.empty(); ++i) segments.push_back(CutSegment(rest));
    if (!rest.empty()) segments.emplace_back(rest);  // the last segment is not cut further
    return segments;
}

void AddToDisplayList(std::string_view text) { AddToList(displayList, displayPending, text); }
void AddToPrintList(std::string_view text) { AddToList(printList, printPending, text); }
void ClearDisplayList() { Clear(displayList); }
void ClearPrintList() { Clear(printList); }

void SetPanelListBoxes(XPWidgetID display, XPWidgetID print) {
    displayList = display;
    printList = print;
}

const std::string& DisplayPendingText() { return displayPending; }
const std::string& PrintPendingText() { return printPending; }

}  // namespace korvane
