// korvane-console: shows on a terminal what Korvane's scripts send to the console
// channel, the display area above and the print area below.
#include "host/console_capture.h"
#include "platform/console_wire.h"
#include "tools/plain_view.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace {

using korvane::host::ConsoleCapture;
using korvane::host::ConsoleText;
namespace console = korvane::console;

constexpr std::size_t kDisplayLinesShown = 10;
constexpr std::size_t kPrintLinesShown = 20;
// Only the last lines are ever shown; this bounds memory for long sessions.
constexpr std::size_t kLinesKept = 1000;
// How long the plain view waits for the rest of a print line before showing its start.
constexpr auto kPlainQuietTime = std::chrono::milliseconds(250);

volatile std::sig_atomic_t gStop = 0;
volatile std::sig_atomic_t gResized = 0;

void OnStop(int) { gStop = 1; }
void OnResize(int) { gResized = 1; }

void KeepLast(std::deque<std::string>& lines) {
    while (lines.size() > kLinesKept) lines.pop_front();
}

// Each display text starts a line of its own; newlines inside it start more.
class DisplayArea {
public:
    void Add(std::string_view text) {
        if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
        std::size_t start = 0;
        for (;;) {
            std::size_t end = text.find('\n', start);
            lines_.emplace_back(text.substr(start, end == std::string_view::npos ? end : end - start));
            if (end == std::string_view::npos) break;
            start = end + 1;
        }
        KeepLast(lines_);
    }
    void Clear() { lines_.clear(); }
    std::vector<std::string> Lines() const { return {lines_.begin(), lines_.end()}; }

private:
    std::deque<std::string> lines_;
};

// Print texts are fragments of a stream, joined as a terminal would: a print of
// "abc" and then one of "\n" make one line.
class PrintArea {
public:
    void Add(std::string_view text) {
        for (char c : text) {
            if (returned_) {
                returned_ = false;
                if (c != '\n') current_.clear();  // "\r" rewrites the line, "\r\n" ends it
            }
            if (c == '\n') {
                lines_.push_back(std::move(current_));
                current_.clear();
                KeepLast(lines_);
            } else if (c == '\r') {
                returned_ = true;
            } else {
                current_ += c;
            }
        }
    }
    void Clear() {
        lines_.clear();
        current_.clear();
        returned_ = false;
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines(lines_.begin(), lines_.end());
        if (!current_.empty()) lines.push_back(current_);
        return lines;
    }

private:
    std::deque<std::string> lines_;
    std::string current_;
    bool returned_ = false;
};

// One line of the screen: control characters would move the cursor, and long lines
// would wrap and push the headers off the screen.
std::string ScreenLine(const std::string& line, std::size_t columns) {
    std::string shown;
    std::size_t characters = 0;
    for (unsigned char c : line) {
        bool continuation = (c & 0xC0) == 0x80;
        if (!continuation && columns && characters == columns) break;
        if (!continuation) ++characters;
        shown += c == '\t' ? ' ' : (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    }
    return shown;
}

bool WriteOut(const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t written = ::write(STDOUT_FILENO, data.data() + done, data.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

class Screen {
public:
    explicit Screen(std::string path) : path_(std::move(path)) {}

    void Apply(const ConsoleText& text) {
        switch (text.command) {
        case console::kDisplayText: display_.Add(text.text); break;
        case console::kClearDisplay: display_.Clear(); break;
        case console::kPrintText: print_.Add(text.text); break;
        case console::kClearPrint: print_.Clear(); break;
        default: break;
        }
    }

    bool Draw() const {
        std::size_t rows = 0;
        std::size_t columns = 0;
        winsize size{};
        if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) {
            rows = size.ws_row;
            columns = size.ws_col;
        }
        std::size_t displayShown = kDisplayLinesShown;
        std::size_t printShown = kPrintLinesShown;
        if (rows) {
            // Headers, the blank line between the areas and the footer take four rows; the
            // cursor's line after the footer one more.
            std::size_t free = rows > 5 ? rows - 5 : 1;
            displayShown = std::clamp<std::size_t>(free / 3, 1, kDisplayLinesShown);
            printShown = std::clamp<std::size_t>(free - std::min(free, displayShown), 1, kPrintLinesShown);
        }

        std::string out = "\x1b[H\x1b[2J";
        Append(out, "Display", display_.Lines(), displayShown, columns);
        out += "\n";
        Append(out, "Print", print_.Lines(), printShown, columns);
        out += ScreenLine("(listening on " + path_ + "; Ctrl+C quits)", columns) + "\n";
        return WriteOut(out);
    }

private:
    static void Append(std::string& out, const char* header, const std::vector<std::string>& lines,
                       std::size_t shown, std::size_t columns) {
        out += header;
        out += "\n";
        for (std::size_t i = lines.size() - std::min(lines.size(), shown); i < lines.size(); ++i)
            out += ScreenLine(lines[i], columns) + "\n";
    }

    std::string path_;
    DisplayArea display_;
    PrintArea print_;
};

void Usage(std::FILE* to) {
    std::fprintf(to,
                 "Usage: korvane-console [--plain]\n"
                 "Shows the texts Korvane's scripts send to the console: the display area\n"
                 "and the print area.\n"
                 "  --plain  no screen drawing: the texts as lines, each marked with its area:\n"
                 "           [print] LINE (print fragments joined until their line end),\n"
                 "           [display] LINE, and [clear display] or [clear print].\n");
}

struct Inbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<ConsoleText> texts;
};

}  // namespace

int main(int argc, char** argv) {
    bool plain = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--plain") {
            plain = true;
        } else if (argument == "--help" || argument == "-h") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "korvane-console: unknown option %s\n", argv[i]);
            Usage(stderr);
            return 2;
        }
    }

    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = OnStop;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = OnResize;
    ::sigaction(SIGWINCH, &action, nullptr);
    // A closed output ends the program through a failed write, so the socket is unlinked.
    action.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &action, nullptr);

    Inbox inbox;
    // The listener thread inherits a mask without the handled signals, so they reach
    // the main thread, which is the one that checks the flags.
    sigset_t handled;
    sigemptyset(&handled);
    sigaddset(&handled, SIGINT);
    sigaddset(&handled, SIGTERM);
    sigaddset(&handled, SIGWINCH);
    ::pthread_sigmask(SIG_BLOCK, &handled, nullptr);
    ConsoleCapture capture([&inbox](const ConsoleText& text) {
        {
            std::lock_guard lock(inbox.mutex);
            inbox.texts.push_back(text);
        }
        inbox.arrived.notify_one();
    });
    ::pthread_sigmask(SIG_UNBLOCK, &handled, nullptr);

    if (!capture.listening()) {
        if (capture.anotherConsoleListening())
            std::fprintf(stderr, "korvane-console: another console is already listening on %s; close it first.\n",
                         capture.path().c_str());
        else
            std::fprintf(stderr, "korvane-console: %s\n", capture.failure().c_str());
        return 1;
    }

    Screen screen(capture.path());
    korvane::console::PlainView plainView;
    if (plain)
        std::fprintf(stderr, "korvane-console: listening on %s\n", capture.path().c_str());
    bool ok = plain || screen.Draw();
    auto lastText = std::chrono::steady_clock::now();
    while (ok && !gStop) {
        std::vector<ConsoleText> batch;
        {
            // The timeout is how soon a signal is noticed.
            std::unique_lock lock(inbox.mutex);
            inbox.arrived.wait_for(lock, std::chrono::milliseconds(50), [&] { return !inbox.texts.empty(); });
            batch.swap(inbox.texts);
        }
        auto now = std::chrono::steady_clock::now();
        if (!batch.empty()) lastText = now;
        if (plain) {
            std::string out;
            for (const ConsoleText& text : batch) out += plainView.Add(text);
            // A line still unfinished when the channel has gone quiet is shown as it is.
            if (now - lastText >= kPlainQuietTime) out += plainView.Flush();
            ok = out.empty() || WriteOut(out);
        } else {
            for (const ConsoleText& text : batch) screen.Apply(text);
            // One redraw per batch keeps a burst of texts from flooding the terminal.
            bool resized = gResized != 0;
            gResized = 0;
            if (!batch.empty() || resized) ok = screen.Draw();
        }
    }
    if (plain && ok) {
        std::vector<ConsoleText> rest;
        {
            std::lock_guard lock(inbox.mutex);
            rest.swap(inbox.texts);
        }
        std::string out;
        for (const ConsoleText& text : rest) out += plainView.Add(text);
        WriteOut(out + plainView.Flush());
    }
    return 0;
}
