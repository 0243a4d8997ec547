// The upgrade file (.qfu): a 2-byte block size B, a 2-byte header length H (both little-endian,
// H counting these 4 bytes), H - 4 header bytes that are skipped, then the block data: whole
// blocks of B bytes, sent to the device as they stand.
#pragma once

#include <cstdint>
#include <string_view>

// Limits the link can send: the header takes two block bytes and the body goes through the
// 640-byte transmit queue; the image length is counted in 16 bits.
inline constexpr std::uint32_t kMinBlockSize = 2;
inline constexpr std::uint32_t kMaxBlockSize = 642;
inline constexpr std::uint32_t kMaxImageLength = 65535;
inline constexpr std::uint32_t kFixedHeaderLength = 4;

// What a file's size and first four bytes say about it.
enum class UpgradeFileCheck {
    Valid,
    Empty,              // no bytes at all
    TooLarge,           // 4 GiB or more
    Truncated,          // too short to hold the block size and header length
    BlockSizeZero,
    BlockSizeUnusable,  // below 2 or above 642: the link cannot send such blocks
    ShorterThanBlock,   // the file is shorter than one block
    HeaderTooShort,     // header length below 4
    HeaderBeyondFile,   // header length greater than the file
    NotWholeBlocks,     // the block data is not a whole number of blocks
    ImageTooLong,       // more than 65,535 bytes of block data
};

struct UpgradeFileLayout {
    UpgradeFileCheck check = UpgradeFileCheck::Empty;
    std::uint16_t blockSize = 0;
    std::uint16_t headerLength = 0;
    std::uint32_t imageLength = 0;  // bytes of block data
};

// Checks a file of `fileSize` bytes that starts with `head` (as many of its first four bytes as
// it has, at most 4).
UpgradeFileLayout CheckUpgradeFile(std::uint64_t fileSize, const std::uint8_t* head, std::uint32_t headSize);

// What is wrong with a file, in a sentence for the user.
std::u16string_view DescribeUpgradeFileCheck(UpgradeFileCheck check);
