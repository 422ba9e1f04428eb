#include "platform/console_wire.h"
#include "platform/platform.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace korvane::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A busy console (backlog full for a moment) is waited for this long per text.
constexpr milliseconds kWait{50};
// After a text was lost to a stuck console, texts are dropped for this long; the
// pause doubles with every further stall, up to the longest.
constexpr milliseconds kFirstPause{1000};
constexpr milliseconds kLongestPause{4000};
// Waiting on the console takes at most this much of every second, so that even a
// console that keeps coming and going cannot slow the simulator's frames much.
constexpr milliseconds kWaitBudget{100};
constexpr milliseconds kBudgetWindow{1000};

// Every text makes its own connection, so nothing else remembers that the last ones
// stalled; without this a stopped console would cost every print the full wait.
// An absent console (no socket file, nobody listening) costs nothing to try and
// leaves no trace here, so one that starts is found from the next text on.
struct ConsoleTrouble {
    std::string path;  // the channel these numbers are about; another one starts afresh
    Clock::time_point quietUntil{};
    Clock::duration pause = kFirstPause;
    Clock::time_point windowStart{};
    Clock::duration waited{};  // within the current budget window
};
ConsoleTrouble trouble;

// How one step with the console went: done, nobody there, or the console did not
// take it in time.
enum class Outcome { Done, Absent, Stalled };

class Socket {
public:
    Socket() : fd_(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

Outcome Connect(int fd, const std::string& path, Clock::time_point deadline, bool& waited) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return Outcome::Absent;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    for (;;) {
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return Outcome::Done;
        // On a Unix socket EAGAIN means the console's backlog is full: it is busy, not
        // gone, so try again for a little while. Anything else means nobody listens.
        if (errno != EAGAIN) return Outcome::Absent;
        if (Clock::now() >= deadline) return Outcome::Stalled;
        waited = true;
        std::this_thread::sleep_for(std::min<Clock::duration>(milliseconds(2), deadline - Clock::now()));
    }
}

Outcome Deliver(const std::string& path, std::uint32_t command, const char* data, std::uint32_t byteCount,
                Clock::time_point deadline, bool& waited) {
    Socket socket;
    if (socket.fd() < 0) return Outcome::Absent;
    if (Outcome connected = Connect(socket.fd(), path, deadline, waited); connected != Outcome::Done) return connected;

    std::vector<char> packet(console::kHeaderSize + byteCount);
    std::memcpy(packet.data(), &command, 4);
    std::memcpy(packet.data() + 4, &byteCount, 4);
    std::memcpy(packet.data() + console::kHeaderSize, data, byteCount);
    int size = static_cast<int>(packet.size());
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
    for (;;) {
        if (::send(socket.fd(), packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) return Outcome::Done;
        if (errno != EAGAIN) return Outcome::Absent;  // the console closed the connection
        waited = true;
        pollfd entry{socket.fd(), POLLOUT, 0};
        if (::poll(&entry, 1, MillisecondsUntil(deadline)) != 1 || !(entry.revents & POLLOUT)) return Outcome::Stalled;
    }
}

}  // namespace

void SendConsolePacket(std::uint32_t command, const char* data, std::uint32_t byteCount) {
    // The console is looked up anew for every text, so one started or closed at any
    // time is found or missed from the next text on (a stuck one after its pause).
    std::string path = console::ChannelPath();
    if (path != trouble.path) trouble = ConsoleTrouble{path};
    Clock::time_point now = Clock::now();
    if (now < trouble.quietUntil) return;
    if (now - trouble.windowStart >= kBudgetWindow) {
        trouble.windowStart = now;
        trouble.waited = {};
    }
    Clock::duration allowance = std::min<Clock::duration>(kWait, kWaitBudget - trouble.waited);
    if (allowance <= Clock::duration::zero()) return;

    bool waited = false;
    Outcome outcome = Deliver(path, command, data, byteCount, now + allowance, waited);
    Clock::time_point end = Clock::now();
    if (waited) trouble.waited += end - now;
    if (outcome != Outcome::Stalled) {
        trouble.pause = kFirstPause;
    } else if (allowance == kWait) {
        // A wait cut short by the budget says nothing about the console; the spent
        // budget already keeps it quiet until the window ends.
        trouble.quietUntil = end + trouble.pause;
        trouble.pause = std::min<Clock::duration>(trouble.pause * 2, kLongestPause);
    }
}

}  // namespace korvane::platform
