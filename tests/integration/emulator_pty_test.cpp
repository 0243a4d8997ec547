// The ql-pcu-emulator program on its pseudo-terminal: started with pipes for its commands and
// events, spoken to through the slave with plain POSIX calls, as a serial program would.
#include "platform/posix/pseudo_terminal.h"
#include "support/emulator_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <termios.h>

namespace {

using namespace testing_support;
// The slave end, opened as a serial program opens a port.
class Slave {
public:
    explicit Slave(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios settings{};
        if (m_fd >= 0 && tcgetattr(m_fd, &settings) == 0) {
            cfmakeraw(&settings);
            cfsetispeed(&settings, B19200);
            cfsetospeed(&settings, B19200);
            tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~Slave() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    Slave(const Slave&) = delete;
    Slave& operator=(const Slave&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

    bool Write(const Bytes& bytes) {
        return write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` bytes arrived or the limit passed; what arrived.
    Bytes Read(std::size_t count) {
        const auto deadline = Clock::now() + kLimit;
        Bytes received;
        while (received.size() < count && WaitReadable(m_fd, deadline)) {
            std::uint8_t buffer[1024];
            const ssize_t got = read(m_fd, buffer, std::min(sizeof buffer, count - received.size()));
            if (got > 0) {
                received.insert(received.end(), buffer, buffer + got);
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                break;
            }
        }
        return received;
    }

private:
    int m_fd;
};

// Starts the program and takes the slave path from its first line.
std::string StartAndTakePty(EmulatorProcess& process, const std::vector<std::string>& options) {
    if (!process.Start(options)) {
        return {};
    }
    const std::optional<std::string> first = process.ReadLine();
    const std::string prefix = "PTY ";
    if (!first || first->rfind(prefix, 0) != 0) {
        return {};
    }
    return first->substr(prefix.size());
}

TEST(EmulatorPty, PowerOnAndHandshake_GreetsConnectsAndQuits) {
    EmulatorProcess process;
    const std::string path = StartAndTakePty(process, {});
    ASSERT_FALSE(path.empty());
    Slave slave(path);
    ASSERT_TRUE(slave.IsOpen());

    ASSERT_TRUE(process.Command("on"));
    EXPECT_TRUE(process.AwaitLine("POWER ON"));
    EXPECT_EQ(slave.Read(1), Bytes{0x13});
    ASSERT_TRUE(slave.Write({0xF7}));
    EXPECT_EQ(slave.Read(1), Bytes{0xFA});
    EXPECT_TRUE(process.AwaitLine("CONNECTED"));

    ASSERT_TRUE(process.Command("quit"));
    EXPECT_EQ(process.AwaitExit(), 0);
}

TEST(EmulatorPty, BlockRefusedThenAcceptedAcrossAReopen_FlashFileHoldsTheBlock) {
    char flashPath[] = "/tmp/ql-emulator-flash-XXXXXX";
    const int flashFile = mkstemp(flashPath);
    ASSERT_GE(flashFile, 0);
    close(flashFile);

    EmulatorProcess process;
    const std::string path = StartAndTakePty(
        process, {"--power-on-after", "0", "--block-size", "6", "--refuse", "0:1", "--flash-out", flashPath});
    ASSERT_FALSE(path.empty());
    const Bytes block{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    const auto writeBlock = [&](Slave& slave) {
        Bytes answers;
        for (const std::uint8_t header : {std::uint8_t{0x62}, std::uint8_t{0x81}, block[0], block[1]}) {
            if (!slave.Write({header})) {
                return Bytes{};
            }
            const Bytes answer = slave.Read(1);
            answers.insert(answers.end(), answer.begin(), answer.end());
        }
        slave.Write(Bytes(block.begin() + 2, block.end()));
        const Bytes verdict = slave.Read(1);
        answers.insert(answers.end(), verdict.begin(), verdict.end());
        return answers;
    };
    {
        Slave slave(path);
        ASSERT_TRUE(slave.IsOpen());
        EXPECT_TRUE(process.AwaitLine("POWER ON"));
        EXPECT_EQ(slave.Read(1), Bytes{0x13});
        ASSERT_TRUE(slave.Write({0xF7, 0x27}));
        EXPECT_EQ(slave.Read(5), (Bytes{0xFA, 0x02, 0x11, 0x10, 0x34}));
        ASSERT_TRUE(slave.Write({0xF1}));  // the keep-alive's cut, as the PC does
        EXPECT_TRUE(process.AwaitLine("QUERY"));
        EXPECT_EQ(writeBlock(slave), (Bytes{0xF7, 0xF7, 0xF7, 0xF7, 0xFA}));
        EXPECT_TRUE(process.AwaitLine("BLOCK 0 REFUSED"));
    }
    {
        // The port closed and opened again: the device is still there and still connected.
        Slave slave(path);
        ASSERT_TRUE(slave.IsOpen());
        EXPECT_EQ(writeBlock(slave), (Bytes{0xF7, 0xF7, 0xF7, 0xF7, 0xF1}));
        EXPECT_TRUE(process.AwaitLine("BLOCK 0 ACCEPTED"));
    }
    process.CloseInput();  // the end of the commands ends the program like "quit"
    EXPECT_EQ(process.AwaitExit(), 0);

    std::ifstream flash(flashPath, std::ios::binary);
    const Bytes written{std::istreambuf_iterator<char>(flash), std::istreambuf_iterator<char>()};
    EXPECT_EQ(written, block);
    std::remove(flashPath);
}

TEST(EmulatorPty, PowerCut_SilentThenGreetsAgainByItself) {
    EmulatorProcess process;
    const std::string path = StartAndTakePty(process, {"--power-on-after", "0", "--cut-after", "1", "--restart-ms", "100"});
    ASSERT_FALSE(path.empty());
    Slave slave(path);
    ASSERT_TRUE(slave.IsOpen());
    EXPECT_TRUE(process.AwaitLine("POWER ON"));
    EXPECT_EQ(slave.Read(1), Bytes{0x13});

    ASSERT_TRUE(slave.Write({0xF7}));
    EXPECT_TRUE(process.AwaitLine("POWER OFF"));
    EXPECT_TRUE(process.AwaitLine("POWER ON"));
    // The handshake answer was never sent; the next byte is the new greeting.
    EXPECT_EQ(slave.Read(1), Bytes{0x13});
    ASSERT_TRUE(slave.Write({0xF7}));
    EXPECT_EQ(slave.Read(1), Bytes{0xFA});

    ASSERT_TRUE(process.Command("quit"));
    EXPECT_EQ(process.AwaitExit(), 0);
}

TEST(EmulatorPty, OffCommand_DeviceStopsAnswering) {
    EmulatorProcess process;
    const std::string path = StartAndTakePty(process, {"--echo"});
    ASSERT_FALSE(path.empty());
    Slave slave(path);
    ASSERT_TRUE(slave.IsOpen());
    ASSERT_TRUE(process.Command("on"));
    EXPECT_EQ(slave.Read(1), Bytes{0x13});
    ASSERT_TRUE(slave.Write({0xF7}));
    EXPECT_EQ(slave.Read(2), (Bytes{0xF7, 0xFA}));  // the line's echo, then the answer
    ASSERT_TRUE(process.Command("off"));
    EXPECT_TRUE(process.AwaitLine("POWER OFF"));
    ASSERT_TRUE(slave.Write({0x27}));
    // Only the line's echo comes back; the device would have sent its records after it.
    EXPECT_EQ(slave.Read(1), Bytes{0x27});
    ASSERT_TRUE(process.Command("on"));
    EXPECT_EQ(slave.Read(1), Bytes{0x13});
    ASSERT_TRUE(process.Command("quit"));
    EXPECT_EQ(process.AwaitExit(), 0);
}

TEST(EmulatorPty, UsageError_ExitsWithTwo) {
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--refuse", "x"}, std::vector<std::string>{"--no-such-option"}}) {
        EmulatorProcess process;
        ASSERT_TRUE(process.Start(options));
        EXPECT_EQ(process.AwaitExit(), 2) << options[0];
    }
}

TEST(EmulatorPty, Help_PrintsUsageAndExitsWithZero) {
    EmulatorProcess process;
    ASSERT_TRUE(process.Start({"--help"}));
    const std::optional<std::string> first = process.ReadLine();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->rfind("Usage: ql-pcu-emulator", 0), 0U);
    EXPECT_EQ(process.AwaitExit(), 0);
}

TEST(PseudoTerminal, SlaveIsRawFromTheStart_BytesPassUnchangedAndAreNotEchoed) {
    const auto terminal = platform::posix::PseudoTerminal::Open();
    ASSERT_TRUE(terminal);
    ASSERT_EQ(terminal->SlaveName().rfind("/dev/", 0), 0U);
    // Opened without touching its settings: whatever the terminal does, it does by itself.
    int slave = open(terminal->SlaveName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    const auto readSlave = [&](std::size_t count) {
        const auto deadline = Clock::now() + kLimit;
        Bytes received;
        while (received.size() < count && WaitReadable(slave, deadline)) {
            std::uint8_t buffer[16];
            const ssize_t got = read(slave, buffer, std::min(sizeof buffer, count - received.size()));
            if (got <= 0) {
                break;
            }
            received.insert(received.end(), buffer, buffer + got);
        }
        return received;
    };
    const auto readMaster = [&](std::size_t count) {
        const auto deadline = Clock::now() + kLimit;
        Bytes received;
        while (received.size() < count && terminal->WaitReadable(RemainingMs(deadline))) {
            std::uint8_t buffer[16];
            const std::size_t got = terminal->Read(buffer, std::min(sizeof buffer, count - received.size()));
            received.insert(received.end(), buffer, buffer + got);
        }
        return received;
    };

    // Carriage return, interrupt, erase and XON: a cooked terminal would map, act on or hold them.
    const Bytes toSlave{0x0D, 0x03, 0x7F, 0x11};
    ASSERT_EQ(terminal->Write(toSlave.data(), toSlave.size()), toSlave.size());
    EXPECT_EQ(readSlave(4), toSlave);
    // An echo of those bytes would reach the master ahead of these; a newline would gain a CR.
    const Bytes toMaster{0x0A, 0x13};
    ASSERT_EQ(write(slave, toMaster.data(), toMaster.size()), 2);
    EXPECT_EQ(readMaster(2), toMaster);

    // The opener goes away and comes back; bytes written meanwhile wait for it.
    close(slave);
    const Bytes meanwhile{0x55};
    EXPECT_EQ(terminal->Write(meanwhile.data(), meanwhile.size()), 1U);
    slave = open(terminal->SlaveName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    EXPECT_EQ(readSlave(1), meanwhile);
    close(slave);
}

}  // namespace
