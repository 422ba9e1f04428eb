#pragma once
// Texts of the panel's own widgets: descriptors read whole, ";"-separated items, and
// cuts that never split a character.
#include <XPWidgetDefs.h>

#include <string>
#include <string_view>
#include <vector>

namespace korvane::ui {

// The widget's whole descriptor, however long.
std::string ReadDescriptor(XPWidgetID widget);

// Items separated by ";": the text up to each ";" is one item, and splitting stops when
// no text is left, so a trailing ";" adds nothing and an empty text gives no item.
std::vector<std::string> SplitItems(std::string_view text);

// The leading part of `text` holding at most `characters` UTF-8 characters.
std::string_view FirstCharacters(std::string_view text, std::size_t characters);

}  // namespace korvane::ui
