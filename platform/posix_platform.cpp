#include "platform/platform.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <iterator>

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <Python.h>

namespace korvane::platform {

void DebugOutput(const std::string& line) {
    // One write per line so that lines from several writers do not interleave.
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        ssize_t written = ::write(STDERR_FILENO, data, left);
        if (written <= 0) return;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

bool FolderExists(const std::string& listingPath) {
    DIR* dir = ::opendir(listingPath.c_str());
    if (!dir) return false;
    ::closedir(dir);
    return true;
}

void ExposeInterpreterSymbols() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&Py_InitializeEx), &info) || !info.dli_fname) return;
    // Re-opening with RTLD_GLOBAL promotes the already loaded library; the extra
    // reference keeps it mapped for the life of the process, which reloads rely on.
    ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL);
}

namespace {
constexpr int kHostSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct SavedSignals {
    bool saved = false;
    struct sigaction actions[std::size(kHostSignals)];
    sigset_t mask;
};
SavedSignals savedSignals;
}  // namespace

bool IsHostSignal(int signal) { return std::find(std::begin(kHostSignals), std::end(kHostSignals), signal) != std::end(kHostSignals); }

void SaveHostSignals() {
    for (std::size_t i = 0; i < std::size(kHostSignals); ++i) ::sigaction(kHostSignals[i], nullptr, &savedSignals.actions[i]);
    ::pthread_sigmask(SIG_SETMASK, nullptr, &savedSignals.mask);
    savedSignals.saved = true;
}

void RestoreHostSignals() {
    if (!savedSignals.saved) return;
    for (std::size_t i = 0; i < std::size(kHostSignals); ++i) ::sigaction(kHostSignals[i], &savedSignals.actions[i], nullptr);
    ::pthread_sigmask(SIG_SETMASK, &savedSignals.mask, nullptr);
}

}  // namespace korvane::platform
