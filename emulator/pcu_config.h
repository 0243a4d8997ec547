// How an emulated PCU presents itself and which faults it has: identity records, greeting,
// block size, timing of the line and of the flash, the memory it shows on a read, and the
// named fault settings. One record per device; nothing here is global.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace emulator {

// Byte codes of the device's conversation, named by their role on this side of the line.
namespace code {
inline constexpr std::uint8_t kHello = 0x13;         // greeting after power-on (serial form)
inline constexpr std::uint8_t kAck = 0xF7;           // go on; also the greeting on the HID link
inline constexpr std::uint8_t kReady = 0xFA;         // handshake complete
inline constexpr std::uint8_t kQuery = 0x27;         // PC: identity query
inline constexpr std::uint8_t kEnd = 0xF1;           // end of a query; both directions
inline constexpr std::uint8_t kOpenWrite = 0x62;     // PC: opens a block write
inline constexpr std::uint8_t kWriteCommand = 0x81;  // PC: write command, first header byte
inline constexpr std::uint8_t kBlockDone = 0xF1;     // block accepted
inline constexpr std::uint8_t kBlockError = 0xFA;    // block refused
inline constexpr std::uint8_t kAbort = 0x7C;         // PC: the block failed for the last time
inline constexpr std::uint8_t kOpenRead = 0x86;      // PC: opens a memory read
inline constexpr std::uint8_t kReadCommand = 0x82;   // PC: read command
inline constexpr std::uint8_t kReadHeader = 0x65;    // the five-byte read header follows
inline constexpr std::uint8_t kReadEnd = 0xF1;       // the byte after the read data
}  // namespace code

// A three-byte identity record: code byte, then two data bytes.
using IdentityRecord = std::array<std::uint8_t, 3>;

// Signature record: code 0x11, model, family. The PCU is model 0x10 of family 0x34.
IdentityRecord SignatureRecord(std::uint8_t model = 0x10, std::uint8_t family = 0x34);
// Version record of firmware <letter><number>, e.g. ('A', 16) for A16.
IdentityRecord VersionRecord(char letter, std::uint8_t number);
// Version record of firmware A14(i): code 0x13, 0x13, then any number.
IdentityRecord VersionRecordA14i(std::uint8_t number = 14);

// Refuse block `block` (counted from 0 by position) `times` times, then accept it.
struct BlockRefusal {
    std::uint32_t block = 0;
    std::uint32_t times = 1;
};

// A power cut: the device goes off right after taking in the `afterByte`-th byte from the PC
// (counted from 1 over the device's life), without answering it; it powers on again by
// itself `restartDelayMs` later, or stays off until PowerOn when that is not given.
struct PowerCut {
    std::size_t afterByte = 1;
    std::optional<std::uint32_t> restartDelayMs;
};

struct PcuConfig {
    // Records of the identity query, in the order they are sent; the count byte is their number.
    std::vector<IdentityRecord> records{SignatureRecord(), VersionRecord('A', 16)};
    // Sent at power-on. 0x13: the PC answers 0xF7 and the device confirms with 0xFA.
    // 0xF7 (as on the HID link): the PC answers 0xFA, which connects.
    std::uint8_t greeting = code::kHello;
    // Bytes sent at power-on before the greeting (line noise).
    std::vector<std::uint8_t> garbageBeforeGreeting;
    // Bytes per block: two header block bytes and blockSize - 2 body bytes.
    std::uint16_t blockSize = 516;

    // 19200 baud byte timing (10 bits a byte) in both directions; off: every byte is
    // available the moment it is sent.
    bool lineTiming = false;
    std::uint32_t baudRate = 19200;
    // Time from the last body byte to the verdict; applies with or without line timing.
    std::uint32_t flashMsPerBlock = 0;

    // Memory read: the three leading header bytes, then the data shown (the flash when not given).
    std::array<std::uint8_t, 3> readHeader{0x00, 0x00, 0x00};
    std::optional<std::vector<std::uint8_t>> readMemory;

    // Faults.
    std::vector<BlockRefusal> refusals;
    std::optional<PowerCut> powerCut;
};

}  // namespace emulator
