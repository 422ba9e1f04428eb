#pragma once
// The listening end of the console channel. The headless host and the tests record
// what the plug-in sends with it; korvane-console shows it. It is the only code in
// the project that accepts connections on the channel.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace korvane::host {

struct ConsoleText {
    std::uint32_t command;
    std::string text;  // without its zero byte
    bool operator==(const ConsoleText&) const = default;
};

// How much a capture keeps: the newest texts up to both bounds. A program that runs
// for hours with nobody reading the channel keeps only a tail.
struct CaptureTail {
    std::size_t texts = SIZE_MAX;
    std::size_t bytes = SIZE_MAX;
};

class ConsoleCapture {
public:
    using Handler = std::function<void(const ConsoleText&)>;

    // Binds the channel path and starts a listener thread that records every text
    // (the newest ones within `keep`). A live console already on the path keeps it
    // (listening() is false then); a stale socket file with nobody listening is replaced.
    explicit ConsoleCapture(CaptureTail keep = CaptureTail{});
    // Same, but hands every text to `onText` on the listener thread instead of
    // recording it, for a program that shows texts as they come.
    explicit ConsoleCapture(Handler onText);
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    bool listening() const { return listenFd_ >= 0; }
    // True when listening() is false because another console holds the path.
    bool anotherConsoleListening() const { return taken_; }
    // Why listening() is false, in words; empty while listening.
    const std::string& failure() const { return failure_; }
    const std::string& path() const { return path_; }

    // Everything recorded so far, in arrival order, after waitIdle().
    std::vector<ConsoleText> texts();
    // How many older texts the tail let go.
    std::size_t dropped();
    void clear();
    // Waits, at most `limit`, until no connection is queued or being read, so that
    // a caller sees what was sent before it asked.
    void waitIdle(std::chrono::milliseconds limit = std::chrono::milliseconds(200));

private:
    ConsoleCapture(Handler onText, CaptureTail keep);
    bool Bind();
    void Run();
    void ReadConnection(int fd);
    void Deliver(ConsoleText text);
    bool Pending() const;

    Handler onText_;
    std::string path_;
    std::string failure_;
    bool taken_ = false;
    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    dev_t boundDevice_ = 0;
    ino_t boundInode_ = 0;

    std::mutex mutex_;
    std::condition_variable idle_;
    bool busy_ = false;
    CaptureTail keep_;
    std::deque<ConsoleText> texts_;
    std::size_t keptBytes_ = 0;
    std::size_t dropped_ = 0;
    std::thread thread_;
};

}  // namespace korvane::host
