// The termios serial port on a real pseudo-terminal: the test holds the master end and plays
// the device; the port under test is the slave, opened by name through the provider.
// The sysfs port list on a fake class/tty tree.
#include "platform/posix/serial_port.h"
#include "platform/posix/serial_port_list.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace {

using platform::IoProgress;
using platform::IoRecord;
using platform::IoState;
using platform::LineSettings;
using platform::Parity;
using platform::SerialPort;
using platform::StopBits;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Generous: a loaded machine must never make these tests fail.
constexpr auto kWaitLimit = std::chrono::seconds(10);
// More than a pseudo-terminal buffers, so a write of it cannot complete at once.
constexpr std::size_t kLargeWriteBytes = 512 * 1024;

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    return bytes;
}

LineSettings Line(std::uint32_t baud, std::uint8_t dataBits, Parity parity, StopBits stopBits) {
    LineSettings line;
    line.baudRate = baud;
    line.dataBits = dataBits;
    line.parity = parity;
    line.stopBits = stopBits;
    return line;
}

class PtyPort : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0) << "openpty: errno " << errno;
        ASSERT_EQ(fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK), 0);
        const std::string path = ttyname(slave_);
        ASSERT_EQ(path.rfind("/dev/", 0), 0U) << path;
        name_ = platform::FromUtf8(path.substr(5));
    }

    void TearDown() override {
        CloseMaster();
        close(slave_);
    }

    void CloseMaster() {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }

    std::unique_ptr<SerialPort> OpenConfigured() {
        std::unique_ptr<SerialPort> port = provider_.Open(name_);
        if (port && !port->SetLineSettings(Line(19200, 8, Parity::None, StopBits::One))) {
            port.reset();
        }
        return port;
    }

    void WriteToMaster(const Bytes& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Waits until the port counts `expected` bytes waiting. The test's own slave descriptor
    // turns readable when the line has data, without taking it.
    bool WaitUntilWaiting(SerialPort& port, std::uint32_t expected) {
        const auto deadline = Clock::now() + kWaitLimit;
        while (port.ClearErrorsAndCountWaiting() < expected) {
            if (Clock::now() > deadline) {
                return false;
            }
            pollfd watch{slave_, POLLIN, 0};
            poll(&watch, 1, 100);
        }
        return true;
    }

    // Reads what the port sent until `size` bytes have arrived or the wait limit passes.
    Bytes ReadFromMaster(std::size_t size) {
        Bytes received;
        const auto deadline = Clock::now() + kWaitLimit;
        while (received.size() < size && Clock::now() < deadline) {
            pollfd watch{master_, POLLIN, 0};
            if (poll(&watch, 1, 100) <= 0) {
                continue;
            }
            DrainMaster(received);
        }
        return received;
    }

    void DrainMaster(Bytes& received) {
        std::uint8_t chunk[4096];
        ssize_t n = 0;
        while ((n = read(master_, chunk, sizeof chunk)) > 0) {
            received.insert(received.end(), chunk, chunk + n);
        }
    }

    // Polls a pending write to its end, taking what arrives at the master into `received`.
    IoProgress FinishWrite(SerialPort& port, IoRecord& record, IoProgress progress, Bytes& received) {
        const auto deadline = Clock::now() + kWaitLimit;
        while (progress.state == IoState::Pending && Clock::now() < deadline) {
            DrainMaster(received);
            const IoProgress next = port.PollWrite(record);
            EXPECT_GE(next.count, progress.count);
            progress = next;
        }
        return progress;
    }

    // Starts a write of all of `data`, which tests make too large to complete at once.
    IoProgress StartLargeWrite(SerialPort& port, IoRecord& record, const Bytes& data) {
        return port.StartWrite(record, data.data(), static_cast<std::uint32_t>(data.size()));
    }

    platform::posix::PosixSerialPortProvider provider_;
    int master_ = -1;
    int slave_ = -1;
    std::u16string name_;
};

TEST_F(PtyPort, LineSettings_ReadBackAsWritten) {
    const std::unique_ptr<SerialPort> port = provider_.Open(name_);
    ASSERT_NE(port, nullptr);
    LineSettings xonXoff = Line(38400, 8, Parity::None, StopBits::One);
    xonXoff.xonXoffOut = true;
    xonXoff.xonXoffIn = true;
    LineSettings modemLinesOn = Line(9600, 8, Parity::None, StopBits::One);
    modemLinesOn.dtrOn = true;
    modemLinesOn.rtsOn = true;
    // A pseudo-terminal line is always 8 bits without parity; rates and stop bits it keeps.
    const LineSettings cases[] = {
        Line(19200, 8, Parity::None, StopBits::One), Line(9600, 8, Parity::None, StopBits::Two),
        Line(115200, 8, Parity::None, StopBits::One), Line(57600, 8, Parity::None, StopBits::One),
        xonXoff,
        // A pseudo-terminal has no modem lines: asking for them is no failure.
        modemLinesOn,
    };
    for (const LineSettings& wanted : cases) {
        SCOPED_TRACE(std::to_string(wanted.baudRate) + " baud, " + std::to_string(wanted.dataBits) + " bits");
        ASSERT_TRUE(port->SetLineSettings(wanted));
        LineSettings read;
        ASSERT_TRUE(port->GetLineSettings(read));
        EXPECT_EQ(read.baudRate, wanted.baudRate);
        EXPECT_EQ(read.dataBits, wanted.dataBits);
        EXPECT_EQ(read.parity, wanted.parity);
        EXPECT_EQ(read.stopBits, wanted.stopBits);
        EXPECT_EQ(read.xonXoffOut, wanted.xonXoffOut);
        EXPECT_EQ(read.xonXoffIn, wanted.xonXoffIn);
    }
}

TEST_F(PtyPort, UnsupportedLineSettings_AreRefusedAndChangeNothing) {
    const std::unique_ptr<SerialPort> port = OpenConfigured();
    ASSERT_NE(port, nullptr);
    const LineSettings refused[] = {
        Line(12345, 8, Parity::None, StopBits::One),
        Line(19200, 9, Parity::None, StopBits::One),
        Line(19200, 4, Parity::None, StopBits::One),
        Line(19200, 5, Parity::None, StopBits::OneAndHalf),
        // Settings the line cannot take count as refused, not as done.
        Line(19200, 7, Parity::None, StopBits::One),
        Line(19200, 8, Parity::Even, StopBits::One),
        Line(19200, 8, Parity::Mark, StopBits::One),
    };
    for (const LineSettings& wanted : refused) {
        SCOPED_TRACE(std::to_string(wanted.baudRate) + " baud, " + std::to_string(wanted.dataBits) + " bits");
        EXPECT_FALSE(port->SetLineSettings(wanted));
        LineSettings read;
        ASSERT_TRUE(port->GetLineSettings(read));
        EXPECT_EQ(read.baudRate, 19200U);
        EXPECT_EQ(read.dataBits, 8);
        EXPECT_EQ(read.parity, Parity::None);
        EXPECT_EQ(read.stopBits, StopBits::One);
    }
}

TEST_F(PtyPort, SecondOpen_IsRefusedUntilTheFirstCloses) {
    std::unique_ptr<SerialPort> first = provider_.Open(name_);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(provider_.Open(name_), nullptr);
    first.reset();
    EXPECT_NE(provider_.Open(name_), nullptr);
}

TEST_F(PtyPort, BytesFromTheLine_AreCountedThenRead) {
    const std::unique_ptr<SerialPort> port = OpenConfigured();
    ASSERT_NE(port, nullptr);
    const std::unique_ptr<IoRecord> record = port->CreateIoRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(port->ClearErrorsAndCountWaiting(), 0U);
    std::uint8_t buffer[16] = {};
    EXPECT_EQ(port->Read(*record, buffer, sizeof buffer), 0U);

    WriteToMaster({0x10, 0x20, 0x30, 0x40, 0x50});
    ASSERT_TRUE(WaitUntilWaiting(*port, 5));
    EXPECT_EQ(port->ClearErrorsAndCountWaiting(), 5U);

    ASSERT_EQ(port->Read(*record, buffer, 2), 2U);
    EXPECT_EQ(Bytes(buffer, buffer + 2), (Bytes{0x10, 0x20}));
    EXPECT_EQ(port->ClearErrorsAndCountWaiting(), 3U);
    ASSERT_EQ(port->Read(*record, buffer, sizeof buffer), 3U);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x30, 0x40, 0x50}));
    EXPECT_EQ(port->ClearErrorsAndCountWaiting(), 0U);
}

TEST_F(PtyPort, SmallWrite_IsDoneAtOnceAndArrives) {
    const std::unique_ptr<SerialPort> port = OpenConfigured();
    ASSERT_NE(port, nullptr);
    const std::unique_ptr<IoRecord> record = port->CreateIoRecord();
    const Bytes data = {0x01, 0x02, 0xFF, 0x00, 0x0D, 0x0A, 0x11, 0x13};  // raw: no translation, no flow control

    const IoProgress started = port->StartWrite(*record, data.data(), static_cast<std::uint32_t>(data.size()));
    EXPECT_EQ(started.state, IoState::Done);
    EXPECT_EQ(started.count, data.size());
    EXPECT_EQ(ReadFromMaster(data.size()), data);
}

TEST_F(PtyPort, LargeWrite_GoesPendingAndPollWriteSendsTheRestInOrder) {
    const std::unique_ptr<SerialPort> port = OpenConfigured();
    ASSERT_NE(port, nullptr);
    const std::unique_ptr<IoRecord> record = port->CreateIoRecord();
    const Bytes data = Pattern(kLargeWriteBytes);

    IoProgress progress = StartLargeWrite(*port, *record, data);
    ASSERT_EQ(progress.state, IoState::Pending);
    EXPECT_LT(progress.count, data.size());

    Bytes received;
    progress = FinishWrite(*port, *record, progress, received);
    ASSERT_EQ(progress.state, IoState::Done);
    EXPECT_EQ(progress.count, data.size());
    const Bytes rest = ReadFromMaster(data.size() - received.size());
    received.insert(received.end(), rest.begin(), rest.end());
    EXPECT_EQ(received, data);
    // A finished write keeps its result.
    const IoProgress again = port->PollWrite(*record);
    EXPECT_EQ(again.state, IoState::Done);
    EXPECT_EQ(again.count, data.size());
}

TEST_F(PtyPort, PendingWrite_StopsWhenCancelledOrPurged) {
    struct Stop {
        const char* name;
        std::function<void(SerialPort&, IoRecord&)> apply;
        bool keepsQueuedBytes;  // bytes the driver took before the stop still go out
    };
    const Stop stops[] = {
        {"CancelWrite", [](SerialPort& port, IoRecord& record) { port.CancelWrite(record); }, true},
        {"Purge", [](SerialPort& port, IoRecord&) { EXPECT_TRUE(port.Purge()); }, false},
    };
    const Bytes data = Pattern(kLargeWriteBytes);
    for (const Stop& stop : stops) {
        SCOPED_TRACE(stop.name);
        const std::unique_ptr<SerialPort> port = OpenConfigured();
        ASSERT_NE(port, nullptr);
        const std::unique_ptr<IoRecord> record = port->CreateIoRecord();
        const IoProgress started = StartLargeWrite(*port, *record, data);
        ASSERT_EQ(started.state, IoState::Pending);

        stop.apply(*port, *record);
        Bytes drained;
        DrainMaster(drained);
        const IoProgress stopped = port->PollWrite(*record);
        EXPECT_EQ(stopped.state, IoState::Failed);
        EXPECT_EQ(stopped.count, started.count);

        // The record is free for the next write, which goes out whole.
        const std::uint8_t byte = 0x5A;
        const IoProgress next = FinishWrite(*port, *record, port->StartWrite(*record, &byte, 1), drained);
        EXPECT_EQ(next.state, IoState::Done);
        EXPECT_EQ(next.count, 1U);
        if (stop.keepsQueuedBytes) {
            // What was reported sent, then the new byte: nothing of the dropped rest.
            const Bytes rest = ReadFromMaster(started.count + 1 - drained.size());
            drained.insert(drained.end(), rest.begin(), rest.end());
            Bytes expected(data.begin(), data.begin() + started.count);
            expected.push_back(byte);
            EXPECT_EQ(drained, expected);
        }
    }
}

TEST_F(PtyPort, LineHungUp_ReadsNothingAndWritesFail) {
    const std::unique_ptr<SerialPort> port = OpenConfigured();
    ASSERT_NE(port, nullptr);
    const std::unique_ptr<IoRecord> record = port->CreateIoRecord();
    const Bytes data = Pattern(kLargeWriteBytes);
    ASSERT_EQ(StartLargeWrite(*port, *record, data).state, IoState::Pending);

    CloseMaster();

    std::uint8_t buffer[64];
    EXPECT_EQ(port->Read(*record, buffer, sizeof buffer), 0U);
    EXPECT_EQ(port->PollWrite(*record).state, IoState::Failed);
    const std::uint8_t byte = 0x01;
    EXPECT_EQ(port->StartWrite(*record, &byte, 1).state, IoState::Failed);
    EXPECT_EQ(port->Read(*record, buffer, sizeof buffer), 0U);
}

TEST_F(PtyPort, NamesLeavingDevOrNotNamingATty_AreNotOpened) {
    const std::u16string refused[] = {
        u"../dev/" + name_,       // the same pty, reached through ".."
        u"pts/../" + name_,
        u"/dev/" + name_,         // absolute
        u"",
        name_ + std::u16string(1, u'\0') + u"x",
        u"null",                  // exists, not a tty
        u"no-such-port",
    };
    for (const std::u16string& name : refused) {
        SCOPED_TRACE(platform::ToUtf8(name));
        EXPECT_EQ(provider_.Open(name), nullptr);
    }
    EXPECT_NE(provider_.Open(name_), nullptr);
}

class FakeClassTty : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::path(::testing::TempDir()) / "class-tty-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        std::filesystem::create_directories(root_ / "devices" / "serial8250");
    }

    void TearDown() override {
        std::error_code error;
        std::filesystem::remove_all(root_, error);
    }

    // A tty entry as sysfs has it; with a driver, device/driver links to the driver's directory.
    void AddTty(const std::string& name, bool withDevice, bool withDriver) {
        const std::filesystem::path entry = root_ / "class" / name;
        std::filesystem::create_directories(entry);
        if (withDevice) {
            std::filesystem::create_directories(entry / "device");
        }
        if (withDriver) {
            std::filesystem::create_directory_symlink(root_ / "devices" / "serial8250", entry / "device" / "driver");
        }
    }

    std::filesystem::path root_;
};

TEST_F(FakeClassTty, EntriesWithADriver_AreListedSortedAndShortOnly) {
    AddTty("ttyUSB0", true, true);
    AddTty("ttyS1", true, true);
    AddTty("ttyS0", true, true);
    AddTty("ttyACM0", true, true);
    AddTty("ttyAMA10", true, true);  // eight characters
    AddTty("ttyS2", true, false);    // a device without a driver
    AddTty("tty1", false, false);    // a virtual terminal
    AddTty("ptmx", false, false);

    EXPECT_EQ(platform::posix::ListSerialDeviceNames(root_ / "class"),
              (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyS1", "ttyUSB0"}));
}

TEST_F(FakeClassTty, MissingDirectory_ListsNothing) {
    EXPECT_TRUE(platform::posix::ListSerialDeviceNames(root_ / "no-such-class").empty());
}

}  // namespace
