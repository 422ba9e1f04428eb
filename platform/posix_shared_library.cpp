#include "platform/shared_library.h"

#include <dlfcn.h>

namespace korvane::platform {

void* OpenSharedLibrary(const std::string& path, std::string& error) {
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* message = ::dlerror();
        error = message ? message : "unknown error";
    }
    return library;
}

void* FindSharedLibrarySymbol(void* library, const char* name) { return ::dlsym(library, name); }

std::string FolderOfLoadedCode(const void* address) {
    Dl_info info{};
    if (!::dladdr(address, &info) || !info.dli_fname) return "./";
    std::string file = info.dli_fname;
    std::size_t slash = file.rfind('/');
    return slash == std::string::npos ? "./" : file.substr(0, slash + 1);
}

}  // namespace korvane::platform
