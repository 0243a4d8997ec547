// Firmware transfer and memory read: the two start operations of the interface thread, the
// worker's block step, and the write and read machines.
#include "link/esc_link.h"

#include <algorithm>
#include <cstring>

bool ESCLink::ClaimLink(LinkMode target, std::uint8_t command) {
    if (m_mode.load() == target) return true;
    auto start = Clock().TickCount();
    for (;;) {
        const auto now = Clock().TickCount();
        if (now < start) {
            start = now;
        } else if (now - start > kClaimLimitMs) {
            return false;
        }
        {
            // Taken only from ModeReady, in one step, and between two worker passes: a pass may
            // go through ModeReady on its way elsewhere (a device dropped at the end of its
            // query), and that passing state must not be claimed.
            std::lock_guard guard(m_linkLock);
            auto expected = ModeReady;
            if (m_mode.compare_exchange_strong(expected, target)) {
                m_command = command;
                return true;
            }
        }
        Clock().Sleep(kClaimPollMs);
    }
}

bool ESCLink::StartDownload() {
    PostLinkState(0, 0);
    {
        std::lock_guard guard(m_linkLock);
        if (!m_pImage) return false;
    }
    if (!ClaimLink(ModeWrite, CmdWrite)) {
        PostLinkState(1, 0);
        return false;
    }
    std::lock_guard guard(m_linkLock);
    AppendStatus(u"Writing...", m_pStatusLog);
    m_retriesLeft = kBlockRetries;
    m_pImageCursor = m_pImage.get();
    m_blockInHand = 0;
    m_command = CmdWrite;
    m_blocksLeft = static_cast<std::uint16_t>(m_imageLength / m_blockSize);
    if (m_pProgress != nullptr) m_pProgress->SetRange(0, static_cast<std::uint16_t>(m_blocksLeft - 1));
    m_mode = ModeReady;  // hands the link back: the worker takes the first block
    return true;
}

bool ESCLink::StartRead() {
    if (!ClaimLink(ModeRead, CmdRead)) return false;
    std::lock_guard guard(m_linkLock);
    m_step = ReadStart;
    RunRead(nullptr);
    return true;
}

void ESCLink::TakeNextBlock() {
    auto block = AllocateBuffer(static_cast<std::size_t>(m_blockSize) + 1);
    if (!block) return;  // a later quiet pass tries again
    m_pXfer = std::move(block);
    std::memcpy(m_pXfer.get() + 1, m_pImageCursor, m_blockSize);
    m_pImageCursor += m_blockSize;
    m_blocksLeft -= 1;
    m_blockInHand = 1;
    m_mode = ModeWrite;
    m_step = WriteStart;
    RunWrite(nullptr);
}

void ESCLink::PutBackBlockInHand() {
    if (!m_blockInHand) return;
    m_blockInHand = 0;
    if (!m_pImage || m_pImageCursor < m_pImage.get() + m_blockSize) return;
    m_pImageCursor -= m_blockSize;
    m_blocksLeft += 1;
}

void ESCLink::QueueBurst(const std::uint8_t* bytes, int count) {
    if (m_txCount == 0) m_txOffset = 0;
    if (m_txOffset != 0) {
        std::memmove(m_txBuffer.data(), m_txBuffer.data() + m_txOffset, static_cast<std::size_t>(m_txCount));
        m_txOffset = 0;
    }
    if (m_txCount + count > kTxBufferSize) return;
    std::memcpy(m_txBuffer.data() + m_txCount, bytes, static_cast<std::size_t>(count));
    m_txCount += count;
}

// WriteStart: the start call opens the block with 0x62.
// WriteHeader: each 0xF7 gets the next of the three header bytes (0x81, block bytes 0 and 1);
//   any other byte abandons the block (the silence rule ends it).
// WriteBody: 0xF7 gets the rest of the block in one burst; then 0xF1 accepts it, 0xFA refuses it.
void ESCLink::RunWrite(const std::uint8_t* byte) {
    BeginMachineCall(byte);
    m_fullQuery = 1;
    switch (m_step) {
        case WriteStart:
            if (byte != nullptr) break;
            if (m_command != CmdWrite || !m_pXfer) {
                m_mode = ModeReady;
                break;
            }
            m_xferIndex = 0;
            m_xferLength = kWriteHeaderLength;
            m_pXfer[0] = CmdWrite;
            QueueByte(CodeOpenWrite);
            m_step = WriteHeader;
            break;
        case WriteHeader:
            if (byte == nullptr) break;
            if (m_rxByte != CodeAck) {
                m_pXfer.reset();
                break;
            }
            if (!m_pXfer) break;  // the block was abandoned: there is nothing left to send
            QueueByte(m_pXfer[static_cast<std::size_t>(m_xferIndex)]);
            m_xferIndex += 1;
            if (m_xferIndex == m_xferLength) {
                m_xferLength = m_blockSize - kBlockHeaderBytes;
                m_step = WriteBody;
            }
            break;
        case WriteBody:
            if (byte == nullptr) break;
            if (m_rxByte == CodeAck) {
                if (m_pXfer) QueueBurst(m_pXfer.get() + kWriteHeaderLength, m_blockSize - kBlockHeaderBytes);
            } else if (m_rxByte == CodeBlockDone) {
                BlockAccepted();
            } else if (m_rxByte == CodeBlockError) {
                BlockRefused();
            }
            break;
        default:
            break;
    }
}

void ESCLink::BlockAccepted() {
    m_mode = ModeReady;
    m_blockInHand = 0;
    m_retriesLeft = kBlockRetries;
    if (m_pProgress != nullptr) m_pProgress->SetPos(m_imageLength / m_blockSize - m_blocksLeft);
    if (m_blocksLeft == 0) {
        if (m_pUpdateButton != nullptr) m_pUpdateButton->SetWindowText(u"Exit");
        PostLinkState(1, 1);
        AppendStatus(u"Completed.", m_pStatusLog);
    }
    m_pauseAfterWrite = 0;
}

void ESCLink::BlockRefused() {
    m_mode = ModeReady;
    m_blockInHand = 0;
    m_pauseAfterWrite = 1;
    if (m_retriesLeft > 0) {
        m_pImageCursor -= m_blockSize;
        m_blocksLeft += 1;
        m_retriesLeft -= 1;
        return;
    }
    if (m_useHidLink) QueueByte(CodeAbort);
    AppendStatus(u"Failed.", m_pStatusLog);
    m_blocksLeft = 0;
}

// ReadStart: the start call opens the read with 0x86.
// ReadHandshake: 0xF7 is answered with the read command; 0x65 announces the header.
// ReadData: five header bytes (the last two the data length, high byte first), the data, and
//   one more byte that ends the read.
void ESCLink::RunRead(const std::uint8_t* byte) {
    BeginMachineCall(byte);
    switch (m_step) {
        case ReadStart:
            if (byte != nullptr) break;
            m_xferIndex = 0;
            m_xferLength = 0;
            m_pXfer.reset();
            m_params.fill(0);
            QueueByte(CodeOpenRead);
            m_step = ReadHandshake;
            break;
        case ReadHandshake:
            if (byte == nullptr) break;
            if (m_rxByte == CodeAck) {
                QueueByte(m_command);
            } else if (m_rxByte == CodeReadHeader) {
                m_step = ReadData;
            }
            break;
        case ReadData:
            if (byte == nullptr) break;
            if (m_xferIndex < 4) {
                m_params[static_cast<std::size_t>(m_xferIndex)] = m_rxByte;
                m_xferIndex += 1;
            } else if (m_xferIndex == 4) {
                m_params[4] = m_rxByte;
                m_xferLength = (m_params[3] << 8) | m_params[4];  // high byte first
                m_pXfer = AllocateBuffer(static_cast<std::size_t>(m_xferLength));
                if (!m_pXfer) {
                    m_mode = ModeReady;  // no room for the data: the read ends, nothing stored
                    break;
                }
                m_pXferEnd = m_pXfer.get();
                m_xferIndex += 1;
            } else if (m_pXferEnd - m_pXfer.get() < m_xferLength) {
                *m_pXferEnd++ = m_rxByte;
                m_xferIndex += 1;
            } else {
                m_xferIndex += 1;
                m_mode = ModeReady;
            }
            break;
        default:
            break;
    }
}
