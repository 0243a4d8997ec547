// HID devices on hidraw. hidapi enumerates the interfaces and carries the reports; the node is
// also opened here, to hold the exclusive lock and to ask the hidraw driver for the device's
// identity and report descriptor.
#include "platform/posix/hid_device.h"

#include "platform/posix/hid_descriptor.h"
#include "platform/text.h"

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform::posix {
namespace {

constexpr std::string_view kHidrawNodePrefix = "/dev/hidraw";
constexpr std::size_t kMaxNodeNumberDigits = 6;

// hidapi keeps its last global error in one unguarded static: its calls that set it
// (init, enumerate, open) are made one at a time.
std::mutex& HidApiGlobalMutex() {
    static std::mutex mutex;
    return mutex;
}

// hid_init once for the process; false when hidapi cannot be used. Call with the mutex held.
bool HidApiReady() {
    static const bool ready = hid_init() == 0;
    return ready;
}

int ClampedWaitMs(std::uint32_t waitMs) {
    return waitMs > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(waitMs);
}

// Reads and writes complete within their call; the record carries nothing.
class HidIoRecord final : public IoRecord {};

std::optional<std::vector<std::uint8_t>> DescriptorFromDriver(int fd) {
    int size = 0;
    if (ioctl(fd, HIDIOCGRDESCSIZE, &size) != 0 || size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE) {
        return std::nullopt;
    }
    auto descriptor = std::make_unique<hidraw_report_descriptor>();
    descriptor->size = static_cast<std::uint32_t>(size);
    if (ioctl(fd, HIDIOCGRDESC, descriptor.get()) != 0) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(descriptor->value, descriptor->value + size);
}

// The same bytes as sysfs shows them, for drivers that refuse the ioctls.
std::optional<std::vector<std::uint8_t>> DescriptorFromSysfs(std::string_view nodePath) {
    const std::string nodeName(nodePath.substr(nodePath.rfind('/') + 1));
    const std::string file = "/sys/class/hidraw/" + nodeName + "/device/report_descriptor";
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> descriptor(HID_MAX_DESCRIPTOR_SIZE);
    std::size_t total = 0;
    while (total < descriptor.size()) {
        const ssize_t n = read(fd, descriptor.data() + total, descriptor.size() - total);
        if (n > 0) {
            total += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    close(fd);
    if (total == 0) {
        return std::nullopt;
    }
    descriptor.resize(total);
    return descriptor;
}

std::optional<HidReportLengths> ReadReportLengths(int fd, std::string_view nodePath) {
    std::optional<std::vector<std::uint8_t>> descriptor = DescriptorFromDriver(fd);
    if (!descriptor) {
        descriptor = DescriptorFromSysfs(nodePath);
    }
    if (!descriptor) {
        return std::nullopt;
    }
    return ParseHidReportDescriptor(*descriptor);
}

class PosixHidDevice final : public HidDevice {
public:
    // Takes over the locked node `fd` and the hidapi handle.
    PosixHidDevice(int fd, hid_device* device, std::optional<HidReportLengths> lengths)
        : fd_(fd), device_(device), lengths_(lengths) {}

    PosixHidDevice(const PosixHidDevice&) = delete;
    PosixHidDevice& operator=(const PosixHidDevice&) = delete;

    ~PosixHidDevice() override {
        hid_close(device_);
        flock(fd_, LOCK_UN);
        close(fd_);
    }

    std::unique_ptr<IoRecord> CreateIoRecord() override { return std::make_unique<HidIoRecord>(); }

    bool GetAttributes(HidAttributes& attributes) override {
        hidraw_devinfo info{};
        if (ioctl(fd_, HIDIOCGRAWINFO, &info) != 0) {
            return false;
        }
        attributes.vendorId = static_cast<std::uint16_t>(info.vendor);
        attributes.productId = static_cast<std::uint16_t>(info.product);
        return true;
    }

    bool GetCaps(HidCaps& caps) override {
        if (!lengths_) {
            return false;
        }
        caps.inputReportByteLength = lengths_->input;
        caps.outputReportByteLength = lengths_->output;
        return true;
    }

    // hidraw hands a numbered report over with its ID byte first, but an unnumbered one without
    // any: the 0 ID byte is put in front here, so every report reads as the lengths count it.
    std::uint32_t ReadReport(IoRecord&, std::uint8_t* buffer, std::uint32_t size, std::uint32_t waitMs) override {
        const bool addIdByte = lengths_ && !lengths_->usesReportIds;
        const std::uint32_t offset = addIdByte ? 1 : 0;
        if (buffer == nullptr || size <= offset) {
            return 0;
        }
        const int n = hid_read_timeout(device_, buffer + offset, size - offset, ClampedWaitMs(waitMs));
        if (n <= 0) {
            return 0;
        }
        if (addIdByte) {
            buffer[0] = 0;
        }
        return static_cast<std::uint32_t>(n) + offset;
    }

    // The first byte is the report ID (0 for an unnumbered report, which the driver drops).
    // hidapi has no time limit for writes: the driver's own transfer time-out bounds the call.
    std::uint32_t WriteReport(IoRecord&, const std::uint8_t* report, std::uint32_t size, std::uint32_t) override {
        if (report == nullptr || size == 0) {
            return 0;
        }
        const int n = hid_write(device_, report, size);
        return n <= 0 ? 0 : static_cast<std::uint32_t>(n);
    }

private:
    int fd_;
    hid_device* device_;
    std::optional<HidReportLengths> lengths_;
};

std::vector<std::string> EnumeratedPaths() {
    std::vector<std::string> paths;
    const std::lock_guard<std::mutex> lock(HidApiGlobalMutex());
    if (!HidApiReady()) {
        return paths;
    }
    hid_device_info* devices = hid_enumerate(0, 0);
    for (const hid_device_info* device = devices; device != nullptr; device = device->next) {
        if (device->path != nullptr) {
            paths.emplace_back(device->path);
        }
    }
    hid_free_enumeration(devices);
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

hid_device* OpenThroughHidApi(const std::string& path) {
    const std::lock_guard<std::mutex> lock(HidApiGlobalMutex());
    return HidApiReady() ? hid_open_path(path.c_str()) : nullptr;
}

}  // namespace

bool IsHidrawNodePath(std::string_view path) {
    if (!path.starts_with(kHidrawNodePrefix)) {
        return false;
    }
    const std::string_view number = path.substr(kHidrawNodePrefix.size());
    return !number.empty() && number.size() <= kMaxNodeNumberDigits &&
           std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool PosixHidBus::InterfacePath(std::uint32_t index, std::u16string& path) {
    const std::vector<std::string> paths = EnumeratedPaths();
    if (index >= paths.size()) {
        return false;
    }
    path = FromUtf8(paths[index]);
    return true;
}

std::unique_ptr<HidDevice> PosixHidBus::Open(std::u16string_view path) {
    const std::string node = ToUtf8(path);
    if (!IsHidrawNodePath(node)) {
        return nullptr;
    }
    const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    // Held for as long as the device is open: the lock is what makes the open exclusive.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return nullptr;
    }
    hid_device* device = OpenThroughHidApi(node);
    if (device == nullptr) {
        flock(fd, LOCK_UN);
        close(fd);
        return nullptr;
    }
    return std::make_unique<PosixHidDevice>(fd, device, ReadReportLengths(fd, node));
}

}  // namespace platform::posix
