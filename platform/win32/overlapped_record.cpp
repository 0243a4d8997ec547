#include "platform/win32/overlapped_record.h"

namespace platform::win32 {

std::unique_ptr<OverlappedRecord> OverlappedRecord::Create(Reset reset) {
    const HANDLE event = ::CreateEventW(nullptr, reset == Reset::Manual ? TRUE : FALSE, FALSE, nullptr);
    if (event == nullptr) return nullptr;
    return std::unique_ptr<OverlappedRecord>(new OverlappedRecord(event));
}

OverlappedRecord::OverlappedRecord(HANDLE event) { m_overlapped.hEvent = event; }

OverlappedRecord::~OverlappedRecord() { ::CloseHandle(m_overlapped.hEvent); }

OVERLAPPED* OverlappedRecord::Fresh() {
    const HANDLE event = m_overlapped.hEvent;
    m_overlapped = OVERLAPPED{};
    m_overlapped.hEvent = event;
    return &m_overlapped;
}

}  // namespace platform::win32
