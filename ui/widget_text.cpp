#include "ui/widget_text.h"

#include <XPWidgets.h>

namespace korvane::ui {

std::string ReadDescriptor(XPWidgetID widget) {
    int length = XPGetWidgetDescriptor(widget, nullptr, 0);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    int read = XPGetWidgetDescriptor(widget, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(read < 0 ? 0 : read < length ? read : length));
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
}

std::vector<std::string> SplitItems(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        std::size_t end = text.find(';');
        if (end == std::string_view::npos) {
            items.emplace_back(text);
            break;
        }
        items.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return items;
}

std::string_view FirstCharacters(std::string_view text, std::size_t characters) {
    std::size_t at = 0;
    for (std::size_t counted = 0; counted < characters && at < text.size(); ++counted) {
        ++at;
        // Continuation bytes belong to the character before them.
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    }
    return text.substr(0, at);
}

}  // namespace korvane::ui
