#include "tools/plain_view.h"

#include "platform/console_wire.h"

#include <cstdio>

namespace korvane::console {
namespace {

// Lines hold no line ends; other control characters would move the reader's cursor.
std::string Escaped(const std::string& text) {
    std::string escaped;
    for (unsigned char c : text) {
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof(code), "\\x%02X", c);
            escaped += code;
        } else {
            escaped += static_cast<char>(c);
        }
    }
    return escaped;
}

std::string Line(const char* area, const std::string& text) { return std::string(area) + Escaped(text) + "\n"; }

}  // namespace

std::string PlainView::EndPrintLine() {
    std::string line = Line("[print] ", current_);
    current_.clear();
    return line;
}

std::string PlainView::Add(const host::ConsoleText& text) {
    std::string out;
    switch (text.command) {
    case kPrintText:
        for (char c : text.text) {
            bool afterReturn = returned_;
            returned_ = c == '\r';
            if (c == '\n' && afterReturn) continue;  // "\r\n" is one line end
            if (c == '\n' || c == '\r') {
                out += EndPrintLine();
            } else {
                current_ += c;
            }
        }
        break;
    case kDisplayText: {
        std::string_view rest = text.text;
        if (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
        for (;;) {
            std::size_t end = rest.find('\n');
            out += Line("[display] ", std::string(rest.substr(0, end)));
            if (end == std::string_view::npos) break;
            rest.remove_prefix(end + 1);
        }
        break;
    }
    case kClearDisplay: out += "[clear display]\n"; break;
    case kClearPrint:
        // What was printed before the clear is still shown before its marker.
        out += Flush();
        returned_ = false;
        out += "[clear print]\n";
        break;
    default: out += Line(("[command " + std::to_string(text.command) + "] ").c_str(), text.text); break;
    }
    return out;
}

std::string PlainView::Flush() { return HasPending() ? EndPrintLine() : std::string(); }

}  // namespace korvane::console
