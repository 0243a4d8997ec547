#include "tools/qlflash/options.h"

#include "platform/text.h"

#include <charconv>

namespace qlflash {
namespace {

ParsedOptions Fail(std::string error) {
    ParsedOptions parsed;
    parsed.error = std::move(error);
    return parsed;
}

// A whole number of seconds from 1 to kMaxWaitSeconds, digits only.
bool ParseWaitSeconds(std::string_view text, std::uint32_t& seconds) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    if (value < 1 || value > kMaxWaitSeconds) return false;
    seconds = value;
    return true;
}

}  // namespace

ParsedOptions ParseOptions(std::span<const std::string_view> arguments) {
    ParsedOptions parsed;
    Options& options = parsed.options;
    bool waitGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view option = arguments[i];
        const bool takesValue = option == "--port" || option == "--file" || option == "--wait";
        if (!takesValue) {
            bool* flag = option == "--simulate" ? &options.simulate
                         : option == "--list"   ? &options.list
                         : option == "--help"   ? &options.help
                                                : nullptr;
            if (flag == nullptr) {
                return Fail(option.starts_with("-") ? "unknown option " + std::string(option)
                                                    : "unexpected argument " + std::string(option));
            }
            if (*flag) return Fail(std::string(option) + " is given more than once");
            *flag = true;
            continue;
        }
        if (i + 1 == arguments.size()) return Fail(std::string(option) + " needs a value");
        const std::string_view value = arguments[++i];
        if (option == "--port") {
            if (options.port) return Fail("--port is given more than once");
            // Counted as the link counts it, in UTF-16 characters.
            const auto length = platform::FromUtf8(value).size();
            if (length == 0) return Fail("--port needs a port name");
            if (length > kMaxPortNameChars) {
                return Fail("port name " + std::string(value) + " is longer than " +
                            std::to_string(kMaxPortNameChars) + " characters");
            }
            options.port = std::string(value);
        } else if (option == "--file") {
            if (options.file) return Fail("--file is given more than once");
            if (value.empty()) return Fail("--file needs a file name");
            options.file = std::string(value);
        } else {
            if (waitGiven) return Fail("--wait is given more than once");
            if (!ParseWaitSeconds(value, options.waitSeconds)) {
                return Fail("--wait takes a whole number of seconds from 1 to " + std::to_string(kMaxWaitSeconds) +
                            ", not " + std::string(value));
            }
            waitGiven = true;
        }
    }
    if (options.simulate && options.port && *options.port != kHidLinkPort) {
        return Fail("--simulate has the one port " + std::string(kHidLinkPort) + ", not " + *options.port);
    }
    if (options.list && (options.port || options.file || waitGiven)) {
        return Fail("--list takes no other option but --simulate");
    }
    parsed.ok = true;
    return parsed;
}

std::string UsageText() {
    return "Usage: qlflash [--port NAME] [--file FILE] [--simulate] [--list] [--wait SECONDS] [--help]\n"
           "Writes firmware into the KORVA MultiCopter PCU through the USB HID link adapter or a\n"
           "serial port, and prints the link's status lines as they come.\n"
           "\n"
           "  --port NAME       the port as --list names it: USB0 for the HID link adapter, or a\n"
           "                    serial port such as COM3 (Windows), ttyUSB0 or pts/3 (at most 7 characters);\n"
           "                    default: the HID link adapter\n"
           "  --file FILE       write this upgrade file (.qfu) instead of the built-in image\n"
           "  --simulate        update an emulated PCU behind a virtual HID link adapter (port USB0)\n"
           "  --list            print the port list, one name a line, and exit\n"
           "  --wait SECONDS    how long to wait for the device to connect and the update to\n"
           "                    finish (default 30)\n"
           "  --help            print this text and exit\n"
           "\n"
           "Exit status: 0 the update completed; 1 it failed, the device was lost and did not come\n"
           "back in time, or it is not a supported device; 2 a usage error or an invalid file.\n";
}

}  // namespace qlflash
