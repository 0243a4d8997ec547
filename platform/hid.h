// HID devices: enumeration of HID-class interfaces, exclusive open, attributes, report lengths,
// and whole-report reads and writes with a time limit.
#pragma once

#include "platform/io_record.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// Report lengths in bytes, the report ID byte included, as the report descriptor gives them.
struct HidCaps {
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
};

class HidDevice {
public:
    virtual ~HidDevice() = default;

    // A record for this device's reads and writes (on Windows: OVERLAPPED with an auto-reset event).
    virtual std::unique_ptr<IoRecord> CreateIoRecord() = 0;

    virtual bool GetAttributes(HidAttributes& attributes) = 0;
    // False when the report descriptor cannot be read.
    virtual bool GetCaps(HidCaps& caps) = 0;

    // Reads one input report of at most `size` bytes, waiting at most `waitMs`.
    // Returns the bytes read; 0 when none arrived in time (the read is cancelled) or it failed.
    virtual std::uint32_t ReadReport(IoRecord& record, std::uint8_t* buffer, std::uint32_t size,
                                     std::uint32_t waitMs) = 0;
    // Writes one output report, waiting at most `waitMs` for it to leave.
    // Returns the bytes the system reports written; 0 on time-out (the write is cancelled) or failure.
    virtual std::uint32_t WriteReport(IoRecord& record, const std::uint8_t* report, std::uint32_t size,
                                      std::uint32_t waitMs) = 0;
};

class HidBus {
public:
    virtual ~HidBus() = default;
    // The device path of HID-class interface number `index` of the present devices, from 0,
    // in a stable order; false when there is no such interface.
    virtual bool InterfacePath(std::uint32_t index, std::u16string& path) = 0;
    // Opens an interface exclusively for reading and writing; null when it cannot be opened
    // (missing, held by this or another program, access denied).
    virtual std::unique_ptr<HidDevice> Open(std::u16string_view path) = 0;
};

}  // namespace platform
