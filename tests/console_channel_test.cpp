// The console channel end to end: the plug-in's sender against the host's capture and
// against the korvane-console program.
#include "host/console_capture.h"
#include "platform/console_wire.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace korvane::host {
// Readable failure messages from GoogleTest.
void PrintTo(const ConsoleText& text, std::ostream* out) { *out << "{" << text.command << ", \"" << text.text << "\"}"; }
}  // namespace korvane::host

namespace {

using korvane::host::ConsoleCapture;
using korvane::host::ConsoleText;
namespace console = korvane::console;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void Send(std::uint32_t command, const std::string& text) {
    korvane::platform::SendConsolePacket(command, text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
}

milliseconds TimedSend(std::uint32_t command, const std::string& text) {
    auto start = Clock::now();
    Send(command, text);
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

sockaddr_un Address(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

int RawSocket() { return ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

bool RawConnect(int fd, const std::string& path) {
    sockaddr_un address = Address(path);
    return ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

// A socket bound to the channel path and listening with the given backlog, never accepting.
int RawListener(int backlog) {
    int fd = RawSocket();
    sockaddr_un address = Address(console::ChannelPath());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 && ::listen(fd, backlog) == 0) return fd;
    ::close(fd);
    return -1;
}

std::string Packet(std::uint32_t command, std::uint32_t byteCount, const std::string& bytes) {
    std::string packet(8, '\0');
    std::memcpy(packet.data(), &command, 4);
    std::memcpy(packet.data() + 4, &byteCount, 4);
    return packet + bytes;
}

// Runs `body` with SIGPIPE blocked and reports whether it raised one.
bool RaisesSigpipe(const std::function<void()>& body) {
    sigset_t pipe, old, pending;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe, &old);
    body();
    sigpending(&pending);
    bool raised = sigismember(&pending, SIGPIPE) == 1;
    timespec none{};
    if (raised) sigtimedwait(&pipe, nullptr, &none);
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return raised;
}

// Every test gets its own runtime folder, so channel paths never meet.
class ConsoleChannelTest : public testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) oldRuntimeDir_ = old;
        char pattern[] = "/tmp/korvane-console-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
        path_ = console::ChannelPath();
    }
    void TearDown() override {
        if (oldRuntimeDir_)
            ::setenv("XDG_RUNTIME_DIR", oldRuntimeDir_->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    bool PathExists() const { return std::filesystem::exists(std::filesystem::symlink_status(path_)); }

    std::optional<std::string> oldRuntimeDir_;
    std::string dir_;
    std::string path_;
};

TEST_F(ConsoleChannelTest, TextsArriveWholeAndInOrder) {
    ConsoleCapture capture;
    ASSERT_TRUE(capture.listening()) << capture.failure();
    EXPECT_EQ(capture.path(), dir_ + "/TKorvanePluginConsoleForm");

    std::string large(100000, 'x');
    large += "\xC3\xA9nd";
    std::vector<ConsoleText> expected = {
        {console::kDisplayText, "hello"}, {console::kClearDisplay, ""}, {console::kPrintText, "abc"},
        {console::kPrintText, "\n"},      {console::kClearPrint, ""},   {console::kPrintText, large},
    };
    for (int i = 0; i < 200; ++i) expected.push_back({console::kPrintText, std::to_string(i)});
    for (const ConsoleText& text : expected) Send(text.command, text.text);
    EXPECT_EQ(capture.texts(), expected);

    capture.clear();
    Send(console::kDisplayText, "after");
    EXPECT_EQ(capture.texts(), (std::vector<ConsoleText>{{console::kDisplayText, "after"}}));
}

TEST_F(ConsoleChannelTest, MalformedPacketsAreSkippedAndLaterOnesKept) {
    ConsoleCapture capture;
    ASSERT_TRUE(capture.listening()) << capture.failure();
    {
        Fd client{RawSocket()};
        ASSERT_TRUE(RawConnect(client.fd, path_));
        std::vector<std::string> packets = {
            std::string("\x01\x00\x00\x00", 4),                      // short header
            Packet(console::kPrintText, 10, std::string("ab\0", 3)),  // count larger than the bytes
            Packet(console::kPrintText, 2, std::string("abc\0", 4)),  // count smaller than the bytes
            Packet(console::kPrintText, 3, "abc"),                    // no zero byte
            Packet(console::kPrintText, 0, ""),                       // not even the zero byte
            Packet(console::kPrintText, 5, std::string("good\0", 5)),
        };
        for (const std::string& packet : packets)
            ASSERT_EQ(::send(client.fd, packet.data(), packet.size(), MSG_NOSIGNAL), ssize_t(packet.size()));
    }
    Send(console::kDisplayText, "next");
    EXPECT_EQ(capture.texts(),
              (std::vector<ConsoleText>{{console::kPrintText, "good"}, {console::kDisplayText, "next"}}));
}

// Covers the socket file missing, then left behind by a console that died.
TEST_F(ConsoleChannelTest, SendingWithoutAConsoleIsQuickAndTheStaleFileIsReplaced) {
    for (int round = 0; round < 2; ++round) {
        if (round == 1) ::close(RawListener(4));  // bound, then gone without unlinking
        ASSERT_EQ(PathExists(), round == 1);
        milliseconds total{};
        EXPECT_FALSE(RaisesSigpipe([&] {
            for (int i = 0; i < 20; ++i) total += TimedSend(console::kPrintText, "lost");
        }));
        EXPECT_LT(total.count(), 100) << "round " << round;
    }
    {
        ConsoleCapture capture;
        ASSERT_TRUE(capture.listening()) << capture.failure();
        Send(console::kPrintText, "found");
        EXPECT_EQ(capture.texts(), (std::vector<ConsoleText>{{console::kPrintText, "found"}}));
    }
    EXPECT_FALSE(PathExists()) << "the capture removes the socket it bound";
}

TEST_F(ConsoleChannelTest, FileThatIsNotASocketIsLeftAlone) {
    std::ofstream(path_) << "user data";
    ConsoleCapture capture;
    EXPECT_FALSE(capture.listening());
    EXPECT_FALSE(capture.anotherConsoleListening());
    EXPECT_FALSE(capture.failure().empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(path_));
}

TEST_F(ConsoleChannelTest, SecondCaptureDoesNotStealTheLiveOnesPath) {
    ConsoleCapture first;
    ASSERT_TRUE(first.listening()) << first.failure();
    {
        ConsoleCapture second;
        EXPECT_FALSE(second.listening());
        EXPECT_TRUE(second.anotherConsoleListening());
        Send(console::kPrintText, "to the first");
        EXPECT_TRUE(second.texts().empty());
    }
    ASSERT_TRUE(PathExists()) << "the second capture must not unlink the first's socket";
    Send(console::kPrintText, "still the first");
    EXPECT_EQ(first.texts(), (std::vector<ConsoleText>{{console::kPrintText, "to the first"},
                                                       {console::kPrintText, "still the first"}}));
}

TEST_F(ConsoleChannelTest, ConsoleThatStopsReadingDoesNotHoldTheSender) {
    // Never accepts; a backlog of 0 holds one connection, which the first text fills.
    Fd stuck{RawListener(0)};
    ASSERT_GE(stuck.fd, 0);
    EXPECT_FALSE(RaisesSigpipe([] {
        for (int i = 0; i < 5; ++i) {
            milliseconds took = TimedSend(console::kPrintText, "stuck");
            EXPECT_LT(took.count(), 100) << "text " << i;
        }
    }));
}

// A console whose backlog is full for a moment is busy, not gone: the text waits.
TEST_F(ConsoleChannelTest, ABusyConsoleGetsTheTextAfterAShortWait) {
    Fd listener{RawListener(0)};
    ASSERT_GE(listener.fd, 0);
    Fd filler{RawSocket()};
    ASSERT_TRUE(RawConnect(filler.fd, path_)) << "the one backlog place is taken now";
    std::string received;
    std::thread console([&] {
        ::usleep(20000);
        Fd first{::accept(listener.fd, nullptr, nullptr)};  // frees the place
        pollfd waiting{listener.fd, POLLIN, 0};
        if (::poll(&waiting, 1, 1000) != 1) return;
        Fd sender{::accept(listener.fd, nullptr, nullptr)};
        pollfd reading{sender.fd, POLLIN, 0};
        char buffer[64];
        ssize_t got = ::poll(&reading, 1, 1000) == 1 ? ::recv(sender.fd, buffer, sizeof(buffer), 0) : 0;
        if (got > 0) received.assign(buffer, std::size_t(got));
    });
    milliseconds took = TimedSend(console::kPrintText, "busy");
    console.join();
    EXPECT_EQ(received, Packet(console::kPrintText, 5, std::string("busy\0", 5)));
    EXPECT_LT(took.count(), 100);
}

// A console that stalls a text is left alone for a while, then tried again.
TEST_F(ConsoleChannelTest, AStuckConsoleIsSkippedForAPauseThenFoundAgain) {
    {
        Fd stuck{RawListener(0)};  // never accepts; the first text fills its backlog
        ASSERT_GE(stuck.fd, 0);
        auto start = Clock::now();
        for (int i = 0; i < 1500; ++i) Send(console::kPrintText, "stuck");
        EXPECT_LT(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count(), 500);
    }
    std::filesystem::remove(path_);
    ConsoleCapture capture;
    ASSERT_TRUE(capture.listening()) << capture.failure();
    Send(console::kPrintText, "during the pause");
    ::usleep(1100000);
    Send(console::kPrintText, "after the pause");
    EXPECT_EQ(capture.texts(), (std::vector<ConsoleText>{{console::kPrintText, "after the pause"}}));
}

// Each text of a slow console gets through after a wait; those waits together take
// only a small share of every second, the other texts are dropped.
TEST_F(ConsoleChannelTest, WaitingOnASlowConsoleTakesLittleOfEachSecond) {
    Fd listener{RawListener(0)};
    ASSERT_GE(listener.fd, 0);
    Fd filler{RawSocket()};
    ASSERT_TRUE(RawConnect(filler.fd, path_));
    std::atomic<bool> done{false};
    std::atomic<int> accepted{0};
    std::thread console([&] {
        while (!done) {
            ::usleep(30000);
            Fd connection{::accept(listener.fd, nullptr, nullptr)};
            if (connection.fd >= 0) ++accepted;
        }
    });
    auto start = Clock::now();
    for (int i = 0; i < 60; ++i) Send(console::kPrintText, "slow");
    auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    done = true;
    console.join();
    EXPECT_LT(took.count(), 500);
    EXPECT_GE(accepted.load(), 2) << "some texts still get through";
}

TEST_F(ConsoleChannelTest, DestroyingStopsPromptlyDuringASilentConnection) {
    auto capture = std::make_unique<ConsoleCapture>();
    ASSERT_TRUE(capture->listening()) << capture->failure();
    Fd silent{RawSocket()};
    ASSERT_TRUE(RawConnect(silent.fd, path_));
    ::usleep(20000);  // let the listener accept and start waiting on it
    auto start = Clock::now();
    capture.reset();
    EXPECT_LT(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count(), 50);
    EXPECT_FALSE(PathExists());
}

#ifdef KORVANE_CONSOLE_BINARY

// Runs korvane-console with its standard output on a pipe and its errors discarded.
class ConsoleProgramTest : public ConsoleChannelTest {
protected:
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ConsoleChannelTest::TearDown();
    }

    void Spawn(std::vector<std::string> arguments) {
        int out[2];
        ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::string program = KORVANE_CONSOLE_BINARY;
        std::vector<char*> argv{program.data()};
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        int error = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
        ASSERT_EQ(error, 0);
    }

    // Starts it and waits until it accepts connections.
    void Start(std::vector<std::string> arguments) {
        ASSERT_NO_FATAL_FAILURE(Spawn(std::move(arguments)));
        for (auto deadline = Clock::now() + milliseconds(5000);; ::usleep(5000)) {
            Fd probe{RawSocket()};
            if (RawConnect(probe.fd, path_)) return;
            ASSERT_LT(Clock::now(), deadline) << "korvane-console did not start listening";
        }
    }

    // Reads its output until `done` holds for all of it, the end, or five seconds.
    void ReadUntil(const std::function<bool()>& done) {
        for (auto deadline = Clock::now() + milliseconds(5000); !done();) {
            pollfd entry{out_, POLLIN, 0};
            auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            char buffer[4096];
            ssize_t got = left > 0 && ::poll(&entry, 1, int(left)) == 1 ? ::read(out_, buffer, sizeof(buffer)) : 0;
            if (got <= 0) return;
            output_.append(buffer, std::size_t(got));
        }
    }

    int Exit() {
        ReadUntil([] { return false; });
        int status = 0;
        for (auto deadline = Clock::now() + milliseconds(5000); ::waitpid(pid_, &status, WNOHANG) == 0;) {
            if (Clock::now() > deadline) return -1;  // TearDown kills it
            ::usleep(5000);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Stops it as a user would; it must leave cleanly.
    void Stop() {
        ::kill(pid_, SIGTERM);
        EXPECT_EQ(Exit(), 0);
        EXPECT_FALSE(PathExists()) << "korvane-console left its socket behind";
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

TEST_F(ConsoleProgramTest, PlainModeJoinsFragmentsIntoLinesMarkedWithTheirArea) {
    Start({"--plain"});
    // As Python writes them: a print is its text and then its line end; a traceback comes
    // in pieces that do not follow its lines.
    for (const char* text : {"abc", "\n", "Traceback (most recent call last):\n  File \"KV_A.py\", line 3", "\n",
                             "ZeroDivisionError", ": ", "division by zero", "\r\n", "", "\n"})
        Send(console::kPrintText, text);
    Send(console::kDisplayText, "one\ntwo\n");
    Send(console::kPrintText, "before clear");
    Send(console::kClearPrint, "");
    Send(console::kClearDisplay, "");
    Send(console::kPrintText, "tab\there, bell\a, partial");
    const std::string expected =
        "[print] abc\n"
        "[print] Traceback (most recent call last):\n"
        "[print]   File \"KV_A.py\", line 3\n"
        "[print] ZeroDivisionError: division by zero\n"
        "[print] \n"
        "[display] one\n"
        "[display] two\n"
        "[print] before clear\n"
        "[clear print]\n"
        "[clear display]\n"
        // Shown once the channel has gone quiet, though its line end never came.
        "[print] tab\there, bell\\x07, partial\n";
    ReadUntil([&] { return output_.size() >= expected.size(); });
    Stop();
    EXPECT_EQ(output_, expected);
}

TEST_F(ConsoleProgramTest, ScreenJoinsPrintFragmentsIntoLines) {
    Start({});
    // What the last redraw shows, from its start.
    auto screenStartsWith = [&](const std::string& expected) {
        std::size_t start = output_.rfind("\x1b[2J");
        return start != std::string::npos && output_.compare(start + 4, expected.size(), expected) == 0;
    };
    for (const char* text : {"abc", "def\n", "ghi"}) Send(console::kPrintText, text);
    for (const char* text : {"one", "two\nthree"}) Send(console::kDisplayText, text);
    const std::string shown = "Display\none\ntwo\nthree\n\nPrint\nabcdef\nghi\n";
    ReadUntil([&] { return screenStartsWith(shown); });
    EXPECT_TRUE(screenStartsWith(shown)) << output_;

    Send(console::kClearPrint, "");
    Send(console::kPrintText, "x\n");
    Send(console::kClearDisplay, "");
    ReadUntil([&] { return screenStartsWith("Display\n\nPrint\nx\n"); });
    EXPECT_TRUE(screenStartsWith("Display\n\nPrint\nx\n")) << output_;
    Stop();
}

TEST_F(ConsoleProgramTest, RefusesWhileAnotherConsoleListens) {
    ConsoleCapture capture;
    ASSERT_TRUE(capture.listening()) << capture.failure();
    Spawn({"--plain"});
    EXPECT_EQ(Exit(), 1);
    Send(console::kPrintText, "kept");
    EXPECT_EQ(capture.texts(), (std::vector<ConsoleText>{{console::kPrintText, "kept"}}));
}

#endif  // KORVANE_CONSOLE_BINARY

}  // namespace
