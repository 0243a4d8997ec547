// Upgrade files: the table of layouts that are accepted or refused, and loading one into the
// link, which replaces the image only when the whole file was good.
#include "link/memory_file.h"
#include "link/upgrade_file.h"
#include "support/link_fixture.h"

#include <gmock/gmock.h>

using namespace testing_support;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A file of `size` bytes that starts with the given block size and header length.
Bytes FileOf(std::uint16_t blockSize, std::uint16_t headerLength, std::size_t size) {
    Bytes file(size, 0xA5);
    const std::uint8_t head[] = {static_cast<std::uint8_t>(blockSize), static_cast<std::uint8_t>(blockSize >> 8),
                                 static_cast<std::uint8_t>(headerLength), static_cast<std::uint8_t>(headerLength >> 8)};
    std::copy(head, head + std::min<std::size_t>(4, size), file.begin());
    return file;
}

struct LayoutCase {
    const char* name;
    std::uint64_t size;
    Bytes head;
    UpgradeFileCheck check;
};

TEST(UpgradeFileCheckTest, Layouts) {
    const LayoutCase cases[] = {
        {"BuiltIn", 2589, {0x04, 0x02, 0x09, 0x00}, UpgradeFileCheck::Valid},
        {"FourBytesNoBlocks", 4, {0x04, 0x00, 0x04, 0x00}, UpgradeFileCheck::Valid},
        {"HeaderIsWholeFile", 100, {0x10, 0x00, 0x64, 0x00}, UpgradeFileCheck::Valid},
        {"HeaderFour", 4 + 3 * 8, {0x08, 0x00, 0x04, 0x00}, UpgradeFileCheck::Valid},
        {"LargestBlock", 4 + 642, {0x82, 0x02, 0x04, 0x00}, UpgradeFileCheck::Valid},
        {"LongestImage", 4 + 65535, {0x03, 0x00, 0x04, 0x00}, UpgradeFileCheck::Valid},
        {"Empty", 0, {}, UpgradeFileCheck::Empty},
        {"FourGiB", 0x100000000ull, {0x04, 0x02, 0x09, 0x00}, UpgradeFileCheck::TooLarge},
        {"OverFourGiB", 0x100000010ull, {0x04, 0x02, 0x09, 0x00}, UpgradeFileCheck::TooLarge},
        {"OneByte", 1, {0x04}, UpgradeFileCheck::Truncated},
        {"BlockSizeZero", 100, {0x00, 0x00, 0x04, 0x00}, UpgradeFileCheck::BlockSizeZero},
        {"BlockSizeOne", 5, {0x01, 0x00, 0x04, 0x00}, UpgradeFileCheck::BlockSizeUnusable},
        {"BlockSizeAboveQueue", 4 + 643, {0x83, 0x02, 0x04, 0x00}, UpgradeFileCheck::BlockSizeUnusable},
        {"ShorterThanBlock", 515, {0x04, 0x02, 0x09, 0x00}, UpgradeFileCheck::ShorterThanBlock},
        {"HeaderThree", 3 + 8, {0x08, 0x00, 0x03, 0x00}, UpgradeFileCheck::HeaderTooShort},
        {"HeaderBeyondFile", 20, {0x04, 0x00, 0x15, 0x00}, UpgradeFileCheck::HeaderBeyondFile},
        {"PartBlock", 9 + 516 + 1, {0x04, 0x02, 0x09, 0x00}, UpgradeFileCheck::NotWholeBlocks},
        {"ImageTooLong", 4 + 65536, {0x02, 0x00, 0x04, 0x00}, UpgradeFileCheck::ImageTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto layout = CheckUpgradeFile(c.size, c.head.data(), static_cast<std::uint32_t>(c.head.size()));
        EXPECT_EQ(layout.check, c.check);
        EXPECT_FALSE(DescribeUpgradeFileCheck(layout.check).empty());
    }
}

class UpgradeFileLoadTest : public LinkFixture {
protected:
    UpgradeFileLoadTest() { AttachControls(); }

    bool Load(const Bytes& file) {
        MemoryFile memory(file);
        return link->ReadUpgradeFile(&memory);
    }
};

TEST_F(UpgradeFileLoadTest, GoodFile_SkipsTheHeaderAndTakesTheBlocks) {
    auto file = FileOf(4, 9, 9 + 8);
    for (std::size_t i = 4; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i);
    EXPECT_TRUE(Load(file));
    EXPECT_EQ(link->m_blockSize, 4);
    EXPECT_EQ(link->m_imageLength, 8);
    EXPECT_EQ(Bytes(link->m_pImage.get(), link->m_pImage.get() + 8), Bytes(file.begin() + 9, file.end()));
    EXPECT_THAT(Log(), ElementsAre(u"Upgrade file selected."));
}

TEST_F(UpgradeFileLoadTest, RefusedFileAfterAGoodOne_LeavesTheGoodImageAndLogsNothing) {
    ASSERT_TRUE(Load(FileOf(8, 4, 4 + 16)));
    const auto* image = link->m_pImage.get();
    statusLog.AddString(u"marker");
    const Bytes refused[] = {FileOf(8, 3, 4 + 16), FileOf(0, 4, 20), FileOf(8, 4, 4 + 17), FileOf(8, 40, 30)};
    for (const auto& file : refused) EXPECT_FALSE(Load(file));
    // A file that is shorter than its size said (it changed while being read) is refused too.
    auto shrinking = FileOf(8, 4, 4 + 16);
    struct ShortFile final : platform::File {
        explicit ShortFile(Bytes bytes) : memory(bytes), data(std::move(bytes)) {}
        bool Size(std::uint64_t& size) override {
            size = data.size() + 8;
            return true;
        }
        std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size) override { return memory.Read(buffer, size); }
        std::uint32_t Write(const std::uint8_t*, std::uint32_t) override { return 0; }
        MemoryFile memory;
        Bytes data;
    } shortFile(shrinking);
    EXPECT_FALSE(link->ReadUpgradeFile(&shortFile));
    EXPECT_EQ(link->m_pImage.get(), image);
    EXPECT_EQ(link->m_blockSize, 8);
    EXPECT_EQ(link->m_imageLength, 16);
    EXPECT_THAT(Log(), ElementsAre(u"Upgrade file selected.", u"marker"));
}

TEST_F(UpgradeFileLoadTest, NoFile_LogsSelectFail) {
    EXPECT_FALSE(link->ReadUpgradeFile(nullptr));
    EXPECT_THAT(Log(), ElementsAre(u"Upgrade file select fail."));
}

TEST_F(UpgradeFileLoadTest, LoadedWhileOnLine_TellsTheWindowAnUpdateMayStart) {
    struct Case {
        LinkMode mode;
        bool posts;
    };
    for (auto [mode, posts] : {Case{ModeReady, true}, Case{ModeKeepAlive, true}, Case{ModeConnect, false},
                               Case{ModeOffline, false}, Case{ModeIdentify, false}}) {
        link->m_mode = mode;
        window.Clear();
        EXPECT_TRUE(Load(FileOf(4, 4, 8)));
        EXPECT_EQ(!window.Posted().empty(), posts) << "mode " << mode;
        if (posts) {
            EXPECT_THAT(window.Posted(), ElementsAre(LinkState(1, 0)));
        }
    }
}

TEST_F(UpgradeFileLoadTest, FileDuringATransfer_IsRefused) {
    ASSERT_TRUE(Load(FileOf(4, 4, 4 + 12)));
    link->m_blocksLeft = 2;
    EXPECT_FALSE(Load(FileOf(4, 4, 8)));
    EXPECT_EQ(link->m_imageLength, 12);
    EXPECT_EQ(Log().back(), u"Upgrade file select fail.");
}

}  // namespace
