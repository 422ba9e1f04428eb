#pragma once
// Calls that differ by operating system. The core reaches the OS only through here.
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane::platform {

// Copies one log line to the debugger output (POSIX: the process's standard error).
void DebugOutput(const std::string& line);

// A text file kept open for appending: every write reaches the file at once, so a
// reader sees all of it. Another program may delete, move or replace the file at any
// time; the next write then opens whatever the path names now (creating it), so the
// text lands where readers look. A file that cannot be opened loses the text.
class AppendingFile {
public:
    AppendingFile() = default;
    ~AppendingFile() { Close(); }
    AppendingFile(const AppendingFile&) = delete;
    AppendingFile& operator=(const AppendingFile&) = delete;

    void Write(const std::string& path, std::string_view text);
    void Close();

private:
    bool NamesOpenFile(const std::string& path) const;

    int handle_ = -1;
    std::string path_;
    std::uint64_t device_ = 0, inode_ = 0;
};

// True when the folder named by the listing path (ending in a separator) can be opened.
bool FolderExists(const std::string& listingPath);

// Sends one text to the console program, if one is listening; never blocks for long.
// A console that stalls a text is skipped for a pause; its texts are dropped then.
// `data` holds `byteCount` bytes, the last of which is the terminating zero.
void SendConsolePacket(std::uint32_t command, const char* data, std::uint32_t byteCount);

// Makes the interpreter's own symbols visible to the extension modules it loads;
// needed because the simulator loads plug-ins with local symbol scope.
void ExposeInterpreterSymbols();

// The signals the simulator handles itself (Ctrl-C, termination, hang-up, quit).
bool IsHostSignal(int signal);
// Remembers how the process handles the host's signals (and this thread's signal
// mask) before Python starts; puts that back after every stop, whatever Python or a
// script changed.
void SaveHostSignals();
void RestoreHostSignals();

}  // namespace korvane::platform
