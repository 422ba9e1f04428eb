#pragma once
// Finds the script files in the scripts folder and keeps the names the panel shows.
#include <string>
#include <vector>

namespace korvane {

// Chooses script module names from a folder's file names, in load order: the
// sources (KV_ or kv_ in the name, ending .py) in the given order, then the
// compiled-only ones (.pyc from the first dot) whose name holds no listed name.
std::vector<std::string> SelectScriptNames(const std::vector<std::string>& fileNames);

// Lists the folder through the host and replaces the name table and list texts.
void ListScripts(const std::string& listingPath);
// Records that the scripts folder is missing.
void MarkScriptFolderError();

const std::vector<std::string>& ScriptNameTable();
// The names, each followed by ";", or one of the two markers.
const std::string& ScriptListText();
const std::string& FirstScriptName();

}  // namespace korvane
