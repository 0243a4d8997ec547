// qlflash's check of an upgrade file before any port is opened.
#include "tools/qlflash/file_check.h"

#include "link/memory_file.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace qlflash {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Files by name, read from memory; a file can also refuse to tell its size, or to be read.
class MemoryFiles final : public platform::FileSystem {
public:
    std::map<std::u16string, Bytes> files;
    bool sizeFails = false;
    bool readFails = false;

    std::u16string ModulePath() override { return u"/opt/qlflash"; }
    char16_t PathSeparator() const override { return u'/'; }
    std::unique_ptr<platform::File> CreateForWriting(std::u16string_view) override { return nullptr; }
    std::unique_ptr<platform::File> OpenForReading(std::u16string_view path) override {
        const auto found = files.find(std::u16string(path));
        if (found == files.end()) return nullptr;
        if (sizeFails || readFails) return std::make_unique<FaultyFile>(found->second, sizeFails, readFails);
        return std::make_unique<MemoryFile>(found->second);
    }
    bool Delete(std::u16string_view) override { return false; }

private:
    class FaultyFile final : public platform::File {
    public:
        FaultyFile(const Bytes& bytes, bool sizeFails, bool readFails)
            : m_file(bytes), m_sizeFails(sizeFails), m_readFails(readFails) {}
        bool Size(std::uint64_t& size) override { return !m_sizeFails && m_file.Size(size); }
        std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size) override {
            return m_readFails ? 0 : m_file.Read(buffer, size);
        }
        std::uint32_t Write(const std::uint8_t*, std::uint32_t) override { return 0; }

    private:
        MemoryFile m_file;
        bool m_sizeFails;
        bool m_readFails;
    };
};

// Block size 4, header length 6 (two bytes skipped), then `blocks` blocks.
Bytes FileOfBlocks(int blocks) {
    Bytes bytes{0x04, 0x00, 0x06, 0x00, 0xEE, 0xEE};
    for (int i = 0; i < blocks * 4; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
    return bytes;
}

TEST(QlflashFileCheckTest, Files_AcceptedOrRefusedWithTheReasonAndTheName) {
    struct Case {
        Bytes bytes;
        std::string problemPart;  // empty: the file is accepted
    };
    Bytes partBlock = FileOfBlocks(2);
    partBlock.push_back(0x00);
    const std::vector<Case> cases{
        {FileOfBlocks(1), ""},
        {FileOfBlocks(3), ""},
        {{}, "the file is empty"},
        {{0x04}, "too short to hold its block size"},
        {{0x00, 0x00, 0x04, 0x00, 1, 2}, "block size is 0"},
        {{0x01, 0x00, 0x04, 0x00, 1}, "block size is outside 2 to 642"},
        {{0x40, 0x00, 0x04, 0x00, 1, 2, 3}, "shorter than one block"},
        {{0x04, 0x00, 0x02, 0x00, 1, 2, 3, 4}, "header length is below 4"},
        {{0x04, 0x00, 0x40, 0x00, 1, 2, 3, 4}, "header length is greater than the file"},
        {partBlock, "not a whole number of blocks"},
    };
    for (const auto& c : cases) {
        MemoryFiles files;
        files.files[u"fw.qfu"] = c.bytes;
        const auto problem = ProblemWithUpgradeFile(files, "fw.qfu");
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        if (c.problemPart.empty()) {
            EXPECT_FALSE(problem.has_value()) << *problem;
            continue;
        }
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(c.problemPart), std::string::npos) << *problem;
        EXPECT_EQ(problem->rfind("fw.qfu is not an upgrade file: ", 0), 0u) << *problem;
    }
}

TEST(QlflashFileCheckTest, FileThatCannotBeOpened_SaysSo) {
    MemoryFiles files;
    EXPECT_EQ(ProblemWithUpgradeFile(files, "missing.qfu"), std::optional<std::string>("cannot open missing.qfu"));
}

TEST(QlflashFileCheckTest, FileThatDoesNotGiveItsBytes_SaysItCannotBeRead) {
    MemoryFiles files;
    files.files[u"fw.qfu"] = FileOfBlocks(1);
    files.readFails = true;
    EXPECT_EQ(ProblemWithUpgradeFile(files, "fw.qfu"), std::optional<std::string>("cannot read fw.qfu"));
}

TEST(QlflashFileCheckTest, FileWithoutASize_IsRefused) {
    MemoryFiles files;
    files.files[u"fw.qfu"] = FileOfBlocks(1);
    files.sizeFails = true;
    EXPECT_EQ(ProblemWithUpgradeFile(files, "fw.qfu"), std::optional<std::string>("cannot read the size of fw.qfu"));
}

}  // namespace
}  // namespace qlflash
