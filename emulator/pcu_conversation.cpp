// The device's side of the conversation: one received byte at a time, by the step it is in.
#include "emulator/pcu.h"

#include <algorithm>
#include <limits>

namespace emulator {
namespace {

// The count byte of the identity query can announce at most 255 records.
std::size_t RecordCount(const PcuConfig& config) {
    return std::min<std::size_t>(config.records.size(), std::numeric_limits<std::uint8_t>::max());
}

}  // namespace

void Pcu::HandleByte(std::uint8_t value, Nanoseconds at) {
    switch (m_step) {
        case Step::AwaitAnswer:
            HandleAnswer(value, at);
            break;
        case Step::Idle:
            HandleIdle(value, at);
            break;
        case Step::Query:
            HandleQuery(value, at);
            break;
        case Step::WriteCommand:
            if (value == code::kWriteCommand) {
                Send(code::kAck, at);
                m_step = Step::WriteByte0;
            } else if (value == code::kAbort) {
                ++m_aborts;
                m_step = Step::Idle;
            }
            break;
        case Step::WriteByte0:
        case Step::WriteByte1:
        case Step::WriteBody:
            TakeBlockByte(value, at);
            break;
        case Step::ReadCommand:
            if (value == code::kReadCommand) {
                AnswerRead(at);
                m_step = Step::Idle;
            }
            break;
    }
}

void Pcu::HandleAnswer(std::uint8_t value, Nanoseconds at) {
    // After a 0xF7 greeting the PC's 0xFA connects; after any other greeting the PC answers
    // 0xF7 and the device confirms with 0xFA.
    const bool connects = m_config.greeting == code::kAck ? value == code::kReady : value == code::kAck;
    if (!connects) {
        return;
    }
    if (m_config.greeting != code::kAck) {
        Send(code::kReady, at);
    }
    m_connected = true;
    ++m_handshakes;
    Record(PcuEventKind::Connected);
    m_step = Step::Idle;
}

void Pcu::HandleIdle(std::uint8_t value, Nanoseconds at) {
    switch (value) {
        case code::kQuery:
            StartQuery(at);
            break;
        case code::kOpenWrite:
            Send(code::kAck, at);
            m_attemptBlock = static_cast<std::uint32_t>(m_accepted.size());
            m_block.clear();
            m_step = Step::WriteCommand;
            break;
        case code::kOpenRead:
            Send(code::kAck, at);
            m_step = Step::ReadCommand;
            break;
        case code::kAbort:
            ++m_aborts;
            break;
        default:
            break;
    }
}

void Pcu::HandleQuery(std::uint8_t value, Nanoseconds at) {
    if (value == code::kAck) {
        SendNextRecord(at);
    } else if (value == code::kEnd) {
        // The PC cut the query short.
        m_step = Step::Idle;
    } else if (value == code::kQuery) {
        StartQuery(at);
    }
}

void Pcu::StartQuery(Nanoseconds at) {
    ++m_queries;
    Record(PcuEventKind::Query);
    Send(static_cast<std::uint8_t>(RecordCount(m_config)), at);
    m_recordsSent = 0;
    m_step = Step::Query;
    SendNextRecord(at);
}

void Pcu::SendNextRecord(Nanoseconds at) {
    const std::size_t count = RecordCount(m_config);
    if (m_recordsSent < count) {
        for (const std::uint8_t byte : m_config.records[m_recordsSent]) {
            Send(byte, at);
        }
        ++m_recordsSent;
    }
    if (m_recordsSent >= count) {
        Send(code::kEnd, at);
        m_step = Step::Idle;
    }
}

std::size_t Pcu::BodySize() const {
    return m_config.blockSize > 2 ? m_config.blockSize - 2U : 0U;
}

void Pcu::TakeBlockByte(std::uint8_t value, Nanoseconds at) {
    m_block.push_back(value);
    if (m_step == Step::WriteByte0) {
        Send(code::kAck, at);
        m_step = Step::WriteByte1;
        return;
    }
    if (m_step == Step::WriteByte1) {
        // The fourth acknowledgement asks for the body, which comes as one burst.
        Send(code::kAck, at);
        m_step = Step::WriteBody;
    }
    if (m_block.size() >= 2 + BodySize()) {
        FinishBlock(at);
    }
}

bool Pcu::RefuseThisAttempt(std::uint32_t block) {
    for (BlockRefusal& refusal : m_refusalsLeft) {
        if (refusal.block == block && refusal.times > 0) {
            --refusal.times;
            return true;
        }
    }
    return false;
}

void Pcu::FinishBlock(Nanoseconds at) {
    const bool accepted = !RefuseThisAttempt(m_attemptBlock);
    m_attempts.push_back(BlockAttempt{m_attemptBlock, m_block, accepted});
    if (accepted) {
        m_accepted.push_back(m_block);
    }
    Record(accepted ? PcuEventKind::BlockAccepted : PcuEventKind::BlockRefused, m_attemptBlock);
    m_block.clear();
    m_step = Step::Idle;
    const Nanoseconds verdictAt = at + static_cast<Nanoseconds>(m_config.flashMsPerBlock) * kNanosecondsPerMillisecond;
    Send(accepted ? code::kBlockDone : code::kBlockError, verdictAt);
}

void Pcu::AnswerRead(Nanoseconds at) {
    std::vector<std::uint8_t> memory;
    if (m_config.readMemory) {
        memory = *m_config.readMemory;
    } else {
        for (const auto& block : m_accepted) {
            memory.insert(memory.end(), block.begin(), block.end());
        }
    }
    if (memory.size() > 0xFFFF) {
        memory.resize(0xFFFF);  // the header can announce at most 65535 bytes
    }
    ++m_reads;
    Record(PcuEventKind::Read);
    Send(code::kReadHeader, at);
    for (const std::uint8_t byte : m_config.readHeader) {
        Send(byte, at);
    }
    Send(static_cast<std::uint8_t>(memory.size() >> 8), at);
    Send(static_cast<std::uint8_t>(memory.size() & 0xFF), at);
    for (const std::uint8_t byte : memory) {
        Send(byte, at);
    }
    Send(code::kReadEnd, at);
}

}  // namespace emulator
