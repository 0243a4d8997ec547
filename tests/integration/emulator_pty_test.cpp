// The ql-pcu-emulator program on its pseudo-terminal: started with pipes for its commands and
// events, spoken to through the slave with plain POSIX calls, as a serial program would.
#include "platform/posix/pseudo_terminal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Generous: the events come within milliseconds on an idle machine.
constexpr std::chrono::milliseconds kLimit{10000};

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `fd` to become readable (or hung up) before `deadline`.
bool WaitReadable(int fd, Clock::time_point deadline) {
    pollfd entry{fd, POLLIN, 0};
    for (;;) {
        const int ready = poll(&entry, 1, RemainingMs(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// The emulator program with its stdin and stdout on pipes.
class EmulatorProcess {
public:
    EmulatorProcess() = default;
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    ~EmulatorProcess() {
        CloseInput();
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_output >= 0) {
            close(m_output);
        }
    }

    bool Start(const std::vector<std::string>& options, bool errorsToNull = true) {
        int toChild[2];
        int fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        if (errorsToNull) {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }
        std::vector<std::string> arguments{QL_EMULATOR_EXE};
        arguments.insert(arguments.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&m_pid, QL_EMULATOR_EXE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        m_input = toChild[1];
        m_output = fromChild[0];
        if (spawned != 0) {
            m_pid = -1;
            return false;
        }
        return true;
    }

    bool Command(const std::string& line) {
        const std::string text = line + "\n";
        return write(m_input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    void CloseInput() {
        if (m_input >= 0) {
            close(m_input);
            m_input = -1;
        }
    }

    // The next line the program printed; nothing at the end of its output or after the limit.
    std::optional<std::string> ReadLine() {
        const auto deadline = Clock::now() + kLimit;
        for (;;) {
            const std::size_t end = m_pending.find('\n');
            if (end != std::string::npos) {
                std::string line = m_pending.substr(0, end);
                m_pending.erase(0, end + 1);
                return line;
            }
            if (!WaitReadable(m_output, deadline)) {
                return std::nullopt;
            }
            char buffer[256];
            const ssize_t count = read(m_output, buffer, sizeof buffer);
            if (count <= 0) {
                return std::nullopt;
            }
            m_pending.append(buffer, static_cast<std::size_t>(count));
        }
    }

    // Reads lines until `expected`; false when the output ends or the limit passes first.
    bool AwaitLine(const std::string& expected) {
        while (std::optional<std::string> line = ReadLine()) {
            if (*line == expected) {
                return true;
            }
        }
        return false;
    }

    // Waits for the program to end (its output closes first); its exit code, or -1.
    int AwaitExit() {
        while (ReadLine()) {
        }
        int status = 0;
        if (waitpid(m_pid, &status, 0) != m_pid) {
            return -1;
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    std::string m_pending;
};

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
