#include "platform/platform.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <iterator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <dlfcn.h>
#include <unistd.h>

#include <Python.h>

namespace korvane::platform {

namespace {

void WriteAll(int handle, const char* data, std::size_t left) {
    while (left > 0) {
        ssize_t written = ::write(handle, data, left);
        if (written <= 0) return;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace

void DebugOutput(const std::string& line) {
    // One write per line so that lines from several writers do not interleave.
    WriteAll(STDERR_FILENO, line.data(), line.size());
}

// One stat per write, against an open and a close before: the path is checked, not
// trusted, because log readers rotate and delete these files.
bool AppendingFile::NamesOpenFile(const std::string& path) const {
    if (handle_ < 0 || path != path_) return false;
    struct stat named {};
    return ::stat(path.c_str(), &named) == 0 && named.st_dev == device_ && named.st_ino == inode_;
}

void AppendingFile::Write(const std::string& path, std::string_view text) {
    if (!NamesOpenFile(path)) {
        Close();
        handle_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (handle_ < 0) return;
        struct stat opened {};
        ::fstat(handle_, &opened);
        path_ = path;
        device_ = opened.st_dev;
        inode_ = opened.st_ino;
    }
    WriteAll(handle_, text.data(), text.size());
}

void AppendingFile::Close() {
    if (handle_ >= 0) ::close(handle_);
    handle_ = -1;
    path_.clear();
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
