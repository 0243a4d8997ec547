#include "platform/posix/pseudo_terminal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <utility>

namespace platform::posix {

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open() {
    int master = -1;
    int slave = -1;
    std::array<char, 128> name{};
    if (openpty(&master, &slave, name.data(), nullptr, nullptr) != 0) {
        return nullptr;
    }
    // Raw from the start: no line discipline may echo or translate what either side writes.
    termios settings{};
    bool raw = tcgetattr(slave, &settings) == 0;
    if (raw) {
        cfmakeraw(&settings);
        raw = tcsetattr(slave, TCSANOW, &settings) == 0;
    }
    const int flags = fcntl(master, F_GETFL);
    const bool nonBlocking = flags >= 0 && fcntl(master, F_SETFL, flags | O_NONBLOCK) == 0;
    const bool closeOnExec = fcntl(master, F_SETFD, FD_CLOEXEC) == 0 && fcntl(slave, F_SETFD, FD_CLOEXEC) == 0;
    if (!raw || !nonBlocking || !closeOnExec) {
        close(master);
        close(slave);
        return nullptr;
    }
    return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(master, slave, name.data()));
}

PseudoTerminal::PseudoTerminal(int master, int slave, std::string slaveName)
    : m_master(master), m_slave(slave), m_slaveName(std::move(slaveName)) {}

PseudoTerminal::~PseudoTerminal() {
    close(m_slave);
    close(m_master);
}

bool PseudoTerminal::WaitReadable(int timeoutMs) {
    pollfd entry{m_master, POLLIN, 0};
    int ready = 0;
    do {
        ready = poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & POLLIN) != 0;
}

std::size_t PseudoTerminal::Read(std::uint8_t* buffer, std::size_t max) {
    ssize_t count = 0;
    do {
        count = read(m_master, buffer, max);
    } while (count < 0 && errno == EINTR);
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

std::size_t PseudoTerminal::Write(const std::uint8_t* data, std::size_t size) {
    ssize_t count = 0;
    do {
        count = write(m_master, data, size);
    } while (count < 0 && errno == EINTR);
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

}  // namespace platform::posix
