#include "host/console_capture.h"

#include "platform/console_wire.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace korvane::host {
namespace {

// The sender writes its packet right after connecting and then closes, so a
// connection that stays silent this long is a stuck or foreign peer.
constexpr int kQuietMilliseconds = 100;
// Far above anything the sender's socket buffer lets through; only guards the allocation.
constexpr ssize_t kLargestPacket = 64 * 1024 * 1024;

std::string ErrorText(int error) { return std::strerror(error); }

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

enum class Owner { Live, Stale, Gone, Foreign };

// Who is behind an existing socket file: connecting tells a live listener (accepted
// or backlog full) from a file left behind by one that died.
Owner ProbeOwner(const std::string& path, const sockaddr_un& address) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT ? Owner::Gone : Owner::Foreign;
    if (!S_ISSOCK(status.st_mode)) return Owner::Foreign;
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return Owner::Foreign;
    int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    int error = errno;
    ::close(fd);
    if (result == 0 || error == EAGAIN || error == EINPROGRESS) return Owner::Live;
    if (error == ECONNREFUSED) return Owner::Stale;
    if (error == ENOENT) return Owner::Gone;
    return Owner::Foreign;
}

}  // namespace

ConsoleCapture::ConsoleCapture(CaptureTail keep) : ConsoleCapture(Handler{}, keep) {}

ConsoleCapture::ConsoleCapture(Handler onText) : ConsoleCapture(std::move(onText), CaptureTail{}) {}

ConsoleCapture::ConsoleCapture(Handler onText, CaptureTail keep)
    : onText_(std::move(onText)), path_(console::ChannelPath()), keep_(keep) {
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        failure_ = "cannot create a pipe: " + ErrorText(errno);
        return;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    if (!Bind()) return;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error& error) {
        failure_ = std::string("cannot start the listener thread: ") + error.what();
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(path_.c_str());
    }
}

ConsoleCapture::~ConsoleCapture() {
    if (thread_.joinable()) {
        char byte = 0;
        [[maybe_unused]] ssize_t written = ::write(wakeWrite_, &byte, 1);
        thread_.join();
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        // Leave the path alone if someone replaced our socket file meanwhile.
        struct stat status {};
        if (::lstat(path_.c_str(), &status) == 0 && status.st_dev == boundDevice_ && status.st_ino == boundInode_)
            ::unlink(path_.c_str());
    }
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool ConsoleCapture::Bind() {
    sockaddr_un address;
    if (!MakeAddress(path_, address)) {
        failure_ = "the channel path is too long: " + path_;
        return false;
    }
    // Two rounds: the second follows the removal of a stale file.
    for (int round = 0; round < 2; ++round) {
        int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            failure_ = "cannot create a socket: " + ErrorText(errno);
            return false;
        }
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
            struct stat status {};
            if (::lstat(path_.c_str(), &status) == 0) {
                boundDevice_ = status.st_dev;
                boundInode_ = status.st_ino;
            }
            if (::listen(fd, SOMAXCONN) != 0) {
                failure_ = "cannot listen on " + path_ + ": " + ErrorText(errno);
                ::close(fd);
                ::unlink(path_.c_str());
                return false;
            }
            listenFd_ = fd;
            return true;
        }
        int error = errno;
        ::close(fd);
        if (error != EADDRINUSE) {
            failure_ = "cannot bind " + path_ + ": " + ErrorText(error);
            return false;
        }
        switch (ProbeOwner(path_, address)) {
        case Owner::Live:
            taken_ = true;
            failure_ = "another console is listening on " + path_;
            return false;
        case Owner::Foreign:
            failure_ = path_ + " exists and is not a console's socket";
            return false;
        case Owner::Stale:
            if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
                failure_ = "cannot remove the stale socket " + path_ + ": " + ErrorText(errno);
                return false;
            }
            break;
        case Owner::Gone:
            break;
        }
    }
    // Someone bound the path between our removal and our bind.
    taken_ = true;
    failure_ = "another console is listening on " + path_;
    return false;
}

void ConsoleCapture::Run() {
    for (;;) {
        pollfd entries[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (entries[1].revents) return;
        if (!(entries[0].revents & POLLIN)) return;  // the listening socket broke
        {
            // Set before accepting, so that waitIdle() never sees a connection that
            // left the backlog but is not read yet as idle.
            std::lock_guard lock(mutex_);
            busy_ = true;
        }
        int connection = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (connection >= 0) {
            ReadConnection(connection);
            ::close(connection);
        } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // Out of resources: back off instead of spinning on a readable socket.
            pollfd wake{wakeRead_, POLLIN, 0};
            ::poll(&wake, 1, 50);
        }
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        idle_.notify_all();
    }
}

void ConsoleCapture::ReadConnection(int fd) {
    std::vector<char> packet;
    for (;;) {
        pollfd entries[2] = {{fd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        int ready = ::poll(entries, 2, kQuietMilliseconds);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || entries[1].revents) return;

        // Learn the packet's size first so that texts of any length come through whole.
        ssize_t size = ::recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC);
        if (size < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            return;
        }
        if (size == 0) return;  // the sender closed
        if (size > kLargestPacket) {
            ::recv(fd, nullptr, 0, 0);  // discards the packet
            continue;
        }
        packet.resize(static_cast<std::size_t>(size));
        if (::recv(fd, packet.data(), packet.size(), 0) != size) continue;

        if (packet.size() < console::kHeaderSize) continue;
        std::uint32_t command;
        std::uint32_t byteCount;
        std::memcpy(&command, packet.data(), 4);
        std::memcpy(&byteCount, packet.data() + 4, 4);
        if (byteCount == 0 || byteCount != packet.size() - console::kHeaderSize || packet.back() != '\0') continue;
        Deliver({command, std::string(packet.data() + console::kHeaderSize, byteCount - 1)});
    }
}

void ConsoleCapture::Deliver(ConsoleText text) {
    if (onText_) {
        onText_(text);
        return;
    }
    std::lock_guard lock(mutex_);
    keptBytes_ += text.text.size();
    texts_.push_back(std::move(text));
    while (!texts_.empty() && (texts_.size() > keep_.texts || keptBytes_ > keep_.bytes)) {
        keptBytes_ -= texts_.front().text.size();
        texts_.pop_front();
        ++dropped_;
    }
}

bool ConsoleCapture::Pending() const {
    pollfd entry{listenFd_, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN);
}

void ConsoleCapture::waitIdle(std::chrono::milliseconds limit) {
    if (!listening()) return;
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    for (;;) {
        // The backlog first, then the flag: see Run().
        lock.unlock();
        bool pending = Pending();
        lock.lock();
        auto now = std::chrono::steady_clock::now();
        if ((!pending && !busy_) || now >= deadline) return;
        idle_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(2)));
    }
}

std::vector<ConsoleText> ConsoleCapture::texts() {
    waitIdle();
    std::lock_guard lock(mutex_);
    return {texts_.begin(), texts_.end()};
}

std::size_t ConsoleCapture::dropped() {
    waitIdle();
    std::lock_guard lock(mutex_);
    return dropped_;
}

void ConsoleCapture::clear() {
    waitIdle();
    std::lock_guard lock(mutex_);
    texts_.clear();
    keptBytes_ = 0;
    dropped_ = 0;
}

}  // namespace korvane::host
