#pragma once
// Reading what a run left behind, for tests with or without the interpreter linked in.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace korvane::testing {

// Text of a file, or the empty text when it does not exist.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// How often `needle` occurs in `text`.
inline int CountOccurrences(const std::string& text, const std::string& needle) {
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

}  // namespace korvane::testing
