// The command line of qlflash, parsed into a record without touching any port or file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qlflash {

inline constexpr std::uint32_t kDefaultWaitSeconds = 30;
// A day: far beyond any update, and well inside the 32-bit millisecond tick count.
inline constexpr std::uint32_t kMaxWaitSeconds = 86400;
// The link holds port names of at most 7 characters.
inline constexpr std::size_t kMaxPortNameChars = 7;
// Exit status of a usage error or an invalid upgrade file.
inline constexpr int kExitUsage = 2;
// The port list's name of the HID link adapter.
inline constexpr std::string_view kHidLinkPort = "USB0";

struct Options {
    std::optional<std::string> port;  // as the port list names it; none: the HID link adapter
    std::optional<std::string> file;  // an upgrade file; none: the built-in image
    bool simulate = false;            // the emulated PCU behind a virtual HID link adapter
    bool list = false;                // print the port list and exit
    bool help = false;
    std::uint32_t waitSeconds = kDefaultWaitSeconds;
};

struct ParsedOptions {
    bool ok = false;
    Options options;
    std::string error;  // what is wrong with the command line, when !ok
};

// Parses the arguments that follow the program name.
ParsedOptions ParseOptions(std::span<const std::string_view> arguments);

// The usage text, ending with a newline.
std::string UsageText();

}  // namespace qlflash
