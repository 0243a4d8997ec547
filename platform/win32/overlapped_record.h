// The record of one read or write in flight on a Win32 handle: OVERLAPPED and its event.
#pragma once

#include "platform/io_record.h"

#include <memory>

#include <windows.h>

namespace platform::win32 {

class OverlappedRecord final : public IoRecord {
public:
    enum class Reset { Manual, Automatic };

    // Null when the event cannot be created.
    static std::unique_ptr<OverlappedRecord> Create(Reset reset);

    ~OverlappedRecord() override;
    OverlappedRecord(const OverlappedRecord&) = delete;
    OverlappedRecord& operator=(const OverlappedRecord&) = delete;

    // The record for a new operation: offsets cleared, the event kept.
    OVERLAPPED* Fresh();
    OVERLAPPED* Get() { return &m_overlapped; }
    HANDLE Event() const { return m_overlapped.hEvent; }

private:
    explicit OverlappedRecord(HANDLE event);
    OVERLAPPED m_overlapped{};
};

}  // namespace platform::win32
