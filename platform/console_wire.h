#pragma once
// The console channel on POSIX: a Unix-domain SOCK_SEQPACKET socket, one packet per
// text: u32 command, u32 byte count, then that many bytes (the text and its zero byte).
#include <cstdint>
#include <cstdlib>
#include <string>

namespace korvane::console {

inline constexpr const char* kChannelName = "TKorvanePluginConsoleForm";
inline constexpr std::uint32_t kDisplayText = 1;
inline constexpr std::uint32_t kClearDisplay = 2;
inline constexpr std::uint32_t kPrintText = 3;
inline constexpr std::uint32_t kClearPrint = 4;
inline constexpr std::size_t kHeaderSize = 8;

inline std::string ChannelPath() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    return path + "/" + kChannelName;
}

}  // namespace korvane::console
