// A pseudo-terminal whose master end plays a serial device: the program under test opens the
// slave by its name as if it were a serial port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform::posix {

class PseudoTerminal {
public:
    // A new pseudo-terminal with a raw slave (no echo, no translation, no line editing) and a
    // non-blocking master; null when the system cannot give one.
    static std::unique_ptr<PseudoTerminal> Open();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The slave's device path, e.g. "/dev/pts/3".
    const std::string& SlaveName() const { return m_slaveName; }

    // Waits at most `timeoutMs` for bytes from the slave side; true when some can be read.
    bool WaitReadable(int timeoutMs);
    // Reads up to `max` bytes the slave side wrote; 0 when there are none.
    std::size_t Read(std::uint8_t* buffer, std::size_t max);
    // Writes up to `size` bytes towards the slave side; returns how many the terminal took
    // (fewer when its buffer is full).
    std::size_t Write(const std::uint8_t* data, std::size_t size);

private:
    PseudoTerminal(int master, int slave, std::string slaveName);

    int m_master;
    // Held open and never read, so the master does not see a hang-up whenever the program
    // under test closes its port and opens it again.
    int m_slave;
    std::string m_slaveName;
};

}  // namespace platform::posix
