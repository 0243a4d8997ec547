#include "emulator/pty_runner.h"

#include "emulator/program_options.h"

#include <array>
#include <iostream>

namespace emulator {
namespace {

constexpr int kPollMs = 1;
constexpr std::size_t kChunk = 512;

}  // namespace

PtyRunner::PtyRunner(platform::posix::PseudoTerminal& terminal, Pcu& device, SerialLine& line,
                     platform::Clock& clock, std::ostream& events)
    : m_terminal(terminal), m_device(device), m_line(line), m_clock(clock), m_events(events) {}

void PtyRunner::Run(CommandReader& commands, std::optional<std::uint32_t> powerOnAfterMs) {
    const platform::Tick start = m_clock.TickCount();
    bool autoPowerOnDue = powerOnAfterMs.has_value();
    for (;;) {
        platform::Tick now = m_clock.TickCount();
        while (std::optional<std::string> command = commands.Next()) {
            if (!Command(*command, now)) {
                PrintEvents();
                return;
            }
        }
        if (commands.Finished()) {
            PrintEvents();
            return;
        }
        if (autoPowerOnDue && platform::TicksSince(start, now) >= *powerOnAfterMs) {
            autoPowerOnDue = false;
            m_device.PowerOn(now);
        }
        m_terminal.WaitReadable(kPollMs);
        now = m_clock.TickCount();
        PassBytesIn(now);
        PassBytesOut(now);
        PrintEvents();
    }
}

bool PtyRunner::Command(const std::string& command, platform::Tick now) {
    if (command == "quit") {
        return false;
    }
    if (command == "on") {
        m_device.PowerOn(now);
    } else if (command == "off") {
        m_device.PowerOff(now);
    } else if (!command.empty()) {
        std::cerr << "unknown command: " << command << std::endl;
    }
    return true;
}

void PtyRunner::PassBytesIn(platform::Tick now) {
    std::array<std::uint8_t, kChunk> buffer{};
    while (const std::size_t count = m_terminal.Read(buffer.data(), buffer.size())) {
        m_line.ReceiveFromPc(buffer.data(), count, now);
    }
}

void PtyRunner::PassBytesOut(platform::Tick now) {
    std::array<std::uint8_t, kChunk> buffer{};
    while (const std::size_t count = m_line.TransmitToPc(buffer.data(), buffer.size(), now)) {
        m_unwritten.insert(m_unwritten.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
    }
    if (m_unwritten.empty()) {
        return;
    }
    const std::size_t written = m_terminal.Write(m_unwritten.data(), m_unwritten.size());
    m_unwritten.erase(m_unwritten.begin(), m_unwritten.begin() + static_cast<std::ptrdiff_t>(written));
}

void PtyRunner::PrintEvents() {
    const std::vector<PcuEvent> events = m_device.EventsSince(m_eventsPrinted);
    for (const PcuEvent& event : events) {
        m_events << EventLine(event) << '\n';
    }
    if (!events.empty()) {
        m_events.flush();
    }
    m_eventsPrinted += events.size();
}

}  // namespace emulator
