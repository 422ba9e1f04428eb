#include "platform/console_wire.h"
#include "platform/platform.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstring>
#include <vector>

namespace korvane::platform {
namespace {

// A missing or stuck console must never hold the simulator up for longer than this.
constexpr int kWaitMilliseconds = 50;

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

bool WaitWritable(int fd) {
    pollfd entry{fd, POLLOUT, 0};
    return ::poll(&entry, 1, kWaitMilliseconds) == 1 && (entry.revents & POLLOUT);
}

bool Connect(int fd, const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // On a Unix socket EAGAIN means the console's backlog is full: it is busy, not gone,
    // so try again for a little while.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMilliseconds);
    for (;;) {
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return true;
        if (errno != EAGAIN || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace

void SendConsolePacket(std::uint32_t command, const char* data, std::uint32_t byteCount) {
    // The console is looked up anew for every text, so one started or closed at any
    // time is found or missed from the next text on.
    Socket socket;
    if (socket.fd() < 0 || !Connect(socket.fd(), console::ChannelPath())) return;

    std::vector<char> packet(console::kHeaderSize + byteCount);
    std::memcpy(packet.data(), &command, 4);
    std::memcpy(packet.data() + 4, &byteCount, 4);
    std::memcpy(packet.data() + console::kHeaderSize, data, byteCount);

    int size = static_cast<int>(packet.size());
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::send(socket.fd(), packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) return;
        if (errno != EAGAIN || !WaitWritable(socket.fd())) return;
    }
}

}  // namespace korvane::platform
