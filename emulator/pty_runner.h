// Runs an emulated PCU on the master end of a pseudo-terminal in real time: bytes from the
// slave side go into the device, the device's bytes go out as they become due, commands from
// the command reader switch it on and off, and every event is printed as a line.
#pragma once

#include "emulator/command_reader.h"
#include "emulator/pcu.h"
#include "emulator/serial_line.h"
#include "platform/clock.h"
#include "platform/posix/pseudo_terminal.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

namespace emulator {

class PtyRunner {
public:
    PtyRunner(platform::posix::PseudoTerminal& terminal, Pcu& device, SerialLine& line, platform::Clock& clock,
              std::ostream& events);

    // Runs until "quit" or the end of the commands. With `powerOnAfterMs` the device powers on
    // by itself that long after the start.
    void Run(CommandReader& commands, std::optional<std::uint32_t> powerOnAfterMs);

private:
    // Handles one command; false for "quit".
    bool Command(const std::string& command, platform::Tick now);
    void PassBytesIn(platform::Tick now);
    void PassBytesOut(platform::Tick now);
    void PrintEvents();

    platform::posix::PseudoTerminal& m_terminal;
    Pcu& m_device;
    SerialLine& m_line;
    platform::Clock& m_clock;
    std::ostream& m_events;
    std::vector<std::uint8_t> m_unwritten;  // due bytes the terminal did not take yet
    std::size_t m_eventsPrinted = 0;
};

}  // namespace emulator
