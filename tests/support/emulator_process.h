// The ql-pcu-emulator program run as a child process, with its commands on a pipe to its
// stdin and its events read from its stdout; every wait has a generous limit.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Generous: the events come within milliseconds on an idle machine.
inline constexpr std::chrono::milliseconds kLimit{10000};

inline int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `fd` to become readable (or hung up) before `deadline`.
inline bool WaitReadable(int fd, Clock::time_point deadline) {
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


}  // namespace testing_support
