#include "core/script_listing.h"

#include <XPLMUtilities.h>

#include <algorithm>
#include <string_view>

namespace korvane {
namespace {

std::vector<std::string> nameTable;
std::string listText;
std::string firstName;

bool HasScriptMarker(std::string_view name) {
    return name.find("KV_") != std::string_view::npos || name.find("kv_") != std::string_view::npos;
}

// Asks the host for every name in the folder, growing the buffers until all fit.
std::vector<std::string> FolderContents(const std::string& listingPath) {
    int nameBufferSize = 4096;
    int indexCount = 256;
    for (;;) {
        std::vector<char> names(static_cast<std::size_t>(nameBufferSize));
        std::vector<char*> indices(static_cast<std::size_t>(indexCount));
        int total = 0;
        int returned = 0;
        int complete = XPLMGetDirectoryContents(listingPath.c_str(), 0, names.data(), nameBufferSize, indices.data(),
                                                indexCount, &total, &returned);
        if (complete || returned >= total || nameBufferSize >= (1 << 26)) {
            std::vector<std::string> result;
            for (int i = 0; i < returned && i < indexCount; ++i)
                if (indices[static_cast<std::size_t>(i)]) result.emplace_back(indices[static_cast<std::size_t>(i)]);
            return result;
        }
        nameBufferSize *= 4;
        indexCount = std::max(indexCount, total);
    }
}

}  // namespace

std::vector<std::string> SelectScriptNames(const std::vector<std::string>& fileNames) {
    std::vector<std::string> selected;
    for (const std::string& name : fileNames) {
        std::size_t dot = name.rfind('.');
        if (dot == std::string::npos || name.compare(dot, std::string::npos, ".py") != 0) continue;
        if (!HasScriptMarker(name)) continue;
        selected.push_back(name.substr(0, dot));
    }
    for (const std::string& name : fileNames) {
        std::size_t dot = name.find('.');
        if (dot == std::string::npos || name.compare(dot, std::string::npos, ".pyc") != 0) continue;
        if (!HasScriptMarker(name)) continue;
        // A compiled file whose name holds an already listed name is taken for its twin.
        bool twin = std::any_of(selected.begin(), selected.end(),
                                [&](const std::string& listed) { return name.find(listed) != std::string::npos; });
        if (twin) continue;
        selected.push_back(name.substr(0, dot));
    }
    return selected;
}

void ListScripts(const std::string& listingPath) {
    nameTable = SelectScriptNames(FolderContents(listingPath));
    listText.clear();
    if (nameTable.empty()) {
        listText = "No Scripts Found;";
        firstName = "No Scripts Found";
        return;
    }
    for (const std::string& name : nameTable) listText.append(name).append(";");
    firstName = nameTable.front();
}

void MarkScriptFolderError() {
    nameTable.clear();  // the previous run's scripts are not there now
    listText = "DuvodeZuzedav Directory Error;";
    firstName = "DuvodeZuzedav Directory Error";
}

const std::vector<std::string>& ScriptNameTable() { return nameTable; }
const std::string& ScriptListText() { return listText; }
const std::string& FirstScriptName() { return firstName; }

}  // namespace korvane
