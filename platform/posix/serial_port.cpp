// Serial ports on termios. Every call is non-blocking: reads take what is waiting, and a write
// that does not fit into the driver's queue keeps its rest in the IoRecord, to be pushed out by
// later PollWrite calls that each wait at most a millisecond for room.
#include "platform/posix/serial_port.h"

#include "platform/posix/serial_port_list.h"
#include "platform/text.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform::posix {
namespace {

// Time PollWrite waits for room in the output queue, in milliseconds.
constexpr int kPollWriteWaitMs = 1;

struct BaudRate {
    std::uint32_t bitsPerSecond;
    speed_t code;
};

constexpr BaudRate kBaudRates[] = {
    {50, B50},         {75, B75},           {110, B110},         {134, B134},
    {150, B150},       {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCode(std::uint32_t bitsPerSecond, speed_t& code) {
    for (const BaudRate& rate : kBaudRates) {
        if (rate.bitsPerSecond == bitsPerSecond) {
            code = rate.code;
            return true;
        }
    }
    return false;
}

// 0 for a speed code outside the table (a custom rate set by other means).
std::uint32_t BitsPerSecond(speed_t code) {
    for (const BaudRate& rate : kBaudRates) {
        if (rate.code == code) {
            return rate.bitsPerSecond;
        }
    }
    return 0;
}

bool CharacterSizeFlag(std::uint8_t dataBits, tcflag_t& flag) {
    switch (dataBits) {
        case 5: flag = CS5; return true;
        case 6: flag = CS6; return true;
        case 7: flag = CS7; return true;
        case 8: flag = CS8; return true;
        default: return false;
    }
}

std::uint8_t DataBits(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5: return 5;
        case CS6: return 6;
        case CS7: return 7;
        default: return 8;
    }
}

// Mark and space parity are a parity bit stuck at 1 or 0 (CMSPAR, with PARODD picking mark).
tcflag_t ParityFlags(Parity parity) {
    switch (parity) {
        case Parity::Odd: return PARENB | PARODD;
        case Parity::Even: return PARENB;
        case Parity::Mark: return PARENB | CMSPAR | PARODD;
        case Parity::Space: return PARENB | CMSPAR;
        case Parity::None: break;
    }
    return 0;
}

Parity ParityOf(tcflag_t cflag) {
    if ((cflag & PARENB) == 0) {
        return Parity::None;
    }
    const bool odd = (cflag & PARODD) != 0;
    if ((cflag & CMSPAR) != 0) {
        return odd ? Parity::Mark : Parity::Space;
    }
    return odd ? Parity::Odd : Parity::Even;
}

// A pseudo-terminal has no modem lines and refuses the modem ioctls with one of these.
bool LacksModemLines(int error) { return error == ENOTTY || error == EINVAL; }

bool SetModemLine(int fd, int line, bool on) {
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0) {
        return true;
    }
    return LacksModemLines(errno);
}

// The pending write of one record: the bytes not yet sent, and how many of the write were sent.
class SerialIoRecord final : public IoRecord {
public:
    std::vector<std::uint8_t> unsent;
    std::size_t unsentOffset = 0;
    std::uint32_t sent = 0;
    IoState state = IoState::Done;
    // The port's purge count when the write started; a purge since then aborts the write.
    std::uint64_t purgeCount = 0;

    bool HasPending() const { return state == IoState::Pending; }

    void Finish(IoState finalState) {
        state = finalState;
        unsent.clear();
        unsentOffset = 0;
    }

    IoProgress Progress() const { return IoProgress{state, sent}; }
};

// The outcome of pushing bytes into the driver without blocking.
struct PushResult {
    std::size_t written = 0;
    bool failed = false;  // an error other than "no room"
};

PushResult PushBytes(int fd, const std::uint8_t* data, std::size_t size) {
    PushResult result;
    while (result.written < size) {
        const ssize_t n = write(fd, data + result.written, size - result.written);
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        result.failed = true;
        break;
    }
    return result;
}

class PosixSerialPort final : public SerialPort {
public:
    explicit PosixSerialPort(int fd) : fd_(fd) {}

    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    ~PosixSerialPort() override {
        ioctl(fd_, TIOCNXCL);
        flock(fd_, LOCK_UN);
        close(fd_);
    }

    std::unique_ptr<IoRecord> CreateIoRecord() override { return std::make_unique<SerialIoRecord>(); }

    bool GetLineSettings(LineSettings& settings) override {
        termios tio{};
        if (tcgetattr(fd_, &tio) != 0) {
            return false;
        }
        settings.baudRate = BitsPerSecond(cfgetospeed(&tio));
        settings.dataBits = DataBits(tio.c_cflag);
        settings.parity = ParityOf(tio.c_cflag);
        settings.stopBits = (tio.c_cflag & CSTOPB) != 0 ? StopBits::Two : StopBits::One;
        settings.xonXoffOut = (tio.c_iflag & IXON) != 0;
        settings.xonXoffIn = (tio.c_iflag & IXOFF) != 0;
        int lines = 0;
        const bool haveLines = ioctl(fd_, TIOCMGET, &lines) == 0;
        settings.dtrOn = haveLines && (lines & TIOCM_DTR) != 0;
        settings.rtsOn = haveLines && (lines & TIOCM_RTS) != 0;
        return true;
    }

    bool SetLineSettings(const LineSettings& settings) override {
        speed_t speed = B0;
        tcflag_t characterSize = CS8;
        // termios has no 1.5 stop bits.
        if (!SpeedCode(settings.baudRate, speed) || !CharacterSizeFlag(settings.dataBits, characterSize) ||
            settings.stopBits == StopBits::OneAndHalf) {
            return false;
        }
        termios tio{};
        if (tcgetattr(fd_, &tio) != 0) {
            return false;
        }
        // Hardware flow control and the input checks stay as the driver had them.
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
        tio.c_cflag |= characterSize | ParityFlags(settings.parity);
        if (settings.stopBits == StopBits::Two) {
            tio.c_cflag |= CSTOPB;
        }
        tio.c_iflag &= ~(IXON | IXOFF);
        if (settings.xonXoffOut) {
            tio.c_iflag |= IXON;
        }
        if (settings.xonXoffIn) {
            tio.c_iflag |= IXOFF;
        }
        // Reads return at once with what is waiting.
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 || tcsetattr(fd_, TCSANOW, &tio) != 0) {
            return false;
        }
        // tcsetattr succeeds when any part was taken, and drivers drop what they cannot do
        // (a pseudo-terminal is always 8 bits without parity): check that the line is as asked.
        termios applied{};
        constexpr tcflag_t kFrameFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
        if (tcgetattr(fd_, &applied) != 0 || cfgetospeed(&applied) != speed ||
            (applied.c_cflag & kFrameFlags) != (tio.c_cflag & kFrameFlags)) {
            return false;
        }
        return SetModemLine(fd_, TIOCM_DTR, settings.dtrOn) && SetModemLine(fd_, TIOCM_RTS, settings.rtsOn);
    }

    bool SetEventMask(std::uint32_t) override { return true; }
    bool SetQueueSizes(std::uint32_t, std::uint32_t) override { return true; }

    bool Purge() override {
        ++purgeCount_;  // drops the rest of every pending write of this port
        return tcflush(fd_, TCIOFLUSH) == 0;
    }

    std::uint32_t ClearErrorsAndCountWaiting() override {
        int waiting = 0;
        if (ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) {
            return 0;
        }
        return static_cast<std::uint32_t>(waiting);
    }

    // A hung-up line (no peer, EIO) reads as nothing, like a quiet one.
    std::uint32_t Read(IoRecord&, std::uint8_t* buffer, std::uint32_t size) override {
        std::uint32_t total = 0;
        while (buffer != nullptr && total < size) {
            const ssize_t n = read(fd_, buffer + total, size - total);
            if (n > 0) {
                total += static_cast<std::uint32_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break;
            }
        }
        return total;
    }

    // A write started on a record that still holds a pending one replaces it: the rest of the
    // earlier write is dropped, as the caller counts only what was reported sent.
    IoProgress StartWrite(IoRecord& record, const std::uint8_t* data, std::uint32_t size) override {
        auto* own = dynamic_cast<SerialIoRecord*>(&record);
        if (own == nullptr || (data == nullptr && size != 0)) {
            return IoProgress{IoState::Failed, 0};
        }
        own->Finish(IoState::Done);
        own->sent = 0;
        own->purgeCount = purgeCount_;
        if (size == 0) {
            return own->Progress();
        }
        const PushResult pushed = PushBytes(fd_, data, size);
        own->sent = static_cast<std::uint32_t>(pushed.written);
        if (pushed.failed) {
            own->Finish(IoState::Failed);
        } else if (pushed.written == size) {
            own->Finish(IoState::Done);
        } else {
            own->unsent.assign(data + pushed.written, data + size);
            own->unsentOffset = 0;
            own->state = IoState::Pending;
        }
        return own->Progress();
    }

    IoProgress PollWrite(IoRecord& record) override {
        auto* own = dynamic_cast<SerialIoRecord*>(&record);
        if (own == nullptr) {
            return IoProgress{IoState::Failed, 0};
        }
        if (!own->HasPending()) {
            return own->Progress();
        }
        if (own->purgeCount != purgeCount_) {
            own->Finish(IoState::Failed);
            return own->Progress();
        }
        pollfd watch{fd_, POLLOUT, 0};
        int ready = 0;
        do {
            ready = poll(&watch, 1, kPollWriteWaitMs);
        } while (ready < 0 && errno == EINTR);
        if (ready < 0) {
            own->Finish(IoState::Failed);
            return own->Progress();
        }
        if (ready == 0) {
            return own->Progress();
        }
        // Ready for writing, or hung up or in error: the write itself tells which.
        const std::size_t remaining = own->unsent.size() - own->unsentOffset;
        const PushResult pushed = PushBytes(fd_, own->unsent.data() + own->unsentOffset, remaining);
        own->sent += static_cast<std::uint32_t>(pushed.written);
        own->unsentOffset += pushed.written;
        if (pushed.failed) {
            own->Finish(IoState::Failed);
        } else if (pushed.written == remaining) {
            own->Finish(IoState::Done);
        }
        return own->Progress();
    }

    // Bytes already handed to the driver stay sent; only the rest is dropped.
    void CancelWrite(IoRecord& record) override {
        auto* own = dynamic_cast<SerialIoRecord*>(&record);
        if (own != nullptr && own->HasPending()) {
            own->Finish(IoState::Failed);
        }
    }

private:
    int fd_;
    std::uint64_t purgeCount_ = 0;
};

// True when another opener holds the tty in exclusive mode (seen only by root, whom
// TIOCEXCL does not keep out).
bool HeldExclusivelyByOther(int fd) {
    int exclusive = 0;
    return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

int OpenExclusive(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (isatty(fd) == 0) {
        close(fd);
        return -1;
    }
    // The lock first: a port held by someone else must not get its exclusive mode changed.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    if (HeldExclusivelyByOther(fd) || ioctl(fd, TIOCEXCL) != 0) {
        flock(fd, LOCK_UN);
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string SerialDevicePath(std::u16string_view name) {
    if (name.empty() || name.front() == u'/' || name.find(u"..") != std::u16string_view::npos ||
        name.find(u'\0') != std::u16string_view::npos) {
        return {};
    }
    return "/dev/" + ToUtf8(name);
}

std::unique_ptr<SerialPort> PosixSerialPortProvider::Open(std::u16string_view name) {
    const std::string path = SerialDevicePath(name);
    if (path.empty()) {
        return nullptr;
    }
    const int fd = OpenExclusive(path);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<PosixSerialPort>(fd);
}

std::vector<std::u16string> PosixSerialPortProvider::ListPortNames() { return ListSerialPortNames(); }

}  // namespace platform::posix
