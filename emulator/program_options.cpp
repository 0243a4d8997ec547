#include "emulator/program_options.h"

#include <charconv>
#include <limits>
#include <string_view>
#include <utility>

namespace emulator {
namespace {

// A whole decimal number no larger than `max`.
bool ParseNumber(std::string_view text, std::uint32_t max, std::uint32_t& value) {
    if (text.empty()) {
        return false;
    }
    std::uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed > max) {
        return false;
    }
    value = parsed;
    return true;
}

// One byte in hexadecimal, one or two digits, with or without 0x.
bool ParseHexByte(std::string_view text, std::uint8_t& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 2) {
        return false;
    }
    unsigned parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed, 16);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = static_cast<std::uint8_t>(parsed);
    return true;
}

// "A16", "A14i" or any <letter><number 0-255>.
bool ParseVersion(std::string_view text, IdentityRecord& record) {
    if (text == "A14i") {
        record = VersionRecordA14i();
        return true;
    }
    if (text.size() < 2) {
        return false;
    }
    const char letter = text[0];
    const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
    std::uint32_t number = 0;
    if (!isLetter || !ParseNumber(text.substr(1), 0xFF, number)) {
        return false;
    }
    record = VersionRecord(letter, static_cast<std::uint8_t>(number));
    return true;
}

// "<a>:<b>" split at the one colon.
bool SplitPair(std::string_view text, std::string_view& first, std::string_view& second) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos) {
        return false;
    }
    first = text.substr(0, colon);
    second = text.substr(colon + 1);
    return true;
}

class Parser {
public:
    Parser(const std::vector<std::string>& arguments, ProgramOptions& options, std::string& error)
        : m_arguments(arguments), m_options(options), m_error(error) {}

    bool Run() {
        IdentityRecord signature = SignatureRecord();
        IdentityRecord version = VersionRecord('A', 16);
        std::optional<std::size_t> cutAfter;
        std::optional<std::uint32_t> restartMs;
        for (m_index = 0; m_index < m_arguments.size(); ++m_index) {
            const std::string& option = m_arguments[m_index];
            std::uint32_t number = 0;
            std::string_view value;
            if (option == "--help") {
                m_options.help = true;
            } else if (option == "--echo") {
                m_options.echo = true;
            } else if (option == "--line-timing") {
                m_options.device.lineTiming = true;
            } else if (option == "--power-on-after") {
                if (!Number(option, std::numeric_limits<std::uint32_t>::max(), number)) return false;
                m_options.powerOnAfterMs = number;
            } else if (option == "--flash-ms") {
                if (!Number(option, std::numeric_limits<std::uint32_t>::max(), number)) return false;
                m_options.device.flashMsPerBlock = number;
            } else if (option == "--block-size") {
                if (!Number(option, 0xFFFF, number) || number < 2) return Fail("--block-size takes 2 to 65535");
                m_options.device.blockSize = static_cast<std::uint16_t>(number);
            } else if (option == "--refuse") {
                if (!Value(option, value) || !Refusal(value)) return Fail("--refuse takes BLOCK:TIMES, e.g. 2:1");
            } else if (option == "--version") {
                if (!Value(option, value) || !ParseVersion(value, version)) {
                    return Fail("--version takes A16, A14i or a letter and a number 0-255");
                }
            } else if (option == "--signature") {
                if (!Value(option, value) || !Signature(value, signature)) {
                    return Fail("--signature takes MODEL:FAMILY in hexadecimal, e.g. 10:34");
                }
            } else if (option == "--flash-out") {
                if (!Value(option, value) || value.empty()) return Fail("--flash-out takes a file name");
                m_options.flashOut = std::string(value);
            } else if (option == "--cut-after") {
                if (!Number(option, std::numeric_limits<std::uint32_t>::max(), number) || number == 0) {
                    return Fail("--cut-after takes a byte count from 1");
                }
                cutAfter = number;
            } else if (option == "--restart-ms") {
                if (!Number(option, std::numeric_limits<std::uint32_t>::max(), number)) return false;
                restartMs = number;
            } else {
                return Fail("unknown option: " + option);
            }
        }
        if (restartMs && !cutAfter) {
            return Fail("--restart-ms needs --cut-after");
        }
        if (cutAfter) {
            m_options.device.powerCut = PowerCut{*cutAfter, restartMs};
        }
        m_options.device.records = {signature, version};
        return true;
    }

private:
    bool Fail(std::string message) {
        m_error = std::move(message);
        return false;
    }

    bool Value(const std::string& option, std::string_view& value) {
        if (m_index + 1 >= m_arguments.size()) {
            return Fail(option + " needs a value");
        }
        value = m_arguments[++m_index];
        return true;
    }

    bool Number(const std::string& option, std::uint32_t max, std::uint32_t& number) {
        std::string_view value;
        if (!Value(option, value)) {
            return false;
        }
        if (!ParseNumber(value, max, number)) {
            return Fail(option + " takes a number, not '" + std::string(value) + "'");
        }
        return true;
    }

    bool Refusal(std::string_view value) {
        std::string_view block;
        std::string_view times;
        BlockRefusal refusal;
        if (!SplitPair(value, block, times) || !ParseNumber(block, std::numeric_limits<std::uint32_t>::max(), refusal.block) ||
            !ParseNumber(times, std::numeric_limits<std::uint32_t>::max(), refusal.times)) {
            return false;
        }
        m_options.device.refusals.push_back(refusal);
        return true;
    }

    static bool Signature(std::string_view value, IdentityRecord& signature) {
        std::string_view model;
        std::string_view family;
        std::uint8_t modelByte = 0;
        std::uint8_t familyByte = 0;
        if (!SplitPair(value, model, family) || !ParseHexByte(model, modelByte) || !ParseHexByte(family, familyByte)) {
            return false;
        }
        signature = SignatureRecord(modelByte, familyByte);
        return true;
    }

    const std::vector<std::string>& m_arguments;
    ProgramOptions& m_options;
    std::string& m_error;
    std::size_t m_index = 0;
};

}  // namespace

bool ParseProgramOptions(const std::vector<std::string>& arguments, ProgramOptions& options, std::string& error) {
    options = ProgramOptions{};
    return Parser(arguments, options, error).Run();
}

std::string ProgramUsage() {
    return "Usage: ql-pcu-emulator [options]\n"
           "Emulates the PCU on a pseudo-terminal. Prints 'PTY <slave path>' first, then one line\n"
           "per event (POWER ON, POWER OFF, CONNECTED, QUERY, READ, BLOCK <n> ACCEPTED|REFUSED).\n"
           "Commands on stdin, one a line: on, off, quit. Exits at 'quit' or the end of stdin.\n"
           "\n"
           "  --help                  this text\n"
           "  --power-on-after MS     power on by itself MS ms after start (else wait for 'on')\n"
           "  --echo                  the line echoes every byte the PC sends\n"
           "  --line-timing           19200 baud byte timing in both directions\n"
           "  --flash-ms N            N ms from the end of a block to its verdict\n"
           "  --block-size N          bytes per block (default 516)\n"
           "  --refuse N:K            refuse block N (from 0) K times, then accept it; repeatable\n"
           "  --version V             firmware version: A16 (default), A14i, or <letter><number>\n"
           "  --signature M:F         signature model and family in hex (default 10:34)\n"
           "  --flash-out FILE        write the flash contents to FILE on exit\n"
           "  --cut-after N           power cut right after the N-th byte from the PC\n"
           "  --restart-ms MS         power on again MS ms after the cut (else wait for 'on')\n";
}

std::string EventLine(const PcuEvent& event) {
    switch (event.kind) {
        case PcuEventKind::PowerOn:
            return "POWER ON";
        case PcuEventKind::PowerOff:
            return "POWER OFF";
        case PcuEventKind::Connected:
            return "CONNECTED";
        case PcuEventKind::Query:
            return "QUERY";
        case PcuEventKind::Read:
            return "READ";
        case PcuEventKind::BlockAccepted:
            return "BLOCK " + std::to_string(event.block) + " ACCEPTED";
        case PcuEventKind::BlockRefused:
            return "BLOCK " + std::to_string(event.block) + " REFUSED";
    }
    return "EVENT";
}

}  // namespace emulator
