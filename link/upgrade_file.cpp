#include "link/upgrade_file.h"

UpgradeFileLayout CheckUpgradeFile(std::uint64_t fileSize, const std::uint8_t* head, std::uint32_t headSize) {
    UpgradeFileLayout layout;
    if ((fileSize & 0xFFFFFFFFu) == 0 && (fileSize >> 32) == 0) {
        layout.check = UpgradeFileCheck::Empty;
        return layout;
    }
    if ((fileSize >> 32) != 0 || (fileSize & 0xFFFFFFFFu) == 0) {
        layout.check = UpgradeFileCheck::TooLarge;
        return layout;
    }
    const auto size = static_cast<std::uint32_t>(fileSize);
    if (headSize < 2) {
        layout.check = UpgradeFileCheck::Truncated;
        return layout;
    }
    const std::uint32_t blockSize = head[0] | (head[1] << 8);
    layout.blockSize = static_cast<std::uint16_t>(blockSize);
    if (blockSize == 0) {
        layout.check = UpgradeFileCheck::BlockSizeZero;
        return layout;
    }
    if (size < blockSize) {
        layout.check = UpgradeFileCheck::ShorterThanBlock;
        return layout;
    }
    if (blockSize < kMinBlockSize || blockSize > kMaxBlockSize) {
        layout.check = UpgradeFileCheck::BlockSizeUnusable;
        return layout;
    }
    if (headSize < 4) {
        layout.check = UpgradeFileCheck::Truncated;
        return layout;
    }
    const std::uint32_t headerLength = head[2] | (head[3] << 8);
    layout.headerLength = static_cast<std::uint16_t>(headerLength);
    if (headerLength > size) {
        layout.check = UpgradeFileCheck::HeaderBeyondFile;
        return layout;
    }
    if (headerLength < kFixedHeaderLength) {
        layout.check = UpgradeFileCheck::HeaderTooShort;
        return layout;
    }
    const std::uint32_t imageLength = size - headerLength;
    layout.imageLength = imageLength;
    if (imageLength % blockSize != 0) {
        layout.check = UpgradeFileCheck::NotWholeBlocks;
        return layout;
    }
    if (imageLength > kMaxImageLength) {
        layout.check = UpgradeFileCheck::ImageTooLong;
        return layout;
    }
    layout.check = UpgradeFileCheck::Valid;
    return layout;
}

std::u16string_view DescribeUpgradeFileCheck(UpgradeFileCheck check) {
    switch (check) {
        case UpgradeFileCheck::Valid: return u"the file is a valid upgrade file";
        case UpgradeFileCheck::Empty: return u"the file is empty";
        case UpgradeFileCheck::TooLarge: return u"the file is 4 GiB or larger";
        case UpgradeFileCheck::Truncated: return u"the file is too short to hold its block size and header length";
        case UpgradeFileCheck::BlockSizeZero: return u"its block size is 0";
        case UpgradeFileCheck::BlockSizeUnusable: return u"its block size is outside 2 to 642 bytes, which the device link cannot send";
        case UpgradeFileCheck::ShorterThanBlock: return u"the file is shorter than one block";
        case UpgradeFileCheck::HeaderTooShort: return u"its header length is below 4 bytes";
        case UpgradeFileCheck::HeaderBeyondFile: return u"its header length is greater than the file";
        case UpgradeFileCheck::NotWholeBlocks: return u"its block data is not a whole number of blocks";
        case UpgradeFileCheck::ImageTooLong: return u"its block data is longer than 65,535 bytes";
    }
    return u"the file is not a valid upgrade file";
}
