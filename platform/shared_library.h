#pragma once
// Loading a shared library at run time, for the plug-in's loader: it must load in any
// simulator, so the part that needs the Python library is opened only once it runs.
#include <string>

namespace korvane::platform {

// Opens the library with its symbols resolved now and kept to itself, as the simulator
// loads plug-ins. Null, with the system loader's own message in `error`, when it cannot.
void* OpenSharedLibrary(const std::string& path, std::string& error);
void* FindSharedLibrarySymbol(void* library, const char* name);
// The folder of the loaded file holding the code at `address`, with a trailing separator.
std::string FolderOfLoadedCode(const void* address);

}  // namespace korvane::platform
