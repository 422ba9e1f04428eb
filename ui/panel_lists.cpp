#include "ui/panel_lists.h"

namespace korvane {
namespace {

constexpr std::size_t kLineWidth = 45;
constexpr std::size_t kMaxSegments = 3;
// Pending text stops growing here, so a chatty script cannot fill memory before
// the panel is ever opened.
constexpr std::size_t kPendingLimit = 8000;

std::string displayPending;
std::string printPending;

// Cuts one segment off the front of `rest`; returns the segment and leaves the remainder.
std::string CutSegment(std::string_view& rest) {
    if (rest.size() <= kLineWidth) {
        std::string segment(rest);
        rest = {};
        return segment;
    }
    std::size_t blank = rest.substr(1, kLineWidth - 1).find_last_of(' ');
    if (rest[kLineWidth] == ' ' || blank == std::string_view::npos) {
        std::string segment(rest.substr(0, kLineWidth));
        rest.remove_prefix(kLineWidth);
        return segment;
    }
    blank += 1;  // position within `rest`
    std::string segment(rest.substr(0, blank));
    rest.remove_prefix(blank + 1);  // the blank at the break is dropped
    return segment;
}

void AddToList(std::string& pending, std::string_view text) {
    if (pending.size() >= kPendingLimit) return;
    for (const std::string& segment : SplitListLine(text)) {
        if (segment.empty()) continue;
        pending.append(segment).append(";");
    }
}

}  // namespace

std::vector<std::string> SplitListLine(std::string_view text) {
    std::vector<std::string> segments;
    std::string_view rest = text;
    for (std::size_t i = 0; i + 1 < kMaxSegments && !rest.empty(); ++i) segments.push_back(CutSegment(rest));
    if (!rest.empty()) segments.emplace_back(rest);  // the last segment is not cut further
    return segments;
}

void AddToDisplayList(std::string_view text) { AddToList(displayPending, text); }
void AddToPrintList(std::string_view text) { AddToList(printPending, text); }

const std::string& DisplayPendingText() { return displayPending; }
const std::string& PrintPendingText() { return printPending; }

}  // namespace korvane
