// The COM-port side of the link: open and configure the port, read what is waiting, and write
// the queue within the time its bytes take on the line.
#include "link/esc_link.h"

#include <algorithm>

std::uint32_t ESCLink::ReadPort(std::uint8_t* buffer) {
    return m_useHidLink ? ReadHidPort(buffer) : ReadComPort(buffer);
}

std::uint32_t ESCLink::WritePort(const std::uint8_t* bytes) {
    return m_useHidLink ? WriteHidPort(bytes) : WriteComPort(bytes);
}

bool ESCLink::OpenComPort() {
    if (m_pSerialPorts == nullptr) return false;
    m_hPort.serial = m_pSerialPorts->Open(PortName());
    return m_hPort.serial != nullptr;
}

bool ESCLink::ConfigureComPort() {
    auto& port = *m_hPort.serial;
    platform::LineSettings settings;
    if (!port.GetLineSettings(settings)) return false;
    port.SetEventMask(platform::EV_RXCHAR | platform::EV_RXFLAG);
    port.SetQueueSizes(kComQueueBytes, kComQueueBytes);
    port.Purge();
    settings.baudRate = kComBaudRate;
    settings.dataBits = 8;
    settings.parity = platform::Parity::None;
    settings.stopBits = platform::StopBits::One;
    settings.dtrOn = false;
    settings.rtsOn = false;
    settings.xonXoffOut = false;
    settings.xonXoffIn = false;
    return port.SetLineSettings(settings);
}

std::uint32_t ESCLink::ReadComPort(std::uint8_t* buffer) {
    if (!m_hPort.serial || !m_pOverlapped) return 0;
    m_ioBusy = 1;
    m_comStat.cbInQue = m_hPort.serial->ClearErrorsAndCountWaiting();
    const auto waiting = std::min<std::uint32_t>(m_comStat.cbInQue, kRxBufferSize);
    if (waiting == 0) return 0;
    const auto count = m_hPort.serial->Read(*m_pOverlapped, buffer, waiting);
    if (count == 0) return 0;
    m_lastIoTick = Clock().TickCount();
    return count;
}

std::uint32_t ESCLink::WriteComPort(const std::uint8_t* bytes) {
    if (!m_hPort.serial || !m_pOverlapped) return 0;
    m_ioBusy = 1;
    auto& port = *m_hPort.serial;
    const auto size = static_cast<std::uint32_t>(m_txCount);
    auto progress = port.StartWrite(*m_pOverlapped, bytes, size);
    std::uint32_t count = 0;
    if (progress.state == platform::IoState::Failed) return 0;
    if (progress.state == platform::IoState::Done) {
        count = progress.count;
    } else {
        // The time of `size` characters at the line's speed, rounded down, plus some slack.
        const std::uint32_t limit = size * kComBitsPerChar * 1000 / kComBaudRate + kComWriteSlackMs;
        auto start = Clock().TickCount();
        count = progress.count;
        for (;;) {
            progress = port.PollWrite(*m_pOverlapped);
            if (progress.state == platform::IoState::Failed) return 0;
            count = progress.count;
            if (progress.state == platform::IoState::Done && count == size) break;
            const auto now = Clock().TickCount();
            if (now < start) {
                start = now;
            } else if (now - start > limit) {
                // Give up: stop the write so the record is free for the next operation.
                if (progress.state == platform::IoState::Pending) port.CancelWrite(*m_pOverlapped);
                break;
            }
        }
    }
    if (count == 0) return 0;
    FinishWrite(count);
    return count;
}

void ESCLink::FinishWrite(std::uint32_t count) {
    if (count > 2) Clock().Sleep(kBurstPauseMs);
    m_echoPending = static_cast<std::int32_t>(count);
    if (m_pauseAfterWrite == 1) Clock().Sleep(kBurstPauseMs);
    m_lastIoTick = Clock().TickCount();
}
