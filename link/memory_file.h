// A read-only file over bytes in memory.
#pragma once

#include "platform/files.h"

#include <algorithm>
#include <cstring>
#include <span>

class MemoryFile final : public platform::File {
public:
    explicit MemoryFile(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool Size(std::uint64_t& size) override {
        size = m_bytes.size();
        return true;
    }
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size) override {
        const auto count = std::min<std::size_t>(size, m_bytes.size() - m_position);
        if (count > 0) std::memcpy(buffer, m_bytes.data() + m_position, count);
        m_position += count;
        return static_cast<std::uint32_t>(count);
    }
    std::uint32_t Write(const std::uint8_t*, std::uint32_t) override { return 0; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};
