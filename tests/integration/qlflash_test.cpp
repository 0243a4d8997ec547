// The qlflash program as a user runs it: on the emulated PCU behind its virtual HID link
// adapter (--simulate), against the emulator program on a pseudo-terminal, and with bad command
// lines and bad files. Its output is read through pipes; every wait has a generous limit.
#include "support/captured_text.h"
#include "support/emulator_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

// An update of the built-in image at 19200 baud byte timing takes seconds; this only bounds a hang.
constexpr std::chrono::seconds kProgramLimit{90};

struct ProgramRun {
    int exitCode = -1;  // -1: did not exit by itself within the limit
    std::string output;
    std::string errors;
};

// True when `expected` appear among the output's lines in this order (others may come between).
bool InOrder(const std::string& output, const std::vector<std::string>& expected) {
    const auto lines = LinesOf(output);
    auto at = lines.begin();
    for (const auto& line : expected) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The qlflash program as a child process, stdin from /dev/null, its output and errors on pipes
// that are read while it runs.
class QlflashProcess {
public:
    QlflashProcess() = default;
    QlflashProcess(const QlflashProcess&) = delete;
    QlflashProcess& operator=(const QlflashProcess&) = delete;
    ~QlflashProcess() {
        for (const int fd : m_fds) {
            if (fd >= 0) close(fd);
        }
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    bool Start(const std::vector<std::string>& arguments) {
        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0) return false;
        if (pipe2(err, O_CLOEXEC) != 0) {
            close(out[0]);
            close(out[1]);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        std::vector<std::string> argvText{QL_QLFLASH_EXE};
        argvText.insert(argvText.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& argument : argvText) argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&m_pid, QL_QLFLASH_EXE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        m_fds[0] = out[0];
        m_fds[1] = err[0];
        if (spawned != 0) m_pid = -1;
        return spawned == 0;
    }

    // Reads until the program has printed `line` on its output `times` times in all; false when
    // its output ends or the limit passes first.
    bool AwaitOutputLine(const std::string& line, int times = 1) {
        const auto deadline = Clock::now() + kProgramLimit;
        for (;;) {
            const auto lines = LinesOf(m_run.output);
            if (std::count(lines.begin(), lines.end(), line) >= times) return true;
            if (!Pump(deadline)) return false;
        }
    }

    // Reads everything the program prints and waits for it to exit.
    ProgramRun Finish() {
        const auto deadline = Clock::now() + kProgramLimit;
        while (Pump(deadline)) {
        }
        const bool closed = m_fds[0] < 0 && m_fds[1] < 0;
        if (!closed) kill(m_pid, SIGKILL);  // hung: the limit ran out
        int status = 0;
        if (waitpid(m_pid, &status, 0) == m_pid && closed && WIFEXITED(status)) m_run.exitCode = WEXITSTATUS(status);
        m_pid = -1;
        return m_run;
    }

private:
    // Takes in what is there to read; false once both pipes are closed or the deadline passed.
    bool Pump(Clock::time_point deadline) {
        if (m_fds[0] < 0 && m_fds[1] < 0) return false;
        // A closed pipe has a negative descriptor, which poll skips.
        std::array<pollfd, 2> streams{pollfd{m_fds[0], POLLIN, 0}, pollfd{m_fds[1], POLLIN, 0}};
        const int ready = poll(streams.data(), streams.size(), RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) return true;
        if (ready <= 0) return false;
        std::array<std::string*, 2> texts{&m_run.output, &m_run.errors};
        for (std::size_t i = 0; i < streams.size(); ++i) {
            if (m_fds[i] < 0 || streams[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t count = read(m_fds[i], buffer, sizeof buffer);
            if (count > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(count));
            } else {
                close(m_fds[i]);
                m_fds[i] = -1;
            }
        }
        return true;
    }

    pid_t m_pid = -1;
    std::array<int, 2> m_fds{-1, -1};  // the read ends of the output and error pipes
    ProgramRun m_run;
};

ProgramRun RunQlflash(const std::vector<std::string>& arguments) {
    QlflashProcess program;
    if (!program.Start(arguments)) return {};
    return program.Finish();
}

// A file in the test's temporary directory, removed at the end.
class TempFile {
public:
    explicit TempFile(const std::string& name) : m_path(testing::TempDir() + "qlflash_test_" + name) {}
    ~TempFile() { std::remove(m_path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return m_path; }
    bool Write(const Bytes& bytes) const {
        std::ofstream file(m_path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(file);
    }
    Bytes Read() const {
        std::ifstream file(m_path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

private:
    std::string m_path;
};

// The block data of the built-in image: what follows the upgrade file's header.
Bytes BuiltInImageBlocks() {
    std::ifstream file(std::string(QL_SOURCE_DIR) + "/res/Korva_PCU_A16.qfu", std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (bytes.size() < 4) return {};
    const std::size_t headerLength = bytes[2] | (bytes[3] << 8);
    if (headerLength > bytes.size()) return {};
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(headerLength), bytes.end());
}

// Three blocks of 64 bytes behind the 4-byte header.
Bytes ThreeBlockFile() {
    Bytes file{0x40, 0x00, 0x04, 0x00};
    for (int i = 0; i < 3 * 64; ++i) file.push_back(static_cast<std::uint8_t>(i * 5 + 1));
    return file;
}

const std::string kVersionA16 = "KORVA MultiCopter PCU, F/W Version A16";

// --- On the emulated device behind the virtual adapter ------------------------------------------

TEST(QlflashProgramTest, Simulate_WritesTheBuiltInImageAndExitsZero) {
    const auto run = RunQlflash({"--simulate"});
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_TRUE(InOrder(run.output, {"USB0 standby ready.", "ESC connected.", kVersionA16, "Writing...", "Completed."}))
        << run.output;
    EXPECT_EQ(run.errors, "");  // not a terminal: no bar, and no message for a completed update
}

TEST(QlflashProgramTest, SimulateWithACustomFile_DeviceTakesItsBlockSizeAndCompletes) {
    TempFile file("three_blocks.qfu");
    ASSERT_TRUE(file.Write(ThreeBlockFile()));
    const auto run = RunQlflash({"--simulate", "--file", file.Path(), "--wait", "20"});
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_TRUE(InOrder(run.output, {"Upgrade file selected.", "USB0 standby ready.", "Writing...", "Completed."}))
        << run.output;
}

TEST(QlflashProgramTest, SimulateWithAWaitTooShortForTheUpdate_TimesOutWithExitOne) {
    const auto run = RunQlflash({"--simulate", "--wait", "1"});
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_TRUE(Contains(run.errors, "qlflash: timed out after 1 s waiting for")) << run.errors;
    EXPECT_FALSE(Contains(run.output, "Completed.")) << run.output;
}

TEST(QlflashProgramTest, ListSimulate_PrintsTheVirtualAdapterAlone) {
    const auto run = RunQlflash({"--list", "--simulate"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.output, "USB0\n");
}

// --- Files that cannot be written ------------------------------------------------------------

TEST(QlflashProgramTest, InvalidFiles_ExitTwoNamingTheProblemBeforeAnyPort) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::string problem;
    };
    const std::vector<Case> cases{
        {"empty.qfu", {}, "the file is empty"},
        {"short.qfu", {0x04}, "the file is too short to hold its block size and header length"},
        {"partial.qfu", {0x04, 0x00, 0x04, 0x00, 1, 2, 3, 4, 5}, "its block data is not a whole number of blocks"},
    };
    for (const auto& c : cases) {
        TempFile file(c.name);
        ASSERT_TRUE(file.Write(c.bytes));
        const auto run = RunQlflash({"--simulate", "--file", file.Path()});
        EXPECT_EQ(run.exitCode, 2) << c.name << ": " << run.errors;
        EXPECT_EQ(run.errors, "qlflash: " + file.Path() + " is not an upgrade file: " + c.problem + "\n");
        EXPECT_EQ(run.output, "") << c.name;  // no port was opened: no status line at all
    }
}

TEST(QlflashProgramTest, MissingFile_ExitsTwoSayingItCannotBeOpened) {
    const std::string path = testing::TempDir() + "qlflash_test_no_such_file.qfu";
    const auto run = RunQlflash({"--simulate", "--file", path});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.errors, "qlflash: cannot open " + path + "\n");
    EXPECT_EQ(run.output, "");
}

// --- The command line ------------------------------------------------------------------------

TEST(QlflashProgramTest, Help_PrintsTheUsageAndExitsZero) {
    const auto run = RunQlflash({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output.rfind("Usage: qlflash [--port NAME] [--file FILE] [--simulate] [--list] [--wait SECONDS] [--help]\n", 0),
              0u)
        << run.output;
    EXPECT_EQ(run.errors, "");
}

TEST(QlflashProgramTest, UsageErrors_ExitTwoWithAMessageOnStandardError) {
    const std::vector<std::vector<std::string>> cases{
        {"--bogus"},
        {"--port"},
        {"--port", "ttyUSB0", "--port", "ttyUSB1"},
        {"--port", "ttyACM123"},
        {"--wait", "0"},
        {"--wait", "soon"},
        {"--simulate", "--port", "ttyS0"},
        {"stray"},
    };
    for (const auto& arguments : cases) {
        const auto run = RunQlflash(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.front();
        EXPECT_EQ(run.errors.rfind("qlflash: ", 0), 0u) << run.errors;
        EXPECT_EQ(run.output, "") << arguments.front();
    }
}

// --- Against the emulator program on a pseudo-terminal ---------------------------------------

class QlflashOnPtyTest : public ::testing::Test {
protected:
    // Starts the emulator, device off, with `options` and reads the name of its port.
    void StartEmulator(std::vector<std::string> options = {}) {
        options.push_back("--flash-out");
        options.push_back(flash.Path());
        ASSERT_TRUE(emulator.Start(options));
        const auto first = emulator.ReadLine();
        ASSERT_TRUE(first && first->rfind("PTY /dev/", 0) == 0) << (first ? *first : "no output");
        port = first->substr(std::string("PTY /dev/").size());
        ASSERT_LE(port.size(), 7u);
    }

    // Runs qlflash on the port and powers the device on once qlflash has the port open (a
    // greeting before that would be flushed away with the port's old input).
    ProgramRun Flash(const std::function<void(QlflashProcess&)>& whileRunning = {}) {
        QlflashProcess program;
        if (!program.Start({"--port", port, "--wait", "20"})) return {};
        EXPECT_TRUE(program.AwaitOutputLine(port + " standby ready."));
        EXPECT_TRUE(emulator.Command("on"));
        if (whileRunning) whileRunning(program);
        return program.Finish();
    }

    // Ends the emulator, which writes its flash; what it holds.
    Bytes FlashAfterQuit() {
        emulator.Command("quit");
        EXPECT_EQ(emulator.AwaitExit(), 0);
        return flash.Read();
    }

    TempFile flash{"flash.bin"};
    EmulatorProcess emulator;
    std::string port;
};

TEST_F(QlflashOnPtyTest, DeviceThatPowersOnAfterThePortOpened_GetsTheWholeBuiltInImage) {
    StartEmulator();
    const auto run = Flash();
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_TRUE(InOrder(run.output, {port + " standby ready.", "ESC connected.", kVersionA16, "Writing...", "Completed."}))
        << run.output;
    const Bytes image = BuiltInImageBlocks();
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(FlashAfterQuit(), image);
}

TEST_F(QlflashOnPtyTest, DevicePoweredOnByItselfShortlyAfterStart_GetsTheWholeBuiltInImage) {
    // qlflash opens its port within the 300 ms on any machine that runs the tests at all.
    StartEmulator({"--power-on-after", "300"});
    const auto run = RunQlflash({"--port", port, "--wait", "20"});
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_TRUE(InOrder(run.output, {"ESC connected.", kVersionA16, "Writing...", "Completed."})) << run.output;
    EXPECT_EQ(FlashAfterQuit(), BuiltInImageBlocks());
}

TEST_F(QlflashOnPtyTest, DeviceLostMidwayAndPoweredOnAgain_GetsEveryBlockAndExitsZero) {
    // The power cut falls inside the third block; the device stays off until it is powered on
    // again after the link has given it up, so the link must have reopened the port and must
    // go on with the blocks left.
    StartEmulator({"--cut-after", "1200"});
    const auto run = Flash([&](QlflashProcess& program) {
        ASSERT_TRUE(program.AwaitOutputLine("ESC off-lined."));
        ASSERT_TRUE(program.AwaitOutputLine(port + " standby ready.", 2));  // reopened
        EXPECT_TRUE(emulator.Command("on"));
    });
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_TRUE(InOrder(run.output, {"Writing...", "ESC off-lined.", port + " standby ready.", "ESC connected.",
                                     "Completed."}))
        << run.output;
    EXPECT_EQ(FlashAfterQuit(), BuiltInImageBlocks());
}

TEST_F(QlflashOnPtyTest, DeviceThatRefusesABlockEveryTime_ExitsOneAfterFailed) {
    StartEmulator({"--refuse", "1:10"});
    const auto run = Flash();
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_TRUE(InOrder(run.output, {"Writing...", "Failed."})) << run.output;
    EXPECT_TRUE(Contains(run.errors, "the update failed")) << run.errors;
}

TEST_F(QlflashOnPtyTest, DeviceOfAnotherFamily_ExitsOneAsUnsupported) {
    StartEmulator({"--signature", "10:35"});
    const auto run = Flash();
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_TRUE(Contains(run.errors, "is not a supported KORVA device")) << run.errors;
    EXPECT_FALSE(Contains(run.output, "Writing...")) << run.output;
    EXPECT_TRUE(FlashAfterQuit().empty());
}

TEST_F(QlflashOnPtyTest, DeviceThatNeverPowersOn_TimesOutWaitingForItToConnect) {
    StartEmulator();
    const auto run = RunQlflash({"--port", port, "--wait", "1"});
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_TRUE(Contains(run.errors, "timed out after 1 s waiting for the device to connect on " + port)) << run.errors;
}

}  // namespace
