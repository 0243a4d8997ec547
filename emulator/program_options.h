// The command line of the pseudo-terminal emulator program, and the texts it prints.
#pragma once

#include "emulator/pcu.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emulator {

struct ProgramOptions {
    bool help = false;
    PcuConfig device;
    bool echo = false;
    // Power on by itself this long after start; without it, wait for the "on" command.
    std::optional<std::uint32_t> powerOnAfterMs;
    // Where to write the flash contents on exit.
    std::optional<std::string> flashOut;
};

// Parses the arguments after the program name. False with a message in `error` on a usage error.
bool ParseProgramOptions(const std::vector<std::string>& arguments, ProgramOptions& options, std::string& error);

std::string ProgramUsage();

// The line printed for an event: "POWER ON", "CONNECTED", "BLOCK 3 ACCEPTED", ...
std::string EventLine(const PcuEvent& event);

}  // namespace emulator
